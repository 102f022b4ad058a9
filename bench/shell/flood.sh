#!/usr/bin/env bash
# Resident memory of VXORV under a full-speed flood on each receive path, on a
# virtual X server with trayer: bench/shell/flood.sh BUILD_DIR [SECONDS]
set -euo pipefail
build="${1:-build/default}"
cmake --build "$build" --target vxorv_flood_figures
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    env QT_QPA_PLATFORM=xcb "$build/bench/shell/vxorv_flood_figures" "${2:-30}"

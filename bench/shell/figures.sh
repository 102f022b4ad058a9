#!/usr/bin/env bash
# Measures VXORV's idle and typing cost and its frame-to-key latency on a
# virtual X server with trayer: bench/shell/figures.sh BUILD_DIR [IDLE_SECONDS]
set -euo pipefail
build="${1:-build/default}"
cmake --build "$build" --target vxorv_shell_figures
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    env QT_QPA_PLATFORM=xcb "$build/bench/shell/vxorv_shell_figures" "${2:-30}"

#!/usr/bin/env bash
# Installs what is needed, builds everything and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    echo "Built VXORV in build/default. There is no display to start it on:"
    echo "showing it at work on a virtual one instead (scripts/demo.sh)."
    screenshot="$PWD/vxorv-demo.png"
    VXORV_BUILD_DIR=build/default scripts/demo.sh --virtual "$screenshot"
    echo "VXORV typed the scanner's messages into a text window; see them in $screenshot"
    exit 0
fi
echo "Starting VXORV: it lives in the notification area (the first launch opens its settings)."
exec build/default/app/shell/VXORV

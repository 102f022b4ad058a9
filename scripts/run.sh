#!/usr/bin/env bash
# Installs what is needed, builds everything and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
echo "Built the winvxbt library and its tools in build/default."
echo "The desktop program VXORV is not part of this build yet."

#!/usr/bin/env bash
# VXORV for 64-bit Windows: cross-builds VXORV.exe, vxbt.exe and winvxbt.dll
# (preset windows-app) against the static Qt in ../shared/qt6-mingw, then runs
# the Windows tests and the end-to-end run under Wine on a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
qt=../shared/qt6-mingw
if [[ ! -x "$qt/bin/qt-cmake" ]]; then
    echo "windows.sh: skipped, no static Qt for Windows at $(realpath -m "$qt") (see README, VXORV on Windows)"
    exit 0
fi
cmake --preset windows-app
cmake --build --preset windows-app
# One Wine server for all the test programs (the preset's prefix): starting it
# for each of them costs seconds. The prefix is made here, output discarded:
# Wine's helper processes live as long as the server and hold the output of
# the program that started them, which would keep the first test from ending.
export WINEPREFIX="$PWD/build/windows-app/wine-prefix" WINEDEBUG=-all
wineserver -p
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
xvfb-run -a ctest --preset windows-app -j2
wineserver -k
unset WINEPREFIX
# End to end under Wine: a serial port, the Linux vxbt as the scanner, a
# Windows text window; needs the Linux build (scripts/test.sh) for the tools.
tests/e2e/windows/run_wine_e2e.sh build/default build/windows-app

# The installer, and its install and uninstall under Wine.
version=$(sed -n 's/^project(VXORV VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
makensis -V2 -DBIN_DIR="$PWD/build/windows-app/bin" -DSOURCE_DIR="$PWD" -DVERSION="$version" \
    -DOUT_FILE="$PWD/build/windows-app/VXORV-$version-setup.exe" app/shell/packaging/windows/vxorv.nsi
tests/e2e/windows/run_wine_installer.sh "build/windows-app/VXORV-$version-setup.exe"

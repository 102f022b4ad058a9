#!/usr/bin/env bash
# Builds the Debian package from the default build, installs it as a user
# would, runs the installed VXORV end to end (a pseudo-terminal as the scanner,
# framed messages typed into an X client on a virtual display), checks the
# installed vxbt, and removes the package again. Needs root (apt-get).
#   scripts/check-package.sh
set -euo pipefail
cd "$(dirname "$0")/../build/default"
rm -f vxorv_*.deb
cpack -G DEB
dpkg-deb --contents vxorv_*.deb
lintian --fail-on error vxorv_*.deb
apt-get install -y ./vxorv_*.deb
trap 'apt-get remove -y vxorv' EXIT
vxbt --help >/dev/null
VXORV_E2E_PROGRAM=/usr/bin/VXORV QT_QPA_PLATFORM=xcb QT_IM_MODULE=none \
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    tests/e2e/shell/shell_e2e_test --gtest_filter='*FirstLaunchCollection*'

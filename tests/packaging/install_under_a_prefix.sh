#!/usr/bin/env bash
# An install under any prefix works: the desktop entries name the program
# there, and the installed programs find the link library from their own place.
#   install_under_a_prefix.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

for entry in "$prefix/share/applications/vxorv.desktop" "$prefix/etc/xdg/autostart/vxorv.desktop"; do
    grep -qxF "Exec=$prefix/bin/VXORV" "$entry" || { echo "wrong Exec= in $entry:"; cat "$entry"; exit 1; }
done
report="$(XDG_CONFIG_HOME="$work" "$prefix/bin/vxbt" doctor || true)"
grep -qF "loads from $prefix/lib/vxorv/libwinvxbt.so" <<<"$report" ||
    { echo "the library was not found from the program's place:"; echo "$report"; exit 1; }
echo "install under \"$prefix\" works"

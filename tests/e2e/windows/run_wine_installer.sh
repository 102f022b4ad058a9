#!/usr/bin/env bash
# Installs VXORV with its Windows installer under Wine, silently, checks what
# it put where, then uninstalls it and checks that nothing is left.
#   tests/e2e/windows/run_wine_installer.sh INSTALLER.exe
set -euo pipefail
installer="$(realpath "$1")"
work="$(mktemp -d)"
wine=/usr/lib/wine/wine64
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
"$wine" wineboot --init >/dev/null 2>&1

folder="$WINEPREFIX/drive_c/Program Files/VXORV"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VXORV.lnk"
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VXORV'

"$wine" "$installer" /S >>"$work/wine.log" 2>&1
for file in VXORV.exe winvxbt.dll README.md LICENSE uninstall.exe; do
    [[ -f "$folder/$file" ]] || fail "the installer did not install $file"
done
[[ -f "$menu" ]] || fail "no Start-menu entry"
"$wine" reg query "$run" /v VXORV 2>/dev/null | grep -qF 'Program Files\VXORV\VXORV.exe' ||
    fail "VXORV does not start at log-on"
"$wine" reg query "$uninstall" /v UninstallString >/dev/null 2>&1 ||
    fail "no entry in the list of installed programs"
echo "PASS: installed $(du -sh "$folder" | cut -f1) in C:\\Program Files\\VXORV"

"$wine" "$folder/uninstall.exe" /S >>"$work/wine.log" 2>&1
# The uninstaller runs on from a copy of itself, and removes its registry
# entry after the folder: wait for all of it (the time only bounds a hang).
all_gone() {
    [[ ! -e "$folder" && ! -e "$menu" ]] &&
        ! "$wine" reg query "$run" /v VXORV >/dev/null 2>&1 &&
        ! "$wine" reg query "$uninstall" >/dev/null 2>&1
}
end=$((SECONDS + 120))
until all_gone || ((SECONDS > end)); do
    sleep 0.2
done
[[ -e "$folder" ]] && fail "the uninstaller left $(ls "$folder")"
[[ -e "$menu" ]] && fail "the uninstaller left the Start-menu entry"
"$wine" reg query "$run" /v VXORV >/dev/null 2>&1 && fail "the uninstaller left the log-on entry"
"$wine" reg query "$uninstall" >/dev/null 2>&1 && fail "the uninstaller left its registry entry"
echo "PASS: uninstalled without a trace"

#!/usr/bin/env bash
# VXORV.exe end to end under Wine on a virtual X server: COM1 is one end of a
# pair of pseudo-terminals, the Linux vxbt plays the scanner on the other end,
# and a Windows text window records what is typed. Settings are in Wine's
# registry as a first launch leaves them; Exit from the tray menu must save
# them back.
#   tests/e2e/windows/run_wine_e2e.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR [SCREENSHOT_DIR]
set -euo pipefail
if [[ -z "${VXORV_WINE_E2E_INNER:-}" ]]; then
    exec env VXORV_WINE_E2E_INNER=1 xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" \
        "$0" "$@"
fi
linux="$(realpath "$1")"
windows="$(realpath "$2")/bin"
shots="${3:+$(realpath "$3")}"
work="$(mktemp -d)"
wine=/usr/lib/wine/wine64
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# waitfor SECONDS COMMAND...: until COMMAND succeeds; the time only bounds a
# hang, as a loaded machine can take many seconds for any step.
waitfor() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.1
    done
}
in_tray() { xdotool search --name QTrayIconMessageWindow >/dev/null 2>&1; }

"$linux/tests/e2e/shell/vxorv_pty_pair" "$work/com1" "$work/scanner" &
"$wine" wineboot --init >/dev/null 2>&1
key='HKCU\Software\VB and VBA Program Settings\VXORV'
reg() { "$wine" reg "$@" >/dev/null; }
# COM1 is the pseudo-terminal (the port Wine would otherwise give /dev/ttyS0).
reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$(readlink "$work/com1")" /f
for setting in AutoStart=1 ExtendedConversion=0 VXBlueToothSecurity=1 \
    MSCOMMSettings=9600,N,8,1 MSCOMMCommPort=1 MSCOMMHandshaking=0; do
    reg add "$key\\PROPERTIES" /v "${setting%%=*}" /d "${setting#*=}" /f
done
reg add "$key\\FirstRun" /v When /d OK /f
wineserver -w >/dev/null 2>&1 # the port mapping applies from the next start

trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
waitfor 60 xdotool search --onlyvisible --classname panel >/dev/null || fail "no notification area"
started=$(date +%s%N)
"$wine" "$windows/VXORV.exe" 2>>"$work/wine.log" &
waitfor 120 in_tray || fail "VXORV.exe did not put its icon in the tray"
echo "VXORV.exe in the tray after $((($(date +%s%N) - started) / 1000000)) ms"
record="$work/typed.txt"
"$wine" "$windows/vxorv_text_window.exe" 'Z:'"${record//\//\\}" 2>>"$work/wine.log" &
waitfor 120 grep -q ready "$record" 2>/dev/null || fail "the text window did not start"

# ASCII, the upper half of Windows-1252 and a line end: typed exactly.
upper=$(python3 -c 'import sys; sys.stdout.buffer.write(bytes(b for b in range(0xa0, 0x100)))')
messages="$work/messages"
{
    printf 'Hello, Wine!\r123 {x} +^%%~\n'
    python3 -c 'import sys; sys.stdout.buffer.write(bytes([0x80]) + bytes(range(0x82, 0x8d)) + bytes([0x8e]) + bytes(range(0x91, 0x9d)) + bytes([0x9e, 0x9f]) + b"\n")'
    printf '%s\n' "$upper"
} >"$messages"
typing_started=$(date +%s%N)
"$linux/tools/vxbt/vxbt" send --port "$work/scanner" --timeout 5000 <"$messages" ||
    fail "a message was not acknowledged"
expected=$(python3 - "$messages" <<'PY'
import sys
lines = open(sys.argv[1], 'rb').read().split(b'\n')[:-1]
print('ready\n' + ''.join(l.decode('cp1252') for l in lines), end='')
PY
)
typed_all() { [[ "$(cat "$record")" == "$expected" ]]; }
waitfor 120 typed_all || true
echo "typed $(wc -m <"$record") characters in $((($(date +%s%N) - typing_started) / 1000000)) ms"
[[ "$(cat "$record")" == "$expected" ]] || {
    diff <(printf '%s' "$expected" | od -c) <(od -c "$record") || true
    fail "the text window did not receive exactly what was sent"
}
echo "PASS: every message acknowledged and typed exactly"

# The tray icon (Wine docks it in trayer at the top right): a left click shows
# the main window, a right click the menu.
icon_x=789 icon_y=12
grab="$linux/tests/e2e/shell/vxorv_grab_screen"
# Exit from the tray menu saves every setting: the store is emptied first.
reg delete "$key\\PROPERTIES" /f
xdotool mousemove $icon_x $icon_y click 3
# The menu is VXORV.exe's window named VXORV; keys reach it once it has the focus.
menu_focused() {
    local menu
    menu=$(xdotool search --onlyvisible --name '^VXORV$' | head -1)
    [[ -n "$menu" && "$(xdotool getwindowfocus)" == "$menu" ]]
}
waitfor 60 menu_focused || fail "the tray menu did not open"
[[ -n "$shots" ]] && "$grab" "$shots/windows-tray-menu.png" 560 0 240 170
xdotool key Up Return
vxorv_ended() { ! pgrep -f 'VXORV.exe' >/dev/null; }
waitfor 60 vxorv_ended || fail "Exit from the tray menu did not end VXORV.exe"
saved=$("$wine" reg query "$key\\PROPERTIES" 2>/dev/null | tr -d '\r')
for setting in 'AutoStart    REG_SZ    1' 'VXBlueToothSecurity    REG_SZ    1' \
    'MSCOMMSettings    REG_SZ    9600,n,8,1' 'MSCOMMCommPort    REG_SZ    1'; do
    grep -qF "$setting" <<<"$saved" || fail "Exit did not save \"$setting\": $saved"
done
echo "PASS: Exit from the tray menu saved the settings to the registry"

# Conversion mode 1: the codes 131 to 153 type named keys.
reg add "$key\\PROPERTIES" /v ExtendedConversion /d 1 /f
: >"$record"
"$wine" "$windows/VXORV.exe" 2>>"$work/wine.log" &
waitfor 120 in_tray || fail "VXORV.exe did not put its icon in the tray again"
text=$(xdotool search --onlyvisible --name '^Text window$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$text")"
# The focus back to the text window: clicked until a probe key reaches it
# (without a window manager the X focus says nothing of Windows' own).
probed() { grep -q x "$record"; }
for _ in 1 2 3; do
    xdotool mousemove $((X + 100)) $((Y + 100)) click 1 key x
    waitfor 20 probed && break
done
probed || fail "the text window did not get the focus back"
: >"$record"
python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(131, 154)) + b"\n")' >"$messages"
"$linux/tools/vxbt/vxbt" send --port "$work/scanner" --timeout 5000 <"$messages" ||
    fail "the mode-1 message was not acknowledged"
expected=$'\r\t{VK:70}{VK:71}{VK:72}{VK:73}{VK:74}{VK:75}{VK:76}{VK:77}{VK:78}{VK:79}{VK:7A}{VK:7B}{VK:24}{VK:23}{VK:21}{VK:22}{VK:26}{VK:28}{VK:25}{VK:27}\x1b'
waitfor 120 typed_all || true
[[ "$(cat "$record")" == "$expected" ]] || {
    diff <(printf '%s' "$expected" | od -c) <(od -c "$record") || true
    fail "mode 1 did not type the named keys"
}
echo "PASS: conversion mode 1 typed the named keys"

# The README's pictures: the main window and, stopped, the properties dialog.
if [[ -n "$shots" ]]; then
    xdotool mousemove $icon_x $icon_y click 1
    sleep 3
    main=$(xdotool search --onlyvisible --name '^VX Orvex$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$main")"
    "$grab" "$shots/windows-main-window.png" "$X" "$Y" "$WIDTH" "$HEIGHT"
    mainX=$X mainY=$Y
    # Stop, then Properties: the dialog.
    xdotool mousemove $((mainX + 377)) $((mainY + 84)) click 1
    sleep 2
    xdotool mousemove $((mainX + 377)) $((mainY + 116)) click 1
    sleep 3
    dialog=$(xdotool search --onlyvisible --name '^VX Orvex -  Properties$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    "$grab" "$shots/windows-properties-dialog.png" "$X" "$Y" "$WIDTH" "$HEIGHT"
    xdotool key --window "$dialog" Escape
fi


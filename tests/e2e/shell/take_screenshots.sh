#!/usr/bin/env bash
# Takes the README's screenshots of VXORV on a virtual X server with trayer:
# the main window, the properties dialog, the tray menu, the dialog's device
# list, and the main window's status line while stopped and while collecting.
#   tests/e2e/shell/take_screenshots.sh BUILD_DIR OUTPUT_DIR
set -euo pipefail
if [[ -z "${VXORV_SCREENSHOTS_INNER:-}" ]]; then
    exec env VXORV_SCREENSHOTS_INNER=1 xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" \
        "$0" "$@"
fi
build="$(realpath "$1")"
out="$(realpath "$2")"
grab="$build/tests/e2e/shell/vxorv_grab_screen"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir -p "$work/VXORV"
printf '[FirstRun]\nWhen=OK\n[PROPERTIES]\nAutoStart=0\n' > "$work/VXORV/VXORV.ini"
trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
sleep 1
XDG_CONFIG_HOME="$work" "$build/app/shell/VXORV" &
vxorv=$!
sleep 2

# Left click on the icon: the main window, at the top left of the screen.
icon=$(xdotool search --onlyvisible --classname VXORV | head -1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + 10)) $((Y + 10)) click 1
sleep 1
main=$(xdotool search --onlyvisible --name '^VX Orvex$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$main")"
"$grab" "$out/main-window.png" "$X" "$Y" "$WIDTH" "$HEIGHT"
mainX=$X
mainY=$Y

# Properties with collection stopped: the dialog opens beside the window.
xdotool mousemove $((mainX + 377)) $((mainY + 116)) click 1
sleep 1
dialog=$(xdotool search --onlyvisible --name '^VX Orvex -  Properties$' | head -1)
xdotool windowmove "$dialog" 400 0
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$dialog")"
"$grab" "$out/properties-dialog.png" "$X" "$Y" "$WIDTH" "$HEIGHT"
xdotool key --window "$dialog" Escape || true # the dialog goes as the key arrives
sleep 0.5

# Right click on the icon: the menu, Start enabled while stopped.
xdotool mousemove $((mainX + 377)) $((mainY + 148)) click 1
sleep 0.5
xdotool mousemove $((800 - 12)) 12
sleep 0.5
xdotool click 3
sleep 1
"$grab" "$out/tray-menu.png" 560 0 240 150
xdotool key Escape
kill "$vxorv"
wait "$vxorv" || true

# The main window of a VXORV started with the store in $1, saved as $2.
main_window_of() {
    XDG_CONFIG_HOME="$1" "$build/app/shell/VXORV" &
    local pid=$!
    sleep 3
    icon=$(xdotool search --onlyvisible --classname VXORV | head -1)
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    xdotool mousemove $((X + 10)) $((Y + 10)) click 1
    sleep 1
    main=$(xdotool search --onlyvisible --name '^VX Orvex$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$main")"
    "$grab" "$2" "$X" "$Y" "$WIDTH" "$HEIGHT"
    kill "$pid"
    wait "$pid" || true
}
store_with_port1() {
    mkdir -p "$1/VXORV"
    printf '[FirstRun]\nWhen=OK\n[PROPERTIES]\nAutoStart=1\n[Ports]\nCOM1=%s\n' "$2" \
        >"$1/VXORV/VXORV.ini"
}

# Stopped: port 1 is mapped to a scanner that is not plugged in.
store_with_port1 "$work/stopped" /dev/serial/by-id/usb-Acme_HS2040_Scanner_0001234567-if00
main_window_of "$work/stopped" "$out/status-stopped.png"

# Collecting: port 1 is one end of a null-modem pair of pseudo-terminals.
"$build/tests/e2e/shell/vxorv_pty_pair" "$work/vxorv-port" "$work/scanner-port" &
sleep 1
store_with_port1 "$work/collecting" "$work/vxorv-port"
main_window_of "$work/collecting" "$out/status-collecting.png"

"$build/tests/e2e/shell/vxorv_device_chooser_screenshot" "$out/device-chooser.png"

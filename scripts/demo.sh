#!/usr/bin/env bash
# Shows VXORV at work without hardware: a null-modem pair of pseudo-terminals
# stands in for the Bluetooth serial link, port 1 of a throw-away settings
# store points at one end, and `vxbt send` plays the scanner on the other
# end, sending framed messages that VXORV acknowledges and types into a text
# window. Runs on the current display; without one (or with --virtual) on a
# virtual X server, and saves a screenshot there.
#   scripts/demo.sh [--virtual] [SCREENSHOT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

virtual=0
if [[ "${1:-}" == "--virtual" ]]; then
    virtual=1
    shift
fi
screenshot="${1:-$PWD/vxorv-demo.png}"
if [[ -z "${DISPLAY:-}" ]]; then
    virtual=1
fi

# VXORV_BUILD_DIR: an existing build tree to use instead of build/default.
build="${VXORV_BUILD_DIR:-build/default}"
if [[ -z "${VXORV_DEMO_INNER:-}" ]]; then
    if [[ -z "${VXORV_BUILD_DIR:-}" ]]; then
        cmake --preset default >/dev/null
    fi
    cmake --build "$build" --target VXORV vxbt vxorv_pty_pair vxorv_demo_notepad \
        vxorv_grab_screen
    if [[ "$virtual" == 1 ]]; then
        echo "No display asked for: running on a virtual X server."
        exec env VXORV_DEMO_INNER=1 xvfb-run -a -s "-screen 0 1024x640x24 -nolisten tcp" \
            "$0" "$screenshot"
    fi
fi

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The throw-away settings store: set up before (no first-launch dialog), the
# link protocol on, collection starting by itself, port 1 on the demo cable.
mkdir -p "$work/config/VXORV"
cat > "$work/config/VXORV/VXORV.ini" <<INI
[FirstRun]
When=OK

[PROPERTIES]
AutoStart=1
ExtendedConversion=0
VXBlueToothSecurity=1
MSCOMMSettings=9600,n,8,1
MSCOMMCommPort=1
MSCOMMHandshaking=0

[Ports]
COM1=$work/vxorv-port
INI

"$build/tests/e2e/shell/vxorv_pty_pair" "$work/vxorv-port" "$work/scanner-port" &
pids+=($!)
if [[ -n "${VXORV_DEMO_INNER:-}" ]]; then
    trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
    pids+=($!)
fi
sleep 1
"$build/tests/e2e/shell/vxorv_demo_notepad" &
pids+=($!)
XDG_CONFIG_HOME="$work/config" "$build/app/shell/VXORV" &
pids+=($!)
sleep 3

echo "Playing the scanner: each message is framed, sent, and acknowledged by VXORV."
for message in "Hello from the scanner" "4006381333931" "Order 1234: 3 x widget, 1 x gadget" \
    "Prices in euro: 12,50 and 7,99"; do
    printf '%s\n' "$message" | "$build/tools/vxbt/vxbt" send --port "$work/scanner-port" --raw
    echo "  sent and acknowledged: $message"
    sleep 0.5
done
sleep 1

if [[ -n "${VXORV_DEMO_INNER:-}" ]]; then
    "$build/tests/e2e/shell/vxorv_grab_screen" "$screenshot"
    echo "Screenshot of the virtual screen: $screenshot"
else
    echo "The text window shows what was typed. Press Enter to end the demo."
    read -r
fi

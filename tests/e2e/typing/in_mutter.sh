#!/usr/bin/env bash
# in_mutter.sh COMMAND...: runs COMMAND as a client of a headless GNOME
# compositor on a D-Bus session bus of its own, and exits with its status.
# The compositor and the command run as an unprivileged user ("nobody" when
# started as root) with a runtime directory of their own; the command finds
# the compositor's process id in VXORV_MUTTER_PID.
set -euo pipefail

if [[ $(id -u) == 0 ]]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    chown nobody:nogroup "$work"
    status=0
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME="$work" XDG_RUNTIME_DIR="$work" "$0" "$@" || status=$?
    exit "$status"
fi

if [[ -z ${VXORV_IN_SESSION_BUS:-} ]]; then
    export VXORV_IN_SESSION_BUS=1
    if [[ -z ${XDG_RUNTIME_DIR:-} || ! -O $XDG_RUNTIME_DIR ]]; then
        XDG_RUNTIME_DIR=$(mktemp -d)
        export XDG_RUNTIME_DIR HOME=${HOME:-$XDG_RUNTIME_DIR}
        trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
    fi
    chmod 700 "$XDG_RUNTIME_DIR"
    exec dbus-run-session -- "$0" "$@"
fi

display=vxorv-mutter-$$
mutter --headless --wayland --no-x11 --virtual-monitor 1024x768 --wayland-display "$display" \
    >"$XDG_RUNTIME_DIR/mutter.log" 2>&1 &
mutter=$!
trap 'kill "$mutter" 2>/dev/null; wait "$mutter" 2>/dev/null || true' EXIT

# Ready when the Wayland socket exists and the remote-desktop service answers.
for _ in $(seq 600); do
    if [[ -S $XDG_RUNTIME_DIR/$display ]] &&
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.gnome.Mutter.RemoteDesktop 2>/dev/null |
        grep -q 'boolean true'; then
        break
    fi
    if ! kill -0 "$mutter" 2>/dev/null; then
        cat "$XDG_RUNTIME_DIR/mutter.log" >&2
        exit 1
    fi
    sleep 0.1
done

VXORV_MUTTER_PID=$mutter WAYLAND_DISPLAY=$display QT_QPA_PLATFORM=wayland "$@"

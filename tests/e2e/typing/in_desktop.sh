#!/usr/bin/env bash
# in_desktop.sh gnome|kde COMMAND...: runs COMMAND as a client of a headless
# GNOME or KDE compositor on a D-Bus session bus of its own, and exits with its
# status. The compositor and the command run as an unprivileged user ("nobody"
# when started as root) with a runtime directory of their own; the command
# finds the compositor's process id in VXORV_COMPOSITOR_PID. Under KDE the
# command gets a desktop entry that asks for the fake input interface, and
# VXORV_KDE_LAYOUTS (such as "de,us") sets the compositor's keyboard layouts.
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

desktop=$1
shift
display=vxorv-$desktop-$$
log=$XDG_RUNTIME_DIR/compositor.log
case $desktop in
gnome)
    mutter --headless --wayland --no-x11 --virtual-monitor 1024x768 \
        --wayland-display "$display" >"$log" 2>&1 &
    ;;
kde)
    # The installed binary carries a file capability that a container may
    # refuse to execute; a copy without it, under the same name, runs.
    mkdir -p "$XDG_RUNTIME_DIR/bin" "$XDG_RUNTIME_DIR/share/applications"
    cp "$(command -v kwin_wayland)" "$XDG_RUNTIME_DIR/bin/kwin_wayland"
    cat >"$XDG_RUNTIME_DIR/share/applications/vxorv-e2e.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=VXORV end-to-end test
Exec=$(realpath "$1")
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input
ENTRY
    export XDG_DATA_DIRS=$XDG_RUNTIME_DIR/share:/usr/local/share:/usr/share
    if [[ -n ${VXORV_KDE_LAYOUTS:-} ]]; then
        mkdir -p "$HOME/.config"
        printf '[Layout]\nUse=true\nLayoutList=%s\n' "$VXORV_KDE_LAYOUTS" >"$HOME/.config/kxkbrc"
    fi
    "$XDG_RUNTIME_DIR/bin/kwin_wayland" --virtual --width 1024 --height 768 --socket "$display" \
        --no-lockscreen --no-global-shortcuts --no-kactivities >"$log" 2>&1 &
    ;;
*)
    echo "usage: $0 gnome|kde COMMAND..." >&2
    exit 2
    ;;
esac
compositor=$!
trap 'kill "$compositor" 2>/dev/null || true; wait "$compositor" 2>/dev/null || true' EXIT

ready() {
    [[ -S $XDG_RUNTIME_DIR/$display ]] || return 1
    [[ $desktop != gnome ]] ||
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.gnome.Mutter.RemoteDesktop 2>/dev/null |
        grep -q 'boolean true'
}
for _ in $(seq 600); do
    ready && break
    if ! kill -0 "$compositor" 2>/dev/null; then
        cat "$log" >&2
        exit 1
    fi
    sleep 0.1
done

status=0
VXORV_COMPOSITOR_PID=$compositor WAYLAND_DISPLAY=$display QT_QPA_PLATFORM=wayland "$@" ||
    status=$?
if [[ $status != 0 ]]; then
    echo "in_desktop.sh: the command failed (status $status); the compositor's log:" >&2
    tail -n 40 "$log" >&2
fi
exit "$status"

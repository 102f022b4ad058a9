#!/bin/bash
# in_sway.sh <command> [args...]: runs the command as a client of a headless
# sway of its own (with Xwayland) and exits with its status. Started
# as root, it runs sway and the command as nobody (sway refuses root), with a
# runtime directory of theirs.
set -eu

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
as_user=()
if [ "$(id -u)" = 0 ]; then
    chown nobody:nogroup "$dir"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    if ! "${as_user[@]}" test -x "$1"; then
        echo "in_sway.sh: nobody cannot run $1: a directory above it is closed to other users" >&2
        exit 1
    fi
fi
chmod 700 "$dir"

echo '#!/bin/bash' > "$dir/client"
printf '%q ' "$@" >> "$dir/client"
printf '>"%s/output" 2>&1\necho $? >"%s/status"\nswaymsg exit\n' "$dir" "$dir" >> "$dir/client"
cat > "$dir/config" <<CONFIG
xwayland enable
default_border none
exec $dir/client
CONFIG
chmod 755 "$dir/client"
chmod 644 "$dir/config"
[ -z "${as_user[*]}" ] || chown nobody:nogroup "$dir/client" "$dir/config"

status=0
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$dir" XDG_RUNTIME_DIR="$dir" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    timeout -k 10 "${VXORV_SWAY_TIMEOUT:-280}" "${as_user[@]}" sway -c "$dir/config" \
    >"$dir/sway.log" 2>&1 || status=$?
# A command that outlives sway (one that ends it on purpose) still reports.
for _ in $(seq 300); do
    [ ! -s "$dir/status" ] || break
    sleep 0.1
done
cat "$dir/output" 2>/dev/null || true
if [ ! -s "$dir/status" ]; then
    echo "in_sway.sh: sway ended (status $status) before the command did; its log:" >&2
    tail -n 30 "$dir/sway.log" >&2
    exit 1
fi
exit "$(cat "$dir/status")"

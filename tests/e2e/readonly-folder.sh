#!/usr/bin/env bash
# A folder the launcher cannot write, for the end-to-end tests, as Program Files is to a
# standard user. Wine run by root ignores write bits and the read-only attribute, so the
# folder is a read-only bind mount: <root>/view shows <root>/source, which the tests fill
# and change through the writable path.
#   readonly-folder.sh up <root>     mounts (after removing a mount left by an aborted run)
#   readonly-folder.sh down <root>   unmounts
# Where mounting is not allowed (no root, no namespace of one's own) it says so and succeeds:
# the tests that need the folder then skip.
set -u
action="$1" root="$2"
view="$root/view" source="$root/source"

unmount() {
    if mountpoint -q "$view" 2>/dev/null; then umount "$view" || umount -l "$view"; fi
}

case "$action" in
up)
    unmount
    mkdir -p "$source" "$view"
    if mount --bind "$source" "$view" 2>/dev/null && mount -o remount,bind,ro "$view" 2>/dev/null; then
        echo "read-only view $view of $source"
    else
        unmount
        echo "cannot mount a read-only folder here (needs root): the read-only installation tests will skip"
    fi
    ;;
down)
    unmount
    ;;
*)
    echo "usage: $0 up|down <root>" >&2
    exit 2
    ;;
esac
exit 0

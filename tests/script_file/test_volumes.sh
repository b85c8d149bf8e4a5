#!/bin/sh
# test_volumes.sh mount|unmount DIR
# The small file systems that the file-output tests write to, under DIR:
#   full/      64 KiB; a test fills it so that a script no longer fits
#   readonly/  mounted read-only, holding earlier.cmd
#   noroom/    holding earlier.cmd and no room for another file (no inode left), like a folder
#              where the user may change a file but not create one
# DIR/mounted marks that both are there. Mounting needs root; without it nothing is mounted and
# the tests that need the volumes skip. As root a failed mount fails, and so do those tests.
set -eu

action=$1
root=$2

unmount_all() {
    for volume in "$root/full" "$root/readonly" "$root/noroom"; do
        if mountpoint -q "$volume" 2>/dev/null; then
            umount "$volume"
        fi
    done
    rm -f "$root/mounted"
}

case $action in
mount)
    if [ "$(id -u)" -ne 0 ]; then
        echo "not root: test volumes not mounted; the tests that need them skip"
        exit 0
    fi
    unmount_all
    mkdir -p "$root/full" "$root/readonly" "$root/noroom"
    mount -t tmpfs -o size=64k,mode=0777 tmpfs "$root/full"
    mount -t tmpfs -o size=64k,mode=0777 tmpfs "$root/readonly"
    printf 'earlier\r\n' >"$root/readonly/earlier.cmd"
    mount -o remount,ro "$root/readonly"
    # Two inodes: the root folder and earlier.cmd.
    mount -t tmpfs -o size=64k,nr_inodes=2,mode=0777 tmpfs "$root/noroom"
    printf 'earlier\r\n' >"$root/noroom/earlier.cmd"
    chmod 0666 "$root/noroom/earlier.cmd"
    touch "$root/mounted"
    echo "mounted $root/full (64 KiB), $root/readonly (read-only) and $root/noroom (no inode left)"
    ;;
unmount)
    unmount_all
    ;;
*)
    echo "usage: $0 mount|unmount DIR" >&2
    exit 2
    ;;
esac

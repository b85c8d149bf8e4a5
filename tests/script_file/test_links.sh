#!/bin/sh
# test_links.sh DIR
# A Unix symbolic link for the file-output tests, which Wine's CreateSymbolicLinkW cannot make:
# DIR/link.cmd leads to DIR/target.cmd, DIR/dangling.cmd to the missing DIR/missing.cmd. Made afresh
# on every run.
set -eu

root=$1
rm -rf "$root"
mkdir -p "$root"
printf 'earlier\r\n' >"$root/target.cmd"
ln -s target.cmd "$root/link.cmd"
ln -s missing.cmd "$root/dangling.cmd"

#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# CTest uses this as the cross-compiling emulator for the win32 build.
set -euo pipefail

prefix=$1
shift

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts; a caller's own overrides (a test that disables a DLL) come on top.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

mkdir -p "$(dirname "$prefix")"
# Create the prefix once; concurrent first runs wait for each other.
(
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        wineboot -i </dev/null >/dev/null 2>&1 || true
    fi
) 9>"$prefix.lock"

# Start the server with closed standard handles: a server started by the program below would
# inherit the caller's pipes and keep them open long after the program has ended.
wineserver -p30 </dev/null >/dev/null 2>&1 || true
# Likewise the prefix's background processes (services, device manager, desktop window).
wineboot </dev/null >/dev/null 2>&1 || true

exec wine "$@"

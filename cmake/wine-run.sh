#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# CTest uses this as the cross-compiling emulator for the win32 build.
#
# With CORVANE_TDH_DOUBLE=/path/to/NAME.dll the program runs in the prefix PREFIX-NAME instead,
# whose system folder for 32-bit programs holds that DLL as tdh.dll, preferred to Wine's builtin.
# Programs load tdh.dll from the system folder only, so this is how a test double reaches them.
# Each double has a prefix of its own, so tests that need different ones can run in parallel.
set -euo pipefail

prefix=$1
shift

export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts; a caller's own overrides (a test that disables a DLL) come on top.
overrides="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
# Create the prefix once; concurrent first runs wait for each other. Waiting for the server to
# end writes the registry files out, so the prefix is complete (and can be copied) afterwards.
(
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        WINEPREFIX=$prefix wineboot -i </dev/null >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1 || true
    fi
) 9>"$prefix.lock"

double=${CORVANE_TDH_DOUBLE:-}
if [ -n "$double" ]; then
    if [ ! -f "$double" ]; then
        echo "wine-run.sh: no such test double: $double" >&2
        exit 1
    fi
    base=$prefix
    prefix="$base-$(basename "$double" .dll)"
    (
        flock 9
        # A copy of the base prefix takes seconds where a new one takes about twenty.
        if [ ! -f "$prefix/system.reg" ]; then
            rm -rf "$prefix.tmp"
            # Programs running in the base prefix may remove their temporary files meanwhile.
            cp -a "$base" "$prefix.tmp" 2>/dev/null || true
            if [ ! -f "$prefix.tmp/system.reg" ]; then
                echo "wine-run.sh: could not copy $base" >&2
                exit 1
            fi
            rm -f "$prefix.tmp/wineserver" # names the base prefix's server directory
            rm -rf "$prefix"
            mv "$prefix.tmp" "$prefix"
        fi
        # Replaced by a rename, so that a program of this prefix still running keeps its mapping.
        installed="$prefix/drive_c/windows/syswow64/tdh.dll"
        if ! cmp -s "$double" "$installed"; then
            cp "$double" "$installed.new"
            mv -f "$installed.new" "$installed"
        fi
    ) 9>"$prefix.lock"
    overrides="$overrides;tdh=n,b"
fi

export WINEPREFIX=$prefix
export WINEDLLOVERRIDES="$overrides${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# Start the server with closed standard handles: a server started by the program below would
# inherit the caller's pipes and keep them open long after the program has ended.
wineserver -p30 </dev/null >/dev/null 2>&1 || true
# Likewise the prefix's background processes (services, device manager, desktop window).
wineboot </dev/null >/dev/null 2>&1 || true

exec wine "$@"

#!/usr/bin/env bash
# Start-up benchmark of corvane.exe under Wine; prints figures and never fails on them.
#   bash bench/startup_bench.sh [PAIRS] [OK_TRIALS]
# With 1,500 and with 20,000 providers from the fixture Tdh.dll:
# - start to visible main dialog, corvane.exe against a bare program that shows the same template
#   with its lists filled the same way, in paired runs (target: ratio at most 1.05); and again
#   against the bare program that also prepares the thread (COM, common controls) as corvane.exe
#   does, which tells that preparation apart from the rest;
# - the OK command with every entry of the three lists selected against one entry (target: a
#   difference under one 60 Hz frame, 16.7 ms); with every provider selected it ends at its
#   refusal of a line too long for the command prompt.
# Runs on $DISPLAY when it answers, else on a private virtual screen.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/display.sh

pairs=${1:-15}
trials=${2:-21}
build="$PWD/build/win32"
work="$build/bench/startup-work"

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target corvane corvane_bare_dialog corvane_bare_dialog_com \
    corvane_startup_probe corvane_ok_bench providers_tdh_fixture >/dev/null
corvane_ensure_display
mkdir -p "$work"

windows_path() {
    local path=$1
    echo "Z:${path//\//\\}"
}

# Under Wine, in the bench prefix with the fixture as the system's Tdh.dll. Output goes to a file:
# a pipe from a Wine program can stay open after the program has ended.
run() {
    local output="$work/output.txt"
    local status=0
    CORVANE_TDH_DOUBLE="$build/tests/providers/doubles/tdh_fixture.dll" \
        cmake/wine-run.sh "$build/bench/wineprefix" "$@" </dev/null >"$output" 2>&1 || status=$?
    cat "$output"
    return $status
}

for count in 1500 20000; do
    printf 'providers %d Bench-Provider-\n' "$count" >"$work/providers-$count.txt"
    export CORVANE_TDH_FIXTURE_SCRIPT
    CORVANE_TDH_FIXTURE_SCRIPT=$(windows_path "$work/providers-$count.txt")
    echo "== $count providers: start to visible main dialog, corvane.exe against the bare dialog"
    run "$build/bench/corvane_startup_probe.exe" "$pairs" "$(windows_path "$build/corvane.exe")" \
        "$(windows_path "$build/bench/corvane_bare_dialog.exe")"
    echo "== $count providers: the same against the bare dialog that prepares COM and the controls"
    run "$build/bench/corvane_startup_probe.exe" "$pairs" "$(windows_path "$build/corvane.exe")" \
        "$(windows_path "$build/bench/corvane_bare_dialog_com.exe")"
    echo "== $count providers: OK command, everything selected against one entry"
    run "$build/bench/corvane_ok_bench.exe" "$trials"
done

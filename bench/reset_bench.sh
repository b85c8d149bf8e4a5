#!/usr/bin/env bash
# Builds and runs the Reset benchmark (Reset with the tips made, against the bare dialog's refill)
# under Wine, with the fixture Tdh.dll as the system's and the dialog on a screen: $DISPLAY when
# it answers, else a private virtual one.
#   bash bench/reset_bench.sh [--runs N] [PROVIDERS...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/display.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target reset_bench providers_tdh_fixture >/dev/null
corvane_ensure_display

build="$PWD/build/win32"
CORVANE_TDH_DOUBLE="$build/tests/providers/doubles/tdh_fixture.dll" \
    cmake/wine-run.sh "$build/wineprefix" "$build/bench/reset_bench.exe" "$@" </dev/null

#!/usr/bin/env bash
# Installs what is missing, builds both presets with warnings as errors and runs every test:
# the host core tests, the same again under AddressSanitizer and UndefinedBehaviorSanitizer,
# bounded fuzzing runs of the provider buffer reader, the script assembly and the profile reader,
# the Windows build's tests under Wine on a virtual screen, the end-to-end suite that drives the
# built corvane.exe through X input, the release package's checks, a Clang build for Windows and
# a configure run without the test libraries.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/display.sh

bash scripts/install-deps.sh

echo "== formatting"
bash scripts/check-format.sh

echo "== host"
cmake --preset host -DCORVANE_WERROR=ON >/dev/null
cmake --build --preset host
ctest --preset host

echo "== host with sanitizers"
cmake --preset host-sanitize -DCORVANE_WERROR=ON >/dev/null
cmake --build --preset host-sanitize
ctest --preset host-sanitize

echo "== fuzzing the provider buffer reader, the script assembly and the profile reader (Clang, libFuzzer)"
cmake --preset fuzz -DCORVANE_WERROR=ON >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

echo "== win32 under Wine"
cmake --preset win32 -DCORVANE_WERROR=ON >/dev/null
cmake --build --preset win32
# Window tests need a screen of their own: keys and focus must not reach the user's desktop.
corvane_ensure_display force-virtual
ctest --preset win32

echo "== end to end: corvane.exe driven through X input (pytest)"
# Debian's interpreter, which has python3-pytest; the suite starts its own Xvfb and Wine prefix.
/usr/bin/python3 -m pytest -q -p no:cacheprovider tests/e2e
# The tests' prefixes: the base one and one per Tdh.dll test double.
for prefix in build/win32/wineprefix build/win32/wineprefix-*/; do
    [ -f "$prefix/system.reg" ] && WINEPREFIX="$PWD/${prefix%/}" wineserver -k 2>/dev/null || true
done

echo "== the Windows release: package, contents, reproducibility"
cmake --build --preset win32 --target package >/dev/null
bash scripts/check-release.sh build/win32
bash scripts/check-reproducible.sh build/win32

echo "== win32 with Clang (build only)"
cmake --preset win32-clang -DCORVANE_WERROR=ON >/dev/null
cmake --build --preset win32-clang

echo "== configure without Google Benchmark and GoogleTest"
mkdir -p build
cmake -S . -B build/without-test-libraries -G Ninja -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCORVANE_GTEST_SOURCE=/nonexistent \
    -DCORVANE_WERROR=ON >build/without-test-libraries.log
grep "Google Benchmark not found: benchmarks are not built" build/without-test-libraries.log
grep "GoogleTest not found: tests are not built" build/without-test-libraries.log
cmake --build build/without-test-libraries

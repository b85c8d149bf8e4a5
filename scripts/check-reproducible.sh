#!/usr/bin/env bash
# Builds the Windows release twice, from two clean copies of the working tree in folders of
# different names and depths, and fails unless both give a byte-identical corvane.exe and zip.
# With a build folder as argument (the test command passes build/win32, packaged just before),
# that build's release must give the same bytes as well.
set -euo pipefail
cd "$(dirname "$0")/.."
compare_with=${1:-}

# The time of the last commit stamps the zip entries, the same in every copy.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
trees=("$work/one/corvane" "$work/second-copy/of/the/sources")

# The files git knows or would add, as they are now (uncommitted changes included).
copy_tree() {
    python3 - "$1" <<'PY'
import os, shutil, subprocess, sys
names = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                       check=True, capture_output=True).stdout.decode().split("\0")
for name in filter(os.path.isfile, filter(None, names)):
    target = os.path.join(sys.argv[1], name)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copy2(name, target)
PY
}

hashes() {
    local build=$1
    local zip
    zip=$(ls "$build"/Corvane-*-win32.zip)
    echo "corvane.exe $(sha256sum "$build/corvane.exe" | cut -d' ' -f1)"
    echo "$(basename "$zip") $(sha256sum "$zip" | cut -d' ' -f1)"
}

results=()
for tree in "${trees[@]}"; do
    mkdir -p "$tree"
    copy_tree "$tree"
    (
        cd "$tree"
        cmake --preset win32 -DCORVANE_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
        cmake --build --preset win32 --target package >/dev/null
    )
    results+=("$(hashes "$tree/build/win32")")
    echo "$tree:"
    echo "${results[-1]}" | sed 's/^/    /'
done

if [ "${results[0]}" != "${results[1]}" ]; then
    echo "the two release builds differ" >&2
    exit 1
fi
if [ -n "$compare_with" ]; then
    if [ "$(hashes "$compare_with")" != "${results[0]}" ]; then
        echo "$compare_with differs from the clean release builds:" >&2
        hashes "$compare_with" >&2
        exit 1
    fi
    echo "$compare_with gives the same bytes"
fi
echo "reproducible: both builds give the same corvane.exe and zip"

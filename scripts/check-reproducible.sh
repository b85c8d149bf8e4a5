#!/usr/bin/env bash
# Builds the Windows release from clean copies of the working tree, in folders of different names
# and depths, and fails unless they give a byte-identical corvane.exe and zip.
#   check-reproducible.sh             two clean copies, compared with each other
#   check-reproducible.sh BUILD_DIR   one clean copy, compared with the release that BUILD_DIR
#                                     has just packaged (the test command passes build/win32)
set -euo pipefail
cd "$(dirname "$0")/.."
compare_with=${1:-}

# The time of the last commit stamps the zip entries, the same in every copy.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
trees=("$work/one/corvane")
if [ -z "$compare_with" ]; then
    trees+=("$work/second-copy/of/the/sources")
fi

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

builds=()
for tree in "${trees[@]}"; do
    mkdir -p "$tree"
    copy_tree "$tree"
    (
        cd "$tree"
        cmake --preset win32 -DCORVANE_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
        # What the package target does, without building the rest first.
        cmake --build --preset win32 --target corvane_release_programs >/dev/null
        cd build/win32 && cpack --config CPackConfig.cmake >/dev/null
    )
    builds+=("$tree/build/win32")
done
if [ -n "$compare_with" ]; then
    builds+=("$compare_with")
fi

for build in "${builds[@]}"; do
    echo "$build:"
    hashes "$build" | sed 's/^/    /'
done
if [ "$(hashes "${builds[0]}")" != "$(hashes "${builds[1]}")" ]; then
    echo "the two release builds differ" >&2
    exit 1
fi
echo "reproducible: both builds give the same corvane.exe and zip"

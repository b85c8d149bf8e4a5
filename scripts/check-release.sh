#!/usr/bin/env bash
# Checks the Windows release package of a build folder (default build/win32) after
# `cmake --build --preset win32 --target package`: the checksum file matches, the zip holds
# exactly the files the build names in package-files.txt, the recipes of profiles/ among them,
# and every program in it carries no debug sections, imports only DLLs that every Windows has and
# names Windows 7 (subsystem version 6.1) as the oldest it runs on.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build/win32}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
zip_name="Corvane-$version-win32.zip"
zip="$build_dir/$zip_name"
objdump=i686-w64-mingw32-objdump
system_dlls="kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll ole32.dll
             oleaut32.dll advapi32.dll msvcrt.dll"

fail() {
    echo "release check: $*" >&2
    exit 1
}

[ -f "$zip" ] || fail "$zip is missing"
[ -f "$zip.sha256" ] || fail "$zip.sha256 is missing"
read -r expected_hash listed_name <"$zip.sha256"
[ "$listed_name" = "$zip_name" ] || fail "$zip.sha256 names '$listed_name'"
[ "$(sha256sum "$zip" | cut -d' ' -f1)" = "$expected_hash" ] || fail "$zip does not match $zip.sha256"

# The build's list may grow by more programs; these files and every recipe are always in it.
for required in corvane.exe corvane-script.exe LICENSE.txt README.txt profiles/*.profile; do
    grep -qx "$required" "$build_dir/package-files.txt" || fail "package-files.txt lacks $required"
done
expected=$(sort "$build_dir/package-files.txt")
actual=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip" | sort)
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "$zip does not hold exactly the files of package-files.txt (< expected, > found)"
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$unpacked"
for program in "$unpacked"/*.exe; do
    name=$(basename "$program")
    if "$objdump" -h "$program" | grep -q ' \.debug'; then
        fail "$name carries debug sections"
    fi
    mapfile -t imports < <("$objdump" -p "$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z')
    [ ${#imports[@]} -gt 0 ] || fail "$name lists no imported DLLs"
    for dll in "${imports[@]}"; do
        case " $(echo $system_dlls) " in
        *" $dll "*) ;;
        *) fail "$name imports $dll, which is not a system DLL" ;;
        esac
    done
    subsystem=$("$objdump" -p "$program" |
        awk '$1 == "MajorSubsystemVersion" { major = $2 } $1 == "MinorSubsystemVersion" { minor = $2 }
             END { print major "." minor }')
    [ "$subsystem" = "6.1" ] || fail "$name has subsystem version $subsystem, not 6.1 (Windows 7)"
    echo "$name: $(stat -c %s "$program") bytes, no debug sections, Windows $subsystem," \
        "imports ${imports[*]}"
done
echo "$zip_name: $(echo "$actual" | tr '\n' ' ')sha256 $expected_hash"

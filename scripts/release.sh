#!/usr/bin/env bash
# Makes the Windows release: builds the win32 preset and packages it into
# build/win32/Corvane-<version>-win32.zip with its .sha256, then checks the package.
# The zip's entries carry the time of the last commit (or $SOURCE_DATE_EPOCH).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target package
bash scripts/check-release.sh build/win32

#!/usr/bin/env bash
# Regenerates the documentation's pictures (docs/*.png) and its example script from the real
# program: builds corvane.exe, runs it on a private virtual screen, once as it opens and once with
# sample providers from the test Tdh.dll and a selection, saves that selection's script and
# writes it into docs/dialog.md. Safe to run again; needs no input.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target corvane corvane_inspector providers_tdh_fixture
/usr/bin/python3 scripts/lib/pictures.py docs

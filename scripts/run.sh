#!/usr/bin/env bash
# Installs what is missing, builds Corvane and corvane-script for 32-bit Windows and starts
# Corvane under Wine.
# With a screen ($DISPLAY answers) the window opens there and this waits until it is closed.
# Without one (a server, CI) it runs on a virtual screen, saves a screenshot of the window, closes
# the program and says where the picture is.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target corvane corvane-script
echo "corvane-script for Windows: $PWD/build/win32/corvane-script.exe (run it with wine, or copy it)"

program=build/win32/corvane.exe
prefix="$PWD/build/win32/wineprefix"

if [ -z "${CI:-}" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "Starting Corvane on $DISPLAY"
    # Wine's own Marlett (fonts-wine) draws the caption buttons, which read "0 1 r" without it;
    # this Wine does not load fonts from that package's folder, so the prefix gets a copy. Only
    # Marlett: Wine's Tahoma would make the dialog's labels wrap. The first run makes the prefix.
    fonts="$prefix/drive_c/windows/Fonts"
    if [ ! -f "$fonts/marlett.ttf" ]; then
        cmake/wine-run.sh "$prefix" cmd /c exit </dev/null >/dev/null 2>&1 || true
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
    set +e
    cmake/wine-run.sh "$prefix" "$program"
    code=$?
    set -e
    # 2 is what Corvane returns when its window is closed (OK, Cancel, Escape or the close box).
    echo "Corvane exited with code $code ($([ "$code" -eq 2 ] && echo "a normal close" || echo "not a normal close: that is 2"))"
    exit 0
fi

# Its own Xvfb and a Wine virtual desktop, so that Wine draws the frame and caption that a window
# manager would; the picture is cropped to the window. Every wait has a limit.
echo "No screen here: running Corvane on a virtual screen"
cmake --build --preset win32 --target corvane_inspector >/dev/null
screenshot="$PWD/build/corvane-screenshot.png"
/usr/bin/python3 scripts/lib/pictures.py run "$screenshot"
echo "Screenshot: $screenshot"

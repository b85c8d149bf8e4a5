#!/usr/bin/env bash
# Installs what is missing, builds Corvane for 32-bit Windows and starts it under Wine.
# With a screen ($DISPLAY answers) the window opens there and this waits until it is closed.
# Without one (a server, CI) it runs on a virtual screen, saves a screenshot, closes the program
# and says where the picture is.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/display.sh

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target corvane

program=build/win32/corvane.exe
prefix="$PWD/build/win32/wineprefix"

if [ -z "${CI:-}" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "Starting Corvane on $DISPLAY"
    set +e
    cmake/wine-run.sh "$prefix" "$program"
    code=$?
    set -e
    echo "Corvane exited with code $code"
    exit 0
fi

corvane_ensure_display force-virtual
echo "No screen here: running Corvane on the virtual screen $DISPLAY"
cmake/wine-run.sh "$prefix" "$program" </dev/null >/dev/null 2>&1 &
program_pid=$!

window=""
for _ in $(seq 1 120); do
    window=$(xdotool search --onlyvisible --name '^Corvane - ' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    if ! kill -0 "$program_pid" 2>/dev/null; then
        echo "Corvane ended before its window appeared" >&2
        exit 1
    fi
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "Corvane's window did not appear" >&2
    kill "$program_pid" 2>/dev/null || true
    exit 1
fi

sleep 2 # let the dialog paint its lists and controls
screenshot="$PWD/build/corvane-screenshot.png"
import -window root "$screenshot"

# No window manager runs here, so the keyboard focus follows the pointer: point at the dialog,
# then press Escape, which the dialog turns into Cancel.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 20)) $((Y + 20))
sleep 0.3
xdotool key Escape
set +e
wait "$program_pid"
code=$?
set -e
echo "Corvane closed with exit code $code"
echo "Screenshot: $screenshot"

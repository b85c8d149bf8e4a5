# Sourced by the scripts: gives Wine a screen. Uses $DISPLAY when it answers, else starts a
# private Xvfb on the first free display number and stops it when the calling script exits.

corvane_xvfb_pid=""

corvane_stop_xvfb() {
    if [ -n "$corvane_xvfb_pid" ]; then
        kill "$corvane_xvfb_pid" 2>/dev/null || true
        wait "$corvane_xvfb_pid" 2>/dev/null || true
        corvane_xvfb_pid=""
    fi
}

# corvane_ensure_display [force-virtual]
corvane_ensure_display() {
    if [ "${1:-}" != "force-virtual" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local number
    for number in $(seq 90 130); do
        if [ ! -e "/tmp/.X${number}-lock" ] && [ ! -e "/tmp/.X11-unix/X${number}" ]; then
            Xvfb ":${number}" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
            corvane_xvfb_pid=$!
            export DISPLAY=":${number}"
            local tries
            for tries in $(seq 1 100); do
                if xdpyinfo >/dev/null 2>&1; then
                    trap corvane_stop_xvfb EXIT
                    return 0
                fi
                sleep 0.1
            done
            corvane_stop_xvfb
        fi
    done
    echo "could not start Xvfb" >&2
    return 1
}

# Sourced by the scripts: starts Xvfb (1920x1080x24) when there is no display, exports
# DISPLAY and stops the server when the calling script ends. The server picks a free
# display number itself and writes it once it accepts clients: two scripts started
# together never end up on one display (each would see the other's windows and take
# the keyboard focus from them), and nothing waits on a guessed number.
if [ -z "${DISPLAY:-}" ]; then
    xvfb_number=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$xvfb_number" >/dev/null 2>&1 &
    XVFB_PID=$!
    trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
    for _ in $(seq 1 600); do
        [ -s "$xvfb_number" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$xvfb_number" ]; then
        echo "Xvfb did not start" >&2
        rm -f "$xvfb_number"
        exit 1
    fi
    export DISPLAY=":$(cat "$xvfb_number")"
    rm -f "$xvfb_number"
fi

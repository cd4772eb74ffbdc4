# Shared helpers of the end-to-end tests: each test runs the real program in a fresh
# working directory (shaders/ and assets/ linked from the run directory, no
# config.gcfg), drives it with xdotool and looks at it with ImageMagick's import.
set -euo pipefail

GAME=$(readlink -f "$1")
XCLOSE=$(readlink -f "$2")
RUN_DIR=$(dirname "$GAME")
TEST_NAME=$(basename "$0" .sh)
ARTIFACTS=${E2E_ARTIFACTS:-/tmp/brackenhold-e2e}/$TEST_NAME
rm -rf "$ARTIFACTS"
mkdir -p "$ARTIFACTS"
WORK_DIR=$(mktemp -d)
ln -s "$RUN_DIR/shaders" "$WORK_DIR/shaders"
ln -s "$RUN_DIR/assets" "$WORK_DIR/assets"
GAME_PID=""
WINDOW_ID=""

fail() {
    echo "FAIL: $*" >&2
    [ -f "$ARTIFACTS/stdout.txt" ] && { echo "--- game stdout:" >&2; cat "$ARTIFACTS/stdout.txt" >&2; }
    [ -f "$ARTIFACTS/stderr.txt" ] && { echo "--- game stderr:" >&2; tail -n 30 "$ARTIFACTS/stderr.txt" >&2; }
    exit 1
}

cleanup() {
    if [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; then kill -9 "$GAME_PID" 2>/dev/null || true; fi
    rm -rf "$WORK_DIR"
}
trap cleanup EXIT

# Starts the game in the working directory; stdout and stderr go to the artifacts.
game_start() {
    (cd "$WORK_DIR" && exec "$GAME" >"$ARTIFACTS/stdout.txt" 2>"$ARTIFACTS/stderr.txt") &
    GAME_PID=$!
}

# Waits (up to $1 seconds, default 60) for the game window and keeps its id.
game_wait_window() {
    local limit=${1:-60}
    for _ in $(seq 1 $((limit * 10))); do
        # This game's own window: other programs may share the display.
        WINDOW_ID=$(xdotool search --all --pid "$GAME_PID" --name '^Brackenhold$' 2>/dev/null | head -n 1 || true)
        if [ -n "$WINDOW_ID" ]; then return 0; fi
        kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended before its window appeared"
        sleep 0.1
    done
    fail "no game window after $limit s"
}

# Closes the window as a window manager's close button does.
game_close() {
    "$XCLOSE" "$WINDOW_ID"
}

# Waits (up to $1 seconds, default 30) for the game to end; its exit status is then
# in GAME_STATUS.
GAME_STATUS=""
game_wait_exit() {
    local limit=${1:-30}
    for _ in $(seq 1 $((limit * 10))); do
        if ! kill -0 "$GAME_PID" 2>/dev/null; then
            GAME_STATUS=0
            wait "$GAME_PID" || GAME_STATUS=$?
            GAME_PID=""
            return 0
        fi
        sleep 0.1
    done
    fail "the game did not end within $limit s"
}

# Saves a screenshot of the whole screen as $ARTIFACTS/$1.png.
screenshot() {
    import -window root "$ARTIFACTS/$1.png"
}

# Moves the pointer to window coordinates ($1, $2) and clicks button ${3:-1}.
click_at() {
    xdotool mousemove --window "$WINDOW_ID" "$1" "$2"
    sleep 0.2
    xdotool click "${3:-1}"
}

# Fails if the game printed anything but the diagnostic lines it may print.
expect_only_diagnostics() {
    local unexpected
    unexpected=$(grep -v -E '^(focus|maximize|Recreating swapchain!)$' "$ARTIFACTS/stdout.txt" || true)
    [ -z "$unexpected" ] || fail "unexpected output: $unexpected"
}

# Mean brightness (0..1) of a screenshot region: $1 file, $2 geometry WxH+X+Y.
region_brightness() {
    convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:mean]' info:
}

# Shared helpers of the end-to-end tests: each test runs the real program in a fresh
# working directory (shaders/ and assets/ linked from the run directory, no
# config.gcfg unless the test writes one) on an X server of its own, drives it with
# xdotool and looks at it with ImageMagick's import and convert and with Tesseract.
#
# Frames are slow on lavapipe, and slower still on a loaded machine (about one a
# second in play at a load of 40 on 8 cores): nothing here assumes a frame rate. A
# key or button is held until the screen shows its effect, and pressed again only
# after a while in which the game drew many frames (Escape, which opens and closes,
# never once a handler of the game took it); waits end on what the screen shows, and a
# wait that runs out has still looked at least three times and let the game draw
# WAIT_FRAMES frames, as the game's trace counts them.
#
# On failure the test's log says where its artifacts are (screenshots, the game's
# output and trace) and prints the game's whole output and trace; every xdotool
# action is logged with its time of day, as the trace stamps the game's key events.
set -euo pipefail

GAME=$(readlink -f "$1")
XCLOSE=$(readlink -f "$2")
RUN_DIR=$(dirname "$GAME")
TEST_NAME=$(basename "$0" .sh)
WORK_DIR=$(mktemp -d)
ln -s "$RUN_DIR/shaders" "$WORK_DIR/shaders"
ln -s "$RUN_DIR/assets" "$WORK_DIR/assets"
GAME_PID=""
WINDOW_ID=""
XVFB_PID=""

# The time of day to the millisecond, as the game's trace (BRACKENHOLD_TRACE) stamps
# its lines: the test's actions and the game's key events and frames line up by it.
stamp() {
    local now=${EPOCHREALTIME/,/.}
    local fraction=${now#*.}
    printf '%(%H:%M:%S)T.%s' "${now%.*}" "${fraction:0:3}"
}
# A line of the test's log, stamped.
log() { echo "$(stamp) $*" >&2; }

# A command whose failure ends the test (set -e) is named, with its line and status
# (ERR reaches into functions with set -E; subshells say nothing, their failures are
# their callers' to judge).
on_error() {
    local status=$?
    if [ "$BASHPID" = $$ ]; then log "FAIL: status $status of \"$2\" at line $1"; fi
}
set -E
trap 'on_error "$LINENO" "$BASH_COMMAND"' ERR

# Every xdotool action is logged with its time (queries are not).
xdotool() {
    case "$1" in
    search | getwindowgeometry | getactivewindow | getwindowfocus | getmouselocation) ;;
    *) log "xdotool $*" ;;
    esac
    command xdotool "$@"
}

# The screenshots, the game's output and its trace go to a folder of the test's own,
# kept after the test (build/e2e-artifacts/<test> under ctest): <test>, or <test>-2,
# -3... while the one before is held by a run of the same test that is still going
# (each holds a lock on <folder>.lock, which goes with its process however it ends),
# so that two runs side by side never share one.
ARTIFACTS_BASE=${E2E_ARTIFACTS:-${TMPDIR:-/tmp}/brackenhold-e2e}
mkdir -p "$ARTIFACTS_BASE"
ARTIFACTS=""
for suffix in "" $(seq -f -%g 2 64); do
    exec {ARTIFACTS_LOCK}>"$ARTIFACTS_BASE/$TEST_NAME$suffix.lock"
    if flock -n "$ARTIFACTS_LOCK"; then
        ARTIFACTS=$ARTIFACTS_BASE/$TEST_NAME$suffix
        break
    fi
    exec {ARTIFACTS_LOCK}>&-
done
[ -n "$ARTIFACTS" ] || { echo "FAIL: no free artifacts folder for $TEST_NAME in $ARTIFACTS_BASE" >&2; exit 1; }
rm -rf "$ARTIFACTS"
mkdir -p "$ARTIFACTS"
log "$TEST_NAME: screenshots, the game's output and trace in $ARTIFACTS"

# Tesseract and ImageMagick share their work out to OpenMP threads that spin while
# they wait for each other: on a loaded machine one reading then took minutes
# (133 s against 1 s at a load of 59). One thread each.
export OMP_THREAD_LIMIT=1

fail() {
    log "FAIL: $*"
    exit 1
}

# After a failure: where the artifacts are and what they hold, then the whole output
# of the game (each run's, for tests that start it more than once) and its trace.
report_failure() {
    echo "--- the artifacts of $TEST_NAME are kept in $ARTIFACTS:"
    ls -l --time-style=+%H:%M:%S "$ARTIFACTS" | sed 1d
    local file
    for file in "$ARTIFACTS"/stdout*.txt "$ARTIFACTS"/stderr*.txt "$ARTIFACTS"/trace*.txt; do
        [ -f "$file" ] || continue
        echo "--- $(basename "$file") ($(wc -l <"$file") lines):"
        cat "$file"
    done
    echo "--- end of the artifacts of $TEST_NAME"
}

# Every key and button a test holds (E2E_DISPLAY=shared: the next test finds none
# held, whatever made this one stop).
release_all() {
    xdotool keyup Escape Return w a s d space ctrl shift Left Right 2>/dev/null || true
    xdotool mouseup 1 2>/dev/null || true
    xdotool mouseup 3 2>/dev/null || true
}

# $1: the test's exit status (default: that of the last command, as in an EXIT trap).
cleanup() {
    local status=${1:-$?}
    [ -n "${DISPLAY:-}" ] && release_all
    if [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; then kill -9 "$GAME_PID" 2>/dev/null || true; fi
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    rm -rf "$WORK_DIR"
    if [ "$status" != 0 ]; then report_failure >&2 || true; fi
}
trap cleanup EXIT

# With E2E_TIMEOUT set (ctest sets it a minute short of the test's timeout), a test
# still running after so many seconds fails, with its report, rather than being killed
# without one. The watcher goes within seconds of the test's shell.
if [ -n "${E2E_TIMEOUT:-}" ]; then
    trap 'fail "the test ran longer than its $E2E_TIMEOUT s (E2E_TIMEOUT)"' TERM
    (
        deadline=$((SECONDS + E2E_TIMEOUT))
        while kill -0 $$ 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 2; done
        kill -TERM $$ 2>/dev/null
    ) >/dev/null 2>&1 {ARTIFACTS_LOCK}>&- &
fi

# An X server of the test's own, so that no other program's windows or focus changes
# reach the game, and tests can run side by side. The server picks a free display
# number itself and writes it when it is ready (two servers started together never
# share one). It goes when the test's shell goes, whatever trap the test sets.
# E2E_DISPLAY=shared uses $DISPLAY instead (to watch a test on a desktop).
start_display() {
    local number_file="$WORK_DIR/.display"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$number_file" >/dev/null 2>&1 \
        {ARTIFACTS_LOCK}>&- &
    XVFB_PID=$!
    for _ in $(seq 1 600); do
        [ -s "$number_file" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start"
        sleep 0.1
    done
    [ -s "$number_file" ] || fail "Xvfb gave no display within 60 s"
    export DISPLAY=":$(cat "$number_file")"
    local shell_pid=$$ server=$XVFB_PID
    (while kill -0 "$shell_pid" 2>/dev/null; do sleep 2; done; kill "$server" 2>/dev/null) >/dev/null 2>&1 &
}
if [ "${E2E_DISPLAY:-}" != shared ]; then
    start_display
fi

# Writes config.gcfg into the working directory (53 bytes, little-endian): mouse speed
# 1, cheats $2 (default 0), shadow quality $1 (default 0, "Low": the shadow map of
# the smallest size, the cheapest frames on lavapipe), windowed at (0, 0).
write_config() {
    local quality=${1:-0} cheats=${2:-0}
    {
        printf '\x00\x00\x80\x3f'                      # mouse speed 1.0
        printf "\\x$(printf %02x "$cheats")"           # cheats
        printf "\\x$(printf %02x "$quality")\\x00\\x00\\x00" # shadow quality
        printf '\x00\x00\x00\x00%.0s' 1 2 3            # full-screen mode, refresh mode, monitor
        printf '\x00\x00\x00\x00'                      # full screen, maximized, padding
        printf '\x00\x00\x00\x00\x00\x00\x00\x00'      # x, y
        printf '\x80\x07\x00\x00\x38\x04\x00\x00'      # 1920 x 1080 (each start opens so)
        printf '\x00\x00\x00\x00'                      # refresh rate
        printf '\x00\x00\x00\x00\x00\x00\x00\x00'      # monitor handle
    } >"$WORK_DIR/config.gcfg"
    [ "$(stat -c %s "$WORK_DIR/config.gcfg")" = 53 ] || fail "config.gcfg is not 53 bytes"
}

# Starts the game in the working directory; stdout and stderr go to the artifacts, and
# so does its trace (its key events, screens and frame times).
TRACE_FILE=$ARTIFACTS/trace.txt
game_start() {
    (cd "$WORK_DIR" && BRACKENHOLD_TRACE="$TRACE_FILE" exec "$GAME" >"$ARTIFACTS/stdout.txt" \
        2>"$ARTIFACTS/stderr.txt" {ARTIFACTS_LOCK}>&-) &
    GAME_PID=$!
    log "game started (process $GAME_PID)"
}

# The frames the game has drawn since time of day $1 (stamp's form), as its trace's
# lines of frames (about one a second) count them: those of the periods that began
# after it, so a count that leaves out the frames of the period under way.
frames_since() {
    [ -f "$TRACE_FILE" ] || { echo 0; return; }
    awk -v since="$1" 'function seconds(t, p) { split(t, p, ":"); return p[1] * 3600 + p[2] * 60 + p[3] }
        $4 == "frames" && seconds($1) - $7 >= seconds(since) { n += $5 } END { print n + 0 }' "$TRACE_FILE"
}

# The number of lines of the trace, and the lines written after the first $1 of them.
trace_mark() { if [ -f "$TRACE_FILE" ]; then wc -l <"$TRACE_FILE"; else echo 0; fi; }
trace_since() { tail -n +"$(($1 + 1))" "$TRACE_FILE" 2>/dev/null || true; }

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

# Width and height of the game window as X reports them.
window_size() {
    xdotool getwindowgeometry "$WINDOW_ID" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p'
}

# Gives the game window the keyboard focus, at the top left of the screen, sized
# $1 x $2; WIDTH and HEIGHT then hold its size.
game_window_at() {
    focus_game
    xdotool windowsize "$WINDOW_ID" "$1" "$2"
    xdotool windowmove "$WINDOW_ID" 0 0
    for _ in $(seq 1 100); do
        read -r WIDTH HEIGHT < <(window_size)
        [ "$WIDTH" = "$1" ] && [ "$HEIGHT" = "$2" ] && return 0
        sleep 0.1
    done
    fail "the window is ${WIDTH}x$HEIGHT, not $1x$2"
}

# Saves a screenshot of the whole screen as $ARTIFACTS/$1.png.
screenshot() {
    import -window root "$ARTIFACTS/$1.png"
}

# Saves a screenshot of the game window alone as $ARTIFACTS/$1.png.
shot() {
    import -window "$WINDOW_ID" "$ARTIFACTS/$1.png"
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

# Standard deviation of a region's brightness: $1 file, $2 geometry.
region_spread() {
    convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:
}

# Mean of one channel (r, g or b) of a region: $1 file, $2 geometry, $3 channel.
region_channel() {
    convert "$1" -crop "$2" +repage -format "%[fx:mean.$3]" info:
}

above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# Keys go to the window that has the keyboard focus: the game's, before every key.
focus_game() {
    xdotool windowfocus --sync "$WINDOW_ID" 2>/dev/null || xdotool windowfocus "$WINDOW_ID"
}

# A key or button let go is noted, and the next press comes no sooner than
# INPUT_GAP seconds after it: the game counts a press that comes and goes between two
# frames (it keeps the press events), so no frame needs to see the key up in between;
# the gap only keeps presses apart in the screenshots.
INPUT_GAP=0.3
released_at=0
note_release() { released_at=$EPOCHREALTIME; }
wait_input_gap() {
    local rest
    rest=$(awk -v now="$EPOCHREALTIME" -v then="$released_at" -v gap="$INPUT_GAP" \
        'BEGIN { r = gap - (now - then); print (r > 0 ? r : 0) }')
    sleep "$rest"
}

# Takes shots named $2 of the game window until `$3 <shot file> [$4...]` passes, and
# returns 1 once $1 seconds have gone by, it has looked at least three times and the
# game has drawn WAIT_FRAMES frames since it began (whatever the frames, after
# WAIT_CAP times $1 seconds: a game that draws so few is stalled).
WAIT_FRAMES=20
WAIT_CAP=5
seen_within() {
    local limit=$1 name=$2 check=$3 looks=0 began=$SECONDS since frames
    shift 3
    local end=$((SECONDS + limit)) cap=$((SECONDS + WAIT_CAP * limit))
    since=$(stamp)
    while :; do
        kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while waiting for $name"
        shot "$name"
        looks=$((looks + 1))
        if "$check" "$ARTIFACTS/$name.png" "$@"; then
            log "$name: seen at look $looks ($((SECONDS - began)) s)"
            return 0
        fi
        if [ $SECONDS -ge $end ] && [ $looks -ge 3 ]; then
            frames=$(frames_since "$since")
            if [ "$frames" -ge $WAIT_FRAMES ] || [ $SECONDS -ge $cap ]; then
                log "$name: not seen in $looks looks ($((SECONDS - began)) s, $frames frames)"
                return 1
            fi
        fi
        sleep 0.3
    done
}

# As seen_within, but fails the test when the screen never shows it.
wait_for() {
    seen_within "$@" || fail "$2: not seen within $1 s"
}

# How long a press may take to show its effect before it is made again: 30 s (then
# 45, 60...) and WAIT_FRAMES frames, so that a press that did act is seen before it is
# made again. Longer for an effect that takes game time (PATIENCE=120
# hold_button_until ...).
PATIENCE=30

# The first line of the game's trace after line $1 that says a handler took an Escape
# press (the tools, a pop-up, a window or the pause menu: pressed again, the key would
# undo what it did), without its time; fails when there is none. (Read by one reader
# that takes all its input: under pipefail, `grep -q` leaving early fails the pipe.)
escape_handled_since() {
    trace_since "$1" | awk '/ Escape pressed, handled by / && !/handled by nobody$/ && !found {
        found = 1; sub(/^[^ ]* /, ""); print } END { exit !found }'
}

# Holds keys $4... (xdotool names) with the game window focused until `$3 <shot>`
# passes on shots named $2, then lets them go; made again after PATIENCE seconds
# without the effect, until $1 seconds have gone by. Escape is not made again once a
# handler has taken it: it is held on until the effect shows or the time is up.
hold_keys_until() {
    local limit=$1 name=$2 check=$3 try=1 mark handled
    shift 3
    local end=$((SECONDS + limit))
    while :; do
        wait_input_gap
        focus_game
        mark=$(trace_mark)
        xdotool keydown "$@"
        if seen_within $((PATIENCE + 15 * try - 15)) "$name" "$check"; then
            xdotool keyup "$@"
            note_release
            return 0
        fi
        if [[ " $* " == *" Escape "* ]] && handled=$(escape_handled_since "$mark"); then
            log "note: $name: the game took Escape ($handled); held on, not pressed again"
            seen_within $((end - SECONDS > PATIENCE ? end - SECONDS : PATIENCE)) "$name" "$check" ||
                fail "$name: not seen within $limit s of holding $*, which the game took"
            xdotool keyup "$@"
            note_release
            return 0
        fi
        xdotool keyup "$@"
        note_release
        [ $SECONDS -lt $end ] || fail "$name: not seen within $limit s of holding $*"
        log "note: $name: nothing seen after holding $* $((PATIENCE + 15 * try - 15)) s; pressed again"
        try=$((try + 1))
    done
}

# Taps keys $5... (xdotool names) with the game window focused, each tap $4 seconds
# long and judged after the screen has caught up, until `$3 <shot>` passes on shots
# named $2 (up to $1 seconds): for keys whose effect grows while they are held (the
# camera's flight), which a hold judged while it goes on carries far past the point
# where the check first passed when frames are slow.
tap_keys_until() {
    local limit=$1 name=$2 check=$3 hold=$4
    shift 4
    local end=$((SECONDS + limit))
    while :; do
        wait_input_gap
        focus_game
        xdotool keydown "$@"
        sleep "$hold"
        xdotool keyup "$@"
        note_release
        sleep 1
        kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while waiting for $name"
        shot "$name"
        if "$check" "$ARTIFACTS/$name.png"; then return 0; fi
        [ $SECONDS -lt $end ] || fail "$name: not seen within $limit s of tapping $*"
    done
}

# Holds the left mouse button down at window point ($3, $4) until `$5 <shot> [$6...]`
# passes on shots named $2, then lets it go; made again as hold_keys_until does, for
# up to $1 seconds. For what the game reads from the button's state each frame
# (placing, selecting), which a press shorter than a frame would miss.
hold_button_until() {
    local limit=$1 name=$2 x=$3 y=$4 check=$5 try=1
    shift 5
    local end=$((SECONDS + limit))
    while :; do
        focus_game
        xdotool mousemove --window "$WINDOW_ID" "$x" "$y"
        sleep 0.3
        wait_input_gap
        xdotool mousedown 1
        if seen_within $((PATIENCE + 15 * try - 15)) "$name" "$check" "$@"; then
            xdotool mouseup 1
            note_release
            return 0
        fi
        xdotool mouseup 1
        note_release
        [ $SECONDS -lt $end ] || fail "$name: not seen within $limit s of holding the button at ($x, $y)"
        log "note: $name: nothing seen after holding the button at ($x, $y) $((PATIENCE + 15 * try - 15)) s; pressed again"
        try=$((try + 1))
    done
}

# Clicks window point ($3, $4) until `$5 <shot> [$6...]` passes on shots named $2 (up
# to $1 seconds): for the interface's buttons, which act when the button is let go.
# The pointer rests on the point first and the button is held longer on each try
# (0.5, 1, then 2 s), so that slow frames see the pointer, the press and the release;
# a click is made again after PATIENCE seconds without its effect, as a press is.
# With CLICK_AWAY="x y" the pointer goes there once the button is let go (so that
# what follows the pointer, a building's ghost, stays out of the checked regions).
click_until() {
    local limit=$1 name=$2 x=$3 y=$4 check=$5 try=1 pause
    shift 5
    local end=$((SECONDS + limit))
    while :; do
        pause=$(awk -v t="$try" 'BEGIN { print (t < 3 ? t / 2 : 2) }')
        focus_game
        xdotool mousemove --window "$WINDOW_ID" "$x" "$y"
        sleep "$pause"
        xdotool mousedown 1
        sleep "$pause"
        xdotool mouseup 1
        note_release
        if [ -n "${CLICK_AWAY:-}" ]; then
            # shellcheck disable=SC2086
            xdotool mousemove --window "$WINDOW_ID" $CLICK_AWAY
        fi
        if seen_within $((PATIENCE + 15 * try - 15)) "$name" "$check" "$@"; then return 0; fi
        [ $SECONDS -lt $end ] || fail "$name: not seen within $limit s of clicks at ($x, $y)"
        log "note: $name: nothing seen after a click at ($x, $y); clicked again"
        try=$((try + 1))
    done
}

# Share (0..1) of the pixels of region $2 (WxH+X+Y) of file $1 whose red, green and
# blue lie in the ranges $3, $4 and $5 ("lo-hi", 0..1; 0 and 1 are open ends): channel
# thresholds multiplied together, which is quick even on a whole screen (-fx takes
# seconds there).
share_in_ranges() {
    local file=$1 geometry=$2 range lo hi channel=0
    local args=()
    shift 2
    for range in "$@"; do
        lo=${range%-*}
        hi=${range#*-}
        if above "$lo" 0; then
            args+=(\( -clone "$channel" -threshold "$(awk -v v="$lo" 'BEGIN { print v * 100 }')%" \))
        fi
        if below "$hi" 1; then
            args+=(\( -clone "$channel" -negate -threshold "$(awk -v v="$hi" 'BEGIN { print (1 - v) * 100 }')%" \))
        fi
        channel=$((channel + 1))
    done
    convert "$file" -crop "$geometry" +repage -alpha off -separate "${args[@]}" -delete 0-2 \
        -compose multiply -flatten -format '%[fx:mean]' info:
}

# Share (0..1) of the pixels of region $2 of file $1 that are the castle's red roofs,
# lit or in shadow: red above 0.2 and 1.4 times green, blue above green (which the
# ground's orange, green and grey never are). Channel arithmetic, as quick as above.
roof_share() {
    convert "$1" -crop "$2" +repage -alpha off -separate \
        \( -clone 0 -clone 1 -compose Mathematics -define compose:args=0,-1.4,1,0 -composite -threshold 0 \) \
        \( -clone 2 -clone 1 -compose Mathematics -define compose:args=0,-1,1,0 -composite -threshold 0 \) \
        \( -clone 0 -threshold 20% \) -delete 0-2 -compose multiply -flatten -format '%[fx:mean]' info:
}

# The text in region $2 (WxH+X+Y) of shot file $1, on one line: white text read three
# times enlarged, as it is (dark windows) and cut at two thresholds (grey and blue
# buttons, the landscape through the windows); the readings follow each other.
# $3: the page mode.
read_text() {
    local variant
    for variant in "" "-threshold 60%" "-threshold 40%"; do
        # shellcheck disable=SC2086
        convert "$1" -crop "$2" +repage -scale 300% -colorspace Gray -negate $variant "$ARTIFACTS/ocr.png"
        tesseract "$ARTIFACTS/ocr.png" - --psm "${3:-6}" 2>/dev/null | tr '\n' ' '
    done
}

# Whether region $2 of shot file $1 reads as matching the regular expression $3 in one
# of read_text's readings ($4: the page mode); stops at the first that does.
shows_text() {
    local variant
    for variant in "" "-threshold 60%" "-threshold 40%"; do
        # shellcheck disable=SC2086
        convert "$1" -crop "$2" +repage -scale 300% -colorspace Gray -negate $variant "$ARTIFACTS/ocr.png"
        [[ "$(tesseract "$ARTIFACTS/ocr.png" - --psm "${4:-6}" 2>/dev/null | tr '\n' ' ')" =~ $3 ]] && return 0
    done
    return 1
}

# The centre (window pixels) of the first word of region $2 of shot file $1 that
# reads $3, in any of the readings; nothing when none does. A word read with
# punctuation stuck to it (the edge of a check box beside a label reads as a quote, and
# widens the word's box) is taken only when no reading gives the word alone.
find_word() {
    local x0 y0 variant readings=() reading
    x0=$(echo "$2" | sed 's/.*+\([0-9]*\)+[0-9]*$/\1/')
    y0=$(echo "$2" | sed 's/.*+\([0-9]*\)$/\1/')
    # $1 the reading, $2 "punctuated" to take the word with punctuation stuck to it.
    word_in() {
        awk -F'\t' -v w="$3" -v x="$x0" -v y="$y0" -v pass="$2" \
            'NR > 1 { t = $12; if (pass == "punctuated") gsub(/[^A-Za-z0-9]/, "", t) }
             NR > 1 && t == w { print int(x + ($7 + $9 / 2) / 3), int(y + ($8 + $10 / 2) / 3); found = 1; exit }
             END { exit !found }' "$1"
    }
    for variant in "" "-threshold 60%" "-threshold 40%"; do
        # shellcheck disable=SC2086
        convert "$1" -crop "$2" +repage -scale 300% -colorspace Gray -negate $variant "$ARTIFACTS/ocr.png"
        reading="$ARTIFACTS/ocr-${#readings[@]}.tsv"
        tesseract "$ARTIFACTS/ocr.png" - --psm 11 tsv 2>/dev/null >"$reading" || true
        readings+=("$reading")
        word_in "$reading" exact "$3" && return 0
    done
    for reading in "${readings[@]}"; do
        word_in "$reading" punctuated "$3" && return 0
    done
    return 0
}

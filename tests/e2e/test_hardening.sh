#!/usr/bin/env bash
# The game as a hostile user treats it, in three short runs that share one settings
# file: shadow quality "Ultra" (a map larger than lavapipe's 2 GiB heap), a window
# position far outside the screen, and the file made read-only.
# 1. Main menu: the window opens on the screen; "Apply and save" refuses to replace the
#    read-only file and the settings window says the settings were not saved; another
#    X client destroys the window: the game ends at once with one line.
# 2. Loading: "New Game" falls back to the largest shadow quality that fits, with a
#    line; the window is killed (xdotool windowkill) while the world loads: the game
#    ends at once with one line.
# 3. Playing: the world is drawn with the smaller shadow map; the window is killed in
#    the game: the game ends at once with one line.
source "$(dirname "$0")/lib.sh"

WIDTH=800
HEIGHT=600
APPLY_AND_SAVE="230 189" # from the centre of the window, as the settings window lays it out
# Whichever sees it first (the window system's handlers or the swap chain) says so.
GONE_LINE="ERROR: The game window is gone: "

above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# A 53-byte settings record: mouse speed 1, shadow quality 3 (Ultra), windowed, the
# window at (32767, 32767), 1600 x 900.
write_config() {
    {
        printf '\x00\x00\x80\x3f'         # mouse speed 1.0
        printf '\x00'                     # cheats off
        printf '\x03\x00\x00\x00'         # shadow quality Ultra
        printf '\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' # full-screen mode, refresh mode, monitor
        printf '\x00\x00\x00\x00'         # full screen, maximized, padding
        printf '\xff\x7f\x00\x00\xff\x7f\x00\x00' # x, y = 32767
        printf '\x40\x06\x00\x00\x84\x03\x00\x00' # 1600 x 900
        printf '\x00\x00\x00\x00'         # refresh rate
        printf '\x00\x00\x00\x00\x00\x00\x00\x00' # monitor handle
    } >"$WORK_DIR/config.gcfg"
    [ "$(stat -c %s "$WORK_DIR/config.gcfg")" = 53 ] || fail "the test's settings record is not 53 bytes"
}

# Starts the game at the small size, its main menu shown.
start_small() {
    game_start
    game_wait_window
    xdotool windowsize "$WINDOW_ID" $WIDTH $HEIGHT
    sleep 2
}

# Waits (up to $2 s) for a line starting with $1 on the game's output.
wait_for_line() {
    local end=$((SECONDS + $2))
    while [ $SECONDS -lt $end ]; do
        grep -q -F "$1" "$ARTIFACTS/stdout.txt" && return 0
        kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while waiting for \"$1\""
        sleep 0.2
    done
    fail "no line \"$1\" within $2 s"
}

# The game must end within a few seconds of losing its window, with status 1 and the
# line $1 as its last line.
expect_prompt_end() {
    local started=$SECONDS
    game_wait_exit 10
    [ "$GAME_STATUS" = 1 ] || fail "exit status $GAME_STATUS after losing the window"
    tail -n 1 "$ARTIFACTS/stdout.txt" | grep -q -F "$1" || fail "the last line is not \"$1\""
    echo "$2: ended in $((SECONDS - started)) s with \"$(tail -n 1 "$ARTIFACTS/stdout.txt")\""
}

new_game() {
    xdotool mousemove --window "$WINDOW_ID" $((WIDTH / 2)) $((HEIGHT / 2 - 44)) click 1
    wait_for_line "Shadow quality Ultra" 20
    grep -F "Shadow quality Ultra" "$ARTIFACTS/stdout.txt" | grep -q "using High" ||
        fail "the shadow map should fall back to High: $(grep -F "Shadow quality" "$ARTIFACTS/stdout.txt")"
}

save_stdout() {
    cp "$ARTIFACTS/stdout.txt" "$ARTIFACTS/stdout-$1.txt"
    cp "$ARTIFACTS/stderr.txt" "$ARTIFACTS/stderr-$1.txt"
}

write_config
chmod 444 "$WORK_DIR/config.gcfg"
cp "$WORK_DIR/config.gcfg" "$ARTIFACTS/config-before.gcfg"

# --- 1: main menu ---
PHASE_START=$SECONDS
phase_done() {
    echo "$1 took $((SECONDS - PHASE_START)) s"
    PHASE_START=$SECONDS
}
start_small
read -r X Y < <(xdotool getwindowgeometry "$WINDOW_ID" | sed -n 's/.*Position: \([-0-9]*\),\([-0-9]*\).*/\1 \2/p')
echo "saved position 32767,32767: the window opened at $X,$Y"
[ "$X" -ge 0 ] && [ "$X" -le 1800 ] && [ "$Y" -ge 0 ] && [ "$Y" -le 1000 ] ||
    fail "the window opened off the screen at $X,$Y"

click_at $((WIDTH / 2)) $((HEIGHT / 2))
sleep 1
set -- $APPLY_AND_SAVE
click_at $((WIDTH / 2 + $1)) $((HEIGHT / 2 + $2))
sleep 1
xdotool mousemove --window "$WINDOW_ID" 5 5
sleep 1
import -window "$WINDOW_ID" "$ARTIFACTS/not-saved.png"
# The lower half of the window, where the message stands under the buttons. One
# thread: tesseract's thread pool crawls on a busy machine.
convert "$ARTIFACTS/not-saved.png" -crop "${WIDTH}x$((HEIGHT / 2))+0+$((HEIGHT / 2))" +repage -scale 200% \
    -colorspace Gray -negate "$ARTIFACTS/ocr.png"
TEXT=$(OMP_THREAD_LIMIT=1 timeout 60 tesseract "$ARTIFACTS/ocr.png" - --psm 6 2>/dev/null | tr '\n' ' ' || true)
echo "settings window reads: $TEXT"
grep -q "not saved" <<<"$TEXT" || fail "the settings window does not say that the settings were not saved"
grep -q "Unable to save settings to config.gcfg: the file is read-only" "$ARTIFACTS/stdout.txt" ||
    fail "no line says why the settings were not saved"
cmp -s "$WORK_DIR/config.gcfg" "$ARTIFACTS/config-before.gcfg" || fail "the read-only config.gcfg was changed"
[ "$(stat -c %a "$WORK_DIR/config.gcfg")" = 444 ] || fail "config.gcfg lost its read-only mode"
[ ! -e "$WORK_DIR/config.gcfg.tmp" ] || fail "a temporary file was left behind"

"$XCLOSE" --destroy "$WINDOW_ID"
expect_prompt_end "$GONE_LINE" "window destroyed in the main menu"
save_stdout menu
phase_done "the main menu run"

# --- 2: loading ---
start_small
new_game
sleep 1
xdotool windowkill "$WINDOW_ID"
expect_prompt_end "$GONE_LINE" "window killed while loading"
save_stdout loading
phase_done "the loading run"

# --- 3: playing ---
start_small
new_game
END=$((SECONDS + 120))
while :; do
    [ $SECONDS -lt $END ] || fail "the world was not drawn within 120 s"
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while the world loaded"
    import -window "$WINDOW_ID" "$ARTIFACTS/playing.png"
    # The planet below the intro's start: the lower left is no longer the cleared black.
    above "$(region_brightness "$ARTIFACTS/playing.png" 200x60+20+480)" 0.1 && break
    sleep 0.5
done
sleep 3
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while drawing the world with shadows"
xdotool windowkill "$WINDOW_ID"
expect_prompt_end "$GONE_LINE" "window killed in the game"
save_stdout playing
phase_done "the playing run"
echo "hardening test passed"

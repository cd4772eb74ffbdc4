#!/usr/bin/env bash
# The buildings of a new game, as a player sees them. A broken building file ends the
# start-up with one line naming the file and what is wrong. With the game's own files,
# "New Game" shows the castle in the middle of the start view (its red roofs below
# the centre); "Leave to main menu" and a second "New Game" show a castle again; the
# game ends with status 0 when its window is closed and prints nothing but its
# diagnostic lines (no validation messages) throughout.
source "$(dirname "$0")/lib.sh"

SMALL_WIDTH=640
SMALL_HEIGHT=360

shot() {
    import -window "$WINDOW_ID" "$ARTIFACTS/$1.png"
}

# Every asset linked from the run directory, but the wall's file, which gets $1.
broken_wall_file() {
    rm "$WORK_DIR/assets"
    mkdir -p "$WORK_DIR/assets/Buildings/BdWall"
    for entry in "$RUN_DIR"/assets/*; do
        [ "$(basename "$entry")" = Buildings ] || ln -s "$entry" "$WORK_DIR/assets/"
    done
    for entry in "$RUN_DIR"/assets/Buildings/*; do
        [ "$(basename "$entry")" = BdWall ] || ln -s "$entry" "$WORK_DIR/assets/Buildings/"
    done
    ln -s "$RUN_DIR/assets/Buildings/BdWall/wall.glb" "$WORK_DIR/assets/Buildings/BdWall/"
    printf '%s' "$1" >"$WORK_DIR/assets/Buildings/BdWall/config.json"
}

above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# Share of pixels of a region that are roof red: red at least twice green and blue.
# $1 file, $2 geometry.
red_share() {
    convert "$1" -crop "$2" +repage -fx 'r > 0.35 && r > 2 * g && r > 2 * b ? 1 : 0' -format '%[fx:mean]' info:
}

# The castle stands below the middle of the start view: roof red there, not elsewhere.
castle_shown() {
    local castle="$((WIDTH / 4))x$((HEIGHT * 3 / 10))+$((WIDTH * 3 / 8))+$((HEIGHT * 6 / 10))"
    above "$(red_share "$1" "$castle")" 0.002
}

# The world is drawn (the corner is no longer the cleared black).
world_shown() {
    above "$(region_brightness "$1" 40x40+5+5)" 0.05
}

wait_for() {
    local limit=$1 name=$2 check=$3 end=$((SECONDS + $1))
    while [ $SECONDS -lt $end ]; do
        kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while waiting for $name"
        shot "$name"
        if $check "$ARTIFACTS/$name.png"; then return 0; fi
        sleep 0.2
    done
    fail "$name: not seen within $limit s"
}

region_spread() {
    convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:
}

# A menu (main or pause) in the middle of the window: below its text the lowest button
# is flat grey, and the window's left padding is darker than that.
menu_shown() {
    local band="260x4+$((WIDTH / 2 - 130))+$((HEIGHT / 2 + 58))"
    local padding="5x120+$((WIDTH / 2 - 148))+$((HEIGHT / 2 - 60))"
    above "$(region_brightness "$1" "$band")" 0.1 && below "$(region_spread "$1" "$band")" 0.02 &&
        below "$(region_brightness "$1" "$padding")" 0.3
}

# The main menu: a menu over the cleared (black) image.
main_menu_shown() {
    below "$(region_brightness "$1" 40x40+5+5)" 0.02 && menu_shown "$1"
}

click_button() {
    click_at $((WIDTH / 2)) $((HEIGHT / 2 + 44 * $1))
}

new_game_sees_castle() {
    wait_for 30 "$1-menu" main_menu_shown
    click_button -1
    # Enter, held from the start, skips the intro flight as soon as the game runs.
    xdotool keydown Return
    wait_for 90 "$1-world" world_shown
    # The first frames may still come from the loading window's last one.
    sleep 1
    wait_for 30 "$1-castle" castle_shown
    xdotool keyup Return
    echo "$1: the castle stands in the start view"
}

# 1: a broken file. The start-up ends with the one line, before any menu.
broken_wall_file '{"name": "Wall", "gridSize": {"x": 2, "y": 5, "z": 1}, "logoIndex": {"x": 0, "y": 0}, "levels": []}'
game_start
for _ in $(seq 1 300); do
    kill -0 "$GAME_PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$GAME_PID" 2>/dev/null && fail "the game kept running with a broken wall file"
wait "$GAME_PID" && fail "the game ended with status 0 on a broken wall file"
GAME_PID=""
errors=$(grep -c '^ERROR: ' "$ARTIFACTS/stdout.txt" || true)
[ "$errors" = 1 ] || fail "$errors error lines"
grep -q '^ERROR: assets/Buildings/BdWall/config.json: "levels" is empty: a building needs at least one level (in BuildingConfig at line #[0-9]*)$' \
    "$ARTIFACTS/stdout.txt" || fail "no line naming the file and the fault: $(cat "$ARTIFACTS/stdout.txt")"
echo "a broken wall file: $(grep '^ERROR' "$ARTIFACTS/stdout.txt")"
rm -rf "$WORK_DIR/assets"
ln -s "$RUN_DIR/assets" "$WORK_DIR/assets"

# 2: the game's own files.
game_start
game_wait_window
xdotool windowfocus --sync "$WINDOW_ID"
xdotool windowsize "$WINDOW_ID" $SMALL_WIDTH $SMALL_HEIGHT
sleep 1
WIDTH=$SMALL_WIDTH
HEIGHT=$SMALL_HEIGHT
new_game_sees_castle first

# Leave to the main menu (Escape held until the pause menu shows), then a new game.
xdotool keydown Escape
wait_for 30 pause menu_shown
xdotool keyup Escape
click_button 1
new_game_sees_castle second

game_close
game_wait_exit 60
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS after closing the window in a game"
expect_only_diagnostics
echo "buildings test passed"

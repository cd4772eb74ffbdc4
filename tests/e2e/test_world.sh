#!/usr/bin/env bash
# A game from the main menu: "New Game" shows the loading window (the window is made
# smaller while it loads, which the world applies once it is built), then the intro
# flight with its hint, which Enter skips to the start view over the island;
# the flight keys, the right mouse button and the arrow keys (the sun) change the
# picture; the island shows sea, sky and shadows; Escape opens the pause menu and
# "Leave to main menu" returns to the main menu; a second "New Game" works; closing
# the window while a third world loads ends the game with status 0. The game prints
# nothing but its diagnostic lines (no validation messages) throughout.
source "$(dirname "$0")/lib.sh"

# The game draws at this size: small enough for lavapipe to keep up.
SMALL_WIDTH=640
SMALL_HEIGHT=360

shot() {
    import -window "$WINDOW_ID" "$ARTIFACTS/$1.png"
}

window_size() {
    xdotool getwindowgeometry "$WINDOW_ID" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p'
}

# Standard deviation of a region's brightness: $1 file, $2 geometry.
region_spread() {
    convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:
}

# Mean of one channel (r, g or b) of a region: $1 file, $2 geometry, $3 channel.
region_channel() {
    convert "$1" -crop "$2" +repage -format "%[fx:mean.$3]" info:
}

# Normalised RMS difference of the lower halves of two screenshots. The start view
# looks down on land there; the upper half may reach the sea, whose waves move on
# their own, so the picture as a whole never stands still.
difference() {
    local crop="${WIDTH}x$((HEIGHT / 2))+0+$((HEIGHT / 2))"
    convert "$1" -crop "$crop" +repage "$ARTIFACTS/lower-a.png"
    convert "$2" -crop "$crop" +repage "$ARTIFACTS/lower-b.png"
    compare -metric RMSE "$ARTIFACTS/lower-a.png" "$ARTIFACTS/lower-b.png" null: 2>&1 |
        sed -n 's/.*(\(.*\)).*/\1/p'
}

above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# The menus are 300 px wide and 144 px high, centred, with three 40-px buttons 44 px
# apart around the middle. Below its text the lowest button is flat grey, and the
# window's left padding is darker than that whatever lies behind it.
button_y() { echo $((HEIGHT / 2 + 44 * $1)); }
lowest_button_band() { echo "260x4+$((WIDTH / 2 - 130))+$((HEIGHT / 2 + 58))"; }
menu_padding_band() { echo "5x120+$((WIDTH / 2 - 148))+$((HEIGHT / 2 - 60))"; }
corner_band() { echo "40x40+5+5"; }

# A menu (main or pause) in the middle of the window.
menu_shown() {
    local band
    band=$(lowest_button_band)
    above "$(region_brightness "$1" "$band")" 0.1 && below "$(region_spread "$1" "$band")" 0.02 &&
        below "$(region_brightness "$1" "$(menu_padding_band)")" 0.3
}

main_menu_shown() {
    below "$(region_brightness "$1" "$(corner_band)")" 0.02 && menu_shown "$1"
}

# The loading window: 90 px high, so nothing where the menus' lowest button is, with
# its first bar across the middle, over the cleared image.
loading_shown() {
    below "$(region_brightness "$1" "$(corner_band)")" 0.02 &&
        above "$(region_brightness "$1" "200x8+$((WIDTH / 2 - 100))+$((HEIGHT / 2 - 4))")" 0.1 &&
        below "$(region_brightness "$1" "$(lowest_button_band)")" 0.02
}

# The world is drawn: the corner is no longer the cleared black.
world_shown() {
    above "$(region_brightness "$1" "$(corner_band)")" 0.05
}

# The intro's hint, 200 x 36 px at the bottom centre: a dark window with white text.
intro_hint_shown() {
    local left=$((WIDTH / 2 - 100)) top=$((HEIGHT - 52))
    below "$(region_brightness "$1" "6x28+$((left + 2))+$((top + 4))")" 0.2 &&
        above "$(region_spread "$1" "160x16+$((left + 20))+$((top + 10))")" 0.25
}

# The start view after the intro: the world without the hint.
start_view_shown() {
    world_shown "$1" && ! intro_hint_shown "$1"
}

# Takes shots named $2 until check $3 passes on one (up to $1 seconds).
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

changed_from_base() {
    above "$(difference "$ARTIFACTS/base.png" "$1")" 0.01
}

same_as_previous() {
    local same=1
    if [ -f "$ARTIFACTS/previous.png" ]; then
        below "$(difference "$ARTIFACTS/previous.png" "$1")" 0.0001 && same=0
    fi
    cp "$1" "$ARTIFACTS/previous.png"
    return $same
}

# The picture has stopped changing: two shots in a row are the same.
wait_still() {
    rm -f "$ARTIFACTS/previous.png"
    wait_for 30 still same_as_previous
    cp "$ARTIFACTS/still.png" "$ARTIFACTS/base.png"
}

# Holds keys $2... until the picture differs from the still one, saved as $1.
expect_keys_change() {
    local name=$1
    shift
    wait_still
    xdotool keydown "$@"
    wait_for 30 "$name" changed_from_base
    xdotool keyup "$@"
    echo "$name: $* changed the picture"
}

click_button() {
    click_at $((WIDTH / 2)) "$(button_y "$1")"
}

new_game() {
    wait_for 30 "$1-menu" main_menu_shown
    click_button -1
}

# Keys are read once a frame: Escape is held until the pause menu shows.
# The intro flight plays from far out in space (it takes about 45 s of game time);
# Enter, held until the hint has gone, skips to its end.
skip_intro() {
    wait_for 120 "$1-intro" intro_hint_shown
    xdotool keydown Return
    wait_for 30 "$1-skipped" start_view_shown
    xdotool keyup Return
}

leave_game() {
    xdotool keydown Escape
    wait_for 30 "$1-pause" menu_shown
    xdotool keyup Escape
    click_button 1
    wait_for 30 "$1-left" main_menu_shown
}

game_start
game_wait_window
# Keys go to the focused window (the game reads them as the window system reports them).
xdotool windowfocus --sync "$WINDOW_ID"
read -r WIDTH HEIGHT < <(window_size)

# First game: the loading window, made smaller while the world loads.
new_game first
wait_for 30 loading loading_shown
echo "loading window shown at ${WIDTH}x${HEIGHT}"
xdotool windowsize "$WINDOW_ID" $SMALL_WIDTH $SMALL_HEIGHT
read -r WIDTH HEIGHT < <(window_size)
[ "$WIDTH" = $SMALL_WIDTH ] && [ "$HEIGHT" = $SMALL_HEIGHT ] || fail "the window is ${WIDTH}x${HEIGHT}"
skip_intro first
echo "the intro was skipped, the world is shown"

# The start view looks down on land: nothing moves until a key is held.
expect_keys_change forward w
expect_keys_change backward s
expect_keys_change left a
expect_keys_change right d
expect_keys_change up space
expect_keys_change down ctrl
expect_keys_change sun-right shift+Right
expect_keys_change sun-left shift+Left

# The right mouse button turns the view: up to the horizon, then back and up.
wait_still
xdotool mousemove --window "$WINDOW_ID" $((WIDTH / 2)) $((HEIGHT / 2))
xdotool mousedown 3
for _ in $(seq 1 12); do
    xdotool mousemove_relative -- 0 -15
    sleep 0.05
done
wait_for 30 turned changed_from_base
xdotool mouseup 3
echo "turned: the right mouse button turned the view"
xdotool keydown s space
sleep 1.5
xdotool keyup s space
sleep 1
shot island
# Sky above (blue over red), and a picture with something in it below.
top="$WIDTH"x$((HEIGHT / 10))+0+0
above "$(region_channel "$ARTIFACTS/island.png" "$top" b)" "$(region_channel "$ARTIFACTS/island.png" "$top" r)" ||
    fail "no sky at the top of the island view"
above "$(region_spread "$ARTIFACTS/island.png" "$WIDTH"x$((HEIGHT / 2))+0+$((HEIGHT / 2)))" 0.05 ||
    fail "the lower half of the island view is flat"

leave_game first
echo "left the first game"

# Second game, played until the world shows, then left again.
new_game second
skip_intro second
leave_game second
echo "left the second game"

# Third game: the window is closed while the world loads.
new_game third
wait_for 30 third-loading loading_shown
game_close
game_wait_exit 60
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS after closing during loading"
expect_only_diagnostics
echo "world test passed"

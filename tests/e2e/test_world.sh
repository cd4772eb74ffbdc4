#!/usr/bin/env bash
# A game from the main menu: "New Game" shows the loading window (the window is made
# smaller while it loads, which the world applies once it is built), then the intro
# flight with its hint, which Enter skips to the start view over the island, with
# the castle in its middle (its red roofs below the centre); the flight keys, the
# right mouse button and the arrow keys (the sun) change the picture; the island
# shows sea and sky; Escape opens the pause menu and "Leave to main menu" returns to
# the main menu; a second "New Game" shows a castle again; closing the window while a
# third world loads ends the game with status 0. The game prints nothing but its
# diagnostic lines (no validation messages) throughout.
source "$(dirname "$0")/lib.sh"

# The game draws at this size: small enough for lavapipe to keep up.
SMALL_WIDTH=640
SMALL_HEIGHT=360

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

# The castle stands below the middle of the start view: its roofs' red there.
castle_shown() {
    above "$(roof_share "$1" "$((WIDTH / 4))x$((HEIGHT * 3 / 10))+$((WIDTH * 3 / 8))+$((HEIGHT * 6 / 10))")" 0.002
}

# The start view after the intro: the world without the hint, the castle in it.
start_view_shown() {
    world_shown "$1" && ! intro_hint_shown "$1" && castle_shown "$1"
}

changed_from_base() {
    above "$(difference "$ARTIFACTS/base.png" "$1")" 0.01
}

# The picture has stopped changing: the shots of the last 4 s (a frame or more even
# on a loaded machine) are all the same.
still_since=0
same_as_previous() {
    if [ -f "$ARTIFACTS/previous.png" ] && below "$(difference "$ARTIFACTS/previous.png" "$1")" 0.0001; then
        cp "$1" "$ARTIFACTS/previous.png"
        [ $((SECONDS - still_since)) -ge 4 ]
        return
    fi
    cp "$1" "$ARTIFACTS/previous.png"
    still_since=$SECONDS
    return 1
}
wait_still() {
    rm -f "$ARTIFACTS/previous.png"
    wait_for 60 still same_as_previous
    cp "$ARTIFACTS/still.png" "$ARTIFACTS/base.png"
}

# Holds keys $2... until the picture differs from the still one, saved as $1.
expect_keys_change() {
    local name=$1
    shift
    wait_still
    hold_keys_until 60 "$name" changed_from_base "$@"
    echo "$name: $* changed the picture"
}

# Sky above (blue over red), and a picture with something in it below.
island_shown() {
    local top="$WIDTH"x$((HEIGHT / 10))+0+0
    above "$(region_channel "$1" "$top" b)" "$(region_channel "$1" "$top" r)" &&
        above "$(region_spread "$1" "$WIDTH"x$((HEIGHT / 2))+0+$((HEIGHT / 2)))" 0.05
}

menu_gone() { ! main_menu_shown "$1"; }

new_game() {
    wait_for 60 "$1-menu" main_menu_shown
    click_until 60 "$1-loading" $((WIDTH / 2)) "$(button_y -1)" menu_gone
}

# The intro flight plays from far out in space (it takes about 45 s of game time);
# Enter, held until the start view shows, skips to its end.
skip_intro() {
    wait_for 300 "$1-intro" intro_hint_shown
    hold_keys_until 120 "$1-skipped" start_view_shown Return
}

leave_game() {
    hold_keys_until 60 "$1-pause" menu_shown Escape
    click_until 60 "$1-left" $((WIDTH / 2)) "$(button_y 1)" main_menu_shown
}

# Low shadows: the cheapest frames (the window opens at 1920x1080 with a settings file).
write_config
game_start
game_wait_window
focus_game
read -r WIDTH HEIGHT < <(window_size)

# First game: the loading window, made smaller while the world loads.
new_game first
[ "${WIDTH}x$HEIGHT" = 1920x1080 ] || fail "the window opened at ${WIDTH}x$HEIGHT"
loading_shown "$ARTIFACTS/first-loading.png" || wait_for 60 loading loading_shown
echo "loading window shown at ${WIDTH}x${HEIGHT}"
xdotool windowsize "$WINDOW_ID" $SMALL_WIDTH $SMALL_HEIGHT
read -r WIDTH HEIGHT < <(window_size)
[ "$WIDTH" = $SMALL_WIDTH ] && [ "$HEIGHT" = $SMALL_HEIGHT ] || fail "the window is ${WIDTH}x${HEIGHT}"
skip_intro first
echo "the intro was skipped: the start view shows the castle"

# The start view looks down on land: nothing moves until a key is held.
expect_keys_change forward w
expect_keys_change backward s
expect_keys_change left a
expect_keys_change right d
expect_keys_change up space
expect_keys_change down ctrl
expect_keys_change sun-right shift+Right
expect_keys_change sun-left shift+Left

# The right mouse button turns the view (the pointer moved up while it is held): up to
# the horizon, then back and up until sky and island show.
wait_still
focus_game
xdotool mousemove --window "$WINDOW_ID" $((WIDTH / 2)) $((HEIGHT / 2))
xdotool mousedown 3
end=$((SECONDS + 60))
until seen_within 0 turned changed_from_base; do
    [ $SECONDS -lt $end ] || { xdotool mouseup 3; fail "turned: the right mouse button did not turn the view"; }
    xdotool mousemove_relative -- 0 -15
    sleep 0.2
done
for _ in $(seq 1 10); do
    xdotool mousemove_relative -- 0 -15
    sleep 0.05
done
xdotool mouseup 3
echo "turned: the right mouse button turned the view"
hold_keys_until 60 island island_shown s space
echo "the island shows sea and sky"

leave_game first
echo "left the first game"

# Second game, played until the castle shows, then left again.
new_game second
skip_intro second
leave_game second
echo "left the second game"

# Third game: the window is closed while the world loads.
new_game third
loading_shown "$ARTIFACTS/third-loading.png" || wait_for 60 third-loading loading_shown
game_close
game_wait_exit 60
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS after closing during loading"
expect_only_diagnostics
echo "world test passed"

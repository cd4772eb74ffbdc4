#!/usr/bin/env bash
# A wave, as a player starts and watches it. After "New Game" and the intro (skipped
# with Enter), the wave panel in the top right corner offers "Start wave 1"; a click
# on it starts the wave: the panel turns into the wave's number and the enemies left.
# The enemies leave the four portals, walk over the island and gather at the castle,
# whose health bar shows once they hit it. Leaving to the main menu mid-wave and a
# second "New Game" start again from the panel's "Start wave 1". The game prints
# nothing but its diagnostic lines (no validation messages) throughout.
source "$(dirname "$0")/lib.sh"

SMALL_WIDTH=640
SMALL_HEIGHT=360

shot() {
    import -window "$WINDOW_ID" "$ARTIFACTS/$1.png"
}

above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

region_spread() {
    convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:
}

# Takes shots named $2 until check $3 passes on one (up to $1 seconds).
wait_for() {
    local limit=$1 name=$2 check=$3 end=$((SECONDS + $1))
    while [ $SECONDS -lt $end ]; do
        kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while waiting for $name"
        shot "$name"
        if $check "$ARTIFACTS/$name.png"; then return 0; fi
        sleep 0.5
    done
    fail "$name: not seen within $limit s"
}

menu_shown() {
    local band="260x4+$((WIDTH / 2 - 130))+$((HEIGHT / 2 + 58))"
    local padding="5x120+$((WIDTH / 2 - 148))+$((HEIGHT / 2 - 60))"
    above "$(region_brightness "$1" "$band")" 0.1 && below "$(region_spread "$1" "$band")" 0.02 &&
        below "$(region_brightness "$1" "$padding")" 0.3
}

main_menu_shown() {
    below "$(region_brightness "$1" 40x40+5+5)" 0.02 && menu_shown "$1"
}

world_shown() {
    above "$(region_brightness "$1" 40x40+5+5)" 0.05
}

# The intro's hint, 200 x 36 px at the bottom centre: a dark window with white text.
intro_hint_shown() {
    local left=$((WIDTH / 2 - 100)) top=$((HEIGHT - 52))
    below "$(region_brightness "$1" "6x28+$((left + 2))+$((top + 4))")" 0.2 &&
        above "$(region_spread "$1" "160x16+$((left + 20))+$((top + 10))")" 0.25
}

click_button() {
    click_at $((WIDTH / 2)) $((HEIGHT / 2 + 44 * $1))
}

# The wave panel: 200 px wide in the top right corner. While no wave runs it holds the
# button "Start wave {}", a flat grey face with the text inset 4 px, 26 px high; a
# running wave's panel holds two lines of text and a separator on its dark
# background, down to about 58 px.
panel_left() { echo $((WIDTH - 200)); }
flat_grey() {
    local mean spread
    read -r mean spread < <(convert "$1" -crop "$2" +repage -colorspace Gray \
        -format '%[fx:mean] %[fx:standard_deviation]' info:)
    above "$mean" 0.25 && below "$mean" 0.6 && below "$spread" 0.03
}
start_button_shown() {
    # The face left of the text and right of it.
    flat_grey "$1" "2x14+$(($(panel_left) + 9))+12" && flat_grey "$1" "4x14+$(($(panel_left) + 104))+12"
}
running_panel_shown() {
    # The panel's background (a little of the world shows through it) beside the second
    # line, whose white text stands out on it.
    local mean spread
    read -r mean spread < <(convert "$1" -crop "4x10+$(($(panel_left) + 2))+44" +repage -colorspace Gray \
        -format '%[fx:mean] %[fx:standard_deviation]' info:)
    below "$mean" 0.25 && below "$spread" 0.03 &&
        above "$(region_spread "$1" "150x12+$(($(panel_left) + 10))+39")" 0.25 && ! start_button_shown "$1"
}

# Share of pixels of a region that are roof red: red at least twice green and blue.
# $1 file, $2 geometry.
red_share() {
    convert "$1" -crop "$2" +repage -fx 'r > 0.35 && r > 2 * g && r > 2 * b ? 1 : 0' -format '%[fx:mean]' info:
}

# Pure green, as only a building's health bar is drawn (the ground's greens are muted).
health_bar_shown() {
    above "$(convert "$1" -fx 'g > 0.85 && r < 0.25 && b < 0.25 ? 1 : 0' -format '%[fx:mean*w*h]' info:)" 20
}

new_game() {
    wait_for 30 "$1-menu" main_menu_shown
    click_button -1
    wait_for 120 "$1-intro" intro_hint_shown
    xdotool keydown Return
    wait_for 30 "$1-start" start_button_shown
    xdotool keyup Return
    echo "$1: the intro was skipped, the wave panel offers the first wave"
}

game_start
game_wait_window
xdotool windowfocus --sync "$WINDOW_ID"
xdotool windowsize "$WINDOW_ID" $SMALL_WIDTH $SMALL_HEIGHT
sleep 1
WIDTH=$SMALL_WIDTH
HEIGHT=$SMALL_HEIGHT

new_game first
# Health bars show within 50 units of the camera; the start view is farther from the
# castle. Down, a little at a time, until the castle's red roofs show half again as
# large.
whole="${WIDTH}x$((HEIGHT - 60))+0+60"
shot start-view
start_red=$(red_share "$ARTIFACTS/start-view.png" "$whole")
above "$start_red" 0 || fail "no castle in the start view"
for _ in $(seq 1 20); do
    xdotool keydown ctrl
    sleep 0.15
    xdotool keyup ctrl
    sleep 1
    shot closer
    above "$(red_share "$ARTIFACTS/closer.png" "$whole")" "$(awk -v r="$start_red" 'BEGIN { print r * 1.5 }')" && break
done
echo "the camera came down towards the castle"
shot before-wave
# "Start wave 1".
click_at $(($(panel_left) + 60)) 22
wait_for 30 wave-running running_panel_shown
echo "the wave runs: the panel shows its number and the enemies left"
# The enemies walk from the portals, a quarter of the island away, to the castle: about
# a minute of game time, more where slow frames hold the game back. A shot every 30 s
# is kept to look at.
end=$((SECONDS + 900))
next_keep=$((SECONDS + 30))
until health_bar_shown "$ARTIFACTS/castle-hit.png" 2>/dev/null; do
    [ $SECONDS -lt $end ] || fail "the castle was not hit within 900 s"
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended during the wave"
    sleep 2
    shot castle-hit
    if [ $SECONDS -ge $next_keep ]; then
        cp "$ARTIFACTS/castle-hit.png" "$ARTIFACTS/wave-$SECONDS.png"
        next_keep=$((SECONDS + 30))
    fi
done
echo "the enemies reached the castle: its health bar shows"

# Leaving mid-wave, then a new game offers the first wave again.
xdotool keydown Escape
wait_for 30 pause menu_shown
xdotool keyup Escape
click_button 1
new_game second
expect_only_diagnostics
game_close
game_wait_exit 60
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
echo "enemies test passed"

#!/usr/bin/env bash
# The game draws its interface with its own renderer every frame: the main menu
# stands in the middle of a cleared window, stays there through resizes (one swap-chain
# rebuild each), answers a click, and the game exits with status 0 when the window is
# closed.
source "$(dirname "$0")/lib.sh"

# The menu over the cleared window in shot file $1: a dark corner (the cleared image)
# and a lit middle (the menu).
menu_drawn() {
    local width height corner middle
    read -r width height < <(window_size)
    corner=$(region_brightness "$1" "40x40+5+5")
    middle=$(region_brightness "$1" "200x120+$((width / 2 - 100))+$((height / 2 - 60))")
    below "$corner" 0.02 && above "$middle" 0.08
}

rebuilds() {
    grep -c '^Recreating swapchain!$' "$ARTIFACTS/stdout.txt" || true
}

# Resizes the window to $1 x $2 and waits for the swap chain's rebuild and a frame of
# the menu at the new size (shot $3); fails unless it was rebuilt exactly once.
resize_to() {
    local before end
    before=$(rebuilds)
    xdotool windowsize "$WINDOW_ID" "$1" "$2"
    end=$((SECONDS + 60))
    until [ "$(rebuilds)" -gt "$before" ]; do
        [ $SECONDS -lt $end ] || fail "$3: no swap-chain rebuild within 60 s of the resize"
        kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended after a resize"
        sleep 0.2
    done
    read -r width height < <(window_size)
    [ "${width}x$height" = "$1x$2" ] || fail "$3: the window is ${width}x$height"
    wait_for 60 "$3" menu_drawn
    echo "$3: ${width}x${height}, the menu in the middle of a cleared window"
    [ "$(rebuilds)" -eq $((before + 1)) ] || fail "$3: one resize should rebuild the swap chain once ($before -> $(rebuilds))"
}

# The settings window, 600 px wide, shows beside where the 300-px menu was.
settings_open() {
    above "$(region_brightness "$1" "$SIDE")" 0.03
}

game_start
game_wait_window
wait_for 60 menu menu_drawn
echo "menu: the menu in the middle of a cleared window"

resize_to 1000 700 resized
resize_to 1280 720 resized-again

# The interface gets its input through the window: "Settings", the middle button of
# the menu, opens the 600-px settings window, wider than the 300-px menu.
read -r width height < <(window_size)
SIDE="80x40+$((width / 2 - 260))+$((height / 2 - 20))"
below "$(region_brightness "$ARTIFACTS/resized-again.png" "$SIDE")" 0.02 || fail "something beside the menu"
click_until 60 settings $((width / 2)) $((height / 2)) settings_open
echo "the settings window opened"

game_close
game_wait_exit 30
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
expect_only_diagnostics
echo "interface test passed"

#!/usr/bin/env bash
# The game draws its interface with its own renderer every frame: the main menu
# stands in the middle of a cleared window, stays there through resizes (one swap-chain
# rebuild each), answers a click, and the game exits with status 0 when the window is
# closed.
source "$(dirname "$0")/lib.sh"

# Saves a screenshot of the game window alone as $ARTIFACTS/$1.png.
window_shot() {
    import -window "$WINDOW_ID" "$ARTIFACTS/$1.png"
}

# Width and height of the game window as X reports them.
window_size() {
    xdotool getwindowgeometry "$WINDOW_ID" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p'
}

# Checks a screenshot: a dark corner (the cleared image) and a lit middle (the menu).
expect_menu() {
    local shot="$ARTIFACTS/$1.png" width height corner middle
    read -r width height < <(window_size)
    corner=$(region_brightness "$shot" "40x40+5+5")
    middle=$(region_brightness "$shot" "200x120+$((width / 2 - 100))+$((height / 2 - 60))")
    echo "$1: ${width}x${height}, corner $corner, middle $middle"
    awk -v c="$corner" 'BEGIN { exit !(c < 0.02) }' || fail "$1: the window corner is not cleared ($corner)"
    awk -v m="$middle" 'BEGIN { exit !(m > 0.08) }' || fail "$1: no interface in the middle of the window ($middle)"
}

rebuilds() {
    grep -c '^Recreating swapchain!$' "$ARTIFACTS/stdout.txt" || true
}

game_start
game_wait_window
sleep 3
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended on its own"
window_shot menu
expect_menu menu
before=$(rebuilds)

xdotool windowsize "$WINDOW_ID" 1000 700
sleep 3
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended after a resize"
window_shot resized
expect_menu resized
after=$(rebuilds)
[ "$after" -eq $((before + 1)) ] || fail "one resize should rebuild the swap chain once ($before -> $after)"

xdotool windowsize "$WINDOW_ID" 1280 720
sleep 3
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended after a second resize"
window_shot resized-again
expect_menu resized-again
[ "$(rebuilds)" -eq $((after + 1)) ] || fail "the second resize should rebuild once more"

# The interface gets its input through the window: "Settings", the middle button of
# the menu, opens the 600-px settings window, wider than the 300-px menu.
read -r width height < <(window_size)
side="80x40+$((width / 2 - 260))+$((height / 2 - 20))"
before_click=$(region_brightness "$ARTIFACTS/resized-again.png" "$side")
click_at $((width / 2)) $((height / 2))
sleep 2
window_shot settings
after_click=$(region_brightness "$ARTIFACTS/settings.png" "$side")
echo "beside the menu: $before_click before the click, $after_click after"
awk -v b="$before_click" -v a="$after_click" 'BEGIN { exit !(b < 0.02 && a > 0.03) }' ||
    fail "the settings window did not open"

game_close
game_wait_exit 30
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
expect_only_diagnostics
echo "interface test passed"

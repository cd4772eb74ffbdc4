#!/usr/bin/env bash
# Input a player can trust, judged from the screen: from "New Game" to the intro's hint
# every screenshot (about two a second) shows the loading window; with a wall picked,
# the pointer brought onto the sell tool and pressed in the same frame places nothing
# and charges nothing, and the wall's "Placement is invalid!" never shows over the tool
# bar; then, with the game held to a frame or two a second (all its threads, the
# renderer's too, on one core that a busy loop shares), a 100 ms Escape tap opens the
# pause menu, a 100 ms click on "Continue" closes it (though the pointer moves on at
# once), and a 100 ms click on "Leave to main menu" leaves, each on the first try.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/play.sh"

HOG_PIDS=""
stop_hogs() {
    local pid
    for pid in $HOG_PIDS; do kill "$pid" 2>/dev/null || true; done
    HOG_PIDS=""
}
trap 'status=$?; stop_hogs; cleanup $status' EXIT

# The menus' three buttons (a fixed window 300 px wide in the middle of the screen),
# read alone: the landscape around them confuses the reading.
MENU="290x136+$((WIDTH / 2 - 145))+$((HEIGHT / 2 - 68))"
HINT="200x36+$((WIDTH / 2 - 100))+$((HEIGHT - 52))"
# The loading window's title row: a fixed window 300 px wide in the middle of the screen.
LOADING_TITLE="300x30+$((WIDTH / 2 - 150))+$((HEIGHT / 2 - 44))"

# (A hovered button is lighter and may read badly: any one button shows the menu.)
main_menu_shown() {
    local text
    text=$(read_text "$1" "$MENU")
    [[ "$text" == *"New Game"* || ("$text" == *"Settings"* && "$text" == *"Exit"*) ]]
}
pause_menu_shown() { shows_text "$1" "$MENU" "Leave to main menu"; }
pause_menu_gone() { ! pause_menu_shown "$1"; }
# The hint is bright text in a box where nothing else is drawn while loading.
hint_shown() { above "$(region_brightness "$1" "$HINT")" 0.1; }
# The loading window's title row as in shot file $2 (pixel for pixel, give or take).
same_title() {
    local error
    error=$(compare -metric RMSE "$1[$LOADING_TITLE]" "$2[$LOADING_TITLE]" null: 2>&1 |
        sed -n 's/.*(\(.*\)).*/\1/p')
    below "${error:-1}" 0.05
}

# A press of the left button at window point ($1, $2) for $3 seconds, the pointer
# brought there in the same instant.
press_at() {
    focus_game
    xdotool mousemove --window "$WINDOW_ID" "$1" "$2" mousedown 1 sleep "${3:-0.1}" mouseup 1
}

# The tool bar's sell tool, right of the buildings' category (no cheats: no enemies'
# category between them).
SELL_X=$((2 * MARGIN + 56 + 20))
SELL_Y=$((HEIGHT - MARGIN - 20))
SELL_BUTTON="32x32+$((2 * MARGIN + 56 + 4))+$((HEIGHT - MARGIN - 36))"
# Open ground in the start view, above the castle.
GROUND_X=$((WIDTH / 2))
GROUND_Y=$((HEIGHT / 2))

# The chosen sell tool shows its lit icon (against shot "panels": nothing picked).
sell_chosen() { changed_from "$1" "$SELL_BUTTON" panels; }
# The wall's ghost under the pointer on the ground: pixels there clearly greener than in
# "panels" (the translucent green goes over whatever the island shows there).
ghost_on_ground() {
    local region="40x40+$((GROUND_X - 20))+$((GROUND_Y - 20))"
    above "$(convert "$1[$region]" "$ARTIFACTS/panels.png[$region]" \
        -fx '((u.g - (u.r + u.b) / 2) - (v.g - (v.r + v.b) / 2)) > 0.15 ? 1 : 0' -format '%[fx:mean]' info:)" 0.005
}

# The wall from the buildings' pop-up, its ghost then under the pointer on the ground
# (frames are slow on a busy machine: each step waits to be seen).
pick_wall() {
    pick_item $BUILDINGS_X 0 "$1" panels
    xdotool mousemove --window "$WINDOW_ID" $GROUND_X $GROUND_Y
    wait_for 60 "$1-ghost" ghost_on_ground
}

start_playing
start=$SECONDS

# "New Game", then a shot about every half second until the intro's hint; then each
# shot is judged: the main menu until the loading window first shows, and from then on
# the loading window in every one. (A press that the menu has not taken after
# PATIENCE seconds, the main menu still shown, is made again.)
wait_for 60 menu main_menu_shown
press_at $((WIDTH / 2)) $((HEIGHT / 2 - 44)) 0.2
pressed=$SECONDS
shots=0
widest=0
last=$(date +%s%N)
end=$((SECONDS + 300))
while :; do
    [ $SECONDS -lt $end ] || fail "no intro hint within 300 s of \"New Game\""
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while loading"
    shots=$((shots + 1))
    name=$(printf 'loading-%03d' $shots)
    shot "$name"
    now=$(date +%s%N)
    widest=$(((now - last) / 1000000 > widest ? (now - last) / 1000000 : widest))
    last=$now
    if hint_shown "$ARTIFACTS/$name.png"; then break; fi
    if [ -n "$pressed" ] && [ $((SECONDS - pressed)) -ge $PATIENCE ]; then
        if main_menu_shown "$ARTIFACTS/$name.png"; then
            echo "note: \"New Game\" not taken after $PATIENCE s; pressed again" >&2
            press_at $((WIDTH / 2)) $((HEIGHT / 2 - 44)) 0.5
            pressed=$SECONDS
        else
            pressed=""
        fi
    fi
    sleep 0.2
done
loading=""
for i in $(seq 1 $((shots - 1))); do
    name=$(printf 'loading-%03d' "$i")
    if [ -n "$loading" ]; then
        same_title "$ARTIFACTS/$loading.png" "$ARTIFACTS/$name.png" ||
            fail "$name: a frame without the loading window (after $loading)"
    elif [[ "$(read_text "$ARTIFACTS/$name.png" "$MIDDLE")" == *"Loading World"* ]]; then
        loading=$name
    else
        main_menu_shown "$ARTIFACTS/$name.png" || fail "$name: neither the main menu nor the loading window"
    fi
done
[ -n "$loading" ] || fail "the loading window never showed"
echo "from \"New Game\" to the intro's hint: the main menu or the loading window in each of $((shots - 1)) shots" \
    "(at most $widest ms apart)"

hold_keys_until 180 panels panels_shown Return
expect_money 5000 "a new game"
xdotool mousemove --window "$WINDOW_ID" $GROUND_X 40
sleep 1
shot panels
before=5000

# A wall picked, its ghost on the ground: the pointer reaches the sell tool and presses
# in the same instant. The click chooses the sell tool and places nothing (a click
# that has not shown its effect after PATIENCE seconds is made again: none may place).
pick_wall first
for try in 1 2 3; do
    press_at $SELL_X $SELL_Y 0.5
    xdotool mousemove --window "$WINDOW_ID" $GROUND_X $GROUND_Y
    if seen_within $PATIENCE sell-chosen sell_chosen; then break; fi
    [ $try -lt 3 ] || fail "sell-chosen: not seen after three clicks"
    echo "note: the click on the sell tool not seen after $PATIENCE s; clicked again" >&2
done
sleep 1
after=$(money)
[ "$after" = "$before" ] || fail "the click on the sell tool placed a wall behind it: $before$ -> $after$"
echo "a click landing on the tool bar places nothing and charges nothing ($after$)"

# The wall picked again, the pointer resting on the sell tool: no placement message in
# any of a few shots.
pick_wall second
xdotool mousemove --window "$WINDOW_ID" $SELL_X $SELL_Y
for i in 1 2 3 4; do
    sleep 1
    shot "over-toolbar-$i"
    text=$(read_text "$ARTIFACTS/over-toolbar-$i.png" "400x200+0+$((HEIGHT - 200))")
    [[ "$text" != *"invalid"* && "$text" != *"Placement"* ]] || fail "a placement message over the tool bar: $text"
done
echo "no placement message over the tool bar"

# Escape on the ground puts the tool away, and opens no pause menu with it (not in the
# frame that put it away, nor after).
xdotool mousemove --window "$WINDOW_ID" $GROUND_X $GROUND_Y
sleep 1
drop_tool tool-away
pause_menu_gone "$ARTIFACTS/tool-away.png" || fail "Escape with a tool opened the pause menu"
sleep 2
shot after-escape
pause_menu_gone "$ARTIFACTS/after-escape.png" || fail "Escape with a tool opened the pause menu"

# Slow: every thread of the game (the renderer's too) on one core, shared with busy
# loops until it draws no more than a frame or two a second. Holding W flies the
# camera, so each frame drawn changes the picture: the frame rate is the number of
# changes between shots, taken while some shots still find no new frame (the shots
# outpace the frames).
# The last core this test may use (all of them, or those CI was given).
core=$(sed -n 's/^Cpus_allowed_list:.*[-,\t]\([0-9]*\)$/\1/p' /proc/self/status)
taskset -a -p -c "$core" "$GAME_PID" >/dev/null
frame_rate() {
    local i previous="" changes=0 same=0 t0 t1
    focus_game
    xdotool keydown w
    sleep 1
    t0=$(date +%s%N)
    for i in $(seq 1 16); do
        shot "rate-$1-$i"
        if [ -n "$previous" ]; then
            if [ "$(compare -metric AE "$ARTIFACTS/$previous.png" "$ARTIFACTS/rate-$1-$i.png" null: 2>&1)" = 0 ]; then
                same=$((same + 1))
            else
                changes=$((changes + 1))
            fi
        fi
        previous="rate-$1-$i"
    done
    t1=$(date +%s%N)
    xdotool keyup w
    # No unchanged pair: the frames came at least as fast as the shots.
    [ $same -gt 0 ] || changes=1000
    awk -v c=$changes -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", c / ((b - a) / 1e9) }'
}
fps=$(frame_rate 0)
for hog in 1 2 3 4; do
    awk -v f="$fps" 'BEGIN { exit !(f <= 2.5) }' && break
    taskset -c "$core" bash -c 'while :; do :; done' &
    HOG_PIDS="$HOG_PIDS $!"
    sleep 2
    fps=$(frame_rate "$hog")
done
awk -v f="$fps" 'BEGIN { exit !(f <= 2.5) }' || fail "the game still draws $fps frames a second on one busy core"
echo "held to about $fps frames a second (busy loops alongside: $(echo $HOG_PIDS | wc -w))"
sleep 2

# A 100 ms Escape tap opens the pause menu. (Each of these must act on the first try:
# the waits allow for dozens of frames, even slower than those measured.)
focus_game
xdotool keydown Escape sleep 0.1 keyup Escape
wait_for 60 paused pause_menu_shown
sleep 2
# A 100 ms click on "Continue", the pointer brought onto it in the same instant and
# moved on at once (before the next frame comes).
press_at $((WIDTH / 2)) $((HEIGHT / 2 - 44))
xdotool mousemove --window "$WINDOW_ID" $GROUND_X $((HEIGHT - 60))
wait_for 60 continued pause_menu_gone
echo "a 100 ms Escape tap opens the pause menu, a 100 ms click on \"Continue\" closes it"

focus_game
xdotool keydown Escape sleep 0.1 keyup Escape
wait_for 60 paused-again pause_menu_shown
sleep 2
press_at $((WIDTH / 2)) $((HEIGHT / 2 + 44))
wait_for 60 left main_menu_shown
echo "a 100 ms click on \"Leave to main menu\" leaves"

stop_hogs
game_close
game_wait_exit 60
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
expect_only_diagnostics
echo "input test passed in $((SECONDS - start)) s"

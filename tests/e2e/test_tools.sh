#!/usr/bin/env bash
# A game played as a new player plays it, judged from the screen (texts and money read
# by OCR): New Game, the intro skipped with Enter, the panels shown; the wall picked from
# the tool bar's pop-up, its green ghost following the cursor and a press placing it for
# 100$; a cannon (500$) and a mortar (800$) likewise; Escape putting each tool away;
# with no tool the wall outlined under the cursor, a click opening its detail pop-up,
# "Upgrade" (150$) and "Sell" (250$) changing it and the money. Closing the window
# ends the game with status 0; it prints nothing but its diagnostic lines throughout.
# (A wave with towers: test_wave; cheats, lost games and their dialogs:
# test_game_over.)
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/play.sh"

start_playing

new_game first
shot idle
expect_money 5000 "a new game"
[[ "$(read_text "$ARTIFACTS/idle.png" "$WAVE_BUTTON")" == *"Start wave 1"* ]] || fail "no \"Start wave 1\""

# The wall from the buildings' pop-up; its ghost follows the cursor.
pick_item $BUILDINGS_X 0 wall
xdotool mousemove --window "$WINDOW_ID" $CANNON_X $CANNON_Y
wait_for 60 ghost-a ghost_at $CANNON_X $CANNON_Y
xdotool mousemove --window "$WINDOW_ID" $WALL_X $WALL_Y
wait_for 60 ghost-b ghost_moved
echo "a green ghost follows the cursor"
place_at wall $WALL_X $WALL_Y 100
drop_tool wall-away
pick_item $BUILDINGS_X 1 cannon
place_at cannon $CANNON_X $CANNON_Y 500
drop_tool cannon-away
pick_item $BUILDINGS_X 2 mortar
place_at mortar $MORTAR_X $MORTAR_Y 800
drop_tool mortar-away
expect_money 3600 "three buildings placed"

# No tool: hovering the wall outlines it, a click opens its detail pop-up.
not_outlined() { below "$(outline_white "$1" $WALL_X $WALL_Y)" 0.005; }
xdotool mousemove --window "$WINDOW_ID" $((WIDTH / 2)) $((HEIGHT / 4))
seen_within 60 no-outline not_outlined || fail "an outline without a building"
# The wall stands on its cell's centre, up to half a cell from where it was placed,
# and is only a few pixels wide: the pointer goes to the middle of what changed there
# since before it was placed (the point of placing may be beside it).
read -r w h x y < <(convert "$ARTIFACTS/wall-before.png" "$ARTIFACTS/no-outline.png" \
    -crop "40x50+$((WALL_X - 20))+$((WALL_Y - 40))" +repage -compose difference -composite \
    -colorspace Gray -threshold 15% -format '%@' info: | tr 'x+' '  ') || true
if [ "${w:-0}" -gt 0 ] && [ "${w:-0}" -lt 40 ]; then
    HOVER_X=$((WALL_X - 20 + x + w / 2))
    HOVER_Y=$((WALL_Y - 40 + y + h / 2))
else
    HOVER_X=$WALL_X
    HOVER_Y=$((WALL_Y - 2))
fi
xdotool mousemove --window "$WINDOW_ID" $HOVER_X $HOVER_Y
wait_for 60 outline outlined
echo "the hovered wall is outlined (pointer at $HOVER_X, $HOVER_Y)"
hold_button_until 60 detail $HOVER_X $HOVER_Y wall_detail_shown 1
click_word_until detail "$MIDDLE" Upgrade upgraded wall_detail_shown 2
expect_money 3450 "the wall upgraded"
click_word_until upgraded "$MIDDLE" Sell sold detail_gone
expect_money 3700 "the wall sold"

game_close
game_wait_exit 60
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
expect_only_diagnostics
echo "tools test passed"

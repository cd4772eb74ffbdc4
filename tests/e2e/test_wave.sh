#!/usr/bin/env bash
# A wave won as a player wins it, judged from the screen (texts and money read by OCR):
# New Game, the intro skipped with Enter; a cannon (500$) and a mortar (800$) placed
# beside the castle from the tool bar; "Start wave 1" hiding the tool bar and showing
# the wave; x4; the towers' kills paying rewards; pause stopping the enemies and the
# money; x4 again, and "Start wave 2" coming back once the last enemy falls. Closing
# the window ends the game with status 0; it prints nothing but its diagnostic lines
# throughout.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/play.sh"

start_playing

new_game first
expect_money 5000 "a new game"
pick_item $BUILDINGS_X 1 cannon
place_at cannon $CANNON_X $CANNON_Y 500
drop_tool cannon-away
pick_item $BUILDINGS_X 2 mortar
place_at mortar $MORTAR_X $MORTAR_Y 800
drop_tool mortar-away
expect_money 3700 "two towers placed"

# "Start wave 1": the tool bar goes, the wave shows; x4.
shot before-wave
click_word_until before-wave "$WAVE_BUTTON" Start wave wave_shown
changed_from "$ARTIFACTS/wave.png" "$TOOL_BAR" before-wave || fail "the tool bar is still shown during the wave"
set_speed x4 3 1
echo "wave 1 runs at x4 without the tool bar"

# The towers' kills pay; pause stops everything.
wait_for 600 rewarded money_above 3700
echo "rewards arrive: $(money_in "$ARTIFACTS/rewarded.png")$"
set_speed paused-a 0 3
paused_money=$(money_in "$ARTIFACTS/paused-a.png")
sleep 8
shot paused-b
[ "$(remaining "$ARTIFACTS/paused-a.png")" = "$(remaining "$ARTIFACTS/paused-b.png")" ] &&
    [ "$(money_in "$ARTIFACTS/paused-b.png")" = "$paused_money" ] || fail "the game went on while paused"
echo "paused with $(remaining "$ARTIFACTS/paused-b.png") enemies left and $paused_money$"
set_speed resumed 3 0

# The wave ends once none of its enemies is left: "Start wave 2" (a few minutes of
# game time at most; longer at one frame a second, when a frame gives less game time
# than it took).
wait_for 1200 waiting next_wave_offered
echo "wave 1 won: \"Start wave 2\", $(money_in "$ARTIFACTS/waiting.png")$"

game_close
game_wait_exit 60
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
expect_only_diagnostics
echo "wave test passed"

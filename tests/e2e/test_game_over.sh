#!/usr/bin/env bash
# Games lost as a player loses them, judged from the screen (texts read by OCR): New
# Game, the intro skipped with Enter; cheats enabled in the settings (pause menu,
# "Settings", "Enable Cheats", "Back", "Continue"), the wallet then showing "Money:
# infinite" and the tool bar the enemies' category; at x4, heavy enemies dropped on
# the castle until it falls: "Game over" with its reason, "Continue" plays on; Escape puts
# the enemies' tool away, Escape opens the pause menu and "Leave to main menu" returns
# to the main menu; a second game lost the same way and "Exit" back to the main menu.
# Closing the window ends the game with status 0; it prints nothing but its diagnostic
# lines throughout.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/play.sh"

start_playing

new_game first
# Cheats from the settings (pause menu, "Settings", "Enable Cheats", "Back" beside
# "Apply", "Continue"): the enemies' category, heavy enemies on the castle, "Game over".
pause_game paused
click_until 60 settings $((WIDTH / 2)) $((HEIGHT / 2)) settings_shown
read -r x y < <(find_word "$ARTIFACTS/settings.png" "$SETTINGS_TOP" Enable) || true
[ -n "${x:-}" ] || fail "no \"Enable Cheats\" in the settings"
click_until 60 cheats-ticked $((x - 35)) "$y" ticked $((x - 35)) "$y"
read -r x y < <(find_word "$ARTIFACTS/cheats-ticked.png" "$SETTINGS_BOTTOM" Apply) || true
[ -n "${y:-}" ] || fail "no \"Apply\" in the settings"
click_until 60 back $((WIDTH / 2 - 270)) "$y" pause_menu_shown
click_until 60 cheats $((WIDTH / 2)) $((HEIGHT / 2 - 44)) cheats_on
drop_heavies_on_castle first
click_word_until first-lost "$MIDDLE" Continue continued dialog_gone
echo "\"Continue\" plays on"

# Left to the main menu (the first Escape puts the enemies' tool away, the second
# opens the menu); a second game lost the same way, and "Exit".
drop_tool heavy-away
pause_game paused-again
click_until 60 left $((WIDTH / 2)) $((HEIGHT / 2 + 44)) main_menu_shown
new_game second
drop_heavies_on_castle second
click_word_until second-lost "$MIDDLE" Exit exited main_menu_shown
echo "\"Exit\" returns to the main menu"

game_close
game_wait_exit 60
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
expect_only_diagnostics
echo "game over test passed"

# The game's panels as a player sees them, for the end-to-end tests that play a game
# in an 800 x 450 window (sourced after lib.sh): where the panels and the start view's
# castle are, what they read, and the player's actions, each repeated until the
# screen shows its effect.

# Small enough for lavapipe to keep up; the panels' places follow from it.
WIDTH=800
HEIGHT=450
MARGIN=16

WALLET="200x30+$((WIDTH / 2 - 100))+0"
WAVE_BUTTON="200x40+$((WIDTH - 200))+0"
WAVE_PANEL="200x60+$((WIDTH - 200))+0"
MIDDLE="300x$HEIGHT+$((WIDTH / 2 - 150))+0"
# The pause menu's three buttons (a fixed window 300 px wide in the middle), read
# alone: around them the landscape, the castle and the enemies confuse the reading
# (over the middle column, two readings of three missed "Leave to main menu").
MENU="290x136+$((WIDTH / 2 - 145))+$((HEIGHT / 2 - 68))"
SETTINGS_TOP="${WIDTH}x$((HEIGHT / 2))+0+0"
SETTINGS_BOTTOM="${WIDTH}x$((HEIGHT / 4))+0+$((HEIGHT * 3 / 4))"

# The tool bar: the buildings' category at the bottom left, then (with cheats) the
# enemies', then sell, repair and upgrade, 16 px apart.
CATEGORY_Y=$((HEIGHT - MARGIN - 28))
BUILDINGS_X=$((MARGIN + 28))
ENEMIES_X=$((2 * MARGIN + 56 + 28))
# The button of the category at x $1 (its centre).
category_cell() { echo "48x48+$(($1 - 24))+$((CATEGORY_Y - 24))"; }
TOOL_BAR=$(category_cell $BUILDINGS_X)
# The category pop-up above the bar, three 48-px items to a row.
item_x() { echo $((MARGIN + 48 * $1 + 24)); }
ITEM_Y=$((HEIGHT - 2 * MARGIN - 300 + 24))
item_cell() { echo "40x40+$(($(item_x "$1") - 20))+$((ITEM_Y - 20))"; }
# Pause, x1, x2, x4 in the top left corner, 24 px each.
speed_x() { echo $((2 + 24 * $1 + 12)); }
SPEED_Y=14
speed_cell() { echo "20x20+$(($(speed_x "$1") - 10))+4"; }

# The start view looks down on the castle from beside it: where it and free ground
# around it are on the screen.
CASTLE_X=$((WIDTH * 54 / 100))
CASTLE_Y=$((HEIGHT * 745 / 1000))
WALL_X=$CASTLE_X
WALL_Y=$((CASTLE_Y - 75))
CANNON_X=$((CASTLE_X + 90))
CANNON_Y=$((CASTLE_Y - 35))
MORTAR_X=$((CASTLE_X - 90))
MORTAR_Y=$((CASTLE_Y - 35))

# Normalised RMS difference of region $3 of shot files $1 and $2.
region_difference() {
    convert "$1" "$2" -crop "$3" +repage -compose difference -composite -colorspace Gray -format '%[fx:mean]' info:
}
# Region $2 of shot file $1 differs from the same region of reference shot $3.
changed_from() { above "$(region_difference "$1" "$ARTIFACTS/$3.png" "$2")" 0.05; }
same_as() { below "$(region_difference "$1" "$ARTIFACTS/$3.png" "$2")" 0.02; }

# The wallet's amount in shot file $1 (read with only the wallet's characters allowed,
# so that "$" is never taken for a digit), in the first of a few readings that ends
# in "$" (the landscape shows through the wallet's window; on some, one reading takes
# the "$" for a 5).
money_in() {
    local variant amount
    for variant in "-scale 300%" "-scale 300% -threshold 30%" "-scale 400%" "-scale 400% -threshold 70%"; do
        # shellcheck disable=SC2086
        convert "$1" -crop "$WALLET" +repage $variant -colorspace Gray -negate "$ARTIFACTS/ocr.png"
        amount=$(tesseract "$ARTIFACTS/ocr.png" - --psm 7 -c 'tessedit_char_whitelist=Money:0123456789$ ' 2>/dev/null |
            sed -n 's/.*Money: *\([0-9][0-9]*\)\$.*/\1/p')
        [ -n "$amount" ] && break
    done
    echo "$amount"
}
money_is() { [ "$(money_in "$1")" = "$2" ]; }
money_above() { local seen; seen=$(money_in "$1"); [ -n "$seen" ] && [ "$seen" -gt "$2" ]; }
money() {
    shot wallet
    money_in "$ARTIFACTS/wallet.png"
}

# Waits for the wallet to show $1 (the step $2 names it).
expect_money() {
    seen_within 30 "wallet" money_is "$1" || fail "$2: the wallet shows '$(money_in "$ARTIFACTS/wallet.png")', expected $1"
    echo "money: $1 ($2)"
}

# The enemies left, as the wave panel of shot file $1 shows them.
remaining() {
    read_text "$1" "$WAVE_PANEL" | sed -n 's/.*enemies: *\([0-9][0-9]*\).*/\1/p' | head -n 1
}

# Share of the 40 x 40 pixels around ($2, $3) of shot file $1 that are ghost green or
# outline white.
ghost_green() { share_in_ranges "$1" "40x40+$(($2 - 20))+$(($3 - 20))" 0-0.45 0.8-1 0-0.45; }
outline_white() { share_in_ranges "$1" "40x40+$(($2 - 20))+$(($3 - 20))" 0.9-1 0.9-1 0.9-1; }
ghost_at() { above "$(ghost_green "$1" "$2" "$3")" 0.02; }
ghost_moved() { ghost_at "$1" $WALL_X $WALL_Y && below "$(ghost_green "$1" $CANNON_X $CANNON_Y)" 0.005; }
outlined() { above "$(outline_white "$1" $WALL_X $WALL_Y)" 0.02; }

main_menu_shown() { shows_text "$1" "$MIDDLE" "New Game"; }
menu_gone() { ! main_menu_shown "$1"; }
intro_hint_shown() { shows_text "$1" "200x36+$((WIDTH / 2 - 100))+$((HEIGHT - 52))" "Enter to skip" 7; }
panels_shown() { shows_text "$1" "$WALLET" "Money" 7; }
game_over_shown() { shows_text "$1" "$MIDDLE" "Game over"; }
pause_menu_shown() { shows_text "$1" "$MENU" "Leave to main menu"; }
settings_shown() { shows_text "$1" "$SETTINGS_TOP" "Enable Cheats"; }
cheats_on() { shows_text "$1" "$WALLET" "Money: infinite" 7 && ! pause_menu_shown "$1"; }
dialog_gone() { ! game_over_shown "$1" && shows_text "$1" "$WAVE_PANEL" "wave"; }
wall_detail_shown() { shows_text "$1" "$MIDDLE" "Wall \\[Lv.\\. $2\\]"; } # "l" and "I" read alike
detail_gone() { ! shows_text "$1" "$MIDDLE" "Wall \\[Lv"; }
wave_shown() { shows_text "$1" "$WAVE_PANEL" "Current wave: 1"; }
next_wave_offered() { shows_text "$1" "$WAVE_BUTTON" "Start wave 2"; }

# The game started with the test's config.gcfg and its window set to the panels' size.
start_playing() {
    write_config
    game_start
    game_wait_window
    game_window_at $WIDTH $HEIGHT
}

# With the button of the category at x $2: its pop-up is open (the first item's cell
# differs from shot $3, taken before), a tool of it is picked (the button shows the
# kind's logo and the pop-up has closed), no tool of it is picked (the button is as in
# shot $3).
popup_open() { changed_from "$1" "$(item_cell 0)" "$3"; }
tool_picked() { changed_from "$1" "$(category_cell "$2")" "$3" && ! popup_open "$1" "$2" "$3"; }
no_tool() { same_as "$1" "$(category_cell "$2")" "$3"; }

# Item $2 of the category at x $1 picked from its pop-up (the step is named $3); the
# tool is then the one to drop. Once picked, the item's ghost follows the pointer: the
# pointer leaves the pop-up's place (for the top of the view) as soon as it has
# clicked, so that the ghost is not taken for the pop-up still open (and the click
# made again where the pop-up was, placing the building there). The category's button
# keeps the logo of the item last picked from it: to pick that item again, $4 names
# a shot from before the first pick, for the button to differ from.
pick_item() {
    shot "$3-before"
    click_until 60 "$3-popup" "$1" $CATEGORY_Y popup_open "$1" "$3-before"
    CLICK_AWAY="$((WIDTH / 2)) 60" click_until 60 "$3-picked" "$(item_x "$2")" $ITEM_Y tool_picked "$1" \
        "${4:-$3-before}"
    PICKED="$1 ${4:-$3-before}"
}

# The picked tool put away with Escape: its category's button is as before the pick.
drop_tool() {
    hold_keys_until 60 "$1" no_tool_of_picked Escape
}
no_tool_of_picked() {
    local category before
    read -r category before <<<"$PICKED"
    no_tool "$1" "$category" "$before"
}

# The item picked as $1 placed at ($2, $3) for $4$ with a press held until the money
# shows the price paid (the tool places in every frame the button is down, one building
# where it stands).
place_at() {
    local before
    before=$(money)
    hold_button_until 60 "$1-placed" "$2" "$3" money_is $((before - $4))
    echo "$1 placed: $((before - $4))$"
}

# The game speed set with the time control of index $2 (0 pause, 1 x1, 2 x2, 3 x4)
# while the one of index $3 was set: the latter's icon no longer shows it (the one
# clicked may show the pointer over it either way). Shots named $1.
set_speed() {
    shot "$1-before"
    click_until 60 "$1" "$(speed_x "$2")" $SPEED_Y changed_from "$(speed_cell "$3")" "$1-before"
}

# The check box at ($2, $3) of shot file $1 holds its white tick.
ticked() { above "$(share_in_ranges "$1" "12x12+$(($2 - 6))+$(($3 - 6))" 0.9-1 0.9-1 0.9-1)" 0.05; }

new_game() {
    wait_for 60 "$1-menu" main_menu_shown
    click_until 60 "$1-loading" $((WIDTH / 2)) $((HEIGHT / 2 - 44)) menu_gone
    wait_for 300 "$1-intro" intro_hint_shown
    echo "$1: the intro flies"
    hold_keys_until 120 "$1-start" panels_shown Return
}

# With cheats: heavy enemies dropped on the castle, one a frame while the button is
# held, until it falls; at x4, so that they bring it down in a quarter of the time.
drop_heavies_on_castle() {
    set_speed "$1-x4" 3 1
    pick_item $ENEMIES_X 1 "$1-heavy"
    PATIENCE=120 hold_button_until 300 "$1-lost" "$CASTLE_X" "$CASTLE_Y" game_over_shown
    [[ "$(read_text "$ARTIFACTS/$1-lost.png" "$MIDDLE")" =~ Your\ ma.n\ castle\ has\ been\ destroyed! ]] ||
        fail "$1: no reason in the game-over dialog"
    echo "$1: game over"
}

# Clicks the word $3 that region $2 of shot $1 shows until `$5` passes on shots named
# $4 (extra arguments to the check follow).
click_word_until() {
    local x y
    read -r x y < <(find_word "$ARTIFACTS/$1.png" "$2" "$3") || true
    [ -n "${x:-}" ] || fail "no \"$3\" in $1"
    local name=$4 check=$5
    shift 5
    click_until 60 "$name" "$x" "$y" "$check" "$@"
}

# Opens the pause menu with Escape.
pause_game() {
    hold_keys_until 120 "$1" pause_menu_shown Escape
}


#!/usr/bin/env bash
# The settings round trip with the real program: "Settings" in the main menu, shadow
# quality "Ultra" on the "Graphics" tab, "Apply and save" writes the 53-byte
# config.gcfg; "Exit" ends the game with status 0; the next start loads the file and
# shows "Ultra" again.
source "$(dirname "$0")/lib.sh"

# Click targets, in pixels from the centre of the game window (the menus are centred
# and laid out by the interface's fixed fonts and style).
MAIN_SETTINGS="0 0"
MAIN_EXIT="0 44"
TAB_GRAPHICS="-200 -151"
SHADOW_LIST="-110 -125"
SHADOW_ULTRA="-240 -38"
APPLY_AND_SAVE="230 189"
BACK="-270 189"
AWAY="0 300"               # below the settings window: hovers nothing
SHADOW_PREVIEW="200 16 -290 -133" # width, height and offset of the shadow list's shown value

# Waits until the window has the size $1x$2, then keeps its position and centre.
wait_window_size() {
    local geometry=""
    for _ in $(seq 1 100); do
        geometry=$(xdotool getwindowgeometry "$WINDOW_ID")
        if grep -q "Geometry: $1x$2" <<<"$geometry"; then
            WINDOW_X=$(sed -n 's/.*Position: \([-0-9]*\),\([-0-9]*\).*/\1/p' <<<"$geometry")
            WINDOW_Y=$(sed -n 's/.*Position: \([-0-9]*\),\([-0-9]*\).*/\2/p' <<<"$geometry")
            CENTRE_X=$(($1 / 2))
            CENTRE_Y=$(($2 / 2))
            return 0
        fi
        sleep 0.1
    done
    fail "the window should be $1x$2: $geometry"
}

# Clicks a target (offsets $3 $4 from the window centre) until `$2 <shot>` passes on
# shots named $1.
click_target() {
    local name=$1 check=$2 dx=$3 dy=$4
    xdotool windowraise "$WINDOW_ID"
    click_until 60 "$name" $((CENTRE_X + dx)) $((CENTRE_Y + dy)) "$check"
}

# What each click shows, read from the window around the centre: the main menu's
# buttons; the settings window's buttons at its bottom; the "Graphics" tab's shadow
# setting; the shadow list opened (its last item) and "Ultra" chosen in it.
main_menu_shown() { shows_text "$1" "300x160+$((CENTRE_X - 150))+$((CENTRE_Y - 80))" "New Game"; }
settings_shown() { shows_text "$1" "600x40+$((CENTRE_X - 300))+$((CENTRE_Y + 169))" "Apply"; }
graphics_shown() { shows_text "$1" "600x150+$((CENTRE_X - 300))+$((CENTRE_Y - 150))" "Shadow"; }
shadow_list_open() { shows_text "$1" "240x120+$((CENTRE_X - 300))+$((CENTRE_Y - 110))" "Ultra"; }
ultra_chosen() {
    local width height dx dy
    read -r width height dx dy <<<"$SHADOW_PREVIEW"
    shows_text "$1" "${width}x$height+$((CENTRE_X + dx))+$((CENTRE_Y + dy))" "Ultra" 7 && ! shadow_list_open "$1"
}
config_written() { [ -f "$WORK_DIR/config.gcfg" ] && [ "$(stat -c %s "$WORK_DIR/config.gcfg")" = 53 ]; }

hover_away() {
    set -- $AWAY
    xdotool mousemove --window "$WINDOW_ID" $((CENTRE_X + $1)) $((CENTRE_Y + $2))
    sleep 0.6
}

# Saves the shadow list's shown value as $ARTIFACTS/$1.png.
shadow_preview_shot() {
    local width height dx dy
    read -r width height dx dy <<<"$SHADOW_PREVIEW"
    xdotool windowraise "$WINDOW_ID"
    sleep 0.3
    screenshot "$1-screen"
    convert "$ARTIFACTS/$1-screen.png" \
        -crop "${width}x${height}+$((WINDOW_X + CENTRE_X + dx))+$((WINDOW_Y + CENTRE_Y + dy))" +repage \
        "$ARTIFACTS/$1.png"
}

# Number of pixels that differ by more than a rounding step between two images (two
# window sizes rasterise the same text with tiny differences).
pixels_differing() {
    compare -metric AE -fuzz 3% "$ARTIFACTS/$1.png" "$ARTIFACTS/$2.png" null: 2>&1 || true
}

# Bytes of config.gcfg as hex: $1 offset, $2 count.
config_bytes() {
    xxd -s "$1" -l "$2" -p "$WORK_DIR/config.gcfg"
}

# "Back", then "Exit" (made again while the main menu still shows it after PATIENCE
# seconds).
exit_from_settings() {
    click_target "$1-back" main_menu_shown $BACK
    set -- $MAIN_EXIT
    local end=$((SECONDS + 120))
    while :; do
        focus_game
        xdotool mousemove --window "$WINDOW_ID" $((CENTRE_X + $1)) $((CENTRE_Y + $2))
        sleep 0.5
        xdotool mousedown 1
        sleep 0.5
        xdotool mouseup 1
        for _ in $(seq 1 $((PATIENCE * 10))); do
            kill -0 "$GAME_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$GAME_PID" 2>/dev/null || break
        [ $SECONDS -lt $end ] || fail "\"Exit\" did not end the game within 120 s"
        echo "note: the game still runs $PATIENCE s after \"Exit\"; clicked again" >&2
    done
    game_wait_exit 30
    [ "$GAME_STATUS" = 0 ] || fail "\"Exit\" ended the game with status $GAME_STATUS"
}

# --- first run: no settings file; the default window is 1600x900 ---
[ ! -e "$WORK_DIR/config.gcfg" ] || fail "the working directory should start without config.gcfg"
game_start
game_wait_window
wait_window_size 1600 900
wait_for 120 first-menu main_menu_shown
click_target first-settings settings_shown $MAIN_SETTINGS
click_target first-graphics graphics_shown $TAB_GRAPHICS
hover_away
shadow_preview_shot shadow-high
click_target shadow-list shadow_list_open $SHADOW_LIST
click_target shadow-ultra-chosen ultra_chosen $SHADOW_ULTRA
hover_away
shadow_preview_shot shadow-ultra
[ "$(pixels_differing shadow-high shadow-ultra)" -gt 50 ] || fail "choosing \"Ultra\" changed nothing on screen"
click_target first-saved config_written $APPLY_AND_SAVE
cp "$WORK_DIR/config.gcfg" "$ARTIFACTS/config-first.gcfg"

[ "$(config_bytes 0 4)" = 0000803f ] || fail "mouse speed bytes $(config_bytes 0 4)"
[ "$(config_bytes 4 1)" = 00 ] || fail "cheats byte $(config_bytes 4 1)"
[ "$(config_bytes 5 4)" = 03000000 ] || fail "shadow quality bytes $(config_bytes 5 4), expected Ultra (3)"
[ "$(config_bytes 9 12)" = 000000000000000000000000 ] || fail "modes and monitor $(config_bytes 9 12)"
[ "$(config_bytes 21 4)" = 00000000 ] || fail "window flags and padding $(config_bytes 21 4)"
[ "$(config_bytes 33 8)" = 4006000084030000 ] || fail "window size bytes $(config_bytes 33 8), expected 1600x900"
[ "$(config_bytes 45 8)" = 0000000000000000 ] || fail "the monitor handle should be written as zeros"
! compgen -G "$WORK_DIR/config.gcfg.tmp*" >/dev/null || fail "the temporary file was left behind"
exit_from_settings first

# --- second run: the file is loaded; every start opens a 1920x1080 window ---
game_start
game_wait_window
wait_window_size 1920 1080
wait_for 120 second-menu main_menu_shown
click_target second-settings settings_shown $MAIN_SETTINGS
click_target second-graphics graphics_shown $TAB_GRAPHICS
hover_away
shadow_preview_shot shadow-loaded
[ "$(pixels_differing shadow-ultra shadow-loaded)" -lt 5 ] || fail "the loaded shadow quality is not shown as \"Ultra\""
# Saving again without a change keeps the loaded value.
rm -f "$WORK_DIR/config.gcfg"
click_target second-saved config_written $APPLY_AND_SAVE
[ "$(config_bytes 5 4)" = 03000000 ] || fail "after a restart the shadow quality is $(config_bytes 5 4)"
[ "$(config_bytes 33 8)" = 8007000038040000 ] || fail "second window size bytes $(config_bytes 33 8)"
exit_from_settings second

expect_only_diagnostics
echo "settings test passed"

#!/usr/bin/env bash
# The game as a hostile user treats it, in three short runs that share one settings
# file: shadow quality "Ultra" (a map larger than lavapipe's 2 GiB heap), a window
# position far outside the screen, and the file made read-only.
# 1. Main menu: the window opens on the screen, also with an interface layout file
#    whose table section the interface library would crash on (refused in one line);
#    "Apply and save" refuses to replace the read-only file and the settings window
#    says the settings were not saved; another X client destroys the window: the game
#    ends at once with one line.
# 2. Loading: "New Game" falls back to the largest shadow quality that fits, with a
#    line; the window is killed (xdotool windowkill) while the world loads: the game
#    ends at once with one line.
# 3. Playing: the world is drawn with the smaller shadow map; the window is killed in
#    the game: the game ends at once with one line.
# The refused layout file is left as it is through all three runs (the last outlasts
# the few seconds after which the interface library asks for its layout to be saved),
# and nothing more is said of it.
# Before them, broken run directories: a building file missing, the interface's shaders
# swapped, the wall's model with a member of its JSON written twice, its buffer a link
# out of its folder, and so large that the portal's model finds no room in the mesh
# storage after it (all met at start-up), and the enemies' shaders swapped (met by the
# loader thread of a new game). Each ends with status 1 and one line naming the file,
# never with an abort.
source "$(dirname "$0")/lib.sh"

WIDTH=800
HEIGHT=600
APPLY_AND_SAVE="230 189" # from the centre of the window, as the settings window lays it out
# Whichever sees it first (the window system's handlers or the swap chain) says so.
GONE_LINE="ERROR: The game window is gone: "

# A 53-byte settings record: mouse speed 1, shadow quality 3 (Ultra), windowed, the
# window at (32767, 32767), 1600 x 900.
write_config() {
    {
        printf '\x00\x00\x80\x3f'         # mouse speed 1.0
        printf '\x00'                     # cheats off
        printf '\x03\x00\x00\x00'         # shadow quality Ultra
        printf '\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' # full-screen mode, refresh mode, monitor
        printf '\x00\x00\x00\x00'         # full screen, maximized, padding
        printf '\xff\x7f\x00\x00\xff\x7f\x00\x00' # x, y = 32767
        printf '\x40\x06\x00\x00\x84\x03\x00\x00' # 1600 x 900
        printf '\x00\x00\x00\x00'         # refresh rate
        printf '\x00\x00\x00\x00\x00\x00\x00\x00' # monitor handle
    } >"$WORK_DIR/config.gcfg"
    [ "$(stat -c %s "$WORK_DIR/config.gcfg")" = 53 ] || fail "the test's settings record is not 53 bytes"
}

MIDDLE="300x$HEIGHT+$((WIDTH / 2 - 150))+0"
LOWER_HALF="${WIDTH}x$((HEIGHT / 2))+0+$((HEIGHT / 2))"
main_menu_shown() { shows_text "$1" "$MIDDLE" "New Game"; }
settings_shown() { shows_text "$1" "$LOWER_HALF" "Apply"; }
# The settings window's message, under its buttons.
not_saved_shown() { shows_text "$1" "$LOWER_HALF" "not saved"; }
# Checks that look at the game's output rather than the shot.
shadow_line_seen() { grep -q -F "Shadow quality Ultra" "$ARTIFACTS/stdout.txt"; }
# The planet below the intro's start: the lower left is no longer the cleared black.
world_drawn() { above "$(region_brightness "$1" 200x60+20+480)" 0.1; }

# Starts the game at the small size, its main menu shown.
start_small() {
    game_start
    start_small_started
}
start_small_started() {
    game_wait_window
    xdotool windowsize "$WINDOW_ID" $WIDTH $HEIGHT
    for _ in $(seq 1 100); do
        [ "$(window_size)" = "$WIDTH $HEIGHT" ] && break
        sleep 0.1
    done
    wait_for 120 menu main_menu_shown
}

# The game must end within a few frames of losing its window, with status 1 and the
# line $1 as its last line. A frame of the world with large shadow maps takes seconds
# on a busy machine: the bound is PROMPT_FRAMES frames, as the game's trace counts them
# (after PROMPT_LIMIT seconds whatever the frames).
PROMPT_FRAMES=5
PROMPT_LIMIT=120
expect_prompt_end() {
    local started=$SECONDS lost_at
    lost_at=$(stamp)
    while kill -0 "$GAME_PID" 2>/dev/null; do
        [ "$(frames_since "$lost_at")" -lt $PROMPT_FRAMES ] ||
            fail "$2: the game still ran $PROMPT_FRAMES frames after losing its window"
        [ $((SECONDS - started)) -lt $PROMPT_LIMIT ] || fail "$2: the game did not end within $PROMPT_LIMIT s"
        sleep 0.1
    done
    game_wait_exit 1
    [ "$GAME_STATUS" = 1 ] || fail "exit status $GAME_STATUS after losing the window"
    [[ "$(tail -n 1 "$ARTIFACTS/stdout.txt")" == *"$1"* ]] || fail "the last line is not \"$1\""
    echo "$2: ended in $((SECONDS - started)) s with \"$(tail -n 1 "$ARTIFACTS/stdout.txt")\""
}

new_game() {
    click_until 60 loading $((WIDTH / 2)) $((HEIGHT / 2 - 44)) shadow_line_seen
    [[ "$(grep -F "Shadow quality Ultra" "$ARTIFACTS/stdout.txt")" == *"using High"* ]] ||
        fail "the shadow map should fall back to High: $(grep -F "Shadow quality" "$ARTIFACTS/stdout.txt")"
}

save_stdout() {
    cp "$ARTIFACTS/stdout.txt" "$ARTIFACTS/stdout-$1.txt"
    cp "$ARTIFACTS/stderr.txt" "$ARTIFACTS/stderr-$1.txt"
    [ ! -f "$ARTIFACTS/trace.txt" ] || cp "$ARTIFACTS/trace.txt" "$ARTIFACTS/trace-$1.txt"
}

# --- 0: broken run directories ---
# $1 name, $2 the file the last line must name, $3 "new-game" when the file is met by
# the loader of a new game; the run directory is a tree of links to the real one,
# broken by the command that follows ("$@" from $4 on, run inside it).
broken_run() {
    local name=$1 file=$2 when=$3 started=$SECONDS
    shift 3
    local saved_work_dir=$WORK_DIR
    WORK_DIR=$(mktemp -d)
    cp -rs "$RUN_DIR/shaders" "$RUN_DIR/assets" "$WORK_DIR/"
    (cd "$WORK_DIR" && "$@")
    game_start
    if [ "$when" = new-game ]; then
        start_small_started
        click_new_game_until_end "$name"
    fi
    game_wait_exit 120
    rm -rf "$WORK_DIR"
    WORK_DIR=$saved_work_dir
    save_stdout "$name"
    local last
    last=$(tail -n 1 "$ARTIFACTS/stdout-$name.txt")
    [ "$GAME_STATUS" = 1 ] || fail "$name: exit status $GAME_STATUS"
    ! grep -q "terminate called" "$ARTIFACTS/stdout-$name.txt" "$ARTIFACTS/stderr-$name.txt" ||
        fail "$name: the game aborted"
    [ "$(grep -c '^ERROR: ' "$ARTIFACTS/stdout-$name.txt")" = 1 ] || fail "$name: not one ERROR line"
    case "$last" in
    "ERROR: "*"$file"*) ;;
    *) fail "$name: the last line does not name $file: $last" ;;
    esac
    echo "$name: status 1 in $((SECONDS - started)) s with \"$last\""
}
# Clicks "New Game" until the game's trace shows the loading screen (the click was
# taken), then waits for the game to end: its loader meets the broken file. Clicked
# again only when the game has drawn WAIT_FRAMES frames since a click without loading
# (a click it took on the main menu leaves it, so none is made blind). The world loads
# at the pace of the machine, not of frames: the bound is generous.
LOADER_LIMIT=600
click_new_game_until_end() {
    local end=$((SECONDS + LOADER_LIMIT)) clicked_at
    while kill -0 "$GAME_PID" 2>/dev/null; do
        [ $SECONDS -lt $end ] || fail "$1: the game did not end within $LOADER_LIMIT s of clicks on \"New Game\""
        if ! grep -q -F "state game loading" "$TRACE_FILE"; then
            focus_game 2>/dev/null || true
            xdotool mousemove --window "$WINDOW_ID" $((WIDTH / 2)) $((HEIGHT / 2 - 44)) click 1 2>/dev/null || true
            clicked_at=$(stamp)
            while kill -0 "$GAME_PID" 2>/dev/null && ! grep -q -F "state game loading" "$TRACE_FILE" &&
                [ "$(frames_since "$clicked_at")" -lt "$WAIT_FRAMES" ] && [ $SECONDS -lt $end ]; do
                sleep 0.2
            done
            grep -q -F "state game loading" "$TRACE_FILE" && log "$1: the game took the click: it loads"
        fi
        sleep 0.2
    done
}
swap_files() { mv "$1" "$1.swap" && mv "$2" "$1" && mv "$1.swap" "$2"; }
# $1 as four little-endian bytes.
le32() {
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) \
        $(($1 >> 24 & 255)))"
}
# The wall's model with a member of its JSON written twice: a first "nodes" of a chain
# 300,000 deep, which the model importer would take (and follow until the stack ran
# out), before its own.
hostile_wall_model() {
    local model=assets/Buildings/BdWall/wall.glb json_length padded size
    json_length=$(od -An -tu4 -j12 -N4 "$model" | tr -d ' ')
    size=$(stat -L -c %s "$model")
    {
        printf '{"nodes":['
        awk 'BEGIN { for (i = 1; i < 300000; i++) printf "{\"children\":[%d]},", i; printf "{\"mesh\":0}]," }'
        # The model's own JSON after its "{". (Cut by a reader that takes all it is given:
        # `tail | head -c` ended the test by SIGPIPE whenever head left before tail had
        # written the rest of the file.)
        head -c $((20 + json_length)) "$model" | tail -c +22
    } >json.part
    padded=$(( ($(stat -c %s json.part) + 3) / 4 * 4 ))
    printf '%*s' $((padded - $(stat -c %s json.part))) '' >>json.part
    {
        printf 'glTF'
        le32 2
        le32 $((20 + padded + size - 20 - json_length))
        le32 "$padded"
        printf 'JSON'
        cat json.part
        tail -c +$((21 + json_length)) "$model" # the binary chunk
    } >wall.part
    rm "$model" json.part
    mv wall.part "$model"
}

# The wall's model as JSON text whose buffer is the file "wall.bin" beside it, and that
# file a link to one outside the model's folder: the game refuses to follow it, and its
# line names the URI, nothing of the file there.
wall_buffer_linked_out() {
    local model=assets/Buildings/BdWall/wall.glb json_length
    json_length=$(od -An -tu4 -j12 -N4 "$model" | tr -d ' ')
    head -c $((20 + json_length)) "$model" | tail -c +21 |
        sed 's/"buffers":\[{"byteLength":\([0-9]*\)}\]/"buffers":[{"byteLength":\1,"uri":"wall.bin"}]/' >wall.part
    grep -q '"uri":"wall.bin"' wall.part || { echo "the wall's model has no buffer to name a file" >&2; return 1; }
    rm "$model"
    mv wall.part "$model"
    ln -s /etc/passwd assets/Buildings/BdWall/wall.bin
}

# The wall's model as three vertices at one point drawn by $1 indices, all 0: JSON text
# whose buffer is the file "wall.bin" beside it. Its meshes take 4 bytes of the mesh
# storage per index (in steps of 16) and what the joined vertex takes.
wall_of_indices() {
    local folder=assets/Buildings/BdWall
    rm "$folder/wall.glb"
    {
        printf '{"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],'
        printf '"meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"COLOR_0":2},"indices":3}]}],'
        printf '"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",'
        printf '"min":[0,0,0],"max":[0,0,0]},{"bufferView":1,"componentType":5126,"count":3,"type":"VEC3"},'
        printf '{"bufferView":2,"componentType":5126,"count":3,"type":"VEC4"},'
        printf '{"bufferView":3,"componentType":5125,"count":%d,"type":"SCALAR"}],' "$1"
        printf '"bufferViews":[{"buffer":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":36},'
        printf '{"buffer":0,"byteOffset":72,"byteLength":48},{"buffer":0,"byteOffset":120,"byteLength":%d}],' \
            $((4 * $1))
        printf '"buffers":[{"byteLength":%d,"uri":"wall.bin"}]}' $((120 + 4 * $1))
    } >"$folder/wall.glb"
    head -c $((120 + 4 * $1)) /dev/zero >"$folder/wall.bin"
}

PHASE_START=$SECONDS
broken_run missing-building assets/Buildings/BdWall/config.json start rm assets/Buildings/BdWall/config.json
broken_run swapped-interface-shaders shaders/imgui start swap_files shaders/imguiVert.spv shaders/imguiFrag.spv
broken_run swapped-enemy-shaders shaders/enemy new-game swap_files shaders/enemyVert.spv shaders/enemyFrag.spv
broken_run hostile-wall-model 'BdWall/wall.glb" cannot be read: its JSON names the member "nodes" twice' start \
    hostile_wall_model
broken_run wall-buffer-linked-out \
    'cannot be read: buffers[0].uri "wall.bin": its file "assets/Buildings/BdWall/wall.bin" leads out of its folder through a link' \
    start wall_buffer_linked_out
# A wall too large for the mesh storage tells how much the models before it leave and
# what its vertex takes; the next wall leaves 112 to 159 bytes of it, too few for the
# portal's model, whose line names the wall as the model holding the most.
WALL_INDICES=2500008
broken_run wall-larger-than-the-mesh-storage 'BdWall/wall.glb" is too large for the mesh storage' start \
    wall_of_indices $WALL_INDICES
read -r TAKEN LEFT < <(sed -n 's/.* indices take \([0-9]*\) bytes, and \([0-9]*\) of the storage.*/\1 \2/p' \
    "$ARTIFACTS/stdout-wall-larger-than-the-mesh-storage.txt") || fail "the too large wall's line tells no room left"
VERTEX_BYTES=$((TAKEN - 4 * WALL_INDICES))
WALL_INDICES=$(((LEFT - 112 - VERTEX_BYTES) / 48 * 12))
broken_run wall-takes-the-portals-room \
    "; model \"assets/Buildings/BdWall/wall.glb\" holds the most of it ($((VERTEX_BYTES + 4 * WALL_INDICES)) bytes)" \
    start wall_of_indices $WALL_INDICES
grep -q -F 'ERROR: model "assets/Buildings/BdPortal/portal.glb" is too large for the mesh storage: ' \
    "$ARTIFACTS/stdout-wall-takes-the-portals-room.txt" || fail "wall-takes-the-portals-room: the portal is not refused"
echo "the broken run directories took $((SECONDS - PHASE_START)) s"

write_config
chmod 444 "$WORK_DIR/config.gcfg"
printf '[Window][Main Menu]\nPos=10,10\n[Table][0x00000001,2147483647]\n' >"$WORK_DIR/imgui.ini"
cp "$WORK_DIR/config.gcfg" "$ARTIFACTS/config-before.gcfg"
cp "$WORK_DIR/imgui.ini" "$ARTIFACTS/imgui-before.ini"

# --- 1: main menu ---
PHASE_START=$SECONDS
phase_done() {
    echo "$1 took $((SECONDS - PHASE_START)) s"
    PHASE_START=$SECONDS
}
start_small
read -r X Y < <(xdotool getwindowgeometry "$WINDOW_ID" | sed -n 's/.*Position: \([-0-9]*\),\([-0-9]*\).*/\1 \2/p')
echo "saved position 32767,32767: the window opened at $X,$Y"
grep -q -F "Interface layout file imgui.ini has a section the game does not keep at line 3" "$ARTIFACTS/stdout.txt" ||
    fail "no line refuses the layout file's table section"
[ "$X" -ge 0 ] && [ "$X" -le 1800 ] && [ "$Y" -ge 0 ] && [ "$Y" -le 1000 ] ||
    fail "the window opened off the screen at $X,$Y"

click_until 60 settings $((WIDTH / 2)) $((HEIGHT / 2)) settings_shown
set -- $APPLY_AND_SAVE
click_until 60 not-saved $((WIDTH / 2 + $1)) $((HEIGHT / 2 + $2)) not_saved_shown
echo "settings window reads: $(read_text "$ARTIFACTS/not-saved.png" "$LOWER_HALF")"
grep -q "Unable to save settings to config.gcfg: the file is read-only" "$ARTIFACTS/stdout.txt" ||
    fail "no line says why the settings were not saved"
cmp -s "$WORK_DIR/config.gcfg" "$ARTIFACTS/config-before.gcfg" || fail "the read-only config.gcfg was changed"
[ "$(stat -c %a "$WORK_DIR/config.gcfg")" = 444 ] || fail "config.gcfg lost its read-only mode"
! compgen -G "$WORK_DIR/config.gcfg.tmp*" >/dev/null || fail "a temporary file was left behind"

"$XCLOSE" --destroy "$WINDOW_ID"
expect_prompt_end "$GONE_LINE" "window destroyed in the main menu"
save_stdout menu
phase_done "the main menu run"

# --- 2: loading ---
start_small
new_game
sleep 1
xdotool windowkill "$WINDOW_ID"
expect_prompt_end "$GONE_LINE" "window killed while loading"
save_stdout loading
phase_done "the loading run"

# --- 3: playing ---
start_small
new_game
wait_for 300 playing world_drawn
sleep 3
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended while drawing the world with shadows"
xdotool windowkill "$WINDOW_ID"
expect_prompt_end "$GONE_LINE" "window killed in the game"
save_stdout playing
phase_done "the playing run"

cmp -s "$WORK_DIR/imgui.ini" "$ARTIFACTS/imgui-before.ini" || fail "the refused imgui.ini was saved over"
! grep -h "interface layout" "$ARTIFACTS"/stdout-{menu,loading,playing}.txt ||
    fail "a line more on the refused imgui.ini"
echo "hardening test passed"

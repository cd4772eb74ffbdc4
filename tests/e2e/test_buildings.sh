#!/usr/bin/env bash
# The buildings' files as the game reads them at start-up: a broken building file ends
# the start-up with one line naming the file and what is wrong, before any window
# shows. (The castle that a new game places in the start view is seen by test_world
# in both of its games.)
source "$(dirname "$0")/lib.sh"

# Every asset linked from the run directory, but the wall's file, which gets $1.
broken_wall_file() {
    rm "$WORK_DIR/assets"
    mkdir -p "$WORK_DIR/assets/Buildings/BdWall"
    for entry in "$RUN_DIR"/assets/*; do
        [ "$(basename "$entry")" = Buildings ] || ln -s "$entry" "$WORK_DIR/assets/"
    done
    for entry in "$RUN_DIR"/assets/Buildings/*; do
        [ "$(basename "$entry")" = BdWall ] || ln -s "$entry" "$WORK_DIR/assets/Buildings/"
    done
    ln -s "$RUN_DIR/assets/Buildings/BdWall/wall.glb" "$WORK_DIR/assets/Buildings/BdWall/"
    printf '%s' "$1" >"$WORK_DIR/assets/Buildings/BdWall/config.json"
}

# A broken wall file: the start-up ends with the one line, before any menu.
broken_wall_file '{"name": "Wall", "gridSize": {"x": 2, "y": 5, "z": 1}, "logoIndex": {"x": 0, "y": 0}, "levels": []}'
game_start
for _ in $(seq 1 300); do
    kill -0 "$GAME_PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$GAME_PID" 2>/dev/null && fail "the game kept running with a broken wall file"
status=0
wait "$GAME_PID" || status=$?
GAME_PID=""
[ "$status" = 1 ] || fail "the game ended with status $status on a broken wall file (1 expected)"
! grep -q "terminate called" "$ARTIFACTS/stderr.txt" || fail "the game aborted"
errors=$(grep -c '^ERROR: ' "$ARTIFACTS/stdout.txt" || true)
[ "$errors" = 1 ] || fail "$errors error lines"
grep -q '^ERROR: assets/Buildings/BdWall/config.json: "levels" is empty: a building needs at least one level (in BuildingConfig at line #[0-9]*)$' \
    "$ARTIFACTS/stdout.txt" || fail "no line naming the file and the fault: $(cat "$ARTIFACTS/stdout.txt")"
echo "a broken wall file: $(grep '^ERROR' "$ARTIFACTS/stdout.txt")"
echo "buildings test passed"

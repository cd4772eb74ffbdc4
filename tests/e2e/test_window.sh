#!/usr/bin/env bash
# The game opens its window, runs its loop and exits with status 0 when the window
# is closed, printing nothing but its diagnostic lines.
source "$(dirname "$0")/lib.sh"

game_start
game_wait_window
sleep 2
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended on its own"
screenshot running
game_close
game_wait_exit 30
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
expect_only_diagnostics
echo "window test passed"

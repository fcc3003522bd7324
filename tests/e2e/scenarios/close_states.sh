#!/usr/bin/env bash
# Esc and the close box end the dialog in every state.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

to_state() { # 0, 1 or 2
  drv wait "$TITLE" 30000 || return 1
  [ "$1" -ge 1 ] && { drv press "$TITLE" 1; wait_text 1 Next 120 || return 1; }
  [ "$1" -ge 2 ] && { drv press "$TITLE" 1; wait_text 1 "Run Program" 30 || return 1; }
  return 0
}

installed=0
for state in 0 1 2; do
  for how in esc close; do
    start_setup
    # After the first install every run asks about the previous installation.
    if [ "$installed" = 1 ]; then read_box && answer_box 6; fi
    check "state $state reached" to_state "$state"
    [ "$state" -ge 1 ] && installed=1
    drv "$how" "$TITLE"
    check "$how ends the setup in state $state" wait_setup_exit 30
    if setup_running; then kill "$SETUP_PID"; SETUP_PID=; fi
  done
done
finish

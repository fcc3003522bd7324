#!/usr/bin/env bash
# A payload whose terminator follows its fifth record is damaged: "Error in installation" twice,
# state 0, nothing installed; OK tries again with the same result.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
copy_setup CorvaneSetup_short.exe

start_setup CorvaneSetup_short.exe
check "dialog opens" drv wait "$TITLE" 30000
for attempt in 1 2; do
  press_ok_collect
  check "attempt $attempt: Error in installation twice" \
    eq "$BOXES" "$INSTALL_ERROR"$'\n'"$INSTALL_ERROR"
  check_still_state0 "attempt $attempt"
  check "attempt $attempt: no product file" \
    eq "$(find "$INSTALL_DIR" "$DATA_DIR" -type f 2>/dev/null | wc -l)" 0
done
check "the install folder was created" test -d "$INSTALL_DIR"
check "nothing staged left" eq "$(leftovers)" 0
check_nothing_registered "short payload"
check "Cancel ends the setup" cancel_setup
finish

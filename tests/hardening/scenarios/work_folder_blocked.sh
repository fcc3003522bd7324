#!/usr/bin/env bash
# A file stands where the work folder should be, so the work folder cannot be created and the
# temporary file cannot be written: the extraction reports "Error in installation", then the
# install sequence does (twice in all), the setup stays in state 0 and nothing is registered.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"

mkdir -p "$(dirname "$WORK_DIR")"
echo "not a folder" >"$WORK_DIR"

start_setup
check "dialog opens" drv wait "$TITLE" 30000
for attempt in 1 2; do
  press_ok_collect
  check "attempt $attempt: two messages, Error in installation" \
    eq "$BOXES" "$INSTALL_ERROR"$'\n'"$INSTALL_ERROR"
  check_still_state0 "attempt $attempt"
done
check "the file in the work folder's place is untouched" eq "$(cat "$WORK_DIR")" "not a folder"
check "install folder created" test -d "$INSTALL_DIR"
check "no target written (kvx.exe empty from the write probe)" test ! -s "$INSTALL_DIR/kvx.exe"
check "no data file written" test ! -e "$DATA_DIR/default.rex"
check "no App Paths Path" eq "$(reg_value "$APP_PATHS" Path)" ""
check_nothing_registered "work folder blocked"
check "Cancel ends the setup" cancel_setup
finish

#!/usr/bin/env bash
# A previous installation, then a setup whose payload record 7 cannot be expanded: "Error in
# installation" twice, state 0, and every file and registry entry of the previous installation
# exactly as it was (compared by contents), nothing staged left; OK fails the same way again.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
copy_setup CorvaneSetup_record7.exe

start_setup
check "first install" install_now
drv close "$TITLE"
check "first setup ends" wait_setup_exit 30
age_installation "$INSTALL_DIR"

start_setup CorvaneSetup_record7.exe
check "previous installation question" accept_previous
for attempt in 1 2; do
  press_ok_collect
  check "attempt $attempt: Error in installation twice" \
    eq "$BOXES" "$INSTALL_ERROR"$'\n'"$INSTALL_ERROR"
  check_still_state0 "attempt $attempt"
  check_unchanged "attempt $attempt" "$INSTALL_DIR"
done
check "kvxh.exe not started" eq "$(grep -c '^kvxh.exe|' "$START_LOG")" 0
check "Cancel ends the setup" cancel_setup
finish

#!/usr/bin/env bash
# A fresh install whose payload record 7 cannot be expanded: "Error in installation" twice,
# state 0, and no product file anywhere (the folders may stay), kvx.exe included.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
copy_setup CorvaneSetup_record7.exe

start_setup CorvaneSetup_record7.exe
check "dialog opens" drv wait "$TITLE" 30000
press_ok_collect
check "Error in installation twice" eq "$BOXES" "$INSTALL_ERROR"$'\n'"$INSTALL_ERROR"
check_still_state0 "record 7"
check "the install folder was created" test -d "$INSTALL_DIR"
check "no kvx.exe" test ! -e "$INSTALL_DIR/kvx.exe"
check "no product file" eq "$(find "$INSTALL_DIR" "$DATA_DIR" -type f 2>/dev/null | wc -l)" 0
check "nothing staged left" eq "$(leftovers)" 0
check_nothing_registered "record 7"
check "Cancel ends the setup" cancel_setup
finish

#!/usr/bin/env bash
# A running copy holds kvx.exe: the write probe fails with the Administrator message, the
# previous installation stays intact, and OK works once the file is free.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
ADMIN='Installation Folder needs Administrator Privilege.\r\n\r\nYou can either\r\nRun Setup Program as Administrator (recommended)\r\nor\r\nSelect another Installation Folder'

start_setup
check "first install" install_now
drv close "$TITLE"
check "first run ends normally" wait_setup_exit 30
cp "$INSTALL_DIR/kvx.exe" "$PREFIX/kvx.before"
check "kvx.exe is held" hold "$INSTALL\\kvx.exe"

: >"$START_LOG"
start_setup
read_box && answer_box 6  # the previous installation
drv wait "$TITLE" 30000
drv press "$TITLE" 1
check "failure A message" read_box
check "failure A text" eq "${BOX_TEXT:-}" "$ADMIN"
answer_box 1
check "still state 0: OK reads OK" eq "$(field 1 5)" OK
check "prompt unchanged" eq "$(field 1002 5)" "Install Corvane?"
check "Cancel still shown" eq "$(field 2 3)" 1
check "kvx.exe kept (not truncated)" cmp -s "$PREFIX/kvx.before" "$INSTALL_DIR/kvx.exe"
check "nothing started" nothing_started

release_held
drv press "$TITLE" 1
check "OK installs once the file is free" wait_text 1 Next 120
drv close "$TITLE"
check "close box ends the setup in state 1" wait_setup_exit 30
finish

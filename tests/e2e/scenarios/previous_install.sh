#!/usr/bin/env bash
# A second run finds the previous installation: No ends the setup untouched, Yes installs into
# the folder the App Paths entry names.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
QUESTION='A previous installation of a Corvane product is found.\r\n\r\nContinue?'
APP='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe'

start_setup
check "first install" install_now
drv close "$TITLE"
check "first run ends" wait_setup_exit 30

# No: the setup ends before showing its dialog; nothing is written. Every install stamps the
# same time and writes the same bytes, so the installed file is marked first: only a rewrite
# can take the mark away.
echo "marked" >>"$INSTALL_DIR/kvx.exe"
cp "$INSTALL_DIR/kvx.exe" "$PREFIX/kvx.marked"
: >"$START_LOG"
start_setup
check "question asked" read_box
check "question text" eq "${BOX_TEXT:-}" "$QUESTION"
check "question caption is the exe name" eq "${BOX_CAPTION:-}" CorvaneSetup
answer_box 7
check "No ends the setup" wait_setup_exit 30
check "kvx.exe untouched" cmp -s "$PREFIX/kvx.marked" "$INSTALL_DIR/kvx.exe"
check "nothing started" nothing_started

# Yes with the entry pointing elsewhere (with a trailing backslash): that folder is offered and
# installed into.
wine reg add "$APP" /v Path /d 'C:\Other Place\' /f >/dev/null 2>&1
start_setup
check "question asked again" read_box
answer_box 6
check "dialog opens after Yes" drv wait "$TITLE" 30000
check "edit shows the previous folder" eq "$(field 1001 5)" 'C:\Other Place\'
drv press "$TITLE" 1
check "installed" wait_text 1 Next 120
check "kvx.exe in the previous folder" test -f "$DRIVE_C/Other Place/kvx.exe"
check "Path updated" eq "$(reg_value "$APP" Path)" 'C:\Other Place'
drv esc "$TITLE"
check "Esc ends the setup in state 1" wait_setup_exit 30
finish

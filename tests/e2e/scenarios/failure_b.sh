#!/usr/bin/env bash
# A corrupt payload: "Error in installation", the process survives in state 0, and OK runs the
# whole sequence again.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
TITLE_EXE=CorvaneSetupCorrupt

start_setup CorvaneSetupCorrupt.exe
check "dialog opens" drv wait "$TITLE" 30000
for attempt in 1 2; do
  drv press "$TITLE" 1
  n=0
  # The extraction may report first; the sequence always reports.
  while read_box 15000; do
    check "attempt $attempt: message $((n + 1)) text" eq "$BOX_TEXT" "Error in installation"
    check "attempt $attempt: caption" eq "$BOX_CAPTION" "$TITLE_EXE"
    answer_box 1
    n=$((n + 1))
    [ "$n" -ge 2 ] && break
    drv box "$TITLE" 2000 >/dev/null || break
  done
  check "attempt $attempt: at least one message" test "$n" -ge 1
  check "attempt $attempt: process alive" setup_running
  check "attempt $attempt: state 0 (OK)" eq "$(field 1 5)" OK
  check "attempt $attempt: prompt kept" eq "$(field 1002 5)" "Install Corvane?"
  check "attempt $attempt: path edit shown" eq "$(field 1001 3)" 1
  check "attempt $attempt: update label hidden" eq "$(field 1005 3)" 0
done
check "no registry entry" eq "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe' Path)" ""
check "kvxh.exe not started" nothing_started
drv press "$TITLE" 2
check "Cancel ends the setup" wait_setup_exit 30

# Over a previous installation, the corrupt payload leaves the installed kvx.exe as it was.
start_setup
check "install before the failure" install_now
drv close "$TITLE"
check "that run ends normally" wait_setup_exit 30
printf 'older version\n' >>"$INSTALL_DIR/kvx.exe"
cp "$INSTALL_DIR/kvx.exe" "$DRIVE_C/kvx.before"
start_setup CorvaneSetupCorrupt.exe
read_box && answer_box 6
drv wait "$TITLE" 30000
drv press "$TITLE" 1
check "damaged payload reported" read_box
check "its text" eq "${BOX_TEXT:-}" "Error in installation"
answer_box 1
read_box 3000 && answer_box 1
check "still state 0" eq "$(field 1 5)" OK
check "installed kvx.exe intact" cmp -s "$DRIVE_C/kvx.before" "$INSTALL_DIR/kvx.exe"
drv esc "$TITLE"
check "Esc ends the setup" wait_setup_exit 30
finish

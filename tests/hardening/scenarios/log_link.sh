#!/usr/bin/env bash
# The /LOG file is written by an administrator, maybe in a folder others can write to. A log
# name that is a symbolic link (to a file or to nothing yet), a second hard link of another file,
# or a name below a linked folder leaves the other file and folder as they were; the install
# itself goes on. A plain old log is replaced.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
mkdir -p "$DRIVE_C/logs" "$DRIVE_C/elsewhere"
VICTIM=$DRIVE_C/elsewhere/victim.txt
printf 'precious\r\n' >"$VICTIM"
untouched() { eq "$(cat "$VICTIM")" $'precious\r'; }

ln -s "$VICTIM" "$DRIVE_C/logs/file.log"
run_unattended 'C:\logs\file.log'
check "link to a file: installed all the same" eq "$SETUP_STATUS" 0
check "link to a file: the other file unchanged" untouched
check "link to a file: still a link" test -L "$DRIVE_C/logs/file.log"

ln "$VICTIM" "$DRIVE_C/logs/hard.log"
run_unattended 'C:\logs\hard.log'
check "second hard link: installed" eq "$SETUP_STATUS" 0
check "second hard link: the other file unchanged" untouched

ln -s "$DRIVE_C/elsewhere/made.txt" "$DRIVE_C/logs/dangling.log"
run_unattended 'C:\logs\dangling.log'
check "link to nothing yet: installed" eq "$SETUP_STATUS" 0
check "link to nothing yet: nothing made at its target" test ! -e "$DRIVE_C/elsewhere/made.txt"

ln -s "$DRIVE_C/elsewhere" "$DRIVE_C/linked"
run_unattended 'C:\linked\below.log'
check "linked folder: installed" eq "$SETUP_STATUS" 0
check "linked folder: nothing left in its target" test ! -e "$DRIVE_C/elsewhere/below.log"

printf 'an older log, longer than the new one will be %.0s' $(seq 200) >"$DRIVE_C/logs/plain.log"
run_unattended 'C:\logs\plain.log'
check "plain file: installed" eq "$SETUP_STATUS" 0
check "plain file: the log replaced it" \
  eq "$(head -n 1 "$DRIVE_C/logs/plain.log" | tr -d '\r')" "Corvane setup, unattended install"
check "plain file: nothing of the old one left" \
  eq "$(grep -c 'an older log' "$DRIVE_C/logs/plain.log")" 0
check "plain file: it ends with the result" \
  eq "$(tail -n 1 "$DRIVE_C/logs/plain.log" | tr -d '\r')" "result: installed, exit code 0"
finish

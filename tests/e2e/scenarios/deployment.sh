#!/usr/bin/env bash
# What deployment tools pass with /S. /DIR= puts a new installation where it says, missing
# folders made, and refuses a system folder or a relative path with failure A's code and the
# reason in the log; once installed, a /DIR= elsewhere keeps the one installation and installs
# nothing. With kvx.exe held by another program, /CLOSEAPPLICATIONS asks the system which
# programs hold it, and /REBOOTOK installs the rest, leaves kvx.exe to the next restart and
# ends with 3010.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
APP='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe'
LOG="$DRIVE_C/deploy.log"

# Runs the setup with /S, the log and the switches given; its status in SETUP_STATUS.
deploy() {
  rm -f "$LOG"
  timeout 180 wine 'C:\e2e\CorvaneSetup.exe' /S '/LOG=C:\deploy.log' "$@" >/dev/null 2>&1
  SETUP_STATUS=$?
}
logged() { grep -qxF -- "$1" <(tr -d '\r' <"$LOG"); }
files_in() { find "$1" -type f 2>/dev/null | wc -l; }

deploy '/DIR=C:\windows'
check "system folder: exit status 5" eq "$SETUP_STATUS" 5
check "system folder: the reason logged" logged \
  'folder C:\windows: a system folder, or above or inside one'
check "system folder: nothing installed" test ! -e "$DRIVE_C/windows/kvx.exe"

deploy '/DIR=Corvane'
check "relative: exit status 5" eq "$SETUP_STATUS" 5
check "relative: the reason logged" logged 'folder Corvane: not an absolute folder on a local drive'
check "relative: no Corvane folder made" eq "$(find "$DRIVE_C" -iname corvane | wc -l)" 0

TARGET='C:\Deploy\Tools\Corvane'
deploy "/DIR=$TARGET"
check "asked folder: exit status 0" eq "$SETUP_STATUS" 0
check "asked folder: kvx.exe there" cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" \
  "$DRIVE_C/Deploy/Tools/Corvane/kvx.exe"
check "asked folder: Path recorded" eq "$(reg_value "$APP" Path)" "$TARGET"
check "asked folder: nothing in the default folder" eq "$(files_in "$INSTALL_DIR")" 0

deploy '/DIR=C:\Elsewhere\Corvane'
check "another folder: exit status 5" eq "$SETUP_STATUS" 5
check "another folder: the reason logged" logged "install folder asked for (/DIR=): \
C:\\Elsewhere\\Corvane; a previous installation is in $TARGET, and one installation is kept: \
not installed"
check "another folder: nothing made there" test ! -e "$DRIVE_C/Elsewhere"
check "another folder: Path kept" eq "$(reg_value "$APP" Path)" "$TARGET"

# kvx.exe held open (no delete sharing) by a program that is not the product's.
DIR="$DRIVE_C/Deploy/Tools/Corvane"
printf 'old program' >"$DIR/kvx.exe"
echo changed >"$DRIVE_C/ProgramData/Tamarind Software/Corvane/default.rex"
check "kvx.exe is held" hold "$TARGET\kvx.exe"
deploy /CLOSEAPPLICATIONS
check "held, closing asked: exit status 5" eq "$SETUP_STATUS" 5
# Wine's Restart Manager names no holder, so nothing is closed; the host tests show the closing.
check "held, closing asked: nothing closed, and logged" logged \
  "closing programs: the system names none that hold the product's files"
deploy /CLOSEAPPLICATIONS /REBOOTOK
# wine passes on the low byte of the exit code; the log's last line has all of it.
check "held, restart allowed: exit status 3010" eq "$SETUP_STATUS" $((3010 & 255))
check "held, restart allowed: the result logged" logged \
  "result: installed, the files in use are replaced at the next restart, exit code 3010"
check "held, restart allowed: kvx.exe still the old one" eq "$(cat "$DIR/kvx.exe")" "old program"
check "held, restart allowed: the rest installed" cmp -s "$CORVANE_BINARY_DIR/product/default.rex" \
  "$DRIVE_C/ProgramData/Tamarind Software/Corvane/default.rex"
PENDING=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
  /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
check "held, restart allowed: the replacement is pending" grep -qiF 'Deploy\Tools\Corvane\kvx.exe' \
  <<<"$PENDING"
release_held
wineserver -w
# The machine restarts.
wine wineboot -r >/dev/null 2>&1
wineserver -w
check "after the restart: the new kvx.exe" cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" "$DIR/kvx.exe"
check "after the restart: nothing staged left" eq "$(find "$DIR" -name '~*' ! -name '~working.lst' | wc -l)" 0
finish

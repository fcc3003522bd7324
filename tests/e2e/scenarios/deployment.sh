#!/usr/bin/env bash
# What deployment tools pass with /S. /DIR= puts a new installation where it says, missing
# folders made, and refuses a system folder or a relative path with failure A's code and the
# reason in the log; once installed, a /DIR= elsewhere keeps the one installation and installs
# nothing.
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
finish

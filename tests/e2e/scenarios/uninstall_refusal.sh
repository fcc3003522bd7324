#!/usr/bin/env bash
# The uninstaller trusts the recorded install folder only when it is an absolute folder on a
# local drive that is no system folder: a relative "Path" or C:\Windows removes nothing and
# fails with 1603, the refusal in its log.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
APP='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe'
ENTRY=$UNINSTALL_KEY
LOG="$DRIVE_C/uninstall.log"

timeout 180 wine 'C:\e2e\CorvaneSetup.exe' /S >/dev/null 2>&1
check "installed" test -f "$INSTALL_DIR/kvx.exe"
# Copies of the product's files in the current folder and in the Windows folder, which a
# relative or system "Path" would name.
cp "$INSTALL_DIR/kvx.exe" "$DRIVE_C/windows/kvx.exe"
cp "$INSTALL_DIR/kvx.exe" "$DRIVE_C/windows/system32/kvx.exe"
cp "$INSTALL_DIR/kvx.exe" "$DRIVE_C/Program Files/kvx.exe"
# Wine's menu builder writes a Linux launcher (users/<name>/Desktop/*.desktop) for a new
# shortcut some time after it was made: not the uninstaller's, and left out.
state() {
  (cd "$DRIVE_C" && find . -path ./e2e -prune -o -path ./uninstall.log -prune -o -print | sort) |
    grep -vE '^\./users/[^/]*/Desktop/[^/]*\.desktop$'
}

# 'C:\Program Files' is the 64-bit system's own, which the 32-bit uninstaller does not get as a
# special folder.
for recorded in 'Corvane' 'C:\Windows' 'C:\windows\system32\..' '\\server\share\Corvane' \
  'C:\Program Files'; do
  wine reg add "$APP" /v Path /d "$recorded" /f >/dev/null 2>&1
  before=$(state)
  rm -f "$LOG"
  out=$(status_via_cmd 120 "\"$INSTALL\\Uninstall.exe\" /S /LOG=C:\\uninstall.log")
  check "Path '$recorded': exit code 1603" eq "$out" "status=1603"
  check "Path '$recorded': nothing removed" eq "$(state)" "$before"
  check "Path '$recorded': entry kept" eq "$(reg_value "$ENTRY" DisplayName)" "Corvane"
  check "Path '$recorded': refusal logged" grep -qxF "install folder refused: $recorded" \
    <(tr -d '\r' <"$LOG")
done
check "the Windows folder's copy stays" test -f "$DRIVE_C/windows/kvx.exe"

# Started by hand with a folder to clean up, and nothing installed that could stop it, the
# uninstaller removes nothing there: the copy that does that last step takes only what the
# uninstaller that started it hands on.
wine reg delete "$APP" /f >/dev/null 2>&1
mkdir -p "$DRIVE_C/victim" "$DRIVE_C/victim-empty"
cp "$INSTALL_DIR/uninstall.exe" "$DRIVE_C/victim/uninstall.exe"
for folder in 'C:\victim' 'C:\victim-empty'; do
  timeout 120 wine "$INSTALL\\Uninstall.exe" "/CLEANUP=$folder" >/dev/null 2>&1
done
wineserver -w
check "/CLEANUP by hand: the file there stays" \
  cmp -s "$INSTALL_DIR/uninstall.exe" "$DRIVE_C/victim/uninstall.exe"
check "/CLEANUP by hand: the empty folder stays" test -d "$DRIVE_C/victim-empty"
finish

#!/usr/bin/env bash
# Setups started while one runs do not race it: /S ends at once with 1618, a second interactive
# setup brings the first one's dialog forward and ends with 1618, the uninstaller waits its turn
# the same way; only the first installs. A setup started while the uninstaller asks its question
# brings that question forward and ends with 1618; one started while an uninstaller that is not
# the recorded one holds the lock shows its message box and ends with 1618.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
APP='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe'
BUSY='Corvane is being installed or removed. Try again when that has finished.'

start_setup
check "first setup shows its dialog" drv wait "$TITLE" 30000
FIRST_PID=$SETUP_PID

out=$(status_via_cmd 60 'C:\e2e\CorvaneSetup.exe /S')
check "/S beside it: exit code 1618" eq "$out" "status=1618"
check "/S beside it: nothing installed" test ! -e "$INSTALL_DIR/kvx.exe"

# Something else holds the foreground when the second setup starts, so that bringing the first
# dialog forward is seen.
steal_front() { # milliseconds
  wine 'C:\e2e\driver.exe' steal "$1" >"$PREFIX/steal.out" 2>/dev/null &
  STEAL_PID=$!
  local i
  for ((i = 0; i < 100; i++)); do grep -q stolen "$PREFIX/steal.out" 2>/dev/null && return 0; sleep 0.1; done
  echo "  the driver could not take the foreground"
  return 1
}
check "another window holds the foreground" steal_front 20000
check "so the first dialog is not in front" test "$(drv front "$TITLE" 300; echo $?)" = 1
start_setup
check "second interactive setup brings the first dialog forward" drv front "$TITLE" 15000
check "second interactive setup ends by itself" wait_setup_exit 30
check "second interactive setup: 1618 (low byte 82)" eq "$SETUP_STATUS" 82
wait "$STEAL_PID"

# The uninstaller shares the lock.
cp "$CORVANE_BINARY_DIR/product/uninstall.exe" "$DRIVE_C/e2e/uninstall.exe"
out=$(status_via_cmd 60 'C:\e2e\uninstall.exe /S')
check "uninstaller beside it: exit code 1618" eq "$out" "status=1618"

SETUP_PID=$FIRST_PID
check "first setup installs" install_now
check "first setup installed the product" eq "$(reg_value "$APP" Path)" "$INSTALL"
drv close "$TITLE" >/dev/null
check "first setup ends with 0" wait_setup_exit 30
check "first setup: exit status 0" eq "$SETUP_STATUS" 0

# An uninstaller of that name which is not the recorded one (another product's; here a copy
# outside the install folder) is not brought forward: with no window to bring forward, the setup
# shows its message box, read here from the real window.
start_setup uninstall.exe
FIRST_PID=$SETUP_PID
check "an uninstaller elsewhere asks its question" drv wait uninstall 30000
start_setup
check "a setup beside it says so instead of bringing that one forward" \
  eval '[ "$(drv box uninstall 20000 | sed -n 2p)" = "$BUSY" ]'
drv answer uninstall 1 >/dev/null
check "that setup ends: 1618 (low byte 82)" eval 'wait_setup_exit 30 && [ "$SETUP_STATUS" = 82 ]'
SETUP_PID=$FIRST_PID
drv answer "$TITLE" 7 >/dev/null
check "the uninstaller elsewhere ends" wait_setup_exit 30

# While the installed uninstaller asks its question, a setup brings the question forward and
# ends.
start_setup "$INSTALL\\uninstall.exe"
FIRST_PID=$SETUP_PID
check "the uninstaller asks its question" drv wait uninstall 30000
check "another window holds the foreground" steal_front 20000
check "so the question is not in front" test "$(drv front uninstall 300; echo $?)" = 1
start_setup
check "a setup beside it brings the uninstaller's question forward" drv front uninstall 15000
check "that setup ends by itself: 1618 (low byte 82)" eval 'wait_setup_exit 30 && [ "$SETUP_STATUS" = 82 ]'
wait "$STEAL_PID"
SETUP_PID=$FIRST_PID
drv answer "$TITLE" 7 >/dev/null  # No: nothing removed
check "the uninstaller ends" wait_setup_exit 30

# Now that it has ended, the next /S runs.
timeout 180 wine 'C:\e2e\CorvaneSetup.exe' /S >/dev/null 2>&1
check "afterwards /S installs again: exit status 0" eq "$?" 0
finish

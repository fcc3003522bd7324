#!/usr/bin/env bash
# Setups started while one runs do not race it: /S ends at once with 1618, a second interactive
# setup brings the first one's dialog forward and ends with 1618, the uninstaller waits its turn
# the same way; only the first installs.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
APP='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe'

start_setup
check "first setup shows its dialog" drv wait "$TITLE" 30000
FIRST_PID=$SETUP_PID

out=$(status_via_cmd 60 'C:\e2e\CorvaneSetup.exe /S')
check "/S beside it: exit code 1618" eq "$out" "status=1618"
check "/S beside it: nothing installed" test ! -e "$INSTALL_DIR/kvx.exe"

# Two at once, both unattended, while the first still holds the lock: neither installs.
timeout 60 wine 'C:\e2e\CorvaneSetup.exe' /S >/dev/null 2>&1 &
A=$!
timeout 60 wine 'C:\e2e\CorvaneSetup.exe' /S >/dev/null 2>&1 &
B=$!
wait $A; sa=$?
wait $B; sb=$?
check "two more /S: both 1618 (low byte 82)" eq "$sa $sb" "82 82"

start_setup
check "second interactive setup ends by itself" wait_setup_exit 30
check "second interactive setup: 1618 (low byte 82)" eq "$SETUP_STATUS" 82

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

# Now that it has ended, the next /S runs.
timeout 180 wine 'C:\e2e\CorvaneSetup.exe' /S >/dev/null 2>&1
check "afterwards /S installs again: exit status 0" eq "$?" 0
finish

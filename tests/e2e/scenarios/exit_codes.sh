#!/usr/bin/env bash
# The exit status of interactive runs: the last install attempt decides. wine passes on the low
# byte of the Windows code: 1602 (declined) arrives as 66 and 1603 (failure B) as 67.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

# Closed before installing on a fresh machine: declined.
start_setup
drv wait "$TITLE" 30000
drv close "$TITLE"
check "closed before installing ends" wait_setup_exit 30
check "closed before installing: 1602" eq "$SETUP_STATUS" $((1602 & 255))

# Installed, then Next and Close: 0.
start_setup
install_now
drv press "$TITLE" 1
check "Close shown after Next" wait_text 2 Close 30
drv press "$TITLE" 2
check "installed run ends" wait_setup_exit 30
check "installed: 0" eq "$SETUP_STATUS" 0

# No to the previous installation: declined.
start_setup
read_box && answer_box 7
check "No ends the setup" wait_setup_exit 30
check "No: 1602" eq "$SETUP_STATUS" $((1602 & 255))

# Failure B (the payload breaks off), then closed: 1603.
start_setup CorvaneSetupCorrupt.exe
read_box && answer_box 6
drv wait "$TITLE" 30000
drv press "$TITLE" 1
read_box && answer_box 1  # the extraction's message
read_box && answer_box 1  # the sequence's message
drv close "$TITLE"
check "failed run ends" wait_setup_exit 30
check "failure B then closed: 1603" eq "$SETUP_STATUS" $((1603 & 255))
finish

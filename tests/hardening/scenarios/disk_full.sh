#!/usr/bin/env bash
# The disk fills up during extraction: the install folder lies on a drive K: that is a small
# tmpfs, named by a previous installation's "Path". The write probe still fits, the program
# files do not: "Error in installation" once, no crash, no hang, OK may be pressed again.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"

SMALL=$(mktemp -d /tmp/corvane-small.XXXXXX)
if ! mount -t tmpfs -o size=24k tmpfs "$SMALL"; then
  echo "FAIL - cannot mount a tmpfs (needs root)"
  rmdir "$SMALL"
  exit 1
fi
trap 'cleanup; umount "$SMALL" && rmdir "$SMALL"' EXIT
ln -s "$SMALL" "$PREFIX/dosdevices/k:"
set_previous_path 'K:\Corvane'

start_setup
check "previous installation question" accept_previous
check "dialog shows K:\\Corvane" eq "$(field 1001 5)" 'K:\Corvane'
for attempt in 1 2; do
  press_ok_collect
  check "attempt $attempt: one message, Error in installation" eq "$BOXES" "$INSTALL_ERROR"
  check_still_state0 "attempt $attempt"
done
check "the folder was created on K:" test -d "$SMALL/Corvane"
check "kvx.exe written whole before the disk filled" \
  cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" "$SMALL/Corvane/kvx.exe"
check "kvxh.exe not complete" bash -c "! cmp -s '$CORVANE_BINARY_DIR/product/kvxh.exe' '$SMALL/Corvane/kvxh.exe'"
check "no data file written" test ! -e "$DATA_DIR/default.rex"
check "App Paths Path unchanged" eq "$(reg_value "$APP_PATHS" Path)" 'K:\Corvane'
check_nothing_registered "disk full"
check "Cancel ends the setup" cancel_setup
finish

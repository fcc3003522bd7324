#!/usr/bin/env bash
# The disk fills up during an install over a previous installation: the install folder lies on
# a drive K: that is a small tmpfs, named by the previous installation's "Path". The previous
# files fit, a second copy of them does not: "Error in installation" once, no crash, no hang,
# OK may be pressed again, and the previous installation and its registry entries stay exactly
# as they were.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"

# The drive is mounted once the prefix's wine server has ended: Wine runs in a mount namespace
# of its own (see scripts/wine10/bin/wine), and a server started before the mount would not see it.
wineserver -w
SMALL=$(mktemp -d /tmp/corvane-small.XXXXXX)
# Room for the three programs once and a half: the first install fits, a second copy does not.
# Mode 755: a tmpfs root is world-writable (1777) by default, which Wine shows as a drive root
# that lets everyone delete what it holds, and the setup rightly refuses to install there.
EXE_BYTES=$(head -n 3 "$CORVANE_BINARY_DIR/payload/payload.files" | tr '\n' '\0' | xargs -0 cat | wc -c)
SMALL_KB=$(((EXE_BYTES * 3 / 2 + 4095) / 4096 * 4 + 8))
if ! mount -t tmpfs -o size=${SMALL_KB}k,mode=755 tmpfs "$SMALL"; then
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
check "the first install fits" install_now
drv close "$TITLE"
check "the first setup ends" wait_setup_exit 30
check "kvx.exe installed on K:" \
  cmp -s "$(head -n 1 "$CORVANE_BINARY_DIR/payload/payload.files")" "$SMALL/Corvane/kvx.exe"
age_installation "$SMALL/Corvane"

start_setup
check "previous installation question again" accept_previous
for attempt in 1 2; do
  press_ok_collect
  check "attempt $attempt: one message, Error in installation" eq "$BOXES" "$INSTALL_ERROR"
  check_still_state0 "attempt $attempt"
  check_unchanged "attempt $attempt" "$SMALL/Corvane"
done
check "kvxh.exe not started" eq "$(grep -c '^kvxh.exe|' "$START_LOG")" 0
check "Cancel ends the setup" cancel_setup
finish

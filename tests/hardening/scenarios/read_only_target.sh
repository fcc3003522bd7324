#!/usr/bin/env bash
# A data file in the common data folder cannot be replaced (read-only): the extraction stops
# without a message of its own and the user sees "Error in installation" once. No product file
# is installed, the read-only file keeps its contents, and nothing staged is left.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"

# Wine runs as root here, and root ignores the read-only attribute; the immutable flag makes
# every open for writing, and every rename over the file, fail as it does on Windows for a
# read-only file. (Not a read-only bind mount: Wine runs in mount namespaces of its own, which
# would keep such a mount after it is taken away here.)
mkdir -p "$DATA_DIR"
RO_FILE=$DATA_DIR/default.stg
echo "older contents" >"$RO_FILE"
if ! chattr +i "$RO_FILE"; then
  echo "FAIL - cannot make the file immutable (needs root and a file system with the flag)"
  exit 1
fi
trap 'cleanup_ro; cleanup' EXIT
cleanup_ro() { chattr -i "$RO_FILE" 2>/dev/null; }
check "default.stg cannot be written" bash -c "! (echo x >'$RO_FILE') 2>/dev/null"

start_setup
check "dialog opens" drv wait "$TITLE" 30000
press_ok_collect
check "one message, Error in installation" eq "$BOXES" "$INSTALL_ERROR"
check_still_state0 "read-only target"
check "kvx.exe not installed" test ! -e "$INSTALL_DIR/kvx.exe"
check "default.rex (before it) not installed" test ! -e "$DATA_DIR/default.rex"
check "default.stg keeps its contents" eq "$(cat "$DATA_DIR/default.stg")" "older contents"
check "default.pds (after it) not installed" test ! -e "$DATA_DIR/default.pds"
check "nothing staged left" eq "$(leftovers)" 0
check "no App Paths Path" eq "$(reg_value "$APP_PATHS" Path)" ""
check_nothing_registered "read-only target"

# Once the file is writable again, OK installs.
cleanup_ro
check "OK installs once the file is writable" install_now
check "default.stg written" cmp -s "$CORVANE_BINARY_DIR/product/default.stg" "$DATA_DIR/default.stg"
drv close "$TITLE"
check "the setup ends" wait_setup_exit 30
finish

#!/usr/bin/env bash
# A file stands where the work folder should be, so the work folder cannot be created. The
# installation does not pass through the work folder, so it succeeds, and the file is left as
# it was.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"

mkdir -p "$(dirname "$WORK_DIR")"
echo "not a folder" >"$WORK_DIR"

start_setup
check "dialog opens" drv wait "$TITLE" 30000
check "installs" install_now
check "the file in the work folder's place is untouched" eq "$(cat "$WORK_DIR")" "not a folder"
check "kvx.exe installed" cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" "$INSTALL_DIR/kvx.exe"
check "default.rex installed" cmp -s "$CORVANE_BINARY_DIR/product/default.rex" "$DATA_DIR/default.rex"
check "App Paths Path" eq "$(reg_value "$APP_PATHS" Path)" "$INSTALL"
drv close "$TITLE"
check "the setup ends" wait_setup_exit 30
finish

#!/usr/bin/env bash
# The work folder is a symbolic link to someone else's folder (a reparse point to Win32): the
# install creates and deletes nothing there, not even a file named prog.tmp, and succeeds.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"

VICTIM=$DRIVE_C/victim
mkdir -p "$VICTIM/sub" "$(dirname "$WORK_DIR")"
echo "the victim's own prog.tmp" >"$VICTIM/prog.tmp"
echo "another file" >"$VICTIM/sub/other.txt"
ln -s "$VICTIM" "$WORK_DIR"
before=$(cd "$VICTIM" && find . -printf '%y %p\n' | sort && find . -type f -print0 | sort -z | xargs -0 md5sum)
check "the work folder is a link" test -L "$WORK_DIR"

start_setup
check "installs" install_now
check "kvx.exe installed" cmp -s "$(head -n 1 "$CORVANE_BINARY_DIR/payload/payload.files")" "$INSTALL_DIR/kvx.exe"
after=$(cd "$VICTIM" && find . -printf '%y %p\n' | sort && find . -type f -print0 | sort -z | xargs -0 md5sum)
check "nothing created, deleted or changed in the link's target" eq "$after" "$before"
check "the link is still a link" test -L "$WORK_DIR"
drv close "$TITLE"
check "the setup ends" wait_setup_exit 30
finish

#!/usr/bin/env bash
# The common data folder, then "Tamarind Software" above it, is a symbolic link to another
# folder (a reparse point to Win32). Nothing is ever created, deleted or changed in the link's
# target, its owner and access list included. A link is never moved (Wine would move its
# target): the installation error, once, state 0, nothing installed or registered.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
cp "$CORVANE_BINARY_DIR/hardening/read_acl.exe" "$DRIVE_C/e2e/"
acl() { wine 'C:\e2e\read_acl.exe' "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

TARGET=$DRIVE_C/elsewhere
mkdir -p "$TARGET/Corvane"
echo "keep me" >"$TARGET/marker.txt"
echo "keep me too" >"$TARGET/Corvane/default.rex"
# Open to everyone, so that under Wine, which shows the Unix mode as the access list, a
# protection applied through the link would show as well.
chmod 777 "$TARGET" "$TARGET/Corvane"
listing() { (cd "$TARGET" && find . -printf '%y %p %s\n' | sort && cat marker.txt Corvane/default.rex); }
BEFORE=$(listing)
ACL_BEFORE=$(acl 'C:\elsewhere' 'C:\elsewhere\Corvane')
check "the target's access can be read" test -n "$ACL_BEFORE"

for link in "$DATA_DIR" "$(dirname "$DATA_DIR")"; do
  name=${link##*/}
  reset_product
  rm -rf "$(dirname "$DATA_DIR")"
  mkdir -p "$(dirname "$link")"
  if [ "$link" = "$DATA_DIR" ]; then ln -s "$TARGET/Corvane" "$link"; else ln -s "$TARGET" "$link"; fi
  start_setup
  check "$name: dialog opens" drv wait "$TITLE" 30000
  press_ok_collect
  check "$name: the installation error, once" eq "$BOXES" "$INSTALL_ERROR"
  check_still_state0 "$name"
  check "$name: no product file written" eq "$(ls -A "$INSTALL_DIR" 2>/dev/null)" ""
  check "$name: still a link" test -L "$link"
  check_nothing_registered "$name"
  check "$name: Cancel ends the setup" cancel_setup
  check "$name: nothing created or deleted in the target" eq "$(listing)" "$BEFORE"
  check "$name: the target's owner and access unchanged" \
    eq "$(acl 'C:\elsewhere' 'C:\elsewhere\Corvane')" "$ACL_BEFORE"
done
finish

#!/usr/bin/env bash
# Folders made beforehand by someone else: "Tamarind Software" under Program Files and the whole
# common data folder, owned by an ordinary user and open to everyone. After an install, both
# trees (and the install folder that the setup made) belong to Administrators, with the
# protected access list; the folders above them and the user's work folder are left as they
# were. Owners and access lists are read back with GetNamedSecurityInfoW.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
cp "$CORVANE_BINARY_DIR/hardening/read_acl.exe" "$DRIVE_C/e2e/"
acl() { wine 'C:\e2e\read_acl.exe' "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

PROTECTED='O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)'
OPEN='O:S-1-5-21-0-0-0-1000D:P(A;OICI;FA;;;WD)'
PROGRAM_COMPANY='C:\Program Files\Tamarind Software'
DATA_COMPANY='C:\ProgramData\Tamarind Software'
DATA='C:\ProgramData\Tamarind Software\Corvane'
WORK="C:$(tr / '\\' <<<"${WORK_DIR#"$DRIVE_C"}")"

check "folders made beforehand" wine cmd /c mkdir "$PROGRAM_COMPANY" "$DATA"
for d in "$PROGRAM_COMPANY" "$DATA_COMPANY" "$DATA"; do
  check "$d: given to a user, open to everyone" acl --set "$OPEN" "$d"
  check "$d: reads back as set" eq "$(acl "$d")" "$OPEN"
done
ABOVE_BEFORE=$(acl 'C:\ProgramData' 'C:\Program Files')
check "the folders above can be read" test -n "$ABOVE_BEFORE"

start_setup
check "dialog opens" drv wait "$TITLE" 30000
check "installs" install_now
check "kvx.exe installed" cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" "$INSTALL_DIR/kvx.exe"
check "default.rex installed" cmp -s "$CORVANE_BINARY_DIR/product/default.rex" "$DATA_DIR/default.rex"
for d in "$PROGRAM_COMPANY" "$INSTALL" "$DATA_COMPANY" "$DATA"; do
  check "$d: the administrators', protected" eq "$(acl "$d")" "$PROTECTED"
done
check "the folders above are unchanged" eq "$(acl 'C:\ProgramData' 'C:\Program Files')" "$ABOVE_BEFORE"
WORK_ACL=$(acl "$WORK")
check "the work folder exists and can be read" test -n "$WORK_ACL"
check "the work folder keeps the user's access" test "$WORK_ACL" != "$PROTECTED"
drv close "$TITLE"
check "the setup ends" wait_setup_exit 30
finish

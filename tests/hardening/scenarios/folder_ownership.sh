#!/usr/bin/env bash
# Folders made beforehand by someone else: "Tamarind Software" under Program Files, the whole
# common data folder and the work folder, owned by an ordinary user and open to everyone. After
# an install, both trees (and the install folder that the setup made) belong to Administrators,
# with the protected access list; the folders above them and the user's work folder are left
# as they were. Owners and access lists are read back with GetNamedSecurityInfoW.
#
# Wine 8 stores neither owners nor access lists of files: it reports its user as the owner and
# builds the list from the Unix mode (others as Everyone). There the check is what that mode
# shows: Everyone may change the folders before (0x1301ff), and only read and execute them
# (0x1200a9, or no entry for a folder the setup created) afterwards.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
cp "$CORVANE_BINARY_DIR/hardening/read_acl.exe" "$DRIVE_C/e2e/"
acl() { wine 'C:\e2e\read_acl.exe' "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

PROTECTED='O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)'
WINE_CREATED='O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)'
WINE_TAKEN_OVER="$WINE_CREATED(A;OICI;0x1200a9;;;WD)"
OPEN='O:S-1-5-21-0-0-0-1000D:P(A;OICI;FA;;;WD)'
PROGRAM_COMPANY='C:\Program Files\Tamarind Software'
DATA_COMPANY='C:\ProgramData\Tamarind Software'
DATA='C:\ProgramData\Tamarind Software\Corvane'
WORK="C:$(tr / '\\' <<<"${WORK_DIR#"$DRIVE_C"}")"

open_to_everyone() { [[ "$1" == *'(A;OICI;FA;;;WD)'* || "$1" == *'(A;OICI;0x1301ff;;;WD)'* ]]; }
protected() { # text, Wine's form
  [ "$1" = "$PROTECTED" ] || [ "$1" = "$2" ] ||
    { printf '  got:      %q\n  expected: %q\n' "$1" "$PROTECTED"; return 1; }
}

check "folders made beforehand" wine cmd /c mkdir "$PROGRAM_COMPANY" "$DATA" "$WORK"
for d in "$PROGRAM_COMPANY" "$DATA_COMPANY" "$DATA" "$WORK"; do
  check "$d: given to a user, open to everyone" acl --set "$OPEN" "$d"
  check "$d: Everyone may change it" open_to_everyone "$(acl "$d")"
done
ABOVE_BEFORE=$(acl 'C:\ProgramData' 'C:\Program Files')
check "the folders above can be read" test -n "$ABOVE_BEFORE"
WORK_BEFORE=$(acl "$WORK")

start_setup
check "dialog opens" drv wait "$TITLE" 30000
check "installs" install_now
check "kvx.exe installed" cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" "$INSTALL_DIR/kvx.exe"
check "default.rex installed" \
  cmp -s "$CORVANE_BINARY_DIR/product/default.rex" "$DATA_DIR/default.rex"
for d in "$PROGRAM_COMPANY" "$DATA_COMPANY" "$DATA"; do
  check "$d: taken over by the administrators" protected "$(acl "$d")" "$WINE_TAKEN_OVER"
done
check "$INSTALL: created the administrators'" protected "$(acl "$INSTALL")" "$WINE_CREATED"
check "the folders above are unchanged" \
  eq "$(acl 'C:\ProgramData' 'C:\Program Files')" "$ABOVE_BEFORE"
check "the work folder is still the user's" eq "$(acl "$WORK")" "$WORK_BEFORE"
drv close "$TITLE"
check "the setup ends" wait_setup_exit 30
finish

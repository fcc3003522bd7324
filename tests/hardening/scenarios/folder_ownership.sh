#!/usr/bin/env bash
# Folders someone else made or holds. Another user's program makes the data folder
# ProgramData\Tamarind Software\Corvane beforehand, open to everyone, and keeps a handle with
# WRITE_DAC to it. The setup moves that data folder aside (kept, and logged), installs into a fresh one, and changes
# nothing of "Tamarind Software": the other program's handle names the moved folder afterwards.
# Then, over that installation, a Win32 program keeps trying to rename the data folder and to
# put a link to another folder in its place while the setup installs: it is refused while the
# setup holds the folder, and nothing arrives in the link's target.
#
# Wine 8 stores no owners (every file reports the caller's user): what it shows is the access
# list, which it derives from the Unix mode; "open to everyone" is what it can tell apart.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
for p in read_acl.exe folder_attacker.exe; do cp "$CORVANE_BINARY_DIR/hardening/$p" "$DRIVE_C/e2e/"; done
acl() { wine 'C:\e2e\read_acl.exe' "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
attacker() { wine 'C:\e2e\folder_attacker.exe' "$@" >/dev/null 2>&1; }
DATA='C:\ProgramData\Tamarind Software\Corvane'
COMPANY='C:\ProgramData\Tamarind Software'
LOG=$DRIVE_C/setup.log
unattended() {
  rm -f "$LOG"
  run_unattended 'C:\setup.log'
}
logged_like() { grep -qE -- "$1" <(tr -d '\r' <"$LOG"); }

mkdir -p "$(dirname "$DATA_DIR")"
COMPANY_ACL=$(acl "$COMPANY")
check "Tamarind Software's access can be read" test -n "$COMPANY_ACL"
rm -f "$DRIVE_C/ready" "$DRIVE_C/release" "$DRIVE_C/premade.out"
attacker premake "$DATA" 'C:\ready' 'C:\release' 'C:\premade.out' &
ATTACKER_PID=$!
for _ in $(seq 100); do [ -e "$DRIVE_C/ready" ] && break; sleep 0.1; done
open_to_everyone() { grep -qE '\(A;OICI;(FA|0x1301ff);;;WD\)' <<<"$1"; }
shut_to_others() { [ -n "$1" ] && ! open_to_everyone "$1"; }
check "the other user's data folder is there, open to everyone" open_to_everyone "$(acl "$DATA")"

unattended
check "installed" eq "$SETUP_STATUS" 0
ASIDE=$(ls -d "$DATA_DIR".moved-* 2>/dev/null | head -n 1)
check "the found folder was moved aside" test -n "$ASIDE"
check "what was in it is kept there" test -f "$ASIDE/planted.txt"
check "the move is logged" logged_like "^folder .*\\\\Corvane: made by someone else or open to others; moved aside to .*\\\\Corvane\\.moved-[a-z0-9]{8} with what it held$"
check "the data files are in a fresh folder" \
  cmp -s "$CORVANE_BINARY_DIR/product/default.rex" "$DATA_DIR/default.rex"
check "the fresh folder is not the other user's" test ! -e "$DATA_DIR/planted.txt"
check "the fresh folder is not open to everyone" shut_to_others "$(acl "$DATA")"
check "Tamarind Software's access list is unchanged" eq "$(acl "$COMPANY")" "$COMPANY_ACL"
touch "$DRIVE_C/release"
check "the other user's program ran to its end" wait "$ATTACKER_PID"
# Its handle still works, on the folder moved aside; the fresh folder stays shut.
check "the other user's grant through the old handle worked" \
  grep -qx 'grant 0' <(tr -d '\r' <"$DRIVE_C/premade.out")
check "it reached only the moved folder" shut_to_others "$(acl "$DATA")"

# The swap: the data folder renamed away and a link to C:\target put in its place. (Wine
# renames the link's target rather than the link: either way, files the setup wrote through the
# new name would land beside the marker.)
# The program stops once the log names kvxh.exe, which the setup writes while it still holds the
# folder: every rename it tried was refused, and none went through.
refused_while_held() {
  local report
  report=$(tr -d '\r' <"$DRIVE_C/swap.out") || return 1
  grep -qE '^refused [1-9]' <<<"$report" && grep -qx 'moved 0' <<<"$report" ||
    { echo "  $(tr '\n' ' ' <<<"$report")"; return 1; }
}
mkdir -p "$DRIVE_C/target" "$DRIVE_C/attacker"
echo marker >"$DRIVE_C/target/marker.txt"
ln -s "$DRIVE_C/target" "$DRIVE_C/attacker/decoy"
rm -f "$DRIVE_C/swap.out" "$LOG"
attacker swap "$DATA" 'C:\attacker\stolen' 'C:\attacker\decoy' 'C:\setup.log' 'kvxh.exe: not done' \
  'C:\swap.out' &
SWAP_PID=$!
# The setup holds the folder for a second or two: it starts only once the program is running.
check "the renaming program started" wait_until 30 "its first line" test -e "$DRIVE_C/swap.out"
unattended
check "installed again" eq "$SETUP_STATUS" 0
check "the renaming program ran to its end" wait "$SWAP_PID"
check "the renames were refused while the setup held the folder" refused_while_held
MARKED=$(dirname "$(find "$DRIVE_C" -name marker.txt | head -n 1)")
check "the link's target is still somewhere" test -f "$MARKED/marker.txt"
check "nothing arrived in the link's target" eq "$(ls -A "$MARKED")" "marker.txt"
finish

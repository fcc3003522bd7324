# Sourced by the fault scenarios after the end-to-end library: what the user is told, and what
# the failed run leaves behind.
ADMIN='Installation Folder needs Administrator Privilege.\r\n\r\nYou can either\r\nRun Setup Program as Administrator (recommended)\r\nor\r\nSelect another Installation Folder'
INSTALL_ERROR='Error in installation'
APP_PATHS='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe'
UNINSTALL=$UNINSTALL_KEY
PREVIOUS_QUESTION='A previous installation of a Corvane product is found.\r\n\r\nContinue?'
WORK_DIR=$(ls -d "$DRIVE_C"/users/*/AppData/Local 2>/dev/null | grep -v /Public/ | head -n 1)
# Without a user profile the scenarios would make folders below / on this machine.
[ -n "$WORK_DIR" ] || { echo "FAIL - no user profile in the prefix"; exit 1; }
WORK_DIR="$WORK_DIR/Tamarind Software/Corvane"

# A previous installation: the App Paths "Path" value only. Written through a .reg file, whose
# quoting keeps every character ('|' included) as it is.
set_previous_path() {
  local escaped=${1//\\/\\\\}
  escaped=${escaped//\"/\\\"}
  printf 'REGEDIT4\r\n\r\n[%s]\r\n"Path"="%s"\r\n' "${APP_PATHS/HKLM/HKEY_LOCAL_MACHINE}" "$escaped" \
    >"$DRIVE_C/path.reg"
  wine regedit /s 'C:\path.reg' >/dev/null 2>&1
}

# Removes what an install or a failed run left, so that the next case starts clean.
reset_product() {
  rm -rf "$INSTALL_DIR" "$DATA_DIR" "$WORK_DIR" "$DESKTOP_DIR/Corvane.lnk" \
    "$PROGRAMS_DIR/Corvane.lnk"
  wine reg delete "$UNINSTALL" /f >/dev/null 2>&1
  wine reg delete "$APP_PATHS" /f >/dev/null 2>&1
  : >"$START_LOG"
}

# Presses OK and collects the message boxes that follow, answering each with OK, until none
# comes within a few seconds (at most 4). BOXES holds their texts, one per line.
press_ok_collect() {
  BOXES=
  drv press "$TITLE" 1 || return 1
  local n=0
  while [ "$n" -lt 4 ] && read_box "${1:-20000}"; do
    BOXES+="$BOX_TEXT"$'\n'
    answer_box 1
    n=$((n + 1))
    set -- 4000
  done
  BOXES=${BOXES%$'\n'}
}

# Answers the previous-installation question with Yes, when it is asked.
accept_previous() {
  read_box 20000 || return 1
  [ "$BOX_TEXT" = "$PREVIOUS_QUESTION" ] || return 1
  answer_box 6
}

# The dialog after a failure: alive, state 0 with its prompt, nothing registered or started.
check_still_state0() { # label
  check "$1: the setup is still running" setup_running
  check "$1: OK reads OK" eq "$(field 1 5)" OK
  check "$1: prompt kept" eq "$(field 1002 5)" "Install Corvane?"
  check "$1: Cancel shown" eq "$(field 2 3)" 1
  check "$1: update-info label hidden" eq "$(field 1005 3)" 0
}
check_nothing_registered() { # label
  check "$1: no uninstall entry" eq "$(reg_value "$UNINSTALL" DisplayName)" ""
  check "$1: no desktop shortcut" test ! -e "$DESKTOP_DIR/Corvane.lnk"
  check "$1: no programs shortcut" test ! -e "$PROGRAMS_DIR/Corvane.lnk"
  check "$1: kvxh.exe not started" nothing_started kvxh.exe
  check "$1: App Paths does not name kvx.exe" not_kvx_default
}

not_kvx_default() { local v; v=$(reg_value "$APP_PATHS" "") && [[ "$v" != *kvx.exe ]]; }

# Cancel ends the setup.
cancel_setup() { drv press "$TITLE" 2 && wait_setup_exit 30; }

# The whole text of control ID, which may itself hold the dump's separator '|'.
field_text() {
  drv dump "$TITLE" | awk -F'|' -v id="$1" \
    '$1 == id { s = $5; for (i = 6; i <= NF; i++) s = s "|" $i; print s; exit }'
}

# A first installation made an older version of itself (so that a file written again from the
# payload shows); its files and registry entries kept for check_unchanged.
age_installation() { # install folder
  while IFS= read -r -d '' f; do printf 'older version\n' >>"$f"; done \
    < <(find "$1" "$DATA_DIR" -type f -print0)
  BEFORE_FILES=$(files_state "$1" "$DATA_DIR")
  BEFORE_REG=$(reg_state)
  check "eleven files installed" eq "$(wc -l <<<"$BEFORE_FILES")" 11
  check "registry entries read" test -n "$BEFORE_REG"
  : >"$START_LOG"
}
# After a failed attempt over that installation: files, registry entries and folders as before.
check_unchanged() { # label install-folder
  check "$1: files unchanged" eq "$(files_state "$2" "$DATA_DIR")" "$BEFORE_FILES"
  check "$1: registry unchanged" eq "$(reg_state)" "$BEFORE_REG"
  check "$1: nothing staged left" eq "$(leftover_files "$2")" ""
}

# Checksums of every file below the folders, one line each (for "unchanged" checks by content).
files_state() { # folder...
  local d
  for d in "$@"; do
    [ -d "$d" ] && (cd "$d" && find . -type f -print0 | sort -z | xargs -0 -r md5sum)
  done
}

# The product's registry entries as `reg` lists them; fails when it cannot read them.
reg_state() {
  wine reg query "$APP_PATHS" /s 2>/dev/null | tr -d '\r' || return 1
  wine reg query "$UNINSTALL" /s 2>/dev/null | tr -d '\r' || return 1
}

# What an install left in the product's folders besides the product's own files (staged copies,
# backups, whatever else), one path a line. The packed list names the files: its first three go
# to the install folder, the rest to the data folder.
leftover_files() { # [install folder]
  local names
  names=$(sed 's|.*/||' "$CORVANE_BINARY_DIR/payload/payload.files") || return 1
  find "${1:-$INSTALL_DIR}" -mindepth 1 -maxdepth 1 2>/dev/null |
    grep -ivxF -f <(head -n 3 <<<"$names" | sed "s|^|${1:-$INSTALL_DIR}/|")
  find "$DATA_DIR" -mindepth 1 -maxdepth 1 2>/dev/null |
    grep -ivxF -f <(tail -n +4 <<<"$names" | sed "s|^|$DATA_DIR/|")
  return 0
}
leftovers() { leftover_files "$@" | wc -l; }

# A setup of the build's e2e folder that is not among those lib.sh copies.
copy_setup() { cp "$CORVANE_BINARY_DIR/e2e/$1" "$DRIVE_C/e2e/"; }

#!/usr/bin/env bash
# Previous installations whose "Path" the install folder cannot be made from: 260 characters
# (too long for a folder), a character that names cannot hold ('<', '|'), a UNC path that does
# not exist, a relative path and a lone backslash (which would be taken from the current folder
# or drive). Each ends in the Administrator message, leaves the setup in state 0 and writes
# nothing anywhere. A value too long for the App Paths read counts as no previous installation:
# the default folder is offered and installed to. A previous installation whose folder and the
# folders above it are missing (names outside ASCII included) is installed there, every missing
# level made.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
CWD_DIR=$DRIVE_C/cwd
mkdir -p "$CWD_DIR"

repeat() { printf "%${2}s" "" | tr ' ' "$1"; }
declare -A CASES=(
  [260-characters]='C:\'$(repeat a 150)'\'$(repeat b 106)
  [less-than]='C:\Corvane<1'
  [bar]='C:\Cor|vane'
  [unc]='\\nosuchserver\share\Corvane'
  [relative]='Corvane'
  [backslash]='\'
)

# Starts the setup in C:\cwd, so that nothing can land in the build tree.
start_in_cwd() {
  (cd "$CWD_DIR" && exec wine 'C:\e2e\CorvaneSetup.exe') >/dev/null 2>>"$SETUP_ERR" &
  SETUP_PID=$!
}

for name in 260-characters less-than bar unc relative backslash; do
  path=${CASES[$name]}
  reset_product
  set_previous_path "$path"
  check "$name: value stored" eq "$(reg_value "$APP_PATHS" Path)" "$path"
  start_in_cwd
  check "$name: previous installation question" accept_previous
  check "$name: the path is shown as stored" eq "$(field_text 1001)" "$path"
  press_ok_collect
  check "$name: the Administrator message, once" eq "$BOXES" "$ADMIN"
  check_still_state0 "$name"
  check "$name: nothing written to the data folder" test ! -e "$DATA_DIR/default.rex"
  check "$name: nothing written to the current folder" eq "$(ls -A "$CWD_DIR")" ""
  check "$name: nothing at the drive root" test ! -e "$DRIVE_C/Tamarind Software"
  check "$name: no work folder" test ! -e "$WORK_DIR"
  check "$name: no file of the product anywhere" \
    eq "$(find "$DRIVE_C" -iname kvx.exe -o -iname 'default.rex' -o -name '*.corvane-*' | wc -l)" 0
  check "$name: App Paths Path unchanged" eq "$(reg_value "$APP_PATHS" Path)" "$path"
  check_nothing_registered "$name"
  check "$name: Cancel ends the setup" cancel_setup
done

# 300 characters: more than the App Paths read takes, so no question and the default folder.
reset_product
set_previous_path 'C:\'$(repeat c 297)
start_in_cwd
check "over-long value: no question" eq "$(drv box "$TITLE" 3000 || echo none)" none
check "over-long value: default folder offered" eq "$(field 1001 5)" "$INSTALL"
check "over-long value: installs" install_now
check "over-long value: kvx.exe installed" \
  cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" "$INSTALL_DIR/kvx.exe"
check "over-long value: Path now the default folder" eq "$(reg_value "$APP_PATHS" Path)" "$INSTALL"
drv close "$TITLE"
check "over-long value: the setup ends" wait_setup_exit 30

# The value as Unicode: a REGEDIT4 file would go through the ANSI code page.
set_previous_path_unicode() {
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n"Path"="%s"\r\n' \
    "${APP_PATHS/HKLM/HKEY_LOCAL_MACHINE}" "${1//\\/\\\\}" | iconv -f UTF-8 -t UTF-16LE |
    { printf '\xff\xfe'; cat; } >"$DRIVE_C/path.reg"
  wine regedit /s 'C:\path.reg' >/dev/null 2>&1
}
# App Paths "Path" read back through a Unicode export; "<unreadable>" when it cannot be.
app_path_unicode() {
  rm -f "$DRIVE_C/export.reg"
  wine regedit /e 'C:\export.reg' "${APP_PATHS/HKLM/HKEY_LOCAL_MACHINE}" >/dev/null 2>&1
  [ -s "$DRIVE_C/export.reg" ] || { echo '<unreadable>'; return; }
  iconv -f UTF-16LE -t UTF-8 "$DRIVE_C/export.reg" | tr -d '\r' |
    sed -n 's/^"Path"="\(.*\)"$/\1/p' | sed 's/\\\\/\\/g'
}

kvx_default() { [[ "$(reg_value "$APP_PATHS" "")" == *kvx.exe ]]; }

missing='C:\Prögramme\Tamarind Sóftware\Corvanë'
missing_dir="$DRIVE_C/Prögramme/Tamarind Sóftware/Corvanë"
reset_product
check "missing parents: none there before" test ! -e "$DRIVE_C/Prögramme"
set_previous_path_unicode "$missing"
check "missing parents: value stored" eq "$(app_path_unicode)" "$missing"
start_in_cwd
check "missing parents: previous installation question" accept_previous
check "missing parents: installs" install_now
check "missing parents: kvx.exe there" \
  cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" "$missing_dir/kvx.exe"
check "missing parents: uninstall.exe there" test -s "$missing_dir/uninstall.exe"
check "missing parents: App Paths Path kept" eq "$(app_path_unicode)" "$missing"
check "missing parents: App Paths names kvx.exe" kvx_default
check "missing parents: nothing moved aside" eq "$(find "$DRIVE_C" -name '*.moved-*' | wc -l)" 0
drv close "$TITLE"
check "missing parents: the setup ends" wait_setup_exit 30

# The same unattended, below a missing folder in Program Files.
reset_product
set_previous_path 'C:\Program Files\Foo\Corvane'
run_unattended 'C:\missing.log'
check "missing parent, /S: exit 0" eq "$SETUP_STATUS" 0
check "missing parent, /S: kvx.exe there" \
  cmp -s "$CORVANE_BINARY_DIR/product/kvx.exe" "$DRIVE_C/Program Files/Foo/Corvane/kvx.exe"
check "missing parent, /S: App Paths Path kept" \
  eq "$(reg_value "$APP_PATHS" Path)" 'C:\Program Files\Foo\Corvane'

finish

#!/usr/bin/env bash
# The whole life of an installation through the real setup and the real uninstall.exe: the
# uninstall entry as deployment tools read it, a silent uninstall that leaves the machine as a
# prefix that never saw the setup, files the user added that stay, and the interactive question.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
APP='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe'
ENTRY=$UNINSTALL_KEY
UNINSTALLER="$INSTALL\\Uninstall.exe"

# Wine's helpers may still read kvx.exe for the new shortcuts' icon after the setup has ended (as
# in the kill scenario); an uninstall then finds it in use. The wait ends when they have.
install_silently() { timeout 180 wine 'C:\e2e\CorvaneSetup.exe' /S >/dev/null 2>&1; wineserver -w; }
# The uninstaller's whole exit code, through cmd as a deployment tool sees it; its log when it
# did not remove everything.
uninstall_silently() {
  local status
  rm -f "$DRIVE_C/e2e/uninstall.log"
  status=$(status_via_cmd 180 "\"$UNINSTALLER\" /S /LOG=C:\\e2e\\uninstall.log")
  [ "$status" = status=0 ] || tr -d '\r' <"$DRIVE_C/e2e/uninstall.log" | sed 's/^/  log: /' >&2
  echo "$status"
}
# Waits until the uninstaller's copy has removed the installed uninstaller and its folder.
uninstaller_gone() {
  local i
  for ((i = 0; i < 100; i++)); do [ -e "$INSTALL_DIR" ] || return 0; sleep 0.2; done
  return 1
}
# The registry of HKLM and the files of drive C, as text; the run's own files left out, and what
# Wine itself changes between two runs whatever the programs do: its display driver registers
# the screen afresh on each start, under a new GUID in HKLM\System\CurrentControlSet\Control\
# Video, and stamps the display adapter's DriverDateData (in Control\Class\{4D36E968-...}\0000
# and under Video) with the time. Those Video blocks and that value are left out (Wine 10 lists
# them under ControlSet001, the key CurrentControlSet links to). Wine's own services also start
# in the background of a fresh prefix now and then: the service manager counts each start in
# Control\ServiceCurrent, and its device manager registers input devices under
# Control\DeviceClasses (both seen changing between two snapshots of a run that started no
# service). Those keys are left out too.
# A snapshot reg could not take is not written, and no_difference fails on it.
snapshot() { # name
  wineserver -w
  rm -f "$PREFIX/$1.reg"
  wine reg query HKLM /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { skip = $0 ~ /^HKEY_LOCAL_MACHINE\\System\\(CurrentControlSet|ControlSet[0-9]+)\\Control\\(Video\\|ServiceCurrent$|DeviceClasses\\)/ }
         /^    DriverDateData    REG_BINARY/ { next }
         /^HKEY/ { key = $0 }
         !skip && !/^HKEY/ { print key "|" $0 }' >"$PREFIX/$1.part" && mv "$PREFIX/$1.part" "$PREFIX/$1.reg"
  (cd "$DRIVE_C" && find . -path ./e2e -prune -o -print | sort) >"$PREFIX/$1.files"
}
# Not Wine's, but the shell's: asking it for the CD burning folder (the known-folder set-up of
# the setup and the uninstaller does) creates that per-user system folder, which stays. So does
# the per-user work folder that the setup makes: the user can change what is in it, and the
# administrator's uninstaller leaves it alone.
shell_folders() {
  grep -vE '^[<>] \./users/[^/]*/AppData/Local/Microsoft/Windows/Burn(/Burn)?$' |
    grep -vE '^[<>] \./users/[^/]*/AppData/Local/Tamarind Software(/Corvane)?$'
}
no_difference() { # before after
  local d
  [ -s "$PREFIX/$1" ] && [ -s "$PREFIX/$2" ] || { echo "  a snapshot is missing"; return 1; }
  d=$(diff "$PREFIX/$1" "$PREFIX/$2" | grep '^[<>]' | shell_folders)
  [ -z "$d" ] || { echo "$d" | head -20; return 1; }
}

snapshot fresh
install_silently
check "installed" test -f "$INSTALL_DIR/kvx.exe"

# The entry: the first three values as before, the added ones beside them.
check "DisplayName unchanged" eq "$(reg_value "$ENTRY" DisplayName)" "Corvane"
check "UninstallString unchanged" eq "$(reg_value "$ENTRY" UninstallString)" "\"$UNINSTALLER\""
check "DisplayVersion from FileVersion" eq "$(reg_value "$ENTRY" DisplayVersion)" "6.1.0.0"
check "Publisher" eq "$(reg_value "$ENTRY" Publisher)" "Tamarind Software"
check "InstallLocation" eq "$(reg_value "$ENTRY" InstallLocation)" "$INSTALL"
check "QuietUninstallString" eq "$(reg_value "$ENTRY" QuietUninstallString)" \
  "\"$UNINSTALLER\" /S"
check "URLUpdateInfo" eq "$(reg_value "$ENTRY" URLUpdateInfo)" \
  "http://updates.corvane.example/init.asp?P=2&V=6.1"
dwords=$(wine reg query "$ENTRY" 2>/dev/null | tr -d '\r' | awk '/REG_DWORD/ { print $1 "=" $3 }' | sort | tr '\n' ' ')
size_kb=$(( ($(cat "$INSTALL_DIR"/*.exe "$DATA_DIR"/* | wc -c) + 1023) / 1024 ))
check "EstimatedSize, NoModify, NoRepair as REG_DWORD" eq "$dwords" \
  "EstimatedSize=$(printf '0x%x' "$size_kb") NoModify=0x1 NoRepair=0x1 "
check "no REG_EXPAND_SZ" eq "$(wine reg query "$ENTRY" 2>/dev/null | grep -c REG_EXPAND_SZ)" 0
check "the system's list shows Corvane" grep -q '|||Corvane' <(uninstall_list)

# Silent uninstall: exit 0, and afterwards the machine is the fresh prefix again.
check "uninstall /S: exit code 0" eq "$(uninstall_silently)" "status=0"
check "install folder gone, with the uninstaller" uninstaller_gone
check "data folder gone" test ! -e "$DATA_DIR"
check "shortcuts gone" test ! -e "$DESKTOP_DIR/Corvane.lnk" -a ! -e "$PROGRAMS_DIR/Corvane.lnk"
check "App Paths key gone" eq "$(reg_value "$APP" Path)" ""
check "uninstall entry gone" eq "$(reg_value "$ENTRY" DisplayName)" ""
snapshot removed
# The copy's file goes with the copy, its last holder (delete-on-close).
check "the cleanup copy's file is gone" eq "$(ls "$DRIVE_C/windows/temp" | grep -ci '^corvane-uninstall-')" 0
check "registry as in the fresh prefix" no_difference fresh.reg removed.reg
check "files as in the fresh prefix" no_difference fresh.files removed.files

# A file the user added to the data folder stays, and so does the folder holding it.
install_silently
echo mine >"$DATA_DIR/mine.aws"
check "with a user's file: exit code 0" eq "$(uninstall_silently)" "status=0"
check "with a user's file: install folder gone" uninstaller_gone
check "the user's file stays" eq "$(cat "$DATA_DIR/mine.aws")" "mine"
check "only the user's file is left there" eq "$(ls "$DATA_DIR")" "mine.aws"
rm -rf "$DRIVE_C/ProgramData/Tamarind Software"

# The user turns the work folder, or the maker's folder above it, into a link to a folder of
# their own that holds a prog.tmp and another file (a Unix link shows to Windows as a reparse
# point): the uninstall leaves both files alone and still removes the product.
LOCAL_DIR=$(ls -d "$DRIVE_C"/users/*/AppData/Local | grep -v /Public/)
for linked in "Tamarind Software/Corvane" "Tamarind Software"; do
  install_silently
  target="$DRIVE_C/users/Public/theirs"
  rm -rf "$LOCAL_DIR/Tamarind Software" "$target"
  mkdir -p "$target/Corvane"
  inner="$target"
  [ "$linked" = "Tamarind Software" ] && inner="$target/Corvane"
  echo work >"$inner/prog.tmp"
  echo theirs >"$inner/other.txt"
  mkdir -p "$(dirname "$LOCAL_DIR/$linked")"
  ln -s "$target" "$LOCAL_DIR/$linked"
  check "work link at $linked: exit code 0" eq "$(uninstall_silently)" "status=0"
  check "work link at $linked: product removed" uninstaller_gone
  check "work link at $linked: its prog.tmp stays" eq "$(cat "$inner/prog.tmp")" "work"
  check "work link at $linked: its other file stays" eq "$(cat "$inner/other.txt")" "theirs"
  rm -rf "$LOCAL_DIR/Tamarind Software" "$target"
done

# Interactively: the question; No changes nothing, Yes removes.
install_silently
snapshot installed
for answer in No Yes; do
  : >"$SETUP_ERR"
  wine "$UNINSTALLER" >/dev/null 2>>"$SETUP_ERR" &
  SETUP_PID=$!
  read_box 30000
  check "$answer: the question is asked" eq "$BOX_TEXT" "Remove Corvane and all of its components?"
  if [ "$answer" = No ]; then
    answer_box 7 >/dev/null
    check "No: ends with 1602" wait_setup_exit 60
    check "No: exit status 1602 (low byte 66)" eq "$SETUP_STATUS" 66
    snapshot declined
    check "No: registry unchanged" no_difference installed.reg declined.reg
    check "No: files unchanged" no_difference installed.files declined.files
  else
    answer_box 6 >/dev/null
    read_box 30000
    check "Yes: the result is told" eq "$BOX_TEXT" "Corvane has been removed from this computer."
    answer_box 1 >/dev/null
    check "Yes: ends" wait_setup_exit 60
    check "Yes: exit status 0" eq "$SETUP_STATUS" 0
    check "Yes: removed" uninstaller_gone
    check "Yes: entry gone" eq "$(reg_value "$ENTRY" DisplayName)" ""
  fi
done
finish

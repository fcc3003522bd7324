#!/usr/bin/env bash
# DLL preloading: copies of a DLL that records its own loading, named like every DLL the setup
# uses or may load, lie beside the setup and in its current folder, and Wine is told to prefer
# native DLLs for those names. A whole install must succeed without one of them being loaded.
# A control run first shows that the planted copies are found by a program that loads by bare
# name without restricting its search, so the check can fail.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
HARDENING_BIN=$CORVANE_BINARY_DIR/hardening

# DLLs the setup loads itself or that the system loads for it once it runs (common controls and
# their theme, shell links and folders, COM, version records, LZ expansion).
PLANTED="lz32 version comctl32 uxtheme dwmapi shfolder userenv profapi propsys cryptbase winmm
msimg32 imm32 oleaut32 shlwapi comdlg32 apphelp linkinfo ntshrui cscapi srvcli netapi32 sspicli
secur32 mpr windowscodecs msctf urlmon iertutil wininet setupapi cfgmgr32 bcrypt ntmarta wldp
dbghelp riched20 explorerframe edputil shcore oleacc wtsapi32 powrprof dwrite gdiplus clbcatq"
# Wine's own user32 and shell32 import these, so Wine's loader resolves them while it maps the
# setup's static imports, before the setup's first instruction, searching the exe's folder
# first. On Windows imm32, shlwapi and shcore are KnownDLLs and the system's user32 does not
# import version.dll. Under Wine no program can protect itself from copies of these beside it,
# so they are planted in the current folder only.
WINE_PRELOADED="version imm32 shlwapi shcore"
# The static imports, as copies only. Windows maps them from its KnownDLLs section, which the
# import check keeps true for the setup; Wine has no such mapping and would load a planted
# kernel32.dll into every process, its own included, if told to prefer it.
STATIC_IMPORTS="kernel32 user32 gdi32 advapi32 shell32 ole32 msvcrt rpcrt4 combase sechost"

PLANT_DIR=$DRIVE_C/plant
CWD_DIR=$DRIVE_C/cwd
PLANT_LOG=$DRIVE_C/plant.log
export CORVANE_PLANT_LOG='C:\plant.log'
mkdir -p "$PLANT_DIR" "$CWD_DIR"
for name in $PLANTED $STATIC_IMPORTS; do
  grep -qw "$name" <<<"$WINE_PRELOADED" || cp "$HARDENING_BIN/plant.dll" "$PLANT_DIR/$name.dll"
  cp "$HARDENING_BIN/plant.dll" "$CWD_DIR/$name.dll"
done
cp "$HARDENING_BIN/load_probe.exe" "$CORVANE_BINARY_DIR/CorvaneSetup.exe" "$PLANT_DIR/"
NATIVE_FIRST="$(tr -s ' \n' ',' <<<"$PLANTED" | sed 's/,$//')=n,b;mscoree,mshtml="

# Runs a program of C:\plant with the current folder C:\cwd and native DLLs preferred.
in_plant() { (cd "$CWD_DIR" && WINEDLLOVERRIDES=$NATIVE_FIRST "$@"); }
log_lines() { tr -d '\r' 2>/dev/null <"$PLANT_LOG" | grep -ci -- "$1"; }

# Control: loading by bare name without the restriction finds the copy beside the program, and
# a name that the system lacks in the current folder (the system folders come first).
cp "$HARDENING_BIN/plant.dll" "$CWD_DIR/cwdonly.dll"
rm -f "$PLANT_LOG"
in_plant timeout 60 wine 'C:\plant\load_probe.exe' lz32.dll cwdonly.dll >/dev/null 2>&1
check "control: planted lz32.dll beside the program is loaded" \
  test "$(log_lines '|C:\\plant\\lz32.dll')" -ge 1
check "control: planted cwdonly.dll in the current folder is loaded" \
  test "$(log_lines '|C:\\cwd\\cwdonly.dll')" -ge 1

# The same loads after HardenDllSearch: nothing planted.
rm -f "$PLANT_LOG"
in_plant timeout 60 wine 'C:\plant\load_probe.exe' --hardened lz32.dll cwdonly.dll >/dev/null 2>&1
check "hardened probe loads no planted DLL" eq "$(cat "$PLANT_LOG" 2>/dev/null)" ""

# The setup itself, through a whole install.
rm -f "$PLANT_LOG"
(cd "$CWD_DIR" && WINEDLLOVERRIDES=$NATIVE_FIRST exec wine 'C:\plant\CorvaneSetup.exe') \
  >/dev/null 2>&1 &
SETUP_PID=$!
check "the setup starts with the planted DLLs around" drv wait "$TITLE" 30000
check "install completes" install_now
check "success text" eq "$(field 1002 5)" 'The program is successfully installed\r\n\r\nA shortcut (named Corvane) can be found on Windows Desktop and in "Programs" of Windows "Start".'
for name in kvx.exe kvxh.exe uninstall.exe; do
  check "$name installed" test -s "$INSTALL_DIR/$name"
done
check "help.bin installed" test -s "$DATA_DIR/help.bin"
for link in "$DESKTOP_DIR/Corvane.lnk" "$PROGRAMS_DIR/Corvane.lnk"; do
  where=$(basename "$(dirname "$link")")
  check "$where shortcut target" eq "$(lnk_field "$link" "Local path")" "$INSTALL\\kvx.exe"
  check "$where shortcut description" \
    eq "$(lnk_field "$link" Description)" "Search and compare file utility"
done
check "App Paths Path written" \
  eq "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe' Path)" "$INSTALL"
drv close "$TITLE"
check "the setup ends" wait_setup_exit 30

setup_loads=$(tr -d '\r' 2>/dev/null <"$PLANT_LOG" | grep -i '^C:\\plant\\CorvaneSetup.exe|')
check "the setup loaded no planted DLL" eq "$setup_loads" ""
check "no process loaded a planted DLL" eq "$(tr -d '\r' 2>/dev/null <"$PLANT_LOG")" ""
finish

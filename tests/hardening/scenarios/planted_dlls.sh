#!/usr/bin/env bash
# DLL preloading: copies of a DLL that records its own loading, named like every DLL the setup
# uses or may load, lie beside the setup and in its current folder, and Wine is told to prefer
# native DLLs for those names. A whole install must succeed without one of them being loaded.
# What is loaded is read from Wine's own record of every module it maps (+loaddll), and from
# the planted copies' log. A control run first shows that the planted copies are found by a
# program that loads by bare name without restricting its search.
#   planted_dlls.sh [--unhardened EXE]
# With --unhardened, EXE is a setup built without its hardening, and the scenario passes only if
# its check for planted loads fails for it.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
HARDENING_BIN=$CORVANE_BINARY_DIR/hardening
UNHARDENED=
SETUP_EXE=$CORVANE_BINARY_DIR/CorvaneSetup.exe
if [ "${1:-}" = --unhardened ]; then UNHARDENED=1; SETUP_EXE=${2:?the unhardened setup}; fi

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

# The signed-in user's desktop shell runs before any setup does, with the user's environment:
# programs the setup starts go through it. Under Wine it is the desktop process that the first
# program with a window brings up, so one is kept running here, started the ordinary way, before
# anything runs with the planted copies preferred.
wine 'C:\e2e\driver.exe' wait 'no such window' 1800000 >/dev/null 2>&1 &
desktop_shell_runs() { # explorer.exe of this prefix, within 20 s
  local i p
  for ((i = 0; i < 200; i++)); do
    for p in $(pgrep -f 'explorer\.exe'); do
      grep -qzxF "WINEPREFIX=$PREFIX" "/proc/$p/environ" && return 0
    done
    sleep 0.1
  done 2>/dev/null
  return 1
}
check "the desktop shell runs before anything prefers the planted copies" desktop_shell_runs

PLANT_DIR=$DRIVE_C/plant
CWD_DIR=$DRIVE_C/cwd
PLANT_LOG=$DRIVE_C/plant.log
export CORVANE_PLANT_LOG='C:\plant.log'
mkdir -p "$PLANT_DIR" "$CWD_DIR"
for name in $PLANTED $STATIC_IMPORTS; do
  grep -qw "$name" <<<"$WINE_PRELOADED" || cp "$HARDENING_BIN/plant.dll" "$PLANT_DIR/$name.dll"
  cp "$HARDENING_BIN/plant.dll" "$CWD_DIR/$name.dll"
done
cp "$HARDENING_BIN/load_probe.exe" "$PLANT_DIR/"
cp "$SETUP_EXE" "$PLANT_DIR/CorvaneSetup.exe"
NATIVE_FIRST="$(tr -s ' \n' ',' <<<"$PLANTED" | sed 's/,$//')=n,b;mscoree,mshtml="

# Runs a program of C:\plant with the current folder C:\cwd and native DLLs preferred; Wine
# records every module it maps in $LOADS, a new file for each run (Wine's helper processes of
# an earlier run may still be writing to the previous one).
RUNS=0
in_plant() {
  RUNS=$((RUNS + 1))
  LOADS=$PREFIX/loaddll.$RUNS.log
  (cd "$CWD_DIR" && WINEDLLOVERRIDES=$NATIVE_FIRST WINEDEBUG=+loaddll "$@" 2>"$LOADS")
}
log_lines() { tr -d '\r' 2>/dev/null <"$PLANT_LOG" | grep -ci -- "$1"; }
# The modules Wine mapped, one Windows path a line (of one kind: native or builtin); and the
# native ones, files read from disk, from C:\plant or C:\cwd other than the programs
# themselves. (A builtin is Wine's own code, even where Wine names the copy it found.)
mapped() { # [native|builtin]
  grep -aoE "Loaded L\"[^\"]*\" at [0-9A-Fa-f]+: ${1:-[a-z]+}" "$LOADS" |
    sed -E 's/^Loaded L"//; s/" at .*//; s/\\\\/\\/g'
}
planted_loads() { mapped native | grep -iE '^C:\\(plant|cwd)\\' | grep -viE '\.exe$'; }

# Control: loading by bare name without the restriction finds the copy beside the program, and
# a name that the system lacks in the current folder (the system folders come first).
cp "$HARDENING_BIN/plant.dll" "$CWD_DIR/cwdonly.dll"
rm -f "$PLANT_LOG"
in_plant timeout 60 wine 'C:\plant\load_probe.exe' lz32.dll cwdonly.dll >/dev/null
check "control: planted lz32.dll beside the program is loaded" \
  test "$(log_lines '|C:\\plant\\lz32.dll')" -ge 1
check "control: planted cwdonly.dll in the current folder is loaded" \
  test "$(log_lines '|C:\\cwd\\cwdonly.dll')" -ge 1
check "control: Wine's record shows both planted loads" \
  eq "$(planted_loads | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')" 'c:\cwd\cwdonly.dll c:\plant\lz32.dll '

# The same loads after HardenDllSearch: nothing planted.
rm -f "$PLANT_LOG"
in_plant timeout 60 wine 'C:\plant\load_probe.exe' --hardened lz32.dll cwdonly.dll >/dev/null
check "hardened probe: cwdonly.dll not found (exit status 1)" eq "$?" 1
check "hardened probe: lz32.dll mapped from System32" \
  grep -qix 'C:\\windows\\system32\\lz32.dll' <(mapped)
check "hardened probe loads no planted DLL" eq "$(planted_loads)$(cat "$PLANT_LOG" 2>/dev/null)" ""

# The setup itself, through a whole install.
rm -f "$PLANT_LOG"
LOADS=$PREFIX/loaddll.setup.log
SETUP_ERR=$LOADS
(cd "$CWD_DIR" && WINEDLLOVERRIDES=$NATIVE_FIRST WINEDEBUG=+loaddll exec wine \
  'C:\plant\CorvaneSetup.exe') >/dev/null 2>"$LOADS" &
SETUP_PID=$!

if [ -n "$UNHARDENED" ]; then
  # Without the hardening the planted copies are picked up once the dialog runs and OK starts
  # the install; the same check as below must then fail.
  drv wait "$TITLE" 30000 && drv press "$TITLE" 1
  # Whatever the planted copies make of the install, answer its messages and close.
  for _ in 1 2 3 4; do read_box 8000 || break; answer_box 1; done
  drv close "$TITLE"
  wait_setup_exit 30 || kill "$SETUP_PID" 2>/dev/null
  check "Wine recorded the unhardened setup's loads" grep -aqi 'plant\\\\CorvaneSetup.exe' "$LOADS"
  loads=$(planted_loads)
  echo "  planted DLLs mapped: $(tr '\n' ' ' <<<"$loads")"
  check "the unhardened setup fails the planted-DLL check" test -n "$loads"
  finish
  exit
fi
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
check "the setup ends normally" wait_setup_exit 30

check "Wine recorded the setup's loads" test "$(mapped | grep -ci '^C:\\plant\\CorvaneSetup.exe$')" -ge 1
check "Wine recorded the system DLLs it mapped" test "$(mapped | grep -ci '^C:\\windows\\system32\\')" -ge 5
check "no process mapped a planted DLL (Wine's record)" eq "$(planted_loads)" ""
setup_loads=$(tr -d '\r' 2>/dev/null <"$PLANT_LOG" | grep -i '^C:\\plant\\CorvaneSetup.exe|')
check "the setup loaded no planted DLL" eq "$setup_loads" ""
check "no process loaded a planted DLL" eq "$(tr -d '\r' 2>/dev/null <"$PLANT_LOG")" ""
finish

#!/usr/bin/env bash
# Builds the setup program and runs the shipped 32-bit image under Wine 10 with the sample
# product, as on 64-bit Windows (WoW64), in its own fresh prefix (build/run-prefix).
# With a usable $DISPLAY the setup opens there and you drive it;
# without one it runs under Xvfb and walks itself through OK and "Next", saving screenshots.
# Either way it ends by listing what was installed where.
# CORVANE_RUN_BUILD_DIR=DIR builds in DIR instead of the win32 preset's build/win32.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
CORVANE_ROOT=$PWD
bash scripts/deps.sh

if [ -n "${CORVANE_RUN_BUILD_DIR:-}" ]; then
  build=$CORVANE_RUN_BUILD_DIR
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$build" --target CorvaneSetup e2e_programs
else
  build=build/win32
  cmake --preset win32 >/dev/null
  cmake --build --preset win32
fi
setup=$build/CorvaneSetup.exe
driver=$build/e2e/driver.exe

source scripts/wine-env.sh
corvane_require_pe32 "$setup" Setup
echo "Payload: $(stat -c %s "$build/payload/payload.bin") bytes"
corvane_make_template
interactive=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then interactive=1; fi
corvane_start_xvfb

export WINEPREFIX=$CORVANE_ROOT/build/run-prefix
[ -d "$WINEPREFIX" ] && { wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true; }
corvane_copy_prefix "$WINEPREFIX"
DRIVE_C=$WINEPREFIX/drive_c
mkdir -p "$DRIVE_C/run"
cp "$setup" "$DRIVE_C/run/CorvaneSetup.exe"
cp "$driver" "$build/e2e/record_args.exe" "$DRIVE_C/run/"
# No browser here: the update page's address is recorded instead of opened. The product's
# programs note their start and exit instead of opening windows. Set before the first Wine
# program: the desktop shell, which starts them, keeps the environment it began with.
export CORVANE_URL_LOG='C:\run\update-page.log' CORVANE_START_LOG='C:\run\started.log'
wine reg add 'HKCR\http\shell\open\command' /ve /d '"C:\run\record_args.exe" "%1"' /f \
  >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  corvane_stop_xvfb
}
trap cleanup EXIT

if [ "$interactive" = 1 ]; then
  echo "The setup is open on $DISPLAY."
  wine 'C:\run\CorvaneSetup.exe' >/dev/null 2>&1 || true
else
  shots=$CORVANE_ROOT/build/run-screenshots
  mkdir -p "$shots"
  drv() { wine 'C:\run\driver.exe' "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
  shot() {
    local r
    r=$(drv rect "Setup Corvane") && set -- "$1" $r &&
      import -display "$DISPLAY" -window root -crop "${2}x${3}+${4}+${5}" +repage "$1" &&
      echo "  screenshot $1"
  }
  wait_ok_text() {
    local i
    for i in $(seq 240); do
      drv dump "Setup Corvane" | grep -q "^1|Button|1|1|$1\$" && return 0
      sleep 0.25
    done
    echo "The setup did not reach \"$1\"" >&2
    return 1
  }
  wine 'C:\run\CorvaneSetup.exe' >/dev/null 2>&1 &
  setup_pid=$!
  drv wait "Setup Corvane" 60000 || { echo "The setup dialog did not appear" >&2; exit 1; }
  echo "Setup dialog open (no display: running under Xvfb $DISPLAY)."
  shot "$shots/state0.png"
  echo "Pressing OK (install)..."
  drv press "Setup Corvane" 1
  wait_ok_text Next
  # The update-info label shows last, when the install sequence has ended.
  for _ in $(seq 240); do
    [ "$(drv dump "Setup Corvane" | awk -F'|' '$1 == 1005 { print $3; exit }')" = 1 ] && break
    sleep 0.25
  done
  drv dump "Setup Corvane" | awk -F'|' '$1 == 1002 { print "  says: " $5 }'
  shot "$shots/state1.png"
  echo "Pressing Next (update page)..."
  drv press "Setup Corvane" 1
  wait_ok_text "Run Program"
  shot "$shots/state2.png"
  echo "Pressing Close."
  drv press "Setup Corvane" 2
  wait "$setup_pid" || true
fi

echo
echo "== Installed files"
for dir in "Program Files (x86)/Tamarind Software/Corvane" "ProgramData/Tamarind Software/Corvane"; do
  [ -d "$DRIVE_C/$dir" ] || { echo "C:\\${dir//\//\\}: (nothing installed)"; continue; }
  echo "C:\\${dir//\//\\}"
  (cd "$DRIVE_C/$dir" && find . -maxdepth 1 -type f -printf '  %10s  %TY-%Tm-%Td %TH:%TM  %f\n' | sort -k4)
done
echo
echo "== Registry (HKEY_LOCAL_MACHINE; the 32-bit setup's uninstall entry lies in the 32-bit view)"
for key in 'Software\Microsoft\Windows\CurrentVersion\App Paths\kvx.exe' \
  'Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Corvane'; do
  wine reg query "HKLM\\$key" 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/  /' || echo "  HKLM\\$key: missing"
done
echo
echo "== Shortcuts"
for link in "$DRIVE_C/users/Public/Desktop/Corvane.lnk" \
  "$DRIVE_C/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvane.lnk"; do
  if [ -f "$link" ]; then
    echo "  ${link#"$DRIVE_C/"}"
    lnkinfo "$link" 2>/dev/null | grep -E 'Local path|Description' | sed 's/^\s*/    /'
  else
    echo "  ${link#"$DRIVE_C/"}: missing"
  fi
done
for log in "$DRIVE_C/run/started.log" "$DRIVE_C/run/update-page.log"; do
  [ -f "$log" ] && { echo; echo "== ${log##*/}"; tr -d '\r' <"$log" | sed 's/^/  /'; }
done
echo
echo "Prefix: $WINEPREFIX"

# Sourced by every scenario: a fresh 64-bit prefix under Xvfb in which the 32-bit setup runs as
# on 64-bit Windows (WoW64), the setup and its helpers in C:\e2e, a browser stand-in, the start
# log, and small check helpers.
set -uo pipefail
E2E_SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CORVANE_SOURCE_DIR=${CORVANE_SOURCE_DIR:-$(cd "$E2E_SRC/../.." && pwd)}
CORVANE_BINARY_DIR=${CORVANE_BINARY_DIR:?the win32 build directory}
source "$CORVANE_SOURCE_DIR/scripts/wine-env.sh"
# The setup under test is the shipped kind of image, 32-bit.
corvane_require_pe32 "$CORVANE_BINARY_DIR/CorvaneSetup.exe" setup || exit 1
corvane_make_template || exit 1
# A screen of its own for each scenario: scenarios run side by side, and a window of one must
# never take the keyboard focus from another's.
unset DISPLAY
corvane_start_xvfb

TITLE="Setup Corvane"
# A 32-bit program's Program Files, and its view of the registry's uninstall entries.
INSTALL='C:\Program Files (x86)\Tamarind Software\Corvane'
UNINSTALL_KEY='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Corvane'
FAILURES=0

PREFIX=$(mktemp -d /tmp/corvane-e2e.XXXXXX)
corvane_copy_prefix "$PREFIX"
export WINEPREFIX=$PREFIX
# No menu builder: it would write desktop entries for the shortcuts, late and asynchronously.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
# The product's programs record their start here; the browser stand-in records addresses.
# Set before the first Wine program: the desktop shell that starts them keeps the environment
# it began with.
export CORVANE_START_LOG='C:\start.log' CORVANE_URL_LOG='C:\url.log'
# Let Wine draw the window frames (there is no window manager under Xvfb).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
DRIVE_C=$PREFIX/drive_c
INSTALL_DIR="$DRIVE_C/Program Files (x86)/Tamarind Software/Corvane"
DATA_DIR="$DRIVE_C/ProgramData/Tamarind Software/Corvane"
DESKTOP_DIR="$DRIVE_C/users/Public/Desktop"
PROGRAMS_DIR="$DRIVE_C/ProgramData/Microsoft/Windows/Start Menu/Programs"
mkdir -p "$DRIVE_C/e2e"
for f in CorvaneSetup.exe e2e/CorvaneSetupCorrupt.exe e2e/driver.exe e2e/hold_file.exe \
  e2e/record_args.exe; do
  [ -f "$CORVANE_BINARY_DIR/$f" ] && cp "$CORVANE_BINARY_DIR/$f" "$DRIVE_C/e2e/"
done

START_LOG=$DRIVE_C/start.log
URL_LOG=$DRIVE_C/url.log
wine reg add 'HKCR\http\shell\open\command' /ve /d '"C:\e2e\record_args.exe" "%1"' /f \
  >/dev/null 2>&1

SETUP_PID=
# The last setup's exit status, collected by wait_setup_exit, and what Wine wrote to its stderr.
SETUP_STATUS=
SETUP_ERR=$PREFIX/setup.err
cleanup() {
  [ -n "$SETUP_PID" ] && kill "$SETUP_PID" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  corvane_stop_xvfb
  if [ -n "${E2E_KEEP:-}" ]; then echo "prefix kept in $PREFIX"; else rm -rf "$PREFIX"; fi
}
trap cleanup EXIT

drv() { wine 'C:\e2e\driver.exe' "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# Starts the setup (or another exe of C:\e2e, with arguments) in the background.
start_setup() { # [exe in C:\e2e, or a full Windows path [arguments...]]
  local exe=${1:-CorvaneSetup.exe}
  shift 2>/dev/null
  : >"$SETUP_ERR"
  case $exe in *\\*) ;; *) exe="C:\\e2e\\$exe" ;; esac
  wine "$exe" "$@" >/dev/null 2>>"$SETUP_ERR" &
  SETUP_PID=$!
}

# Waits for the setup process to end and collects its exit status in SETUP_STATUS; false after
# the timeout (seconds), and false when it ended by a crash. Wine passes on only the low byte of
# a crash's exception code (an access violation ends with 5), so a crash is recognised by Wine's
# report on stderr (start the setup with 2>>"$SETUP_ERR") or a status above 127 (a signal).
SETUP_STATUS=
wait_setup_exit() {
  local t=${1:-30} i
  for ((i = 0; i < t * 10; i++)); do
    if ! kill -0 "$SETUP_PID" 2>/dev/null; then
      wait "$SETUP_PID" 2>/dev/null
      SETUP_STATUS=$?
      SETUP_PID=
      setup_ended_normally
      return
    fi
    sleep 0.1
  done
  return 1
}

# The whole exit code of a Windows command line, as a deployment tool's script sees it: run from
# a batch file, where cmd waits for GUI programs too (Wine 10's cmd /c "x.exe & echo ..." does
# not wait, as Windows' own prompt does not). Prints "status=N".
status_via_cmd() { # seconds, Windows command line
  local name=status-$BASHPID-$RANDOM.cmd
  printf '@%s\r\n@echo status=%%errorlevel%%\r\n' "$2" >"$DRIVE_C/e2e/$name"
  timeout "$1" wine cmd /c "C:\\e2e\\$name" 2>/dev/null | tr -d '\r' | grep '^status='
  rm -f "$DRIVE_C/e2e/$name"
}

# Runs the setup with /S and /LOG=<Windows path> in the foreground; its status in SETUP_STATUS.
run_unattended() { # Windows path of the log
  timeout 180 wine 'C:\e2e\CorvaneSetup.exe' /S "/LOG=$1" >/dev/null 2>&1
  SETUP_STATUS=$?
}

# The setup's last collected end was not a crash.
setup_ended_normally() {
  [ -n "$SETUP_STATUS" ] && [ "$SETUP_STATUS" -lt 128 ] || {
    echo "  the setup ended with status ${SETUP_STATUS:-(not collected)}"
    return 1
  }
  if grep -qE 'Unhandled (exception|page fault)|wine: Unhandled|stack smashing' "$SETUP_ERR" 2>/dev/null; then
    echo "  the setup crashed: $(grep -m1 -E 'Unhandled|stack smashing' "$SETUP_ERR")"
    return 1
  fi
}

setup_running() { [ -n "$SETUP_PID" ] && kill -0 "$SETUP_PID" 2>/dev/null; }

check() { # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then
    echo "ok   - $what"
  else
    echo "FAIL - $what"
    FAILURES=$((FAILURES + 1))
  fi
}

eq() { [ "$1" = "$2" ] || { printf '  got:      %q\n  expected: %q\n' "$1" "$2"; return 1; }; }

# One field of the dump of control ID (the first with that id and class, when given):
# field 3 visible, 4 enabled, 5 text.
field() { # id field [class]
  drv dump "$TITLE" | awk -F'|' -v id="$1" -v f="$2" -v cls="${3:-}" \
    '$1 == id && (cls == "" || tolower($2) == tolower(cls)) { print $f; exit }'
}

# Waits until control ID shows TEXT.
wait_text() { # id text [seconds]
  local t=${3:-60} i
  for ((i = 0; i < t * 4; i++)); do
    [ "$(field "$1" 5)" = "$2" ] && return 0
    sleep 0.25
  done
  return 1
}

# The message box's caption and text (text with \r\n written out), in BOX_CAPTION/BOX_TEXT;
# both empty when no box came.
read_box() {
  local out
  BOX_CAPTION= BOX_TEXT=
  out=$(drv box "$TITLE" "${1:-20000}") || return 1
  BOX_CAPTION=$(sed -n 1p <<<"$out")
  BOX_TEXT=$(sed -n 2p <<<"$out")
}

answer_box() { drv answer "$TITLE" "$1" || echo "  the message box did not close on button $1"; }

# Installs with OK and waits for the installed look.
# Installs with OK and waits for the end of the sequence (the update-info label shows last).
install_now() {
  drv wait "$TITLE" 30000 && drv press "$TITLE" 1 && wait_text 1 Next 120 || return 1
  local i
  for ((i = 0; i < 120; i++)); do
    [ "$(field 1005 3)" = 1 ] && return 0
    sleep 0.25
  done
  return 1
}

# The system's list of installed programs ("Key|||DisplayName" lines). Wine 10's uninstaller
# writes it to stderr when its output is not a console (Wine 8: to stdout), so both are read.
uninstall_list() { wine uninstaller --list 2>&1 | tr -d '\r'; }

# A field of lnkinfo's report ("Local path", "Description", ...).
lnk_field() { # file name
  lnkinfo "$1" 2>/dev/null | awk -F'\t*: ' -v n="$2" '$1 ~ "^\t" n "$" { print $2; exit }'
}

screenshot() { # file
  local r
  r=$(drv rect "$TITLE") || return 1
  set -- "$1" $r
  import -display "$DISPLAY" -window root -crop "${2}x${3}+${4}+${5}" +repage "$1"
}

# A string value, or "" when the key or value is missing. When reg itself fails (it cannot
# start, or reports anything but a missing key or value) it prints a marker that equals no
# expected value, and fails.
reg_value() { # key value-name ("" for the default value)
  local out err status
  out=$(mktemp)
  err=$(mktemp)
  if [ -z "$2" ]; then wine reg query "$1" /ve >"$out" 2>"$err"; else
    wine reg query "$1" /v "$2" >"$out" 2>"$err"; fi
  status=$?
  if [ "$status" -ne 0 ] && ! grep -q 'Unable to find the specified registry' "$out" "$err"; then
    echo "<reg query failed with status $status>"
    rm -f "$out" "$err"
    return 1
  fi
  tr -d '\r' <"$out" | awk -F'    ' '/REG_SZ/ { print $4; exit }'
  rm -f "$out" "$err"
}

# Every program started so far has written its start log line: the stand-ins write and end at once,
# and the wine server lists a process from its creation on, before its starter hears of it.
starts_written() {
  ! wine tasklist 2>/dev/null | tr -d '\r' | grep -qiE '^(kvx|kvxh|uninstall)\.exe '
}

# Lines of the start log for an exe, once at least the expected count and all started are written.
started_count() { # exe-name [expected]
  wait_until 10 "$1 to be started ${2:-1} times and the start log to be complete" \
    started_at_least "$1" "${2:-1}" >&2
  logged_starts "$1"
}
logged_starts() { cat "$START_LOG" 2>/dev/null | grep -c "^$1|"; }
started_at_least() { [ "$(logged_starts "$1")" -ge "$2" ] && starts_written; }

# Nothing (or no such exe) is in the start log, once every program started so far has written
# its line.
nothing_started() { # [exe-name]
  [ "$(started_count "${1:-[^|]*}" 0)" -eq 0 ] ||
    { echo "  started: $(tr '\n' ' ' <"$START_LOG")"; return 1; }
}

# Waits until a command succeeds; after the timeout (seconds) says what did not happen and fails.
wait_until() { # seconds, what is awaited, then the command
  local t=$1 what=$2 i
  shift 2
  for ((i = 0; i < t * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  echo "  timed out after $t s waiting for $what"
  return 1
}

# Holds a file open without delete sharing, as a program running from it does, until release_held.
hold() { # Windows path
  rm -f "$DRIVE_C/release" "$DRIVE_C/held"
  wine 'C:\e2e\hold_file.exe' "$1" 'C:\release' 'C:\held' >/dev/null 2>&1 &
  HOLD_PID=$!
  wait_until 10 "hold_file.exe to hold $1" test -e "$DRIVE_C/held"
}
release_held() { touch "$DRIVE_C/release" && wait "$HOLD_PID"; }

# The file exists and is empty (test ! -s alone also passes on a missing file).
empty_file() { [ -f "$1" ] && [ ! -s "$1" ]; }

finish() {
  echo "$FAILURES failed"
  [ "$FAILURES" -eq 0 ]
}

# Sourced: Wine 10 from the tree scripts/wine10-tree.sh makes (wine, wineserver and wineboot on
# PATH), a 64-bit prefix template in which the 32-bit setup runs as it does on 64-bit Windows
# (WoW64), and a virtual screen for the tests.
# Sets CORVANE_WINE_TEMPLATE; corvane_start_xvfb starts Xvfb without a usable $DISPLAY.
CORVANE_ROOT=${CORVANE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
case ":$PATH:" in
  *":$CORVANE_ROOT/scripts/wine10/bin:"*) ;;
  *) export PATH="$CORVANE_ROOT/scripts/wine10/bin:$PATH" ;;
esac
# The build folder, when it lies outside the repository, is seen inside the tree too.
[ -n "${CORVANE_BINARY_DIR:-}" ] && export CORVANE_WINE10_BINDS="${CORVANE_WINE10_BINDS:+$CORVANE_WINE10_BINDS:}$CORVANE_BINARY_DIR"
export CORVANE_WINE_TEMPLATE=${CORVANE_WINE_TEMPLATE:-$CORVANE_ROOT/build/wine10-template}

# The program is a PE32 image for i386: the shipped setup is 32-bit, and a 64-bit build would run
# here too without a word. Prints what it ran for the log.
corvane_require_pe32() { # file [label]
  local f=$1 off sig machine
  off=$(od -An -tu4 -j60 -N4 "$f" 2>/dev/null | tr -d ' ')
  sig=$(od -An -tx1 -j"${off:-0}" -N4 "$f" 2>/dev/null | tr -d ' \n')
  machine=$(od -An -tx2 -j$((${off:-0} + 4)) -N2 "$f" 2>/dev/null | tr -d ' \n')
  if [ -z "$off" ] || [ "$sig" != 50450000 ] || [ "$machine" != 014c ]; then
    echo "FAIL - ${2:-$f} is not a 32-bit (PE32, i386) Windows program (PE signature ${sig:-none}, machine ${machine:-none})" >&2
    return 1
  fi
  echo "${2:-image}: $f (PE32 i386, $(stat -c %s "$f") bytes), under $(wine --version 2>/dev/null) in a $WINEARCH prefix"
}

corvane_make_template() {
  local want
  want="$(cat "${CORVANE_WINE10_TREE:-/opt/corvane-wine10}/.corvane-ready" 2>/dev/null) $WINEARCH"
  if [ "$(cat "$CORVANE_WINE_TEMPLATE/.ready" 2>/dev/null)" = "$want" ]; then return 0; fi
  mkdir -p "$(dirname "$CORVANE_WINE_TEMPLATE")"
  (
    flock 9
    if [ "$(cat "$CORVANE_WINE_TEMPLATE/.ready" 2>/dev/null)" != "$want" ]; then
      rm -rf "$CORVANE_WINE_TEMPLATE"
      echo "Creating the Wine prefix template in $CORVANE_WINE_TEMPLATE" >&2
      # No Mono or Gecko: the setup needs neither, and their installers would ask.
      WINEPREFIX=$CORVANE_WINE_TEMPLATE WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
      WINEPREFIX=$CORVANE_WINE_TEMPLATE wineserver -w
      [ -f "$CORVANE_WINE_TEMPLATE/system.reg" ] || { echo "wineboot made no prefix" >&2; exit 1; }
      echo "$want" >"$CORVANE_WINE_TEMPLATE/.ready"
    fi
  ) 9>"$(dirname "$CORVANE_WINE_TEMPLATE")/.wine-template.lock"
}

# A fresh prefix from the template: files are hard links (Wine only adds files to a prefix
# or replaces them by rename), the registry files are real copies.
corvane_copy_prefix() {
  local dest=$1
  rm -rf "$dest"
  cp -al "$CORVANE_WINE_TEMPLATE" "$dest"
  local f
  for f in system.reg user.reg userdef.reg; do
    rm -f "$dest/$f"; cp -p "$CORVANE_WINE_TEMPLATE/$f" "$dest/$f"
  done
}

corvane_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  # Xvfb picks a free display number itself and reports it (-displayfd): several test
  # programs started at once never end up sharing, and killing, one server.
  local numfile n
  numfile=$(mktemp)
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$numfile" >/dev/null 2>&1 &
  CORVANE_XVFB_PID=$!
  for _ in $(seq 100); do
    n=$(tr -dc '0-9' <"$numfile")
    if [ -n "$n" ]; then
      export DISPLAY=":$n"
      xdpyinfo >/dev/null 2>&1 && { rm -f "$numfile"; return 0; }
    fi
    sleep 0.1
  done
  rm -f "$numfile"
  kill "$CORVANE_XVFB_PID" 2>/dev/null || true
  echo "Could not start Xvfb" >&2
  return 1
}

corvane_stop_xvfb() {
  if [ -n "${CORVANE_XVFB_PID:-}" ]; then kill "$CORVANE_XVFB_PID" 2>/dev/null || true; fi
}

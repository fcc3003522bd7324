# Sourced: a 32-bit Wine prefix template and a virtual screen for the tests.
# Sets CORVANE_WINE_TEMPLATE and, without a usable $DISPLAY, starts Xvfb.
CORVANE_ROOT=${CORVANE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32
export CORVANE_WINE_TEMPLATE=${CORVANE_WINE_TEMPLATE:-$CORVANE_ROOT/build/wine-template}

corvane_make_template() {
  if [ -f "$CORVANE_WINE_TEMPLATE/.ready" ]; then return 0; fi
  mkdir -p "$(dirname "$CORVANE_WINE_TEMPLATE")"
  (
    flock 9
    if [ ! -f "$CORVANE_WINE_TEMPLATE/.ready" ]; then
      rm -rf "$CORVANE_WINE_TEMPLATE"
      mkdir -p "$(dirname "$CORVANE_WINE_TEMPLATE")"
      echo "Creating the Wine prefix template in $CORVANE_WINE_TEMPLATE" >&2
      # No Mono or Gecko: the setup needs neither, and their installers would ask.
      WINEPREFIX=$CORVANE_WINE_TEMPLATE WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
      WINEPREFIX=$CORVANE_WINE_TEMPLATE wineserver -w
      touch "$CORVANE_WINE_TEMPLATE/.ready"
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

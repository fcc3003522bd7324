# Sourced: a 32-bit Wine prefix template and a virtual screen for the tests.
# Sets CORVANE_WINE_TEMPLATE and, without a usable $DISPLAY, starts Xvfb.
CORVANE_ROOT=${CORVANE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDEBUG=${WINEDEBUG:--all}

# Some kernels refuse 32-bit Linux programs, and with them the 32-bit Wine; some mirrors cannot
# serve its i386 packages. There the Windows tests run a 64-bit build of the same sources (preset
# win64) under wine64 in a 64-bit prefix; the shipped setup stays the 32-bit build. The 32-bit Wine
# needs both a kernel that runs 32-bit programs and Debian's wine32 (its loader).
# CORVANE_WINE_ARCH=win32|win64 overrides the probe.
corvane_can_run_32bit() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ]
}
if [ -z "${CORVANE_WINE_ARCH:-}" ]; then
  if corvane_can_run_32bit; then CORVANE_WINE_ARCH=win32; else CORVANE_WINE_ARCH=win64; fi
fi
export CORVANE_WINE_ARCH
export WINEARCH=$CORVANE_WINE_ARCH
# The CMake preset whose programs run under this Wine.
export CORVANE_WINE_PRESET=$CORVANE_WINE_ARCH
if [ "$CORVANE_WINE_ARCH" = win64 ]; then
  export CORVANE_WINE_TEMPLATE=${CORVANE_WINE_TEMPLATE:-$CORVANE_ROOT/build/wine-template-win64}
  # Debian's wine and wineboot scripts always pick the 32-bit loader when it is installed.
  corvane_shim=$CORVANE_ROOT/build/wine64-shim
  if [ ! -x "$corvane_shim/wine" ]; then
    mkdir -p "$corvane_shim"
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
      >"$corvane_shim/wine.tmp.$$"
    chmod +x "$corvane_shim/wine.tmp.$$"
    cp -f "$corvane_shim/wine.tmp.$$" "$corvane_shim/wine-stable.tmp.$$"
    mv -f "$corvane_shim/wine-stable.tmp.$$" "$corvane_shim/wine-stable"
    mv -f "$corvane_shim/wine.tmp.$$" "$corvane_shim/wine"
  fi
  case ":$PATH:" in *":$corvane_shim:"*) ;; *) export PATH="$corvane_shim:$PATH" ;; esac
else
  export CORVANE_WINE_TEMPLATE=${CORVANE_WINE_TEMPLATE:-$CORVANE_ROOT/build/wine-template}
fi

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

#!/usr/bin/env bash
# The shipped programs are built without exceptions, so none may carry libstdc++'s exception
# runtime: its verbose terminate handler, the exception classes' type information (which comes
# with __cxa_throw and the personality routine) or the DWARF unwinder's frame tables. Whatever
# pulls one in (a throwing new, make_shared, a library path that throws) pulls in all three.
#   check_runtime.sh [--reject EXE]... EXE...
# Each EXE must be free of it; each --reject EXE must carry it, which shows that the check can fail.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/image_checks.sh"
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
# The C runtime's objects bring 2.5 to 6 KB of frame tables of their own (its printf the most);
# the unwinder and the exception runtime bring 15 KB and more.
EH_FRAME_MOST=8192

# What of the runtime $1 carries.
offending() {
  local headers text size
  headers=$("$OBJDUMP" -h "$1") || return 2
  grep -q '\.text' <<<"$headers" || return 2
  text=$(strings -a "$1") || return 2
  grep -q 'terminate called after throwing' <<<"$text" && echo "verbose-terminate-handler"
  grep -qE '^(St9exception|St13bad_exception|N10__cxxabiv1)' <<<"$text" && echo "exception-type-info"
  size=$(awk '$2 ~ /^\.eh_fram/ { print $3; exit }' <<<"$headers")
  if [ -n "$size" ] && [ $((16#$size)) -gt $EH_FRAME_MOST ]; then
    echo "unwind-tables-$((16#$size))-bytes"
  fi
  return 0
}

run_image_checks "carries no exception runtime" "$@"

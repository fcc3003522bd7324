#!/usr/bin/env bash
# Every DLL that a program imports statically must be one that Windows treats as a KnownDLL (or
# ntdll): those are always mapped from the system, never searched for in the program's folder.
#   check_imports.sh [--reject EXE]... EXE...
# Each EXE must pass; each --reject EXE must fail, which shows that the check can fail at all.
set -uo pipefail

# KnownDLLs present on every supported Windows version (7 through 11).
KNOWN="advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi
ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32"
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}

# Prints the imports of $1 that are not known, one per line; fails when it cannot read them.
unknown_imports() {
  local dump names name
  dump=$("$OBJDUMP" -p "$1") || return 2
  names=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$dump")
  [ -n "$names" ] || { echo "no import table read from $1" >&2; return 2; }
  for name in $names; do
    grep -qw -- "${name%.dll}" <<<"$KNOWN" || echo "$name"
  done
}

failures=0
while [ $# -gt 0 ]; do
  expect=pass
  if [ "$1" = --reject ]; then expect=reject; shift; fi
  exe=$1
  shift
  bad=$(unknown_imports "$exe")
  status=$?
  if [ $status -eq 2 ]; then
    echo "FAIL - cannot read the imports of $exe"
    failures=$((failures + 1))
  elif [ "$expect" = pass ] && [ -z "$bad" ]; then
    echo "ok   - $(basename "$exe") imports only KnownDLLs"
  elif [ "$expect" = reject ] && [ -n "$bad" ]; then
    echo "ok   - $(basename "$exe") rejected for: $(tr '\n' ' ' <<<"$bad")"
  else
    echo "FAIL - $(basename "$exe"): expected $expect, unknown imports: $(tr '\n' ' ' <<<"$bad")"
    failures=$((failures + 1))
  fi
done
echo "$failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Every DLL that a program imports statically must be one that Windows treats as a KnownDLL (or
# ntdll): those are always mapped from the system, never searched for in the program's folder.
#   check_imports.sh [--reject EXE]... EXE...
# Each EXE must pass; each --reject EXE must fail, which shows that the check can fail at all.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/image_checks.sh"

# KnownDLLs present on every supported Windows version (7 through 11).
KNOWN="advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi
ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32"
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}

# The imports of $1 that are not known.
offending() {
  local dump names name
  dump=$("$OBJDUMP" -p "$1") || return 2
  names=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$dump")
  [ -n "$names" ] || { echo "no import table read from $1" >&2; return 2; }
  for name in $names; do
    grep -qw -- "${name%.dll}" <<<"$KNOWN" || echo "$name"
  done
}

run_image_checks "imports only KnownDLLs" "$@"

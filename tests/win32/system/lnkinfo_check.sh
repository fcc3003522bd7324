#!/usr/bin/env bash
# Reads the shortcuts that the Windows test program writes with an independent .lnk reader.
# Usage: lnkinfo_check.sh path/to/win32_system_tests.exe
set -uo pipefail
exe=$1
out=$(mktemp -d /tmp/corvane-lnk.XXXXXX)
trap 'rm -rf "$out"' EXIT
# Z: is the root of the host's file system in every Wine prefix.
CORVANE_LINK_OUT="Z:${out//\//\\}" "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/wine-run.sh" \
  "$exe" --gtest_filter='*ShortcutsForAnOutsideReader*' >"$out/run.log" 2>&1
failed=0
check() { # file pattern expected(yes/no)
  if grep -qF -- "$2" "$out/$1.txt"; then found=yes; else found=no; fi
  if [ "$found" != "$3" ]; then
    echo "FAIL: $1.lnk: '$2' expected present=$3"; failed=1
  fi
}
for f in plain args; do
  if [ ! -s "$out/$f.lnk" ]; then echo "FAIL: $f.lnk not written"; cat "$out/run.log"; exit 1; fi
  lnkinfo "$out/$f.lnk" >"$out/$f.txt" 2>&1 || { echo "FAIL: lnkinfo $f.lnk"; cat "$out/$f.txt"; exit 1; }
  check "$f" $'Local path\t\t\t: C:\\Program Files\\Café Mañana\\kvx.exe' yes
  check "$f" $'Description\t\t\t: Search and compare file utility' yes
done
check plain 'Command line arguments' no
check args $'Command line arguments\t\t: /quiet "C:\\some file.txt"' yes
[ $failed -eq 0 ] && echo "lnkinfo: both shortcuts as expected"
exit $failed

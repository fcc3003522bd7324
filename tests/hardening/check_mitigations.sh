#!/usr/bin/env bash
# The exploit mitigations a reviewer of an i686 installer looks for, read from the image itself:
# ASLR (DYNAMIC_BASE with a relocation table), DEP (NX_COMPAT), no SE handlers (NO_SEH) and
# stack canaries.
#   check_mitigations.sh [--reject EXE]... EXE...
# Each EXE must have every mitigation; each --reject EXE must lack every one, which shows that
# each check can fail.
set -uo pipefail
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}

# Prints the names of the mitigations that $1 has, one per line; fails when it cannot be read.
present() {
  local headers dis flags
  headers=$("$OBJDUMP" -p "$1") || return 2
  flags=$(awk '/^DllCharacteristics/ { print $2; exit }' <<<"$headers")
  [ -n "$flags" ] || return 2
  flags=$((16#$flags))
  # The loader can move the image only if it carries its relocations.
  if ((flags & 0x40)) && grep -qE '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation' <<<"$headers"; then
    echo aslr
  fi
  ((flags & 0x100)) && echo dep
  ((flags & 0x400)) && echo no-seh
  # Canaries: functions compare a saved copy with one guard word before returning, so the same
  # absolute address is the operand of many `sub`/`xor`/`cmp` against a register.
  dis=$("$OBJDUMP" -d "$1") || return 2
  local most
  most=$(grep -oE '(sub|xor|cmp) +0x[0-9a-f]+,%e[a-z]+' <<<"$dis" | awk '{ sub(/,.*/, "", $2); print $2 }' |
    sort | uniq -c | sort -rn | awk 'NR == 1 { print $1 }')
  [ "${most:-0}" -ge 20 ] && echo canaries
  return 0
}

ALL="aslr dep no-seh canaries"
failures=0
while [ $# -gt 0 ]; do
  expect=pass
  if [ "$1" = --reject ]; then expect=reject; shift; fi
  exe=$1
  shift
  have=$(present "$exe")
  if [ $? -eq 2 ]; then
    echo "FAIL - cannot read the headers of $exe"
    failures=$((failures + 1))
    continue
  fi
  for m in $ALL; do
    if grep -qx "$m" <<<"$have"; then found=yes; else found=no; fi
    if [ "$expect" = pass ] && [ $found = yes ]; then
      echo "ok   - $(basename "$exe") has $m"
    elif [ "$expect" = reject ] && [ $found = no ]; then
      echo "ok   - $(basename "$exe") rejected: no $m"
    else
      echo "FAIL - $(basename "$exe"): $m expected $([ "$expect" = pass ] && echo present || echo absent)"
      failures=$((failures + 1))
    fi
  done
done
echo "$failures failed"
[ "$failures" -eq 0 ]

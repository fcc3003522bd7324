#!/bin/sh
# Makes a damaged copy of a payload: "record7" spoils the header of the record at position 7
# (it no longer names compression mode 'A', so it cannot be expanded); "short" keeps the first
# five records and puts the terminator after them.
set -eu
in=$1 out=$2 kind=$3
# Offset of the length field of the record at position $1.
record_offset() {
  off=0 i=0
  while [ "$i" -lt "$1" ]; do
    len=$(od -An -tu4 -j "$off" -N 4 "$in" | tr -d ' ')
    [ -n "$len" ] && [ "$len" -gt 0 ] || { echo "payload has fewer than $1 records" >&2; exit 1; }
    off=$((off + 4 + len)) i=$((i + 1))
  done
  echo "$off"
}
case $kind in
  record7)
    cp "$in" "$out"
    printf 'B' | dd of="$out" bs=1 seek=$(($(record_offset 7) + 8)) conv=notrunc status=none ;;
  short)
    head -c "$(record_offset 5)" "$in" >"$out"
    printf '\0\0\0\0' >>"$out" ;;
  *) echo "unknown kind $kind" >&2; exit 2 ;;
esac

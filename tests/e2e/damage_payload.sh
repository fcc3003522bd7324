#!/bin/sh
# Makes a damaged copy of a payload: "record7" spoils the header of the record at position 7
# (it no longer names compression mode 'A', so it cannot be expanded); "short" keeps the first
# five records and puts the terminator after them. One byte changed, each of which still
# expands: "literal" in the first literal of record 3, "control" in its first control byte,
# "digest" in the digest block (the last record's digest).
# With a fourth argument, a built setup that carries the payload, OUT is a copy of that setup
# with the one byte changed in its payload resource (literal, control and digest only).
set -eu
in=$1 out=$2 kind=$3 setup=${4:-}
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
byte_at() { od -An -tu1 -j "$2" -N 1 "$1" | tr -d ' '; }
# Writes byte value $3 at offset $2 of file $1.
put_byte() { printf "\\$(printf %o "$3")" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
# Where the payload lies inside the setup: the first place its bytes start, checked whole.
payload_base() {
  head=$(head -c 64 "$in" | od -An -v -tx1 | tr -d ' \n')
  at=$(od -An -v -tx1 "$setup" | tr -d ' \n' | awk -v p="$head" '{ i = index($0, p); print i }')
  [ "$at" -gt 0 ] && [ $(((at - 1) % 2)) -eq 0 ] || { echo "payload not found in $setup" >&2; exit 1; }
  base=$(((at - 1) / 2))
  tail -c +$((base + 1)) "$setup" | head -c "$(stat -c %s "$in")" | cmp -s - "$in" ||
    { echo "payload not whole in $setup" >&2; exit 1; }
  echo "$base"
}
case $kind in
  record7)
    cp "$in" "$out"
    printf 'B' | dd of="$out" bs=1 seek=$(($(record_offset 7) + 8)) conv=notrunc status=none ;;
  short)
    head -c "$(record_offset 5)" "$in" >"$out"
    printf '\0\0\0\0' >>"$out" ;;
  literal|control|digest)
    # Record 3's body: "SZDD" without its first four bytes, mode, missing character, length
    # (10 bytes), then its first control byte and first item.
    control=$(($(record_offset 3) + 4 + 10))
    [ $(($(byte_at "$in" "$control") & 1)) -eq 1 ] || { echo "record 3 starts with no literal" >&2; exit 1; }
    case $kind in
      literal) at=$((control + 1)) ;;
      control) at=$control ;;
      digest) at=$(($(stat -c %s "$in") - 1)) ;;
    esac
    value=$(($(byte_at "$in" "$at") ^ 1))
    if [ -n "$setup" ]; then
      at=$((at + $(payload_base)))
      cp "$setup" "$out"
    else
      cp "$in" "$out"
    fi
    put_byte "$out" "$at" "$value" ;;
  *) echo "unknown kind $kind" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# The setup's resources as an independent reader (wrestool) sees them: manifest, version record,
# dialog 102, icons 128 and 177, and RCDATA 129 identical with the packed payload.
set -uo pipefail
exe=${CORVANE_BINARY_DIR:?}/CorvaneSetup.exe
FAILURES=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; FAILURES=$((FAILURES + 1)); fi
}
listing=$(wrestool -l "$exe")
for r in "type=5 --name=102" "type=14 --name=128" "type=14 --name=177" "type=10 --name=129" \
  "type=16 --name=1" "type=24 --name=1"; do
  check "resource $r present" grep -q -- "--$r " <<<"$listing"
done

manifest=$(wrestool -x -t 24 -n 1 --raw "$exe")
for want in 'level="requireAdministrator"' 'uiAccess="false"' \
  'supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"' 'name="Setup"' 'version="6.0.0.0"' \
  'processorArchitecture="X86"' 'type="win32"' '<description>Hexadecimal programmer tools</description>'; do
  check "manifest has $want" grep -qF "$want" <<<"$manifest"
done

check "RCDATA 129 is the payload" cmp -s <(wrestool -x -t 10 -n 129 --raw "$exe") \
  "$CORVANE_BINARY_DIR/payload/payload.bin"

# The version record: fixed part and the 040904B0 strings.
version=$(wrestool -x -t 16 -n 1 --raw "$exe" | python3 -c '
import struct, sys
data = sys.stdin.buffer.read()
i = data.find(struct.pack("<I", 0xFEEF04BD))
sig, sv, fvms, fvls, pvms, pvls, mask, flags, os_, ftype, sub = struct.unpack_from("<11I", data, i)
print("fixed", hex(fvms), hex(fvls), hex(pvms), hex(pvls), flags & mask, hex(os_), ftype)
text = data.decode("utf-16-le", "replace")
for name in ("Comments", "FileDescription", "FileVersion", "InternalName", "ProductName",
             "ProductVersion", "SpecialBuild", "CompanyName", "OriginalFilename"):
    j = text.find(name + "\0")
    k = j + len(name) + 1
    while text[k] == "\0": k += 1
    print(name + "=" + text[k:text.find("\0", k)])
print("block040904B0", "040904B0" in text)
')
want_lines=(
  "fixed 0x60000 0x0 0x60000 0x0 32 0x4 1"
  "Comments=Pentium- Windows XP Vista Windows 7"
  "FileDescription=Self extracting compressed file of Corvane"
  "FileVersion=6, 1, 0, 0"
  "InternalName=Corvane Setup"
  "ProductName=Setup Application"
  "ProductVersion=6, 1, 0, 0"
  "SpecialBuild=0"
  "CompanyName=Tamarind Software"
  "OriginalFilename=CorvaneSetup.exe"
  "block040904B0 True")
for line in "${want_lines[@]}"; do
  check "version record: $line" grep -qxF "$line" <<<"$version"
done
echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]

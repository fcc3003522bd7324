#!/usr/bin/env bash
# The elevated programs (the setup and the uninstaller) create, rename, link and delete files
# and folders relative to folders they hold, never by a path walked again. Every call that still
# takes a path is in the table of docs/security.md with the reason it is safe; this check fails
# on a call that is not in it, and on a row whose call is gone (the table stays true).
#   check_by_path.sh [SRC_DIR]
# It also runs itself once on a copy of the sources with one more such call, which must fail.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
src=${1:-$here/../../src}
list=${BY_PATH_LIST:-$here/../../docs/security.md}
calls='CreateFileW|CreateDirectoryW|CreateDirectoryExW|MoveFileExW|MoveFileW|DeleteFileW|RemoveDirectoryW|CreateHardLinkW|CopyFileW|CopyFileExW|ReplaceFileW|SetFileSecurityW|SetNamedSecurityInfoW|SHFileOperationW'

# "file call count" for every by-path call in the sources of the elevated programs.
found() {
  (cd "$1" && grep -rnoE "\\b($calls)\\s*\\(" app payload system uninstall 2>/dev/null) |
    sed -E 's/^([^:]+):[0-9]+:([A-Za-z]+).*/\1 \2/' | sort | uniq -c | awk '{ print $2, $3, $1 }'
}
# The table's rows: "| `file` | `call` | count | reason |".
listed() {
  sed -n '/<!-- by-path calls/,/<!-- end of by-path calls/p' "$list" | grep '^| `' |
    awk -F'|' '{ gsub(/[` ]/, "", $2); gsub(/[` ]/, "", $3); gsub(/ /, "", $4); print $2, $3, $4 }' | sort
}

check() {
  local diff
  diff=$(diff <(listed) <(found "$1" | sort))
  if [ -n "$diff" ]; then
    echo "by-path calls differ from $list (< listed only, > found only):"
    echo "$diff"
    return 1
  fi
}

[ -n "$(listed)" ] || { echo "FAIL - no table of by-path calls in $list"; exit 1; }
check "$src" || { echo "FAIL - by-path file calls"; exit 1; }
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$src"/. "$copy"/
echo 'void Planted() { DeleteFileW(L"x"); }' >>"$copy/payload/extract.cpp"
if check "$copy" >/dev/null; then
  echo "FAIL - the check passed sources with an unlisted DeleteFileW"
  exit 1
fi
echo "PASS - every by-path file call of the elevated programs is listed with its reason ($(listed | wc -l) places)"

#!/usr/bin/env bash
# Two builds of the setup from copies of this tree at two different paths, one after the other,
# give the same bytes: PE time stamp from the commit, no build paths, fixed resources and payload.
set -uo pipefail
src=${CORVANE_SOURCE_DIR:?the source tree}
work=${1:?a scratch folder}
preset=${2:-win32}
unset SOURCE_DATE_EPOCH
rm -rf "$work"
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}
eq() { [ "$1" = "$2" ] || { echo "  got '$1', expected '$2'"; return 1; }; }
fails() { ! "$@"; }

# The tree as checked out, with its uncommitted changes, and its history for the commit's time.
commit_time=$(git -C "$src" log -1 --format=%ct) || { echo "FAIL - not a git checkout"; exit 1; }
git_dir=$(git -C "$src" rev-parse --absolute-git-dir)
copies=("$work/one/corvane" "$work/second-copy/x/corvane")
for dir in "${copies[@]}"; do
  mkdir -p "$dir"
  (cd "$src" && git ls-files -z -co --exclude-standard | tar --null -T - -c) | tar -x -C "$dir"
  ln -s "$git_dir" "$dir/.git"
  start=$(date +%s)
  if ! (cd "$dir" && cmake --preset "$preset" && cmake --build --preset "$preset" --target CorvaneSetup) \
    >"$dir.log" 2>&1; then
    tail -n 40 "$dir.log"
    echo "FAIL - build in $dir"
    exit 1
  fi
  echo "built in $dir in $(($(date +%s) - start)) s"
  sleep 1 # the next build starts at a later second
done

a=${copies[0]}/build/$preset/CorvaneSetup.exe b=${copies[1]}/build/$preset/CorvaneSetup.exe
check "same SHA-256" eq "$(sha256sum <"$a")" "$(sha256sum <"$b")"
pe=$((0x$(od -An -tx4 -j 60 -N 4 "$a" | tr -d ' ')))
check "the PE time stamp is the commit's time" \
  eq "$(od -An -tu4 -j $((pe + 8)) -N 4 "$a" | tr -d ' ')" "$commit_time"
for dir in "${copies[@]}"; do
  check "no build path in the setup ($dir)" fails grep -qaF "$(dirname "$dir")" "$a" "$b"
done
[ "$failures" -eq 0 ] && rm -rf "$work"
echo "$failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Runs the README's line for packing one's own product exactly as written, with the generator
# the presets name, in a clean copy of this tree (so a clean build directory), on a product
# folder made from the sample product's eleven files, which the win32 build has made already.
# The setup it makes must equal the win32 build's own: same commit, same product files.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
line=$(grep -m 1 -F -- '-DCORVANE_PRODUCT_DIR=/path/to/files' README.md | sed 's/^ *//')
[ -n "$line" ] || { echo "the README has no maker line"; exit 1; }
files=$root/build/win32/payload/payload.files
[ -f "$files" ] || { echo "build the win32 preset first"; exit 1; }
tmp=$(mktemp -d /tmp/corvane-maker.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/product" "$tmp/tree"
xargs -d '\n' cp -t "$tmp/product" <"$files" || exit 1
git ls-files -z -co --exclude-standard | tar --null -T - -c | tar -x -C "$tmp/tree"
[ -e .git ] && ln -s "$(git rev-parse --absolute-git-dir)" "$tmp/tree/.git"
echo "$line"
if ! (cd "$tmp/tree" && bash -c "${line//\/path\/to\/files/$tmp/product}") >"$tmp/log" 2>&1; then
  tail -n 60 "$tmp/log"
  echo "the maker line failed"
  exit 1
fi
cmp "$tmp/tree/build/win32/CorvaneSetup.exe" "$root/build/win32/CorvaneSetup.exe" || exit 1
echo "the maker line built a setup equal to build/win32/CorvaneSetup.exe"

#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only the missing ones).
set -euo pipefail
packages=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 wine64 xvfb xdotool imagemagick
  mscompress libmspack-dev liblnk-utils icoutils clang libclang-rt-14-dev osslsigncode binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 openssl git)
if [ "${1:-}" = "--list" ]; then printf '%s\n' "${packages[@]}"; exit 0; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails the update now and then: try again, then go on with
# the lists there are (the install below still fails on a package it cannot find).
for attempt in 1 2 3 4; do
  apt-get update -qq && break
  [ "$attempt" -lt 4 ] && sleep $((attempt * 15)) || true
done
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only the missing ones).
# The 32-bit Wine (wine32:i386) is wanted, not needed: where it cannot be installed (a kernel
# without 32-bit support, or i386 lists a mirror cannot serve), the Windows tests run the 64-bit
# build under wine64 instead (scripts/wine-env.sh picks it), so its failure is reported, not fatal.
set -euo pipefail
packages=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 mingw-w64-tools wine wine64 x11-utils xvfb xdotool imagemagick
  mscompress libmspack-dev liblnk-utils icoutils clang libclang-rt-14-dev osslsigncode binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 openssl git)
wanted=(wine32:i386)
if [ "${1:-}" = "--list" ]; then printf '%s\n' "${packages[@]}" "${wanted[@]}"; exit 0; fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=() missing_wanted=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${wanted[@]}"; do installed "$p" || missing_wanted+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_wanted[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]} ${missing_wanted[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails the update now and then: try again, then go on with
# the lists there are (the install below still fails on a package it cannot find).
# Only for a missing wanted package, one try is enough.
attempts=1
[ ${#missing[@]} -eq 0 ] || attempts=4
for attempt in $(seq "$attempts"); do
  apt-get update -qq && break
  [ "$attempt" -lt "$attempts" ] && sleep $((attempt * 15)) || true
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ ${#missing_wanted[@]} -gt 0 ] &&
  ! apt-get install -y -qq --no-install-recommends "${missing_wanted[@]}" >/dev/null; then
  echo "Could not install ${missing_wanted[*]}: the Windows tests will run the 64-bit build under wine64" >&2
fi
exit 0

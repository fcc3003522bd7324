#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only the missing ones), then
# makes the Wine 10 tree the Windows programs run in (scripts/wine10-tree.sh; once per machine).
set -euo pipefail
packages=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 mingw-w64-tools x11-utils xvfb xdotool imagemagick debootstrap
  mscompress libmspack-dev liblnk-utils icoutils clang libclang-rt-14-dev osslsigncode binutils-mingw-w64-i686
  openssl git)
if [ "${1:-}" = "--list" ]; then printf '%s\n' "${packages[@]}"; exit 0; fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Another apt run may hold dpkg's lock: wait for it rather than fail.
  lock=(-o DPkg::Lock::Timeout=900)
  # A mirror in the middle of a sync fails the update now and then: try again, then go on with
  # the lists there are (the install below still fails on a package it cannot find).
  for attempt in 1 2 3 4; do
    apt-get "${lock[@]}" update -qq && break
    [ "$attempt" -lt 4 ] && sleep $((attempt * 15)) || true
  done
  apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
bash "$(dirname "${BASH_SOURCE[0]}")/wine10-tree.sh"

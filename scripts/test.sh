#!/usr/bin/env bash
# Builds everything and runs every test: host unit tests (plain and with ASan+UBSan),
# Win32 tests and end-to-end scenarios of the shipped 32-bit build under Wine 10 (WoW64, see
# scripts/wine-env.sh), short fuzz runs.
# Ends with one line "N passed, M failed" and a non-zero exit status on any failure.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
CORVANE_ROOT=$PWD
bash scripts/deps.sh || exit 1
source scripts/wine-env.sh
jobs=$(nproc)
passed=0 failed=0 broken=()
log=$(mktemp)

suite() { # name preset [ctest arguments]
  local name=$1 preset=$2
  shift 2
  echo "=== $name: configure and build"
  if ! cmake --preset "$preset" -G Ninja >"$log" 2>&1 || ! cmake --build --preset "$preset" -j "$jobs" >>"$log" 2>&1; then
    tail -n 60 "$log"; broken+=("$name (build)"); failed=$((failed + 1)); return
  fi
  echo "=== $name: tests"
  ctest --preset "$preset" -j "${CTEST_JOBS:-$jobs}" --timeout 900 "$@" 2>&1 | tee "$log"
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then broken+=("$name (no result)"); failed=$((failed + 1)); return; fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + t - f)); failed=$((failed + f))
  [ "$f" -eq 0 ] || broken+=("$name")
  # Fewer tests run than the suite defines is a failure too: than ctest lists, and for the Wine
  # suite than there are scenario scripts (they vanish when the setup is not built).
  local listed defined script
  listed=$(ctest --preset "$preset" -N "$@")
  defined=$(sed -nE 's/^Total Tests: ([0-9]+)$/\1/p' <<<"$listed")
  if [ "$preset" = win32 ]; then
    for script in tests/e2e/scenarios/*.sh tests/hardening/scenarios/*.sh; do
      grep -qE " (e2e|hardening)_$(basename "$script" .sh)\$" <<<"$listed" || defined=$((defined + 1))
    done
  fi
  if [ "${defined:-0}" -ne "$t" ]; then
    broken+=("$name (ran $t of ${defined:-?} tests)"); failed=$((failed + 1))
  fi
}

suite "host" host
suite "host (ASan+UBSan)" host-asan
corvane_make_template || { broken+=("Wine prefix template"); failed=$((failed + 1)); }
corvane_start_xvfb
echo "=== The Windows tests run the shipped 32-bit build (build/win32) under $(wine --version) in a 64-bit prefix (WoW64)"
CTEST_JOBS=${CTEST_JOBS:-2} suite "win32 under Wine" win32
corvane_stop_xvfb
echo "=== the README's maker line"
if bash scripts/maker-line.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); broken+=("maker line"); fi
if [ -x scripts/fuzz-short.sh ]; then
  echo "=== fuzz: short runs"
  if bash scripts/fuzz-short.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); broken+=("fuzz"); fi
fi
rm -f "$log"

[ ${#broken[@]} -eq 0 ] || printf 'Failing: %s\n' "${broken[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

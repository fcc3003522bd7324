#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each one for a short while,
# starting from the committed seed corpus in fuzz/corpus/<target>/.
# FUZZ_SECONDS sets the time per target (default 45). Exits non-zero on any finding.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${FUZZ_SECONDS:-45}
dir=build/fuzz
if ! CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ=ON >/dev/null ||
   ! cmake --build "$dir" -j "$(nproc)" >"$dir.log" 2>&1; then
  tail -n 40 "$dir.log"; echo "fuzz build failed"; exit 1
fi
status=0
for exe in "$dir"/fuzz/*_fuzzer; do
  name=$(basename "$exe")
  work=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/"
  if "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$dir/$name-" "$work" >"$dir/$name.log" 2>&1; then
    echo "$name: $(grep -E 'stat::number_of_executed_units' "$dir/$name.log" | awk '{print $2}') runs, no finding"
  else
    echo "$name: FINDING"; tail -n 30 "$dir/$name.log"; status=1
  fi
  rm -rf "$work"
done
exit $status

#!/usr/bin/env bash
# Codec benchmark: builds szdd_bench and mkpayload in Release, gathers a corpus from files on
# this machine (three 32-bit Windows PE files of Wine near the product's program sizes and about
# 10 MB of text standing in for the help file) and prints, in one run, our sizes and times
# next to mscompress, msexpand and libmspack. The corpus is not kept in git. Then builds the
# shipped setup (preset win32) and prints its size without the payload (goal: at most 120 KB),
# and times its /S install of the sample product under Wine with the payload's digests and
# without them (a setup built from `mkpayload pack --no-digests`; goal: at most 10% slower).
#   CORVANE_BENCH_RUNS=N  runs per measurement (median; default 5)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${CORVANE_BENCH_BUILD:-$root/build/bench}
corpus=$root/bench/corpus
runs=${CORVANE_BENCH_RUNS:-5}

bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target szdd_bench mkpayload -j2 >/dev/null

# The 32-bit PE file of the Wine 10 tree (scripts/wine10-tree.sh) whose size is closest to the
# target size.
pe_dirs=("${CORVANE_WINE10_TREE:-/opt/corvane-wine10}/usr/lib/x86_64-linux-gnu/wine/i386-windows")
closest_pe() {
  find "${pe_dirs[@]}" -type f \( -name '*.dll' -o -name '*.exe' \) \
    -printf '%s %p\n' 2>/dev/null |
    awk -v t="$1" '{ d = $1 - t; if (d < 0) d = -d; if (best == "" || d < bd) { bd = d; best = $2 } }
                   END { print best }'
}

mkdir -p "$corpus"
if [ ! -s "$corpus/help.txt" ]; then
  # Mixed text: licences, package copyright notes and manual pages, cut to the help file's size.
  {
    cat /usr/share/common-licenses/* 2>/dev/null
    find /usr/share/doc -name copyright -type f -print0 2>/dev/null | sort -z | xargs -0 cat
    find /usr/share/man/man1 /usr/share/man/man3 /usr/share/man/man8 -name '*.gz' -type f \
      -print0 2>/dev/null | sort -z | xargs -0 zcat 2>/dev/null
  } 2>/dev/null | head -c 10276283 >"$corpus/help.txt" || true
fi
n=0
for size in 2973696 344064 151552; do
  n=$((n + 1))
  pe=$(closest_pe "$size")
  [ -n "$pe" ] || { echo "no Wine PE files found in ${pe_dirs[*]} (scripts/deps.sh makes them)" >&2; exit 1; }
  cp "$pe" "$corpus/prog$n-$(basename "$pe")"
done

files=("$corpus"/prog1-* "$corpus"/prog2-* "$corpus"/prog3-* "$corpus/help.txt")
echo "Corpus ($(cat "${files[@]}" | wc -c) bytes):"
for f in "${files[@]}"; do printf '  %10d  %s\n' "$(stat -c %s "$f")" "$(basename "$f")"; done
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo
"$build/bench/szdd_bench" --runs "$runs" --mkpayload "$build/tools/mkpayload/mkpayload" "${files[@]}"

# The setup as shipped, less its payload (RCDATA 129, the packed payload.bin as it is): code,
# dialogs, icons, manifest and version record.
(cd "$root" && cmake --preset win32 >/dev/null &&
  cmake --build --preset win32 --target CorvaneSetup CorvaneSetup_nodigest -j2 >/dev/null)
setup=$root/build/win32/CorvaneSetup.exe
total=$(stat -c %s "$setup")
payload=$(stat -c %s "$root/build/win32/payload/payload.bin")
section() {
  local hex
  hex=$(i686-w64-mingw32-objdump -h "$setup" | awk -v n="$1" '$2 == n { print $3; exit }')
  echo $((16#${hex:-0}))
}
echo
echo "Setup $setup: $total bytes, payload $payload bytes"
awk -v n=$((total - payload)) -v t="$(section .text)" -v e="$(section .eh_fram)" 'BEGIN {
  printf "Setup without its payload: %d bytes (%.1f KB; goal at most 120 KB: %s); .text %d, .eh_frame %d\n",
         n, n / 1024, n <= 120 * 1024 ? "met" : "not met", t, e }'

# The whole /S install of the sample product under Wine 10 (WoW64), over the previous one, in
# one prefix whose wine server stays up: with the digests checked, and from a payload without
# them. The two alternate, after one run of each to warm the caches.
source "$root/scripts/wine-env.sh"
corvane_make_template >/dev/null
unset DISPLAY
corvane_start_xvfb
prefix=$(mktemp -d /tmp/corvane-bench.XXXXXX)
corvane_copy_prefix "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
trap 'wineserver -k >/dev/null 2>&1; corvane_stop_xvfb; rm -rf "$prefix"' EXIT
mkdir -p "$prefix/drive_c/bench"
cp "$setup" "$prefix/drive_c/bench/with.exe"
cp "$root/build/win32/e2e/CorvaneSetup_nodigest.exe" "$prefix/drive_c/bench/without.exe"
wineserver -p >/dev/null 2>&1
install_seconds() { # exe name
  local start end status
  for _ in 1 2; do
    start=$(date +%s.%N)
    wine "C:\\bench\\$1.exe" /S >/dev/null 2>&1
    status=$?
    end=$(date +%s.%N)
    [ "$status" -eq 0 ] && break
    # Seen once on a loaded machine, on the first start in a fresh prefix: tried once more.
    echo "$1.exe /S ended with $status; once more" >&2
  done
  [ "$status" -eq 0 ] || { echo "$1.exe /S failed" >&2; exit 1; }
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
install_seconds with >/dev/null
install_seconds without >/dev/null
with=() without=()
for ((r = 0; r < runs; r++)); do
  with+=("$(install_seconds with)")
  without+=("$(install_seconds without)")
done
w=$(printf '%s\n' "${with[@]}" | median)
wo=$(printf '%s\n' "${without[@]}" | median)
echo
echo "/S install of the sample product under Wine, median of $runs (runs: with ${with[*]}; without ${without[*]})"
awk -v w="$w" -v wo="$wo" 'BEGIN {
  printf "  with digests checked  %.3f s\n  without digests       %.3f s\n", w, wo
  printf "  verification costs %+.1f%% (goal at most 10%%: %s)\n", 100 * (w / wo - 1),
         w <= 1.10 * wo ? "met" : "not met" }'

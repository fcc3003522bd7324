#!/usr/bin/env bash
# Another process of the same user keeps overwriting every file in the work folder, and keeps
# replacing prog.tmp there, with an SZDD file of its own while the setup installs. None of its
# bytes are installed: every file equals the product.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
copy_setup swap_work.exe
MARKER=SWAPPED-IN-BY-ANOTHER-PROCESS

mkdir -p "$WORK_DIR"
work_win='C:'$(sed "s|^$DRIVE_C||; s|/|\\\\|g" <<<"$WORK_DIR")
wine 'C:\e2e\swap_work.exe' "$work_win" 'C:\swap.stop' 'C:\swap.log' >/dev/null 2>&1 &
ATTACKER=$!
# It writes its log first, then its first prog.tmp.
for ((i = 0; i < 100; i++)); do [ -e "$DRIVE_C/swap.log" ] && [ -e "$WORK_DIR/prog.tmp" ] && break; sleep 0.1; done
check "the attacker runs" test -e "$DRIVE_C/swap.log"
check "it changes the work folder" test -e "$WORK_DIR/prog.tmp"

start_setup
check "installs" install_now
touch "$DRIVE_C/swap.stop"
wait "$ATTACKER"
check "the attacker changed files during the install" test "$(cat "$DRIVE_C/swap.log")" -gt 0
mapfile -t product <"$CORVANE_BINARY_DIR/payload/payload.files"
check "eleven product files known" eq "${#product[@]}" 11
for i in "${!product[@]}"; do
  name=$(basename "${product[$i]}")
  if [ "$i" -lt 3 ]; then target="$INSTALL_DIR/$name"; else target="$DATA_DIR/$name"; fi
  check "$name is the product's" cmp -s "${product[$i]}" "$target"
done
check "no installed file holds the attacker's text" \
  eq "$(grep -rl "$MARKER" "$INSTALL_DIR" "$DATA_DIR" | wc -l)" 0
drv close "$TITLE"
check "the setup ends" wait_setup_exit 30
finish

#!/usr/bin/env bash
# A previous installation, then a setup whose payload record 7 cannot be expanded: "Error in
# installation" twice, state 0, and every file and registry entry of the previous installation
# exactly as it was (compared by contents), nothing staged left; OK fails the same way again.
# Then under /S, setups with one byte changed in their payload (in a record's literal, in a
# control byte, in the digests): each ends with 1603, the installation as it was, and its log
# names the digests that differ. A payload without digests installs, and says it was not
# verified.
source "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../fault_lib.sh"
copy_setup CorvaneSetup_record7.exe

start_setup
check "first install" install_now
drv close "$TITLE"
check "first setup ends" wait_setup_exit 30
age_installation "$INSTALL_DIR"

start_setup CorvaneSetup_record7.exe
check "previous installation question" accept_previous
for attempt in 1 2; do
  press_ok_collect
  check "attempt $attempt: Error in installation twice" \
    eq "$BOXES" "$INSTALL_ERROR"$'\n'"$INSTALL_ERROR"
  check_still_state0 "attempt $attempt"
  check_unchanged "attempt $attempt" "$INSTALL_DIR"
done
check "kvxh.exe not started" eq "$(grep -c '^kvxh.exe|' "$START_LOG")" 0
check "Cancel ends the setup" cancel_setup

HEX='[0-9a-f]{64}'
for kind in literal control digest; do
  sh "$CORVANE_SOURCE_DIR/tests/e2e/damage_payload.sh" "$CORVANE_BINARY_DIR/payload/payload.bin" \
    "$DRIVE_C/e2e/CorvaneSetup_$kind.exe" "$kind" "$CORVANE_BINARY_DIR/CorvaneSetup.exe"
  wineserver -w >/dev/null 2>&1
  out=$(status_via_cmd 180 "C:\\e2e\\CorvaneSetup_$kind.exe /S /LOG=C:\\$kind.log")
  check "$kind: /S ends with 1603" eq "$out" status=1603
  check_unchanged "$kind" "$INSTALL_DIR"
  case $kind in
    digest) line="payload damaged: Workspace3- after comparing the 2 documents\.aws expands to SHA-256 $HEX, packed as $HEX" ;;
    *) line="payload damaged: the records have SHA-256 $HEX, packed as $HEX" ;;
  esac
  check "$kind: the log names both digests" grep -qxE "$line" <(tr -d '\r' <"$DRIVE_C/$kind.log")
done

copy_setup CorvaneSetup_nodigest.exe
wineserver -w >/dev/null 2>&1
out=$(status_via_cmd 180 'C:\e2e\CorvaneSetup_nodigest.exe /S /LOG=C:\nodigest.log')
check "no digests: /S installs" eq "$out" status=0
check "no digests: the log says so" \
  grep -qxF 'payload not verified (no digests)' <(tr -d '\r' <"$DRIVE_C/nodigest.log")
check "no digests: the product's files" \
  sh -c 'cd "$1" && sha256sum --quiet --strict -c "$2"' - "$DATA_DIR" "$CORVANE_BINARY_DIR/SHA256SUMS.data"
finish

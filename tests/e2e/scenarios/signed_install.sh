#!/usr/bin/env bash
# The setup signed as the build signs it (here with a throwaway certificate) installs like the
# unsigned one; Windows' own signature check accepts it, and refuses it when one byte of the
# payload is changed. (Wine's check does not ask for a trusted root: the throwaway certificate
# passes as it is. What it does check is the file's digest.)
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
source "$CORVANE_SOURCE_DIR/tests/build/signing_lib.sh"
payload=$CORVANE_BINARY_DIR/payload/payload.bin
certs=$PREFIX/throwaway-cert
mkdir -p "$certs"
check "a throwaway certificate" make_throwaway_cert "$certs"
E2E=$DRIVE_C/e2e
cp "$E2E/CorvaneSetup.exe" "$E2E/unsigned.exe"
check "signed as the build signs" bash "$CORVANE_SOURCE_DIR/cmake/sign.sh" "$E2E/CorvaneSetup.exe" \
  "$certs/key.p12" "$certs/password" ""
cp "$E2E/CorvaneSetup.exe" "$E2E/altered.exe"
flip_payload_byte "$E2E/altered.exe" "$payload"

# WinVerifyTrust's answers: 0 trusted, TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST.
cp "$CORVANE_BINARY_DIR/e2e/verify_trust.exe" "$E2E/"
trust() { wine 'C:\e2e\verify_trust.exe' "$@" 2>/dev/null | tr -d '\r'; }
check "WinVerifyTrust: the unsigned setup has no signature" eq "$(trust 'C:\e2e\unsigned.exe')" 0x800b0100
check "WinVerifyTrust accepts the signed setup" eq "$(trust 'C:\e2e\CorvaneSetup.exe')" 0x00000000
check "WinVerifyTrust refuses the altered setup" eq "$(trust 'C:\e2e\altered.exe')" 0x80096010

# The signed setup installs the product.
start_setup
check "the signed setup installs" install_now
mapfile -t product <"$CORVANE_BINARY_DIR/payload/payload.files"
check "eleven product files known" eq "${#product[@]}" 11
for i in "${!product[@]}"; do
  name=$(basename "${product[$i]}")
  if [ "$i" -lt 3 ]; then target="$INSTALL_DIR/$name"; else target="$DATA_DIR/$name"; fi
  check "$name installed" cmp -s "${product[$i]}" "$target"
done
drv close "$TITLE"
check "the setup ends" wait_setup_exit 30
finish

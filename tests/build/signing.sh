#!/usr/bin/env bash
# Signing the built setup as the build does (cmake/sign.sh): with the key's password from a file
# and from the environment, SHA-256, verified against the signer's certificate; the password never
# shows; removing the signature gives back the unsigned bytes; one changed payload byte breaks it.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/signing_lib.sh"
exe=${1:?CorvaneSetup.exe} payload=${2:?payload.bin}
sign="$here/../../cmake/sign.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

logged() { "$@" >>"$work/out" 2>&1; }
fails() { ! "$@"; }
eq() { [ "$1" = "$2" ] || { echo "  got '$1', expected '$2'"; return 1; }; }
sign_as_build() { # exe password-file [variable=value]
  logged env "${@:3}" bash "$sign" "$1" "$work/key.p12" "$2" ""
}

make_throwaway_cert "$work" || { echo "FAIL - openssl made no certificate"; exit 1; }
# A build made with -DCORVANE_SIGN_PKCS12 is signed already.
osslsigncode remove-signature -in "$exe" -out "$work/unsigned.exe" >/dev/null 2>&1 ||
  cp "$exe" "$work/unsigned.exe"
exe=$work/unsigned.exe
for f in file env wrong; do cp "$exe" "$work/$f.exe"; done
check "signs with the password from a file" sign_as_build "$work/file.exe" "$work/password"
check "signs with the password from the environment" \
  sign_as_build "$work/env.exe" "" CORVANE_SIGN_PASSWORD="$(cat "$work/password")"
check "a wrong password fails" fails sign_as_build "$work/wrong.exe" "" CORVANE_SIGN_PASSWORD=wrong
check "and leaves the file unsigned" cmp -s "$work/wrong.exe" "$exe"
check "the password is never printed" fails grep -qF "$(cat "$work/password")" "$work/out"

for f in file env; do
  check "$f.exe verifies against the certificate" verify_with "$work/$f.exe" "$work/cert.pem"
done
check "the digest is SHA-256" \
  grep -q "^Message digest algorithm  : SHA256" <(osslsigncode verify -in "$work/file.exe" 2>&1)
osslsigncode remove-signature -in "$work/file.exe" -out "$work/removed.exe" >/dev/null 2>&1
check "removing the signature gives back the unsigned setup" cmp "$work/removed.exe" "$exe"

check "the payload is found in the setup" test -n "$(payload_offset "$work/file.exe" "$payload")"
cp "$work/file.exe" "$work/altered.exe"
flip_payload_byte "$work/altered.exe" "$payload"
check "one byte of the payload changed" \
  eq "$(cmp -l "$work/file.exe" "$work/altered.exe" 2>/dev/null | wc -l)" 1
check "a changed payload byte fails verification" fails verify_with "$work/altered.exe" "$work/cert.pem"

echo "$failures failed"
[ "$failures" -eq 0 ]

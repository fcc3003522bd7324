#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode (SHA-256):
#   sign.sh EXE PKCS12 PASSWORD_FILE TIMESTAMP_URL     (empty arguments: none)
# Without a password file the key's password comes from the environment variable
# CORVANE_SIGN_PASSWORD, else the key has none. The password is handed to osslsigncode on its
# standard input, never on a command line.
set -euo pipefail
exe=$1 pkcs12=$2 passfile=${3:-} url=${4:-}
args=(sign -pkcs12 "$pkcs12" -h sha256 -n "Corvane Setup")
[ -z "$url" ] || args+=(-ts "$url")
tmp="$exe.signing"
rm -f "$tmp"
if [ -n "$passfile" ]; then
  osslsigncode "${args[@]}" -readpass "$passfile" -in "$exe" -out "$tmp" >/dev/null
elif [ -n "${CORVANE_SIGN_PASSWORD+set}" ]; then
  printf '%s' "$CORVANE_SIGN_PASSWORD" | osslsigncode "${args[@]}" -readpass - -in "$exe" -out "$tmp" >/dev/null
else
  osslsigncode "${args[@]}" -in "$exe" -out "$tmp" >/dev/null
fi
mv -f "$tmp" "$exe"
echo "Signed $exe"

# Sourced by the signing tests: a throwaway self-signed code-signing certificate, and the offset
# of the payload inside a setup.

# Writes cert.pem, key.p12 and its password file `password` into DIR.
make_throwaway_cert() { # dir
  local dir=$1
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Corvane throwaway signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>/dev/null &&
    printf 'throwaway-%s' "$RANDOM$RANDOM" >"$dir/password" &&
    openssl pkcs12 -export -in "$dir/cert.pem" -inkey "$dir/key.pem" -out "$dir/key.p12" \
      -passout "file:$dir/password"
}

# The byte offset of payload.bin's contents inside the setup EXE.
payload_offset() { # exe payload.bin
  local pattern
  pattern=$(head -c 24 "$2" | od -An -v -tx1 | tr -d ' \n' | sed 's/../\\x&/g')
  LC_ALL=C grep -obUaP "$pattern" "$1" | head -n 1 | cut -d: -f1
}

# Changes the byte in the middle of the payload.
flip_payload_byte() { # exe payload.bin
  local at old
  at=$(($(payload_offset "$1" "$2") + $(stat -c %s "$2") / 2))
  old=$(od -An -tu1 -j "$at" -N 1 "$1" | tr -d ' ')
  printf "\\$(printf %03o $(((old + 1) % 256)))" | dd of="$1" bs=1 seek="$at" conv=notrunc status=none
}

verify_with() { # exe cert.pem
  osslsigncode verify -in "$1" -CAfile "$2" >/dev/null 2>&1
}

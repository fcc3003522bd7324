#!/usr/bin/env bash
# mkpayload reads the payload out of the built setup: the same eleven records as the payload
# file it was made from, and the same bytes when unpacked. Needs no Wine.
set -euo pipefail
tool=$1 setup=$2 payload=$3
from_setup=$("$tool" list "$setup")
from_file=$("$tool" list "$payload")
[ "$from_setup" = "$from_file" ] || { echo "listings differ"; diff <(echo "$from_setup") <(echo "$from_file"); exit 1; }
[ "$(wc -l <<<"$from_setup")" -eq 11 ] || { echo "not eleven records"; echo "$from_setup"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" unpack "$setup" "$work"/{0..10}
product=$(dirname "$payload")/../product
cmp "$work/0" "$product/kvx.exe"
cmp "$work/10" "$product/Workspace3- after comparing the 2 documents.aws"
echo "$from_setup"

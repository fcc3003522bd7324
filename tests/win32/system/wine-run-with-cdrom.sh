#!/usr/bin/env bash
# Like scripts/wine-run.sh, but the prefix also has a CD-ROM drive D: (a folder on the host
# holding readme.txt and the folder "existing"). Wine's mount manager reads its drive table
# when the prefix starts, so the drive is put in place before the program runs.
# The program sees CORVANE_CDROM_DRIVE=D: .
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/wine-env.sh"
corvane_require_pe32 "$1" program || exit 1
corvane_make_template || exit 1
if [ -z "${DISPLAY:-}" ]; then corvane_start_xvfb; trap corvane_stop_xvfb EXIT; fi

prefix=$(mktemp -d /tmp/corvane-wine.XXXXXX)
disc=$(mktemp -d /tmp/corvane-disc.XXXXXX)
corvane_copy_prefix "$prefix"
echo "disc" >"$disc/readme.txt"
mkdir "$disc/existing"
ln -s "$disc" "$prefix/dosdevices/d:"
printf '\n[Software\\\\Wine\\\\Drives] 1765000000\n"d:"="cdrom"\n' >>"$prefix/system.reg"

export WINEPREFIX=$prefix CORVANE_CDROM_DRIVE=D:
timeout --kill-after=10 "${CORVANE_WINE_TIMEOUT:-300}" wine "$@"
rc=$?
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
rm -rf "$prefix" "$disc"
exit $rc

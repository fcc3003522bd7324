#!/usr/bin/env bash
# Runs one 32-bit Windows program under Wine (WoW64, see scripts/wine-env.sh) in a fresh copy of
# the prefix template, then stops that prefix's wine server and removes the copy. Exit status is
# the program's; a program that is not a PE32 image fails before it runs.
# CORVANE_KEEP_PREFIX=DIR keeps the prefix in DIR instead (for looking at it afterwards).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
corvane_require_pe32 "$1" program || exit 1
corvane_make_template || exit 1
if [ -z "${DISPLAY:-}" ]; then corvane_start_xvfb; trap corvane_stop_xvfb EXIT; fi

prefix=${CORVANE_KEEP_PREFIX:-$(mktemp -d /tmp/corvane-wine.XXXXXX)}
corvane_copy_prefix "$prefix"
export WINEPREFIX=$prefix
timeout --kill-after=10 "${CORVANE_WINE_TIMEOUT:-300}" wine "$@"
rc=$?
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
[ -z "${CORVANE_KEEP_PREFIX:-}" ] && rm -rf "$prefix"
exit $rc

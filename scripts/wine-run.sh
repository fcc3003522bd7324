#!/usr/bin/env bash
# Runs one Windows program under Wine in a fresh copy of the prefix template,
# then stops that prefix's wine server and removes the copy. Exit status is the program's.
# CORVANE_KEEP_PREFIX=DIR keeps the prefix in DIR instead (for looking at it afterwards).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
corvane_make_template
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

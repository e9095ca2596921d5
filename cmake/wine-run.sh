#!/usr/bin/env bash
# Runs one Windows program under Wine in the build's private prefix. CTest
# uses it as the cross-compiling emulator; scripts/test.sh prepares the prefix
# and keeps one wineserver alive for the whole phase.
set -u
if [ -z "${VANTELO_WINEPREFIX:-}" ]; then
  echo "wine-run.sh: VANTELO_WINEPREFIX is not set (run through scripts/test.sh)" >&2
  exit 2
fi
export WINEPREFIX="$VANTELO_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The program's output goes through a file: a server that a test leaves
# running would otherwise hold CTest's pipe open and stall the whole run.
out=$(mktemp)
timeout --kill-after=10 "${VANTELO_WINE_TIMEOUT:-240}" wine "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
rm -f "$out"
exit $status

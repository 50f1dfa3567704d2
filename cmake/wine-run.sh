#!/bin/sh
# Runs a Windows program under Wine for CTest. Refuses to run without a prefix of
# the run's own so nothing silently creates ~/.wine; every run has a time limit.
#
# The program's output goes through a file, not straight to CTest's pipe: Wine may
# start long-lived helper processes (the desktop, services) from any program, and
# they would inherit the pipe and keep CTest waiting for its end.
if [ -z "$WINEPREFIX" ]; then
  echo "wine-run: WINEPREFIX is not set (use scripts/test)" >&2
  exit 125
fi
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 125
timeout -k 5 "${WINE_RUN_TIMEOUT:-180}" wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc

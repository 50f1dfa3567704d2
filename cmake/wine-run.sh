#!/bin/sh
# Runs a Windows program under Wine for CTest. Refuses to run without a prefix of
# the run's own so nothing silently creates ~/.wine; every run has a time limit.
if [ -z "$WINEPREFIX" ]; then
  echo "wine-run: WINEPREFIX is not set (use scripts/test)" >&2
  exit 125
fi
exec timeout -k 5 "${WINE_RUN_TIMEOUT:-180}" wine "$@"

#!/usr/bin/env bash
# Runs dpi_test.exe at each DPI. Wine takes the DPI from the registry (HKCU\Control Panel\
# Desktop, LogPixels) as each process starts, and windows of different processes only agree
# on it when the desktop process started at the same setting: so the prefix's wine server,
# and with it the desktop, is ended and started afresh for each DPI. The prefix is the
# project's own (scripts/wine-env.sh); the setting goes back to 96 dpi at the end.
# Usage: dpi_test.sh <dpi_test.exe> <jumper.exe> <window_probe.dll>, with the Wine and its
# server that scripts/machine.sh chose (JUMPER_WINE, JUMPER_WINESERVER).
set -uo pipefail
test=$1 jumper=$2 probe=$3
wine=${JUMPER_WINE:-wine} wineserver=${JUMPER_WINESERVER:-wineserver}

set_dpi() {
  "$wineserver" -k 2>/dev/null
  "$wineserver" -w
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  "$wineserver" -k 2>/dev/null  # the registry is written out as the server ends
  "$wineserver" -w
}
trap 'set_dpi 96' EXIT

failed=0
for dpi in 96 120 144 192; do
  set_dpi "$dpi"
  "$wine" "$test" "$dpi" "$jumper" "$probe" || failed=$((failed + 1))
done
echo "dpi_test.sh: $failed of 4 DPIs failed"
((failed == 0))

#!/usr/bin/env bash
# Runs dpi_test.exe at each DPI. Wine takes the DPI from the registry (HKCU\Control Panel\
# Desktop, LogPixels) as each process starts, and windows of different processes only agree
# on it when the desktop process started at the same setting: so the prefix's wine server,
# and with it the desktop, is ended after each change and starts afresh at the new DPI. The
# prefix is the project's own (scripts/wine-env.sh); 96 dpi comes last, which leaves the
# prefix as the other tests expect it, and is set again if the script ends before.
# Usage: dpi_test.sh <dpi_test.exe> <jumper.exe> <window_probe.dll>, with the Wine and its
# server that scripts/machine.sh chose (JUMPER_WINE, JUMPER_WINESERVER).
set -uo pipefail
test=$1 jumper=$2 probe=$3
wine=${JUMPER_WINE:-wine} wineserver=${JUMPER_WINESERVER:-wineserver}

dpi=
set_dpi() {
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  "$wineserver" -k 2>/dev/null  # writes the registry out and ends the desktop
  "$wineserver" -w
  dpi=$1
}
trap '[[ $dpi == 96 ]] || set_dpi 96' EXIT

failed=0
for next in 120 144 192 96; do
  set_dpi "$next"
  "$wine" "$test" "$dpi" "$jumper" "$probe" || failed=$((failed + 1))
done
echo "dpi_test.sh: $failed of 4 DPIs failed"
((failed == 0))

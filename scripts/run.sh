#!/usr/bin/env bash
# Builds jumper.exe and runs it under Wine. On a machine with no display it runs on a
# virtual one, saves a screenshot to build/screenshot.png and closes the program again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" run
"$root/scripts/build.sh" win64 jumper >/dev/null
headless=0
[[ -z ${DISPLAY:-} ]] && headless=1
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"

if ((headless == 0)); then
  "$JUMPER_WINE" "$root/build/win64/jumper.exe"
  exit 0
fi
"$JUMPER_WINE" "$root/build/win64/jumper.exe" &
program=$!
sleep 4
import -window root "$root/build/screenshot.png"
echo "No display: the program ran on a virtual one; screenshot in build/screenshot.png"
kill "$program" 2>/dev/null || true

#!/usr/bin/env bash
# The reliability figures at the scale of real use: builds jumper.exe and its end-to-end
# tests and runs them under Wine, in the project's prefix, far beyond the test command's
# scale: 100 closes of the program while a window jumps, a third of them while the window is
# hidden (jump_close), then 1000 presses of the wide button (jump_rough_use) followed by a long
# run. Prints one table, writes it to bench/SOAK.md, and exits non-zero when anything was lost.
# Takes about half an hour at its defaults; not part of the test command.
#   SOAK_MINUTES=10    length of the long run
#   SOAK_PRESSES=1000  presses of the wide button
#   SOAK_CLOSES=100    closes of the program
#   JUMPER_WINEPREFIX, JUMPER_XVFB   as for scripts/wine-env.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
minutes=${SOAK_MINUTES:-10}
presses=${SOAK_PRESSES:-1000}
closes=${SOAK_CLOSES:-100}
out=$root/build/soak
mkdir -p "$out"
rm -f "$out"/*.log

"$root/scripts/setup.sh" soak
echo "== building"
"$root/scripts/build.sh" win64 >/dev/null
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"

jumper=$root/build/win64/jumper.exe
run() {  # test name, then its arguments after jumper.exe; the output goes to build/soak/
  local name=$1 log=$out/$1.log statuses
  shift
  echo "== $name $*"
  # Only failures and headings on the terminal; the whole output in the log.
  set +e
  "$JUMPER_WINE" "$root/build/win64/tests/wine/jump/${name}_test.exe" "$jumper" "$@" 2>&1 |
    tee "$log" | grep --line-buffered -E '^(FAIL|-- |jump_)'
  statuses=("${PIPESTATUS[@]}")
  set -e
  echo "exit ${statuses[0]}" >>"$log"
}
run jump_close "$closes"
run jump_rough_use "$presses" "$minutes"

echo "== results"
PYTHONPATH=$root/bench python3 "$root/bench/soak_report.py" "$root/bench/SOAK.md" \
  "$out/jump_close.log" "$out/jump_rough_use.log"

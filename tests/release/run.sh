#!/usr/bin/env bash
# The release check: builds the release twice, in two build folders and into two dist
# folders under build/release-check, compares the results and reads them through
# (check_release.py). Ends with "release: N passed, M failed".
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build/release-check
rm -rf "$out"
for run in a b; do
  "$root/scripts/release.sh" --build "$out/$run/build" --dist "$out/$run/dist" >/dev/null
done
python3 "$root/tests/release/check_release.py" "$root" "$out/a/build" "$out/a/dist" \
  "$out/b/build" "$out/b/dist"

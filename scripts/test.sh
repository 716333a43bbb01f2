#!/usr/bin/env bash
# Builds and runs every test: the host unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer and again under ThreadSanitizer, then the Windows build and
# its end-to-end tests under Wine, with real windows on a virtual X display, for 64-bit and
# again for 32-bit Windows; also the lint, bounded fuzz runs, the check of the built
# executables' hardening, and the release check (two release builds compared and read through).
# On a machine that cannot run 32-bit programs (scripts/machine.sh), or with JUMPER_64BIT_ONLY=1,
# the 32-bit build's Wine tests are counted as skipped, with the reason; everything else runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" test

passed=0
failed=0
skipped=0
run_ctest() {  # build dir, then ctest arguments
  local dir=$1 log
  shift
  log=$(mktemp)
  if ctest --test-dir "$dir" --output-on-failure "$@" 2>&1 | tee "$log"; then :; fi
  local total fails
  total=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' "$log" | tail -1)
  fails=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  rm -f "$log"
  if [[ -z $total ]]; then
    echo "test.sh: ctest in $dir reported no result" >&2
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

run_counted() {  # label, then the command; counts its last "label: N passed, M failed" line
  local label=$1 log counts
  shift
  log=$(mktemp)
  if "$@" 2>&1 | tee "$log"; then :; fi
  counts=$(sed -n "s/^$label: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p" "$log" | tail -1)
  rm -f "$log"
  if [[ -z $counts ]]; then
    echo "test.sh: the $label run reported no result" >&2
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + ${counts% *}))
  failed=$((failed + ${counts#* }))
}

step_title=""
step() {  # prints how long the last step took, then the next one's title ("" after the last)
  if [[ -n $step_title ]]; then echo "-- $step_title: $((SECONDS - step_start)) s"; fi
  step_title=$1
  step_start=$SECONDS
  if [[ -n $1 ]]; then echo "== $1"; fi
}

step "host unit tests, address and undefined-behaviour sanitizers"
"$root/scripts/build.sh" host-asan
run_ctest build/host-asan

step "host unit tests, thread sanitizer"
"$root/scripts/build.sh" host-tsan
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_ctest build/host-tsan

step "lint: cppcheck and clang-tidy over src"
if "$root/scripts/lint.sh"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

step "fuzz targets, a bounded run each (tests/fuzz/run.sh --time N runs longer)"
run_counted fuzz "$root/tests/fuzz/run.sh"

step "release check: both releases built twice and compared, zips, SHA256SUMS, versions"
run_counted release "$root/tests/release/run.sh"

step "Windows build and its tests under Wine (the hardening and size check of jumper.exe among them)"
"$root/scripts/build.sh" win64
export JUMPER_XVFB=1
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
# The Wine tests mostly wait on windows, so four run at once; those that need the whole
# desktop or the foreground are marked to run alone (RUN_SERIAL).
wine_parallel=(--timeout 600 --parallel 4)
run_ctest build/win64 "${wine_parallel[@]}"

if ((JUMPER_WIN32)); then
  step "32-bit Windows build and its tests under Wine, in the same prefix (WoW64)"
else
  step "32-bit Windows build and its hardening check (no Wine tests: $JUMPER_WIN32_WHY)"
fi
"$root/scripts/build.sh" win32
if ((JUMPER_WIN32)); then
  run_ctest build/win32 "${wine_parallel[@]}"
else
  wine_tests=$(ctest --test-dir build/win32 -N -L wine | sed -n 's/^Total Tests: //p')
  skipped=$((skipped + wine_tests))
  echo "test.sh: the 32-bit build's $wine_tests Wine tests are skipped: $JUMPER_WIN32_WHY"
  run_ctest build/win32 -LE wine
fi
step ""

echo "test command: $SECONDS s"

echo "tests: $passed passed, $failed failed, $skipped skipped"
((failed == 0))

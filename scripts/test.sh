#!/usr/bin/env bash
# Builds and runs every test: the host unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer and again under ThreadSanitizer, then the Windows build and
# its end-to-end tests under Wine, with real windows on a virtual X display; also the lint,
# bounded fuzz runs, and the check of the built executable's hardening.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"

passed=0
failed=0
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

host_build() {  # build dir, sanitizers
  cmake -S "$root" -B "$1" -DCMAKE_BUILD_TYPE=Debug -DJUMPER_SANITIZE="$2" >/dev/null
  cmake --build "$1" -j "$(nproc)"
}

echo "== host unit tests, address and undefined-behaviour sanitizers"
host_build build/host-asan address,undefined
run_ctest build/host-asan

echo "== host unit tests, thread sanitizer"
host_build build/host-tsan thread
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_ctest build/host-tsan

echo "== lint: cppcheck and clang-tidy over src"
if "$root/scripts/lint.sh"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

echo "== fuzz targets, a bounded run each (tests/fuzz/run.sh --time N runs longer)"
fuzz_log=$(mktemp)
if "$root/tests/fuzz/run.sh" 2>&1 | tee "$fuzz_log"; then :; fi
fuzz_passed=$(sed -n 's/^fuzz: \([0-9]*\) passed, \([0-9]*\) failed$/\1/p' "$fuzz_log")
fuzz_failed=$(sed -n 's/^fuzz: \([0-9]*\) passed, \([0-9]*\) failed$/\2/p' "$fuzz_log")
rm -f "$fuzz_log"
if [[ -z $fuzz_passed ]]; then
  echo "test.sh: the fuzz run reported no result" >&2
  failed=$((failed + 1))
else
  passed=$((passed + fuzz_passed))
  failed=$((failed + fuzz_failed))
fi

echo "== Windows build and its tests under Wine (the hardening check of jumper.exe among them)"
"$root/scripts/build.sh"
export JUMPER_XVFB=1
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap jumper_stop_wine EXIT
run_ctest build/win --timeout 600

echo "tests: $passed passed, $failed failed"
((failed == 0))

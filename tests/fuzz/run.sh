#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each over its seed corpus and then
# on new inputs, with AddressSanitizer and UndefinedBehaviorSanitizer.
#   tests/fuzz/run.sh                 bounded run, as the test command does it
#   tests/fuzz/run.sh --time 3600     each target for an hour (or --runs N: N inputs each)
#   tests/fuzz/run.sh --time 600 strtoint    one target only
# New inputs go to build/fuzz/corpus/<target>, beside the committed seeds in
# tests/fuzz/corpus/<target>; a failing input is saved as build/fuzz/crash-* and the run
# exits non-zero. Reproduce one with build/fuzz/<target>_fuzz FILE.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build/fuzz
limit=(-runs=500000 -max_total_time=20)
targets=()
while (($#)); do
  case $1 in
    --time) limit=(-max_total_time="$2"); shift 2 ;;
    --runs) limit=(-runs="$2"); shift 2 ;;
    -*) echo "usage: $0 [--time SECONDS | --runs N] [strtoint|random_range]..." >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
((${#targets[@]})) || targets=(strtoint random_range)

"$root/scripts/build.sh" fuzz >/dev/null

passed=0
failed=0
for target in "${targets[@]}"; do
  dict=()
  [[ -f $root/tests/fuzz/$target.dict ]] && dict=(-dict="$root/tests/fuzz/$target.dict")
  mkdir -p "$out/corpus/$target"
  log=$out/$target.log
  echo "== fuzz $target (${limit[*]})"
  if (cd "$out" && "./${target}_fuzz" "${limit[@]}" "${dict[@]}" -max_len=256 -timeout=10 \
        -print_final_stats=1 "$out/corpus/$target" "$root/tests/fuzz/corpus/$target") \
        >"$log" 2>&1; then
    passed=$((passed + 1))
    grep -E "^(Done|stat::number_of_executed_units|#[0-9]+ +DONE)" "$log" | tail -2 || true
  else
    failed=$((failed + 1))
    tail -n 30 "$log"
    echo "fuzz $target: FAILED (log: $log)"
  fi
done
echo "fuzz: $passed passed, $failed failed"
((failed == 0))

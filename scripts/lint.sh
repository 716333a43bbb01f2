#!/usr/bin/env bash
# Static analysis of src/: cppcheck, and clang-tidy over the Windows build's compile commands
# (every source file, with the MinGW-w64 headers it is really built against). Prints what it
# finds and exits non-zero if anything is found.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=$root/build/lint
status=0

# A tool that cannot run is a broken set-up, not a finding.
for tool in cppcheck clang-tidy; do
  if ! "$tool" --version >/dev/null 2>&1; then
    echo "lint: $tool cannot run: install Debian's $tool package (scripts/setup.sh does)" >&2
    exit 2
  fi
done

echo "== cppcheck"
# useStlAlgorithm is a matter of taste that newer cppchecks raise where older ones did not.
suppress=(--suppress=missingIncludeSystem --suppress=useStlAlgorithm)
# cppcheck reads no system headers: CALLBACK, a calling convention on a callback lambda,
# would otherwise hide the lambda from it.
if ! cppcheck --enable=warning,style,performance,portability --std=c++20 --inline-suppr \
       --error-exitcode=1 --quiet -I src -D_WIN32 -DUNICODE -D_UNICODE -DCALLBACK= \
       "${suppress[@]}" src; then
  status=1
fi

echo "== clang-tidy"
"$root/scripts/build.sh" --configure-only lint
# clang finds the MinGW C headers by the compiler's name, but not GCC's C++ library headers.
extra=(--extra-arg=-Wno-unknown-warning-option)
while read -r dir; do
  extra+=(--extra-arg=-isystem"$dir")
done < <(echo | x86_64-w64-mingw32-g++-posix -x c++ -E -v - 2>&1 |
           sed -n '/#include <...> search starts here/,/End of search list/p' |
           sed -n 's/^ \(\/.*\/c++.*\)$/\1/p')
checks=-*,$(grep -v '^#' "$root/scripts/clang-tidy-checks.txt" | paste -sd, -)
log=$(mktemp -d)
# clang-tidy's own messages ("N warnings generated") are noise, unless it failed with no
# finding to show: then they are the reason, and are shown.
find src -name '*.cpp' | sort | xargs -P 2 -I{} sh -c '
  out="$1/$(echo "$2" | tr / _).log"; shift 2
  clang-tidy "$@" >"$out" 2>"$out.err" && exit 0
  grep -qE "(warning|error):" "$out" || cat "$out.err" >&2
  exit 1' sh "$log" {} -p "$build" "${extra[@]}" \
    --checks="$checks" --warnings-as-errors='*' --header-filter="^$root/src/" --quiet {} ||
  status=1
cat "$log"/*.log | grep -E "(warning|error):" -A3 || true
rm -rf "$log"
echo "lint: $([[ $status == 0 ]] && echo clean || echo "findings above")"
exit "$status"

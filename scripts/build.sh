#!/usr/bin/env bash
# Cross-builds jumper.exe (and the Wine test programs) into build/win.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=machine.sh
source "$root/scripts/machine.sh"  # which Wine loader runs the tests
cmake -S "$root" -B "$root/build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/win" -j "$(nproc)"

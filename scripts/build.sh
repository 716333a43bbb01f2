#!/usr/bin/env bash
# Configures and builds one of CMakePresets.json's configurations, in build/PRESET (default
# win64: jumper.exe and its Wine tests). Every script builds through here.
#   scripts/build.sh [--dir DIR] [--configure-only] [PRESET [TARGET...]]
# A build folder that an earlier command configured for another source folder (or before the
# presets) is configured anew, with one line that says so; any other cache CMake brings in
# line itself, since each configure passes the preset's settings again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=""
configure_only=0
while (($#)); do
  case $1 in
    --dir) dir=$2; shift 2 ;;
    --configure-only) configure_only=1; shift ;;
    -*) echo "usage: scripts/build.sh [--dir DIR] [--configure-only] [PRESET [TARGET...]]" >&2; exit 2 ;;
    *) break ;;
  esac
done
preset=${1:-win64}
(($#)) && shift
targets=("$@")

cd "$root"
binary_dir=()
if [[ -n $dir ]]; then binary_dir=(-B "$dir"); else dir=$root/build/$preset; fi
cache=$dir/CMakeCache.txt
if [[ -f $cache ]] && ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$cache"; then
  echo "build: $dir was configured for $(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache");" \
       "configuring it anew for $root ($preset)" >&2
  rm -rf "$dir"
fi
cmake --preset "$preset" "${binary_dir[@]}" >/dev/null
((configure_only)) && exit 0
cmake --build "$dir" -j "$(nproc)" ${targets[@]+--target "${targets[@]}"}

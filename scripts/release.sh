#!/usr/bin/env bash
# Builds the release: dist/jumper-<version>-win64.zip and dist/jumper-<version>-win32.zip,
# each holding jumper.exe, README.md and LICENSE, and dist/SHA256SUMS beside them. The
# version is the CMake project version. Only jumper.exe is built, in build/release-win64 and
# build/release-win32 (the release presets); the same commit gives the same bytes.
#   scripts/release.sh [--build DIR] [--dist DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=""
dist=$root/dist
while (($#)); do
  case $1 in
    --build) build=$2; shift 2 ;;
    --dist) dist=$2; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--dist DIR]" >&2; exit 2 ;;
  esac
done
"$root/scripts/setup.sh" release

zips=()
for name in win64 win32; do
  dir=${build:+$build/$name}
  "$root/scripts/build.sh" ${dir:+--dir "$dir"} "release-$name" jumper >/dev/null
  dir=${dir:-$root/build/release-$name}
  version=$(<"$dir/jumper-version.txt")
  mkdir -p "$dist"
  zip=jumper-$version-$name.zip
  python3 "$root/scripts/make_zip.py" "$dist/$zip" "$dir/jumper.exe" "$root/README.md" \
    "$root/LICENSE"
  zips+=("$zip")
done
(cd "$dist" && sha256sum "${zips[@]}" >SHA256SUMS)
echo "release: $dist/{${zips[0]},${zips[1]},SHA256SUMS}"

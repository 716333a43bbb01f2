#!/usr/bin/env bash
# Installs, on Debian 12, every package whose commands or files the scripts and tests use,
# and checks that each of those commands is then there. Nothing may be taken from what a
# machine happens to have: a package missing here fails on a fresh machine.
set -euo pipefail

# Each line: a package, then the commands or files it must bring (a path starts with /).
requirements=(
  "cmake                      cmake ctest"                       # configures, builds, runs tests
  "make                       make"                              # CMake's generator
  "g++                        g++"                               # host unit tests, sanitizers
  "libgtest-dev               /usr/include/gtest/gtest.h"        # host unit tests
  "libbenchmark-dev           /usr/include/benchmark/benchmark.h" # bench/ microbenchmarks
  "g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-g++-posix"      # 64-bit jumper.exe
  "binutils-mingw-w64-x86-64  x86_64-w64-mingw32-windres x86_64-w64-mingw32-objdump"
  "g++-mingw-w64-i686-posix   i686-w64-mingw32-g++-posix"        # 32-bit jumper.exe
  "binutils-mingw-w64-i686    i686-w64-mingw32-windres i686-w64-mingw32-objdump"
  "wine                       wine wineboot wineserver"          # the commands that run Wine
  "wine64                     /usr/lib/wine/wine64"              # Wine's 64-bit side
  "wine32:i386                /usr/lib/wine/wine"                # Wine's 32-bit side (WoW64)
  "fonts-liberation           /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"
  "fonts-wine                 /usr/share/wine/fonts/marlett.ttf" # caption button glyphs
  "xvfb                       Xvfb"                              # the virtual display
  "imagemagick                import"                            # screenshots
  "python3                    python3"                           # PE, zip and release checks
  "clang                      clang++"                           # fuzz targets (libFuzzer)
  "libclang-rt-14-dev         /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
  "clang-tidy                 clang-tidy"                        # lint
  "cppcheck                   cppcheck"                          # lint
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for line in "${requirements[@]}"; do
  read -r package _ <<<"$line"
  installed "$package" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  # A mirror in the middle of a sync serves index files that do not match for a while: try
  # again, then install from the indexes that did arrive (apt-get install says if any
  # package is then missing).
  for attempt in 1 2 3; do
    "${sudo_cmd[@]}" apt-get update -qq && break
    if ((attempt == 3)); then
      echo "setup: apt-get update reported errors (above); installing from what it fetched" >&2
      break
    fi
    echo "setup: apt-get update failed; trying again in $((attempt * 10)) s" >&2
    sleep $((attempt * 10))
  done
  if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
         --no-install-recommends "${missing[@]}" >/tmp/jumper-setup.log 2>&1; then
    cat /tmp/jumper-setup.log >&2
    echo "setup: apt-get could not install ${missing[*]} (its output is above)" >&2
    exit 1
  fi
fi

status=0
for line in "${requirements[@]}"; do
  read -r package needs <<<"$line"
  for need in $needs; do
    if [[ $need == /* ]]; then [[ -e $need ]] && continue
    else command -v "$need" >/dev/null && continue
    fi
    echo "setup: $need is missing; it comes from Debian's $package package" >&2
    status=1
  done
done
exit "$status"

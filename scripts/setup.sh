#!/usr/bin/env bash
# Installs what building and testing need, on Debian, when it is missing. The 32-bit build
# runs under Wine's 32-bit side, which comes from the i386 architecture (multiarch).
set -euo pipefail

packages=(cmake make g++ googletest libgtest-dev libgmock-dev libbenchmark-dev
          g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          wine64 wine32:i386 xvfb x11-utils imagemagick python3 clang libclang-rt-14-dev cppcheck)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

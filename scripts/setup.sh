#!/usr/bin/env bash
# Installs, on Debian 13 or 12, every package whose commands or files a command uses, and
# checks that each of those commands and files is then there. Nothing may be taken from what
# a machine happens to have: a package missing here fails on a fresh machine.
#   scripts/setup.sh run|release|test|bench|soak   what the packages are for (default: test)
# Wine's 32-bit side is installed only for the tests, and only where the machine can run
# 32-bit programs (scripts/machine.sh); where Debian's i386 index cannot be fetched, the rest
# is installed and the 32-bit Wine tests are skipped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
purpose=${1:-test}
case $purpose in
  run | release | test | bench | soak) ;;
  *) echo "usage: scripts/setup.sh run|release|test|bench|soak" >&2; exit 2 ;;
esac
# shellcheck source=machine.sh
source "$root/scripts/machine.sh"

# Each line: the commands that need it (* for all), a package, then the commands or files it
# must bring (a path starts with /; =libfuzzer is clang's fuzzing runtime, wherever it is).
requirements=(
  "*                  cmake                      cmake ctest"       # configures, builds, runs tests
  "*                  make                       make"              # CMake's generator
  "test,bench         g++                        g++"               # host unit tests, sanitizers
  "test               libgtest-dev               /usr/include/gtest/gtest.h"
  "bench              libbenchmark-dev           /usr/include/benchmark/benchmark.h"
  "*                  g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-g++-posix" # 64-bit jumper.exe
  "*                  binutils-mingw-w64-x86-64  x86_64-w64-mingw32-windres x86_64-w64-mingw32-objdump"
  "release,test,bench g++-mingw-w64-i686-posix   i686-w64-mingw32-g++-posix"   # 32-bit jumper.exe
  "release,test,bench binutils-mingw-w64-i686    i686-w64-mingw32-windres i686-w64-mingw32-objdump"
  "run,test,bench,soak wine                      wine wineserver"   # the commands that run Wine
  "run,test,bench,soak wine64                    /usr/lib/wine/wine64" # Wine's 64-bit side
  "win32              wine32:i386                /usr/lib/wine/wine" # Wine's 32-bit side (WoW64)
  "run,test,bench,soak fonts-liberation          /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"
  "run,test,bench,soak fonts-wine                /usr/share/wine/fonts/marlett.ttf" # caption glyphs
  "run,test,bench,soak xvfb                      Xvfb"              # the virtual display
  "run                imagemagick                import"            # the screenshot
  "*                  python3                    python3"           # every Windows build: the PE check
  "test               clang                      clang++"           # fuzz targets (libFuzzer)
  "test               libclang-rt-dev            =libfuzzer"        # clang's fuzzing runtime
  "test               clang-tidy                 clang-tidy"        # lint
  "test               cppcheck                   cppcheck"          # lint
)

# Wine's 32-bit side, for the 32-bit build's tests, where the machine can run it.
wanted=",*,$purpose,"
if [[ $purpose == test ]] && ((JUMPER_RUNS_32BIT)); then wanted+="win32,"; fi
for_purpose() {
  local use uses
  IFS=, read -ra uses <<<"$1"
  for use in "${uses[@]}"; do [[ $wanted == *",$use,"* ]] && return 0; done
  return 1
}

has_libfuzzer() {
  echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' |
    clang++ -fsanitize=fuzzer -x c++ - -o /dev/null >/dev/null 2>&1
}
present() {  # a command, a path, or =libfuzzer
  case $1 in
    =libfuzzer) command -v clang++ >/dev/null && has_libfuzzer ;;
    /*) [[ -e $1 ]] ;;
    *) command -v "$1" >/dev/null ;;
  esac
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

packages=()
missing=()
for line in "${requirements[@]}"; do
  read -r uses package _ <<<"$line"
  for_purpose "$uses" || continue
  packages+=("$line")
  installed "$package" || missing+=("$package")
done

sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
update_log=/tmp/jumper-setup-update.log
install_log=/tmp/jumper-setup.log

update() {
  # A mirror in the middle of a sync serves index files that do not match for a while: try
  # again, then go on with the indexes that did arrive.
  local attempt
  for attempt in 1 2 3; do
    "${sudo_cmd[@]}" apt-get update -qq >"$update_log" 2>&1 && return 0
    ((attempt == 3)) && break
    grep -E '^(E|W):' "$update_log" | head -3 >&2
    echo "setup: apt-get update failed; trying again in $((attempt * 10)) s" >&2
    sleep $((attempt * 10))
  done
  cat "$update_log" >&2
  echo "setup: apt-get update reported errors (above); installing from what it fetched" >&2
}
# The i386 indexes that apt-get update could not fetch, as "suite (URL)".
failed_i386_indexes() {
  sed -n 's|^E: Failed to fetch \([^ ]*/dists/\([^/]*\)/[^ ]*binary-i386/[^ ]*\) .*|\2 (\1)|p' \
    "$update_log" 2>/dev/null | sort -u
}
install() {
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    --no-install-recommends "$@" >"$install_log" 2>&1
}

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  if [[ " ${missing[*]} " == *:i386* ]] &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  update
  if ! install "${missing[@]}"; then
    broken=$(failed_i386_indexes)
    native=()
    for package in "${missing[@]}"; do [[ $package == *:i386 ]] || native+=("$package"); done
    if [[ -n $broken ]] && ((${#native[@]} < ${#missing[@]})); then
      # A 32-bit index at another version than the 64-bit one leaves the 32-bit packages
      # uninstallable ("held broken packages"); everything else still installs.
      echo "setup: Debian's i386 package index could not be fetched for:" >&2
      sed 's/^/  /' <<<"$broken" >&2
      echo "setup: so Wine's 32-bit side (wine32:i386) cannot be installed now; installing" \
           "the rest. The 32-bit Wine tests are skipped until a later run of this script" \
           "installs it (a mirror in the middle of a sync is whole again within hours)." >&2
      if ((${#native[@]})) && ! install "${native[@]}"; then
        cat "$install_log" >&2
        echo "setup: apt-get could not install ${native[*]} (its output is above)" >&2
        exit 1
      fi
      for i in "${!packages[@]}"; do [[ ${packages[i]} == win32* ]] && unset "packages[i]"; done
    else
      cat "$install_log" >&2
      [[ -z $broken ]] ||
        echo "setup: these i386 package indexes could not be fetched:"$'\n'"$broken" >&2
      echo "setup: apt-get could not install ${missing[*]} (its output is above)" >&2
      exit 1
    fi
  fi
fi

status=0
for line in "${packages[@]}"; do
  read -r _ package needs <<<"$line"
  for need in $needs; do
    present "$need" && continue
    echo "setup: $need is missing; it comes from Debian's $package package" >&2
    status=1
  done
done
exit "$status"

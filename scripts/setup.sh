#!/usr/bin/env bash
# Installs, on Debian 13, 12 or unstable, every package whose commands or files a command
# uses, and checks that each of those commands and files is then there. Nothing may be taken
# from what a machine happens to have: a package missing here fails on a fresh machine.
#   scripts/setup.sh run|release|test|bench|soak   what the packages are for (default: test)
# Wine's 32-bit side (wine32:i386) is installed only for the tests, only where this Wine needs
# it (an older Wine that is not WoW64, scripts/machine.sh) and where the machine can run
# 32-bit programs; where Debian's i386 index cannot be fetched, the rest is installed and the
# 32-bit Wine tests are skipped.
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
# must bring (a path starts with /; =libfuzzer is clang's fuzzing runtime, =wineserver and
# =wine64 Wine's server and 64-bit loader, =wine32 its 32-bit loader, wherever they are).
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
  "run,test,bench,soak wine                      wine =wineserver"  # the commands that run Wine
  "run,test,bench,soak wine64                    =wine64"           # Wine's 64-bit loader
  "win32              wine32:i386                =wine32"           # an older Wine's 32-bit side
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

wanted=",*,$purpose,"
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
present() {  # a command, a path, or one of the = names above
  case $1 in
    =libfuzzer) command -v clang++ >/dev/null && has_libfuzzer ;;
    =wineserver) [[ -n $JUMPER_WINESERVER ]] ;;
    =wine64) [[ -n $(_jumper_wine_files wine64; _jumper_wine_files wine | grep -v ':i386: ') ]] ;;
    =wine32) [[ -n $(_jumper_wine_files wine | grep ':i386: ') ]] ;;
    /*) [[ -e $1 ]] ;;
    *) command -v "$1" >/dev/null ;;
  esac
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Sets packages to the requirement lines for what is wanted, and missing to their packages
# that are not installed.
missing_for() {
  local line uses package
  packages=()
  missing=()
  for line in "${requirements[@]}"; do
    read -r uses package _ <<<"$line"
    for_purpose "$uses" || continue
    packages+=("$line")
    installed "$package" || missing+=("$package")
  done
}

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

missing_for
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  update
  if ! install "${missing[@]}"; then
    cat "$install_log" >&2
    echo "setup: apt-get could not install ${missing[*]} (its output is above)" >&2
    exit 1
  fi
  jumper_decide_machine  # Wine may just have been installed
fi

# Wine's 32-bit side, for the 32-bit build's tests, where this Wine needs it and the machine
# can run it. A mirror in the middle of a sync can serve an i386 index that does not match
# the amd64 one for a while: then it is named, and the 32-bit Wine tests are skipped.
if [[ $purpose == test ]] && ((JUMPER_NEEDS_WINE32 && JUMPER_RUNS_32BIT)); then
  wanted+="win32,"
  missing_for
  if ((${#missing[@]})); then
    echo "setup: this Wine needs Debian's i386 packages for 32-bit programs: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${sudo_cmd[@]}" dpkg --add-architecture i386
    fi
    update
    if install "${missing[@]}"; then
      jumper_decide_machine
    else
      broken=$(failed_i386_indexes)
      tail -n 5 "$install_log" >&2
      if [[ -n $broken ]]; then
        echo "setup: Debian's i386 package index could not be fetched for:" >&2
        sed 's/^/  /' <<<"$broken" >&2
      fi
      echo "setup: so Wine's 32-bit side (wine32:i386) cannot be installed now; the 32-bit" \
           "Wine tests are skipped until a later run of this script installs it (a mirror in" \
           "the middle of a sync is whole again within hours)." >&2
      for i in "${!packages[@]}"; do [[ ${packages[i]} == win32* ]] && unset "packages[i]"; done
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

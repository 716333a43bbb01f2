# Sourced: decides, once and only here, how this machine runs Windows programs. Wine is found
# from what is installed (Debian's `wine` command, and the files of Wine's own packages),
# wherever the release puts it: Debian 12 and 13 ship a 64-bit loader and, for 32-bit
# programs, a 32-bit one from the i386 architecture (`wine32:i386`); later releases ship one
# WoW64 loader that runs 32-bit programs itself, with no i386 package and on any kernel.
# Whether Wine really runs the 32-bit build is then tried with a tiny 32-bit Windows program,
# once the prefix is there (jumper_try_win32, called by scripts/wine-env.sh).
#   JUMPER_64BIT_ONLY=1  take the 64-bit-only path even where 32-bit programs could run
# Exports:
#   JUMPER_RUNS_32BIT     1 when the kernel runs 32-bit x86 programs
#   JUMPER_NEEDS_WINE32   1 when this Wine runs 32-bit programs only with Debian's wine32:i386
#   JUMPER_WINE           the command that runs a Windows program (empty: no Wine installed)
#   JUMPER_WINESERVER     that Wine's server
#   JUMPER_WINE_ID        what a prefix is made with: the loader and Wine's installed packages
#   JUMPER_WIN32, JUMPER_WIN32_WHY   after jumper_try_win32: whether the 32-bit build's Wine
#                         tests run, and why not
# Call jumper_decide_machine again after installing packages: only they change the answer.

# A 93-byte static 32-bit x86 Linux program that exits with status 7; a kernel without
# 32-bit support refuses to start it.
_jumper_runs_32bit() {
  local probe status=0
  probe=$(mktemp "${TMPDIR:-/tmp}/jumper-i386.XXXXXX") || return 1
  base64 -d >"$probe" <<<'f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhdAAAAXQAAAAUAAAAAEAAAswe4AQAAAM2A'
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  ((status == 7))
}

# The installed file .../wine/NAME of one of Wine's packages, as the package database lists
# it, with its package ("wine32:i386: /usr/lib/wine/wine"): one per line.
_jumper_wine_files() {
  dpkg-query -S "*/wine/$1" 2>/dev/null | grep -E "^[^ ]+: /.*/wine/$1\$" || true
}
# 1 for a 32-bit ELF program, 2 for a 64-bit one.
_jumper_elf_class() { od -An -tu1 -j4 -N1 "$1" 2>/dev/null | tr -d ' '; }

jumper_decide_machine() {
  if [[ ${JUMPER_64BIT_ONLY:-0} != 1 ]] && { [[ -n ${_jumper_kernel_32bit:-} ]] || _jumper_runs_32bit; }; then
    _jumper_kernel_32bit=1
    JUMPER_RUNS_32BIT=1
  else
    JUMPER_RUNS_32BIT=0
  fi

  # The loaders: an older Wine's 32-bit one (wine32:i386) and 64-bit one (wine64), or a WoW64
  # Wine's one 64-bit loader, named wine.
  local line file loader32="" loader64=""
  while read -r line; do
    file=${line#*: }
    [[ -x $file ]] || continue
    if [[ $(_jumper_elf_class "$file") == 1 ]]; then loader32=$file; else loader64=$file; fi
  done < <(_jumper_wine_files wine; _jumper_wine_files wine64)
  # A WoW64 Wine's one loader is a 64-bit program named wine; an older Wine's loader of that
  # name is its 32-bit one, from the i386 architecture, beside a 64-bit wine64.
  JUMPER_NEEDS_WINE32=1
  [[ -n $loader64 && ${loader64##*/} == wine ]] && JUMPER_NEEDS_WINE32=0

  # Debian's `wine` starts the 32-bit loader whenever it is installed, which fails on a kernel
  # that refuses 32-bit programs: there the 64-bit loader is used itself, for every program.
  unset WINELOADER
  JUMPER_WINE=$(command -v wine || true)
  if [[ -n $loader32 && $JUMPER_RUNS_32BIT == 0 && -n $loader64 ]] || [[ -z $JUMPER_WINE ]]; then
    JUMPER_WINE=$loader64
    [[ -n $loader64 ]] && export WINELOADER=$loader64
  fi
  JUMPER_WINESERVER=$(command -v wineserver || true)
  if [[ -z $JUMPER_WINESERVER ]]; then
    JUMPER_WINESERVER=$(_jumper_wine_files wineserver | head -1)
    JUMPER_WINESERVER=${JUMPER_WINESERVER#*: }
  fi
  JUMPER_WINE_ID="loader ${WINELOADER:-$JUMPER_WINE}; $({ dpkg-query -W \
    -f '${db:Status-Abbrev} ${Package}:${Architecture}=${Version}\n' 'wine*' 'libwine*' \
    2>/dev/null || true; } | awk '$1 == "ii" { print $2 }' | sort | paste -sd ' ')"
  JUMPER_WIN32=0
  JUMPER_WIN32_WHY="not tried yet"
  export JUMPER_RUNS_32BIT JUMPER_NEEDS_WINE32 JUMPER_WINE JUMPER_WINESERVER JUMPER_WINE_ID \
    JUMPER_WIN32 JUMPER_WIN32_WHY
}

# Tries a 32-bit Windows program (1.5 KiB, no imports, returns 7 from its entry point; built
# from "int start(void) { return 7; }" with i686-w64-mingw32-gcc -nostdlib) in the current
# prefix, and sets JUMPER_WIN32 and JUMPER_WIN32_WHY from what happened.
jumper_try_win32() {
  local probe status=0
  JUMPER_WIN32=0
  if [[ ${JUMPER_64BIT_ONLY:-0} == 1 ]]; then
    JUMPER_WIN32_WHY="JUMPER_64BIT_ONLY=1 asks for the 64-bit-only path"
  elif ((JUMPER_NEEDS_WINE32 && !JUMPER_RUNS_32BIT)); then
    JUMPER_WIN32_WHY="this Wine runs 32-bit programs only through its 32-bit loader, and this machine cannot run 32-bit x86 programs (its kernel refuses them)"
  else
    probe=$(mktemp --suffix=.exe "${TMPDIR:-/tmp}/jumper-probe32.XXXXXX") || return 1
    base64 -d <<<'H4sIAAAAAAACA/ONmsDAzMDAwALE//8zMOxggAAHBsKgAYj55HfxMWzhPKu4g9HnrGJIRmaxQkFRfnpRYq5CcmJeXn6JQlKqQlFpnkJmnoKLf7BCbn5Kqh4vL5cK1IwAVwYGH0YmhtRrktkwcx8w8DNzMzJpMDABOUxQQQEohrlOACIHcjcj1P1gYAAR7+lhAPkLKKUA1ScA1y+A7AmgtAgD/YFeSWpFCZCWgDkI2a8IpyXoZaYkliRC3agAVcOCqg4YGgfIdccOdiBxeMKE//9BsQ9KAxB6FIyCUTD8AQA2U38/AAYAAA==' |
      gzip -dc >"$probe"
    timeout 120 "$JUMPER_WINE" "$probe" >/dev/null 2>&1 || status=$?
    rm -f "$probe"
    if ((status == 7)); then
      JUMPER_WIN32=1
      JUMPER_WIN32_WHY=""
    elif ((JUMPER_NEEDS_WINE32)); then
      JUMPER_WIN32_WHY="Wine's 32-bit side (Debian's wine32:i386) is not installed"
      [[ -n $(_jumper_wine_files wine | grep ':i386: ') ]] &&
        JUMPER_WIN32_WHY="Wine's 32-bit side did not run a 32-bit program (exit $status)"
    else
      JUMPER_WIN32_WHY="this Wine did not run a 32-bit program (exit $status)"
    fi
  fi
  export JUMPER_WIN32 JUMPER_WIN32_WHY
}
jumper_decide_machine

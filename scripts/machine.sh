# Sourced: decides, once and only here, whether this machine runs the 32-bit Windows build
# under Wine, and which loader runs Windows programs. Some machines cannot run 32-bit x86
# programs at all (their kernel has no 32-bit support: "Exec format error"); there, Debian's
# `wine` command fails whenever Wine's 32-bit side is installed, since it always starts the
# 32-bit loader, so everything goes through the 64-bit loader instead.
#   JUMPER_64BIT_ONLY=1  take the 64-bit-only path even on a machine that could run both
# Exports:
#   JUMPER_RUNS_32BIT    1 when the machine can run 32-bit programs and is not told otherwise
#   JUMPER_WIN32         1 when the 32-bit build's Wine tests run: the above, with Wine's
#                        32-bit side installed (scripts/setup.sh installs it where it can)
#   JUMPER_WIN32_WHY     why not, when JUMPER_WIN32 is 0
#   JUMPER_WINE          the command that runs a Windows program: Debian's `wine`, or Wine's
#                        64-bit loader itself
# Call jumper_decide_machine again after installing packages: the answer can only change
# from what set-up installed.

jumper_wine32_loader=/usr/lib/wine/wine
jumper_wine64_loader=/usr/lib/wine/wine64

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

jumper_decide_machine() {
  if [[ ${JUMPER_64BIT_ONLY:-0} == 1 ]]; then
    JUMPER_RUNS_32BIT=0
    JUMPER_WIN32_WHY="JUMPER_64BIT_ONLY=1 asks for the 64-bit-only path"
  elif [[ -n ${_jumper_kernel_32bit:-} ]] || _jumper_runs_32bit; then
    _jumper_kernel_32bit=1
    JUMPER_RUNS_32BIT=1
    JUMPER_WIN32_WHY=""
  else
    JUMPER_RUNS_32BIT=0
    JUMPER_WIN32_WHY="this machine cannot run 32-bit x86 programs (its kernel refuses them)"
  fi
  JUMPER_WIN32=$JUMPER_RUNS_32BIT
  JUMPER_WINE=wine
  unset WINELOADER
  if ((JUMPER_RUNS_32BIT)) && [[ ! -x $jumper_wine32_loader ]]; then
    JUMPER_WIN32=0
    JUMPER_WIN32_WHY="Wine's 32-bit side (Debian's wine32:i386) is not installed"
  fi
  if ((!JUMPER_WIN32)); then
    # Windows programs that Wine starts from here use the same loader.
    JUMPER_WINE=$jumper_wine64_loader
    export WINELOADER=$jumper_wine64_loader
  fi
  export JUMPER_RUNS_32BIT JUMPER_WIN32 JUMPER_WIN32_WHY JUMPER_WINE
}
jumper_decide_machine

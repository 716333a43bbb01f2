# Sourced: prepares a Wine prefix of the project's own and an X display, and exports what
# Wine needs. Every program in the prefix runs in one 1024x768 virtual desktop, so windows
# have real frames and hiding or showing one does not stall.
#   JUMPER_WINEPREFIX  the prefix (default: build/wineprefix)
#   JUMPER_XVFB=1      always use a virtual X display of our own, even when DISPLAY is set

_jumper_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${JUMPER_WINEPREFIX:-$_jumper_root/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

jumper_start_xvfb() {
  local display
  for display in $(seq 90 140); do
    [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]] && continue
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    JUMPER_XVFB_PID=$!
    for _ in $(seq 50); do
      [[ -e /tmp/.X11-unix/X$display ]] && break
      sleep 0.1
    done
    if kill -0 "$JUMPER_XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$display" JUMPER_XVFB_PID
      return 0
    fi
  done
  echo "wine-env: no free X display" >&2
  return 1
}

jumper_stop_wine() {
  wineserver -k 2>/dev/null || true  # this prefix's own server only
  if [[ -n ${JUMPER_XVFB_PID:-} ]]; then
    kill "$JUMPER_XVFB_PID" 2>/dev/null || true
    wait "$JUMPER_XVFB_PID" 2>/dev/null || true
    unset JUMPER_XVFB_PID
  fi
}

if [[ -z ${DISPLAY:-} || ${JUMPER_XVFB:-0} == 1 ]]; then
  jumper_start_xvfb
fi

# The 32-bit build runs in the same prefix, through WoW64: a prefix made before Wine's
# 32-bit side was installed has no syswow64 and is made anew.
if [[ -f $WINEPREFIX/.jumper-ready && ! -d $WINEPREFIX/drive_c/windows/syswow64 ]]; then
  echo "wine-env: $WINEPREFIX cannot run 32-bit programs; making it anew" >&2
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
fi
if [[ ! -f $WINEPREFIX/.jumper-ready ]]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  if [[ ! -d $WINEPREFIX/drive_c/windows/syswow64 ]]; then
    echo "wine-env: $WINEPREFIX has no 32-bit side (is wine32:i386 installed?)" >&2
  fi
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f \
    >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.jumper-ready"
fi

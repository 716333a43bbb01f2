# Sourced: prepares a Wine prefix of the project's own and an X display, and exports what
# Wine needs. Every program in the prefix runs in one 1024x768 virtual desktop, so windows
# have real frames and hiding or showing one does not stall. Sets an EXIT trap that ends
# what it started (jumper_stop_wine), so a set-up that fails half-way leaves nothing running.
#   JUMPER_WINEPREFIX  the prefix (default: build/wineprefix)
#   JUMPER_XVFB=1      always use a virtual X display of our own, even when DISPLAY is set
# Every Windows program runs through "$JUMPER_WINE", and the server is "$JUMPER_WINESERVER"
# (scripts/machine.sh finds them). Once the prefix is there, a tiny 32-bit program tells
# whether the 32-bit build runs here (JUMPER_WIN32, with the reason in JUMPER_WIN32_WHY).

_jumper_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=machine.sh
source "$_jumper_root/scripts/machine.sh"
export WINEPREFIX=${JUMPER_WINEPREFIX:-$_jumper_root/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
# Wine names the prefix's files in the locale's character set: with none set (a fresh
# machine) a file name outside ASCII cannot be made. C.UTF-8 comes with every glibc.
export LC_ALL=C.UTF-8

# What the prefix is made with: these settings and the Wine that made it. A prefix made with
# anything else (an older list, another loader, Wine's 32-bit side installed since) is made
# anew: a 64-bit-only prefix cannot run 32-bit programs once Wine's 32-bit side is there.
_jumper_prefix_made_with="settings 4; $JUMPER_WINE_ID"

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
  unset JUMPER_XVFB_PID
  echo "wine-env: no free X display between :90 and :140" >&2
  return 1
}

jumper_stop_wine() {
  if [[ -n $JUMPER_WINESERVER ]]; then
    "$JUMPER_WINESERVER" -k 2>/dev/null || true  # this prefix's own server only
  fi
  if [[ -n ${JUMPER_XVFB_PID:-} ]]; then
    kill "$JUMPER_XVFB_PID" 2>/dev/null || true
    wait "$JUMPER_XVFB_PID" 2>/dev/null || true
    unset JUMPER_XVFB_PID
  fi
}

# Fonts chosen on purpose, not whatever the machine happens to have: the program's Tahoma
# is Liberation Sans, whose widths come within a pixel of Windows' Tahoma 8 (no label
# outgrows the layout), and Marlett, Wine's own, draws the caption buttons' glyphs.
jumper_set_fonts() {
  "$JUMPER_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /t REG_SZ \
    /d "Liberation Sans" /f >/dev/null 2>&1 &&
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
}

_jumper_wine_env() {
  if [[ -z $JUMPER_WINE || -z $JUMPER_WINESERVER ]]; then
    echo "wine-env: Wine is not installed: install Debian's wine and wine64 packages" \
         "(scripts/setup.sh does)" >&2
    return 1
  fi
  if ! command -v Xvfb >/dev/null; then
    echo "wine-env: no Xvfb command: install Debian's xvfb package (scripts/setup.sh does)" >&2
    return 1
  fi
  trap jumper_stop_wine EXIT
  if [[ -z ${DISPLAY:-} || ${JUMPER_XVFB:-0} == 1 ]]; then
    jumper_start_xvfb || return 1
  fi

  if [[ -e $WINEPREFIX && $(cat "$WINEPREFIX/.jumper-made-with" 2>/dev/null) != "$_jumper_prefix_made_with" ]]; then
    echo "wine-env: $WINEPREFIX was made with another Wine set-up than this one" \
         "($JUMPER_WINE_ID); making it anew"
    "$JUMPER_WINESERVER" -k 2>/dev/null || true
    "$JUMPER_WINESERVER" -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  if [[ ! -e $WINEPREFIX ]]; then
    mkdir -p "$WINEPREFIX"
    "$JUMPER_WINE" wineboot -i >"$WINEPREFIX.log" 2>&1 || true
    if [[ ! -d $WINEPREFIX/drive_c/windows/system32 ]]; then
      cat "$WINEPREFIX.log" >&2
      echo "wine-env: wineboot could not make $WINEPREFIX (its output is above)" >&2
      rm -rf "$WINEPREFIX"
      return 1
    fi
    "$JUMPER_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1
    "$JUMPER_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f \
      >/dev/null 2>&1
    "$JUMPER_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f \
      >/dev/null 2>&1
    if ! jumper_set_fonts; then
      echo "wine-env: could not set the prefix's fonts (are fonts-wine and" \
           "fonts-liberation installed? scripts/setup.sh installs them)" >&2
      rm -rf "$WINEPREFIX"
      return 1
    fi
    "$JUMPER_WINESERVER" -w
    echo "$_jumper_prefix_made_with" >"$WINEPREFIX/.jumper-made-with"
  fi

  jumper_try_win32
  if ((JUMPER_WIN32)); then
    echo "wine-env: Wine runs both builds ($JUMPER_WINE)"
  else
    echo "wine-env: Wine runs the 64-bit build only ($JUMPER_WINE): $JUMPER_WIN32_WHY"
  fi
}
_jumper_wine_env

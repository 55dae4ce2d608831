#!/usr/bin/env bash
# Runs a Windows program under Wine on a virtual display of its own: a
# 640 x 480 screen at 96 pixels per inch, the size the desktop program's
# end-to-end tests and screenshots are made for. The prefix is the test
# prefix under build/ (scripts/test-windows.sh creates it); this script adds
# what windows need there: Wine's own fonts ("MS Sans Serif" as the bitmap
# font Windows has, Tahoma for the message boxes) and window frames drawn by
# Wine, as there is no window manager. Usage: wine-gui.sh PROGRAM.exe [ARGS]
set -uo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-env.sh

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  DISPLAY= "$WINE" wineboot --init >/dev/null 2>&1
fi
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ ! -f "$fonts/sserife.fon" ]; then
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/* "$fonts/"
fi
if ! grep -q '"Decorated"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  DISPLAY= "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
fi
# A server started for another display would keep its windows there.
"$WINESERVER" --kill >/dev/null 2>&1
"$WINESERVER" --wait >/dev/null 2>&1

# The "device not ready" lines are Wine's note on reading drive z:'s label.
xvfb-run -a -s "-screen 0 640x480x24 -dpi 96 -nolisten tcp" "$WINE" "$@" 2> >(grep -v 'FS volume label and serial are not available' >&2)
rc=$?
"$WINESERVER" --kill >/dev/null 2>&1
"$WINESERVER" --wait >/dev/null 2>&1
exit "$rc"

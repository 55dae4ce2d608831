# Sourced by the scripts that run Windows programs under Wine: the programs
# and the private test prefix under build/ (created on first use by
# scripts/test-windows.sh or wine-gui.sh), headless, without Mono or Gecko
# installers or host menu entries, with a fixed US English locale so that
# the code pages are 437 (OEM) and 1252 (ANSI) whatever the caller's is.
# Expects the current directory to be the checkout's top.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wine}"
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=C.UTF-8

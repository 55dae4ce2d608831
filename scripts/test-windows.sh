#!/usr/bin/env bash
# The Windows part of the test run: cross-builds the 64-bit and the 32-bit
# Windows executables with MinGW-w64, then runs each 64-bit test program once
# under Wine. The 32-bit build is compiled and linked only, as 32-bit
# programs cannot start on these machines.
#
# Wine runs headless (console programs need no window system) in a private
# prefix under build/, created on the first run, with a fixed US English
# locale so that the code pages are 437 (OEM) and 1252 (ANSI) whatever the
# caller's locale is. Then the desktop program's end-to-end tests run on a
# virtual display (scripts/wine-gui.sh). Exits non-zero when a build or a
# test program fails.
set -uo pipefail
cd "$(dirname "$0")/.."

# Each test program gets this many seconds; a hang must not stall CI.
TEST_TIMEOUT=${TEST_TIMEOUT:-300}

export WINEPREFIX="$PWD/build/wine"
source scripts/wine-env.sh
unset DISPLAY WAYLAND_DISPLAY

results=()
failed=0

record() {
  local name="$1" rc="$2" started="$3"
  local seconds=$(($(date +%s) - started))
  if [ "$rc" -eq 0 ]; then
    results+=("PASS  $name (${seconds}s)")
  else
    results+=("FAIL  $name (exit $rc, ${seconds}s)")
    failed=$((failed + 1))
  fi
}

build() {
  local preset="$1" started rc
  started=$(date +%s)
  echo "--> build $preset"
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"
  rc=$?
  record "build $preset" "$rc" "$started"
  return "$rc"
}

# The .exe files must start on a Windows without MinGW's runtime DLLs beside
# them: only system DLLs may be imported.
self_contained() {
  local preset="$1" started rc=0 exe dlls
  started=$(date +%s)
  while IFS= read -r exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | grep -Ei 'libstdc|libgcc|libwinpthread')
    if [ -n "$dlls" ]; then
      echo "$exe needs $(echo "$dlls" | tr '\n' ' ')"
      rc=1
    fi
  done < <(find "build/$preset" -name '*.exe' -not -path '*/CMakeFiles/*')
  # The desktop program starts without a console window.
  # (grep reads all of objdump's output: an early exit would fail the pipe.)
  if ! x86_64-w64-mingw32-objdump -p "build/$preset/dbfclean.exe" 2>/dev/null | grep 'Subsystem.*Windows GUI' >/dev/null; then
    echo "build/$preset/dbfclean.exe is missing or not a GUI program"
    rc=1
  fi
  record "$preset executables need no MinGW DLLs, dbfclean.exe is a GUI program" "$rc" "$started"
}

prepare_wine() {
  local started rc
  started=$(date +%s)
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "--> creating the Wine prefix $WINEPREFIX (once)"
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot --init >/dev/null 2>&1
  fi
  # One server for all the runs below, so that each program starts at once.
  "$WINESERVER" --persistent=30 >/dev/null 2>&1
  "$WINE" cmd /c exit 0 >/dev/null 2>&1
  rc=$?
  record "Wine ready" "$rc" "$started"
  return "$rc"
}

if build mingw64; then
  self_contained mingw64
  if prepare_wine; then
    started=$(date +%s)
    echo "--> the test programs under Wine"
    ctest --preset mingw64 --timeout "$TEST_TIMEOUT"
    record "engine_tests.exe and app_tests.exe under Wine" "$?" "$started"
    "$WINESERVER" --kill >/dev/null 2>&1
    "$WINESERVER" --wait >/dev/null 2>&1
    started=$(date +%s)
    echo "--> dbfclean.exe end to end, under Wine on a virtual display"
    # Drive q: of the prefix is a directory that a test takes away while the
    # dialog is open, as a medium taken out of its drive.
    mkdir -p build/e2e-media
    ln -sfn "$PWD/build/e2e-media" "$WINEPREFIX/dosdevices/q:"
    DBFCLEAN_E2E_DRIVE=q DBFCLEAN_E2E_MEDIA="Z:${PWD//\//\\}\\build\\e2e-media" \
      timeout --kill-after=10 "$TEST_TIMEOUT" bash scripts/wine-gui.sh build/mingw64/app/win32/e2e/dbfclean_e2e.exe --gtest_color=no
    record "dbfclean.exe end to end under Wine" "$?" "$started"
    rm -f "$WINEPREFIX/dosdevices/q:"
    rmdir build/e2e-media 2>/dev/null
  fi
fi
build mingw32 && self_contained mingw32

echo
echo "Windows summary:"
printf '  %s\n' "${results[@]}"
if [ "$failed" -ne 0 ]; then
  echo "Windows: $failed failed"
  exit 1
fi
echo "Windows: all passed"

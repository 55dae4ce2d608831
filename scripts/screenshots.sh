#!/usr/bin/env bash
# make screenshots: builds the 64-bit Windows program and pictures its four
# windows under Wine on a virtual display into docs/screenshots/ as PNG:
# the selection dialog, the progress panel, the summary box and the halting
# box. The driver's screenshot run writes each window cut from the screen.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 --target dbfclean_e2e
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
DBFCLEAN_SHOTS="Z:${out//\//\\}" bash scripts/wine-gui.sh build/mingw64/app/win32/e2e/dbfclean_e2e.exe \
  --gtest_also_run_disabled_tests --gtest_filter='Screenshots.*' --gtest_color=no
mkdir -p docs/screenshots
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
for name in win32-dialog win32-panel win32-summary win32-halt; do
  "$convert" "$out/$name.bmp" -strip "docs/screenshots/$name.png"
  echo "docs/screenshots/$name.png"
done

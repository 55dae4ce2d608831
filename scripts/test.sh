#!/usr/bin/env bash
# Builds and runs every suite this machine can run: the Linux build, the
# same under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows
# builds (64-bit tests under Wine; the 32-bit build is compiled and linked
# only, as 32-bit programs cannot start here) and the interop tests.
set -uo pipefail
cd "$(dirname "$0")/.."

passed=0
failed=0
failures=()

step() {
  local name="$1"
  shift
  echo "==> $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

linux() {
  local preset="$1"
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" &&
    ctest --preset "$preset"
}

step "Linux build and tests" linux release
step "Linux tests under ASan and UBSan" linux asan
step "Fuzz targets (short runs, fixed seed)" bash scripts/fuzz.sh --short
if [ -f scripts/test-windows.sh ]; then
  step "Windows build and tests under Wine" bash scripts/test-windows.sh
fi

echo
if [ "$failed" -ne 0 ]; then
  printf 'failed: %s\n' "${failures[@]}"
fi
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

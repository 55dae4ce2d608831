#!/usr/bin/env bash
# Builds and runs every suite this machine can run: the Linux build (with
# the desktop program's, the interop and the fuzz targets' tests), the same
# under AddressSanitizer and UndefinedBehaviorSanitizer, a 32-bit Linux build
# under qemu-i386 (the data model of the 32-bit Windows program), and the
# Windows builds (64-bit tests under Wine; the 32-bit build is compiled and
# linked only, as 32-bit Windows programs cannot start here) and the
# releases of make package, installed and run.
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

step "Linux build and tests (with the fuzz targets' short runs)" linux release
step "Linux tests under ASan and UBSan" linux asan
step "32-bit Linux build, its tests under qemu-i386" linux linux32
if [ -f scripts/test-windows.sh ]; then
  step "Windows build and tests under Wine" bash scripts/test-windows.sh
fi
# After the Windows step, whose build directories the releases reuse.
step "Packages: make package, then each kind installed and run" \
  bash -c 'bash scripts/package.sh && bash packaging/tests/test-packages.sh && bash packaging/tests/test-signing.sh'

echo
if [ "$failed" -ne 0 ]; then
  printf 'failed: %s\n' "${failures[@]}"
fi
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Installs the Debian packages the build and the test suites need, once.
# Idempotent: packages already present are not touched, and apt is not
# called at all when nothing is missing.
set -euo pipefail

packages=(
  build-essential cmake make pkg-config
  libgtest-dev googletest libbenchmark-dev
  qt6-base-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine64 xvfb xauth x11-apps imagemagick
  python3 python3-dbf python3-dbfread shapelib
  time bc
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

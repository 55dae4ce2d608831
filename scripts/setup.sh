#!/usr/bin/env bash
# Installs the Debian packages the build and the test suites need, once.
# Idempotent: packages already present are not touched, and apt is not
# called at all when nothing is missing.
#   setup.sh --run   only what building and running dbfclean-cli needs
#                    (make run, make build)
#   setup.sh         everything the test suites need as well (make test)
set -euo pipefail

# Building and running the command-line program: a compiler, CMake, make.
run_packages=(build-essential cmake make)

packages=(
  "${run_packages[@]}"
  pkg-config
  libgtest-dev googletest libbenchmark-dev
  qt6-base-dev fonts-dejavu-core
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine64 fonts-wine fonts-liberation xvfb xauth x11-apps x11-utils xdotool imagemagick
  python3 python3-dbf python3-dbfread shapelib samba python3-smbc
  time bc
  nsis lintian dpkg-dev fakeroot desktop-file-utils appstream zip unzip man-db xz-utils
  osslsigncode gnupg openssl
  clang libclang-rt-14-dev
  g++-multilib qemu-user
)

if [ "${1:-}" = "--run" ]; then
  packages=("${run_packages[@]}")
fi

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

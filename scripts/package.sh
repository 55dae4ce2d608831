#!/usr/bin/env bash
# make package: the releases, into dist/:
#   dbfclean-VERSION-win64.zip, dbfclean-VERSION-win64-setup.exe   (x86-64)
#   dbfclean-VERSION-win32.zip, dbfclean-VERSION-win32-setup.exe   (i686)
#   dbfclean-cli_VERSION_ARCH.deb, dbfclean_VERSION_ARCH.deb       (this machine's Debian architecture)
#   SHA256SUMS over all of them (and SHA256SUMS.asc with GPG_KEY)
# With SIGN_CERT and SIGN_KEY the Windows programs, installers and
# uninstallers are signed (packaging/windows/sign.sh).
# The Windows releases come from the build directories that
# scripts/test-windows.sh uses (build/mingw64, build/mingw32), so that after
# make test only the packing is left; the Debian packages from their own
# build, build/deb, made with Debian's hardening flags for /usr.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every file in dist/ is a function of the commit: the archives' and the
# packages' times are the commit's, and the checksums are listed in byte order.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
fi
export SOURCE_DATE_EPOCH
export LC_ALL=C

version=$(sed -n 's/^project(dbfclean VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# What cpack packs: the programs and the files installed beside them.
targets=(dbfclean dbfclean-cli)

pack() {
  local dir="$1" generators="$2"
  rm -rf "$dir/_packages"
  (cd "$dir" && cpack -G "$generators" -B _packages >/dev/null)
}

rm -rf dist
mkdir -p dist

for preset in mingw64 mingw32; do
  echo "--> Windows ($preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target "${targets[@]}"
  pack "build/$preset" "ZIP;NSIS"
  cp "build/$preset/_packages/"dbfclean-"$version"-win*.zip "build/$preset/_packages/"dbfclean-"$version"-win*-setup.exe dist/
done

echo "--> Debian packages"
if [ ! -f build/deb/CMakeCache.txt ]; then
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B build/deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DDBFCLEAN_TESTS=OFF -DDBFCLEAN_QT=ON >/dev/null
fi
cmake --build build/deb --parallel 2 --target "${targets[@]}" dbfclean_docs
pack build/deb DEB
cp build/deb/_packages/*.deb dist/

bash scripts/sign-sums.sh dist
echo "dist/:"
ls -l dist

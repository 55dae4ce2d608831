#!/usr/bin/env bash
# The signing of make package, with throwaway keys: a certificate authority
# and a code-signing certificate made here, and a GnuPG key in a scratch
# keyring. The win64 releases are packed again from build/mingw64 (make
# package first) with SIGN_CERT and SIGN_KEY: the zip's two programs, the
# installer and the uninstaller it installs (under Wine) verify against that
# authority, and the installed programs are the zip's bytes; with GPG_KEY
# the checksums get a detached signature that gpg verifies, and that fails
# on a changed file. The releases of make package without keys carry no
# signature. Ends with "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
version=$(sed -n 's/^project(dbfclean VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

export WINEPREFIX="$root/build/wine"
source scripts/wine-env.sh
unset DISPLAY WAYLAND_DISPLAY

work=$(mktemp -d /tmp/dbfclean-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The throwaway GnuPG key lives in a scratch keyring, never the caller's.
export GNUPGHOME="$work/gnupg"
mkdir -m 700 "$GNUPGHOME"
source "$root/packaging/tests/checks.sh"
verified() { osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >"$work/verify.txt" 2>&1 || { cat "$work/verify.txt"; return 1; }; }

make_keys() {
  cd "$work" || return 1
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=dbfclean test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null &&
    openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj "/CN=dbfclean test signer" 2>/dev/null &&
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >ext.cnf &&
    openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 -extfile ext.cnf -out sign.pem 2>/dev/null &&
    gpg --batch --quiet --passphrase '' --quick-gen-key "dbfclean test <test@example.org>" ed25519 sign 1d 2>/dev/null
}

# Packed again with the keys; the signing time is now, within the
# certificate's day.
pack_signed() {
  SIGN_CERT="$work/sign.pem" SIGN_KEY="$work/sign.key" SOURCE_DATE_EPOCH=$(date +%s) \
    bash -c 'cd build/mingw64 && cpack -G "ZIP;NSIS" -B "$1" >"$1.log" 2>&1' _ "$work/pk" || { tail -20 "$work/pk.log"; return 1; }
  mkdir -p "$work/zip" && unzip -q "$work/pk/dbfclean-$version-win64.zip" -d "$work/zip"
}

zip_and_installer_signed() {
  verified "$work/zip/dbfclean.exe" && verified "$work/zip/dbfclean-cli.exe" &&
    verified "$work/pk/dbfclean-$version-win64-setup.exe"
}

installed_signed() {
  local dir="$work/installed" name
  timeout 120 "$WINE" "$work/pk/dbfclean-$version-win64-setup.exe" /S "/D=Z:${dir//\//\\}" || return 1
  timeout 120 "$WINESERVER" --wait
  verified "$dir/Uninstall.exe" || return 1
  for name in dbfclean.exe dbfclean-cli.exe; do cmp "$work/zip/$name" "$dir/$name" || return 1; done
  timeout 120 "$WINE" "$dir/Uninstall.exe" /S "_?=Z:${dir//\//\\}" && timeout 120 "$WINESERVER" --wait
}

sums_signed() {
  mkdir -p "$work/dist" && cp "$work/pk/"*.zip "$work/pk/"*-setup.exe "$work/dist/" &&
    GPG_KEY=test@example.org bash scripts/sign-sums.sh "$work/dist" &&
    gpg --verify "$work/dist/SHA256SUMS.asc" "$work/dist/SHA256SUMS" 2>/dev/null || return 1
  echo "x" >>"$work/dist/SHA256SUMS"
  if gpg --verify "$work/dist/SHA256SUMS.asc" "$work/dist/SHA256SUMS" 2>/dev/null; then
    echo "a changed SHA256SUMS verified"
    return 1
  fi
}

unsigned_without_keys() {
  mkdir -p "$work/plain" && unzip -q "dist/dbfclean-$version-win64.zip" -d "$work/plain" || return 1
  local file
  for file in "$work/plain/dbfclean.exe" "$work/plain/dbfclean-cli.exe" "dist/dbfclean-$version-win64-setup.exe"; do
    if osslsigncode verify -in "$file" >/dev/null 2>&1; then
      echo "$file is signed"
      return 1
    fi
  done
  [ ! -e dist/SHA256SUMS.asc ] || { echo "dist/SHA256SUMS.asc without GPG_KEY"; return 1; }
}

check "throwaway CA, code-signing certificate and GnuPG key" make_keys
check "the win64 releases packed with SIGN_CERT and SIGN_KEY" pack_signed
check "the zip's dbfclean.exe and dbfclean-cli.exe and the installer verify against the CA" zip_and_installer_signed
check "the installed Uninstall.exe verifies; the installed programs are the zip's signed bytes" installed_signed
check "GPG_KEY: SHA256SUMS.asc verifies with gpg, and fails on a changed SHA256SUMS" sums_signed
check "make package without keys: no signature on the programs and installer, no SHA256SUMS.asc" unsigned_without_keys
"$WINESERVER" --kill >/dev/null 2>&1
checks_end signing

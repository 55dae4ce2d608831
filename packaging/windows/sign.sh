#!/usr/bin/env bash
# sign.sh FILE: an Authenticode signature on the PE file FILE, in place, with
# the maintainer's code-signing certificate SIGN_CERT and key SIGN_KEY (PEM
# or DER files; SIGN_PASS the key's passphrase, if any). The signing time is
# the commit's (SOURCE_DATE_EPOCH), so that signing a file twice gives the
# same bytes: the zip's and the installer's copies stay identical.
set -euo pipefail
file="$1"
args=(-certs "$SIGN_CERT" -key "$SIGN_KEY" -h sha256 -n dbfclean)
[ -n "${SIGN_PASS:-}" ] && args+=(-pass "$SIGN_PASS")
[ -n "${SOURCE_DATE_EPOCH:-}" ] && args+=(-time "$SOURCE_DATE_EPOCH")
osslsigncode sign "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
mv "$file.signed" "$file"

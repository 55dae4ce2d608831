#!/usr/bin/env bash
# sign-sums.sh DIR: SHA256SUMS over the files of DIR, in byte order, and with
# a maintainer's GnuPG key (GPG_KEY: its id or fingerprint, from the
# caller's keyring) its detached signature SHA256SUMS.asc.
set -euo pipefail
cd "$1"
rm -f SHA256SUMS SHA256SUMS.asc
LC_ALL=C sha256sum -- * >SHA256SUMS
if [ -n "${GPG_KEY:-}" ]; then
  gpg --batch --yes --local-user "$GPG_KEY" --armor --detach-sign --output SHA256SUMS.asc SHA256SUMS
fi

#!/usr/bin/env bash
# make reproducible: the releases of the checked-out commit built twice, in
# two fresh clones at two different paths, and their SHA256SUMS compared.
# Any difference is a file that depends on more than the commit (a time, a
# path, an order). Takes two full release builds; not part of make test.
set -euo pipefail
cd "$(dirname "$0")/.."

commit=$(git rev-parse HEAD)
work=$(mktemp -d /tmp/dbfclean-reproducible.XXXXXX)
trap 'rm -rf "$work"' EXIT
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "note: uncommitted changes are not part of the builds; building $commit"
fi

for tree in one two-at-another-path; do
  echo "==> build in $work/$tree"
  git clone --quiet --no-local . "$work/$tree"
  git -C "$work/$tree" checkout --quiet "$commit"
  (cd "$work/$tree" && bash scripts/package.sh >"$work/$tree.log" 2>&1) || {
    tail -30 "$work/$tree.log"
    exit 1
  }
done

if diff -u "$work/one/dist/SHA256SUMS" "$work/two-at-another-path/dist/SHA256SUMS"; then
  echo "reproducible: the two builds of $commit give the same $(wc -l <"$work/one/dist/SHA256SUMS") files"
  cat "$work/one/dist/SHA256SUMS"
else
  echo "NOT reproducible: the files above differ between the two builds of $commit"
  exit 1
fi

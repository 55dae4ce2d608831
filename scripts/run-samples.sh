#!/usr/bin/env bash
# make run: copies the bundled sample tables to a scratch directory and cleans
# them with dbfclean-cli, so that the samples themselves stay damaged.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=scratch/samples
rm -rf "$scratch"
mkdir -p "$scratch"
cp -p samples/*.dbf samples/*.ndx "$scratch"/ 2>/dev/null || true
echo "Cleaning a copy of the samples in $scratch:"
ls -l "$scratch"
echo
build/release/dbfclean-cli "$scratch"
echo
echo "After the run:"
ls -l "$scratch"

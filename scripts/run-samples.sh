#!/usr/bin/env bash
# make run: copies the bundled sample tables (with their memo and index files)
# to a scratch directory and cleans them with dbfclean-cli, so that the
# samples themselves stay damaged. samples/generate.py makes them anew.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${DBFCLEAN_CLI:-build/release/dbfclean-cli}
scratch=scratch/samples
rm -rf "$scratch"
mkdir -p "$scratch"
# Everything but the generator: names differ in case (CUSTOMER.DBF, CUSTNO.NDX).
find samples -maxdepth 1 -type f ! -name '*.py' -exec cp -p {} "$scratch"/ \;
echo "Cleaning a copy of the samples in $scratch:"
ls -l "$scratch"
echo
status=0
"$cli" "$scratch" || status=$?
echo
echo "After the run (the .ndx files are gone, the tables repaired in place):"
ls -l "$scratch"
exit "$status"

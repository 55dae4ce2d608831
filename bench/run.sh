#!/usr/bin/env bash
# Times dbfclean-cli on a large generated table against `cat` of the same
# file (both from the page cache), and reports the peak memory of the run.
# usage: bench/run.sh [MEGABYTES]   (default 256)
set -euo pipefail
cd "$(dirname "$0")/.."
mb="${1:-256}"
dir=build/bench-data
rm -rf "$dir"
mkdir -p "$dir"
echo "Generating a ${mb} MB table (a NUL byte pair in every 1000th record)..."
python3 bench/make_table.py "$dir/big.dbf" "$mb" 1000
cat "$dir/big.dbf" > /dev/null   # warm the page cache

seconds() { local s e; s=$(date +%s.%N); "$@" > /dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }

t_cat=$(seconds cat "$dir/big.dbf")
t_dry=$(seconds build/release/dbfclean-cli --dry-run --quiet "$dir")
peak=$( { /usr/bin/time -f '%M' build/release/dbfclean-cli --quiet "$dir" > /dev/null; } 2>&1 | tail -1)
t_clean=$(seconds build/release/dbfclean-cli --quiet "$dir")

printf '%-40s %8.2f s\n' "cat" "$t_cat"
printf '%-40s %8.2f s\n' "dbfclean-cli --dry-run" "$t_dry"
printf '%-40s %8.2f s\n' "dbfclean-cli (nothing left to fix)" "$t_clean"
printf '%-40s %8s KiB\n' "peak memory of the repairing run" "$peak"
if [ -x build/release/bench/bench_scrub ]; then
  build/release/bench/bench_scrub
fi
rm -rf "$dir"

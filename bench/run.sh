#!/usr/bin/env bash
# make bench: dbfclean-cli on a generated table of 1,000,000 records x 20
# fields (301 MB, 1 % of the fields damaged) against `cat` of the same file,
# both from the page cache, best of 5 runs each, measured in the same run;
# then the scrub benchmark (Google Benchmark).
# usage: bench/run.sh [RECORDS] [DAMAGED_PERCENT]
set -euo pipefail
cd "$(dirname "$0")/.."
records="${1:-1000000}"
percent="${2:-1}"
cli=build/release/dbfclean-cli
dir=build/bench-data
rm -rf "$dir"
mkdir -p "$dir/run"
echo "Generating $records records x 20 fields, $percent % of the fields damaged..."
read -r n nuls damaged < <(python3 bench/make_wide_table.py "$dir/damaged.dbf" "$records" "$percent")
size=$(stat -c %s "$dir/damaged.dbf")
echo "  $((size / 1000000)) MB, $nuls NUL bytes in $damaged records"
table="$dir/run/big.dbf"

now() { date +%s.%N; }
# best of 5 of "$@", with `prepare` run (untimed) before each
best() {
  local prepare="$1"; shift
  local best="" s e t
  for _ in 1 2 3 4 5; do
    $prepare
    cat "$table" > /dev/null
    s=$(now); "$@" > /dev/null 2>&1 || true; e=$(now)
    t=$(echo "$e - $s" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}
peak() { /usr/bin/time -f '%M' "$@" 2>&1 > /dev/null | tail -1; }
# (synced, so that the copy's own writing back is not charged to the next run)
damage() { cp "$dir/damaged.dbf" "$table"; sync; }
repaired() { :; }

damage
t_cat=$(best damage cat "$table")
t_dry=$(best damage "$cli" --dry-run --quiet "$dir/run")
t_fix=$(best damage "$cli" --quiet "$dir/run")
damage; m_fix=$(peak "$cli" --quiet "$dir/run")
t_clean=$(best repaired "$cli" --quiet "$dir/run")
m_clean=$(peak "$cli" --quiet "$dir/run")
damage; m_dry=$(peak "$cli" --dry-run --quiet "$dir/run")

ratio() { printf "%.2f" "$(echo "scale=4; $1 / $2" | bc)"; }
echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf '%-34s %9s %9s %12s\n' "run (best of 5)" "seconds" "x cat" "peak memory"
printf '%-34s %9.3f %9s %12s\n' "cat of the table" "$t_cat" "1.0" "-"
printf '%-34s %9.3f %9s %9s KiB\n' "dbfclean-cli, repair" "$t_fix" "$(ratio "$t_fix" "$t_cat")" "$m_fix"
printf '%-34s %9.3f %9s %9s KiB\n' "dbfclean-cli, nothing to fix" "$t_clean" "$(ratio "$t_clean" "$t_cat")" "$m_clean"
printf '%-34s %9.3f %9s %9s KiB\n' "dbfclean-cli --dry-run" "$t_dry" "$(ratio "$t_dry" "$t_cat")" "$m_dry"
echo
if [ -x build/release/bench/bench_scrub ]; then
  build/release/bench/bench_scrub
fi
rm -rf "$dir"

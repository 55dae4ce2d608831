#!/usr/bin/env bash
# make bench: dbfclean-cli on a generated table of 1,000,000 records x 20
# fields (301 MB, 1 % of the fields damaged) against `cat` of the same file,
# both from the page cache, best of 5 runs each, measured in the same run;
# a tree of 1,000 directories checked with --recursive against find and cat
# of its tables; then the scrub benchmark (Google Benchmark).
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

# A tree as a file server holds it: 100 clients x 10 years, 10 clean tables
# of 100 records in each of the 1,000 directories, checked with --recursive
# against cat of every table that find finds, all from the page cache.
echo
echo "Generating a tree of 1,000 directories with 10 tables each..."
read -r ndirs ntables nbytes < <(python3 bench/make_tree.py "$dir/tree")
echo "  $ndirs directories, $ntables tables, $((nbytes / 1000000)) MB"
warm() { find "$dir/tree" -name '*.dbf' -exec cat {} + > /dev/null; }
best_tree() {
  local best="" s e t
  for _ in 1 2 3 4 5; do
    warm
    s=$(now); "$@" > /dev/null 2>&1 || true; e=$(now)
    t=$(echo "$e - $s" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}
t_find=$(best_tree find "$dir/tree" -name '*.dbf' -exec cat {} +)
t_tree=$(best_tree "$cli" --check --quiet --recursive "$dir/tree")
m_tree=$(peak "$cli" --check --quiet --recursive "$dir/tree")
t_tree_fix=$(best_tree "$cli" --quiet --recursive "$dir/tree")
m_tree_fix=$(peak "$cli" --quiet --recursive "$dir/tree")
echo
printf '%-34s %9s %9s %12s\n' "tree (best of 5)" "seconds" "x find" "peak memory"
printf '%-34s %9.3f %9s %12s\n' "find -name '*.dbf' -exec cat" "$t_find" "1.0" "-"
printf '%-34s %9.3f %9s %9s KiB\n' "dbfclean-cli --check -r" "$t_tree" "$(ratio "$t_tree" "$t_find")" "$m_tree"
printf '%-34s %9.3f %9s %9s KiB\n' "dbfclean-cli -r, nothing to fix" "$t_tree_fix" "$(ratio "$t_tree_fix" "$t_find")" \
  "$m_tree_fix"

echo
if [ -x build/release/bench/bench_scrub ]; then
  build/release/bench/bench_scrub
fi
rm -rf "$dir"

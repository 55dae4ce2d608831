#!/usr/bin/env bash
# make bench: dbfclean-cli on a generated table of 1,000,000 records x 20
# fields (301 MB, 1 % of the fields damaged) against `cat` of the same file,
# both from the page cache, best of 5 runs each, measured in the same run;
# a tree of 1,000 directories checked with --recursive against find and cat
# of its tables; a tree of 1,000 directories of damaged tables repaired with
# --recursive against write_back (bench/write_back.cpp), the least such a
# repair must write and flush; then the scrub benchmark (Google Benchmark).
# usage: bench/run.sh [--cli PROGRAM] [RECORDS] [DAMAGED_PERCENT]
# --cli times another build's dbfclean-cli against the same yardsticks (the
# scrub benchmark, this checkout's engine, is then left out).
set -euo pipefail
cd "$(dirname "$0")/.."
cli=build/release/dbfclean-cli
scrub=build/release/bench/bench_scrub
if [ "${1:-}" = --cli ]; then
  cli=$(realpath "$2")
  scrub=
  shift 2
fi
records="${1:-1000000}"
percent="${2:-1}"
write_back=build/release/bench/write_back
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


# The same layout with small tables (30 records, 3 pages) of 3 NUL bytes each,
# repaired with --recursive against write_back, which erases each
# directory's index file and flushes the directory, then writes back each
# table's damaged pages and flushes the table. Each run gets a fresh copy of
# the damaged tree, made and synced before the clock starts; the two take
# turns, best of 5 each.
rm -rf "$dir/tree"
echo
echo "Generating a tree of 1,000 directories with 10 damaged tables each..."
read -r ndirs ntables nbytes < <(python3 bench/make_tree.py "$dir/damaged-tree" 100 10 10 30 3)
echo "  $ndirs directories, $ntables tables with 3 NUL bytes each, $((nbytes / 1000000)) MB"
fresh() { rm -rf "$dir/tree"; cp -a "$dir/damaged-tree" "$dir/tree"; sync; }
# seconds of one run of "$@", which must succeed
timed() {
  local s e
  s=$(now)
  if ! "$@" > /dev/null 2>&1; then echo "failed: $*" >&2; exit 1; fi
  e=$(now)
  echo "$e - $s" | bc
}
lower() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
t_ref="" t_tree_rep=""
for _ in 1 2 3 4 5; do
  fresh; t_tree_rep=$(lower "$t_tree_rep" "$(timed "$cli" --quiet --recursive "$dir/tree")")
  fresh; t_ref=$(lower "$t_ref" "$(timed "$write_back" "$dir/tree")")
done
fresh; m_tree_rep=$(peak "$cli" --quiet --recursive "$dir/tree")
rm -rf "$dir/tree"
echo
printf '%-34s %9s %9s %12s\n' "damaged tree (best of 5)" "seconds" "x write" "peak memory"
printf '%-34s %9.3f %9s %12s\n' "write_back" "$t_ref" "1.0" "-"
printf '%-34s %9.3f %9s %9s KiB\n' "dbfclean-cli -r, repair" "$t_tree_rep" "$(ratio "$t_tree_rep" "$t_ref")" \
  "$m_tree_rep"

echo
if [ -n "$scrub" ] && [ -x "$scrub" ]; then
  "$scrub"
fi
rm -rf "$dir"

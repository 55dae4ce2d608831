#!/usr/bin/env bash
# Fuzzing with libFuzzer (clang): the header reader, a whole scrub, USE and
# the file-name utilities. Builds the targets with AddressSanitizer and
# UndefinedBehaviorSanitizer into build/fuzz, writes the seed corpus, then
# runs each target.
#   scripts/fuzz.sh            each target for FUZZ_SECONDS (default 60)
#   scripts/fuzz.sh --short    each target for 5 seconds with a fixed seed,
#                              after replaying the kept regression inputs
# A crash leaves its input in build/fuzz/crashes/TARGET/; keep it as a
# regression case in tests/fuzz/regressions/TARGET/ once the fault is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
short=0
if [ "${1:-}" = "--short" ]; then short=1; seconds=5; fi
out=build/fuzz
mkdir -p "$out/obj"
CXX=${CXX_FUZZ:-clang++}
flags=(-std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
  -Iengine/include -Iapp/core -Iengine/tests/testkit)
sources=(engine/platform/common.cpp engine/platform/posix/posix_platform.cpp engine/src/*.cpp
  app/core/scrub.cpp app/core/table_health.cpp app/core/run.cpp app/core/file_list.cpp
  engine/tests/testkit/testkit.cpp)
objects=()
for src in "${sources[@]}"; do
  obj="$out/obj/$(echo "$src" | tr '/' '_').o"
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] || [ -n "$(find engine/include engine/src app/core engine/platform engine/tests/testkit -newer "$obj" -name '*.h' 2>/dev/null | head -1)" ]; then
    "$CXX" "${flags[@]}" -fsanitize=fuzzer-no-link -c "$src" -o "$obj"
  fi
  objects+=("$obj")
done
python3 tests/fuzz/make_corpus.py "$out/corpus"
failed=0
for target in header scrub use names; do
  exe="$out/fuzz_$target"
  "$CXX" "${flags[@]}" -fsanitize=fuzzer -Itests/fuzz "tests/fuzz/fuzz_$target.cpp" "${objects[@]}" -o "$exe"
  mkdir -p "$out/crashes/$target" "$out/work/$target"
  regressions=(tests/fuzz/regressions/$target/*)
  regressions=("${regressions[@]/*\/.gitkeep/}")
  for r in "${regressions[@]}"; do
    [ -n "$r" ] && [ -f "$r" ] || continue
    "$exe" "$r" > /dev/null 2>&1 || { echo "fuzz $target: regression $r fails"; failed=1; }
  done
  echo "--> fuzz_$target for ${seconds}s"
  if ! "$exe" -seed=1 -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 \
      -artifact_prefix="$out/crashes/$target/" "$out/work/$target" "$out/corpus/$target" > "$out/$target.log" 2>&1; then
    tail -30 "$out/$target.log"
    echo "fuzz $target: failed; the input is in $out/crashes/$target/"
    failed=1
  else
    grep DONE "$out/$target.log" | tail -1 || true
  fi
done
rm -rf /tmp/dbfclean-fuzz-*
[ "$failed" -eq 0 ] && echo "fuzz: all targets passed" 
exit "$failed"

// Throughput of the scrub: a table is generated once (bench/make_table.py),
// then scrubbed again and again. After the first pass the NUL bytes are gone,
// so later passes measure the walk itself, which is what a large healthy
// table costs; the dry run measures a walk that finds NUL bytes every time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "run.h"

namespace {

std::string TablePath(int megabytes, int nulEvery) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "dbfclean-bench";
  fs::create_directories(dir);
  fs::path p = dir / ("t" + std::to_string(megabytes) + "_" + std::to_string(nulEvery) + ".dbf");
  std::string cmd = "python3 " DBFCLEAN_BENCH_DIR "/make_table.py '" + p.string() + "' " + std::to_string(megabytes) +
                    " " + std::to_string(nulEvery) + " > /dev/null";
  if (std::system(cmd.c_str()) != 0) std::abort();
  return p.string();
}

void Scrub(benchmark::State& state, bool dryRun) {
  const int megabytes = static_cast<int>(state.range(0));
  const std::string path = TablePath(megabytes, 100);
  kestrel::Engine engine;
  dbfclean::ScrubOptions options;
  options.dryRun = dryRun;
  for (auto _ : state) {
    dbfclean::Counters counters;
    dbfclean::ScrubTable(engine, path, counters, options);
    benchmark::DoNotOptimize(counters.ZeroesFixed);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
  std::filesystem::remove(path);
}

void BM_ScrubDryRun(benchmark::State& state) { Scrub(state, true); }
void BM_ScrubInPlace(benchmark::State& state) { Scrub(state, false); }

// A field's number by its name, in field order as programs ask, and by a
// name that is not there: a lookup must not allocate or grow with the table.
void BM_FieldNo(benchmark::State& state) {
  const std::string path = TablePath(1, 100);
  kestrel::Engine engine;
  engine.USE(path);
  std::vector<std::string> names;
  for (int f = 1; f <= engine.FieldCount(); ++f) names.push_back(engine.Field(static_cast<uint8_t>(f)));
  names.push_back("nosuchname");
  for (auto _ : state) {
    for (const std::string& n : names) benchmark::DoNotOptimize(engine.FieldNo(n));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
  engine.USE("");
  std::filesystem::remove(path);
}

BENCHMARK(BM_FieldNo);
BENCHMARK(BM_ScrubDryRun)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrubInPlace)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

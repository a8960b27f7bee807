// Compose-and-save throughput of nimbrel-cli batch: 1 000 captions from a table, on every core,
// each written as a PNG file through the replacing save.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/cli_batch.h"

namespace {

constexpr int kCaptions = 1000;

std::vector<BatchRow> Table() {
  std::vector<BatchRow> rows;
  for (int i = 0; i < kCaptions; ++i) {
    BatchRow row;
    row.line = i + 1;
    row.fileName = "caption" + std::to_string(i) + ".png";
    row.title = "星の島 第" + std::to_string(i) + "章";
    row.secondLine = "2026年12月発売";
    row.description =
        "夜空に浮かぶ小さな島を巡る冒険ゲーム。\n三つの季節と十二の町があります。\n"
        "船で島から島へ渡り、灯台の謎を解きます。";
    rows.push_back(std::move(row));
  }
  return rows;
}

void BM_BatchComposeAndSave(benchmark::State& state) {
  const std::vector<BatchRow> rows = Table();
  std::string pattern = (std::filesystem::temp_directory_path() / "nimbrel-bench-XXXXXX").string();
  BatchSettings settings;
  settings.outDir = ::mkdtemp(pattern.data());
  settings.jobs = int(state.range(0));
  for (auto _ : state) {
    const std::vector<BatchOutcome> outcomes = RunBatchRows(rows, settings);
    if (!outcomes.back().ok) state.SkipWithError(outcomes.back().error.c_str());
  }
  state.SetItemsProcessed(state.iterations() * kCaptions);
  std::filesystem::remove_all(settings.outDir);
}

}  // namespace

BENCHMARK(BM_BatchComposeAndSave)
    ->Arg(1)
    ->Arg(int(std::max(1u, std::thread::hardware_concurrency())))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();

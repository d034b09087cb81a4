// Benchmarks of the synthesis engine: block generation and preset
// calculation. frames/s and the realtime factor (at 44100 Hz) are counters.
#include <benchmark/benchmark.h>

#include <vector>

#include "benchpreset.h"
#include "data/engine.h"
#include "main/preset.h"

namespace {

// Args: voices, 16-bit, modulations, noise.
void BM_GenerateBlock(benchmark::State& state) {
  BenchStartUp();
  int voices = static_cast<int>(state.range(0));
  bool wide = state.range(1) != 0, mod = state.range(2) != 0, noise = state.range(3) != 0;
  BenchRecord(voices, wide, mod, noise);
  std::vector<uint8_t> buf(static_cast<size_t>(BenchPlayback.BlockBytes));
  int frames = BenchPlayback.BlockBytes / (wide ? 4 : 2);
  for (auto _ : state) {
    GenerateBlock(BenchPlayback, buf.data());
    benchmark::DoNotOptimize(buf.data());
    benchmark::ClobberMemory();
  }
  double total = static_cast<double>(frames) * static_cast<double>(state.iterations());
  state.counters["frames/s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
  state.counters["realtime"] =
      benchmark::Counter(total / BenchPlayback.Options.SamplesPerSec, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GenerateBlock)
    ->ArgNames({"voices", "bits16", "mod", "noise"})
    ->ArgsProduct({{1, 3, 10}, {1, 0}, {0, 1}, {0, 1}});

void Calculate(benchmark::State& state, int segments, int voices, int nodes) {
  BenchStartUp();
  TakeEngineOptions(BenchPlayback, AdvancedOptions{});
  Preset p{};
  BenchPreset(p, segments, voices, nodes);
  int status = 0;
  for (auto _ : state) {
    BenchPlayback.ExtraSourceShare = 0;
    status = CalculatePreset(BenchPlayback, p, true, nullptr);
    benchmark::DoNotOptimize(status);
  }
  int records = 0;
  for (SweepRecord* r = FirstSweepRecord(BenchPlayback);; r = FollowingRecord(r)) {
    records++;
    if (r->Blocks <= 0) break;
  }
  state.counters["records"] = records;
  state.counters["status"] = status;
  FreePreset(p);
}

void BM_CalculateDefault(benchmark::State& state) { Calculate(state, 1, 1, 3); }
BENCHMARK(BM_CalculateDefault)->Unit(benchmark::kMillisecond);

void BM_CalculateLargest(benchmark::State& state) { Calculate(state, MAXSEGMENTS, MAXVOICES, MAXNODES); }
BENCHMARK(BM_CalculateLargest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The waveform preview's recomputation while the slider is dragged: each
// step evaluates Waveform and Waveform Filter at the new position, builds
// the 64-sample cycle and analyses it before and after the filter (what the
// preview does for every slider movement). Target: under 5 ms a step.
#include <benchmark/benchmark.h>

#include "data/synthesis/preview.h"
#include "data/synthesis/wavetab.h"

namespace {

// 100 nodes moving between shapes, and a filter sweeping its whole range.
void FillCurves(Param& wave, Param& filter) {
  wave = Param{};
  filter = Param{};
  wave.NumNodes = filter.NumNodes = MAXNODES;
  for (int i = 0; i < MAXNODES; ++i) {
    const auto t = static_cast<int16_t>(i * 10000 / (MAXNODES - 1));
    const int shape = (i * 37) % 1001, sharpness = (i * 53) % 1001;
    wave.Node[i] = Node{static_cast<int32_t>(uint32_t(sharpness) << 16 | uint32_t(shape)), t, 10, 1};
    filter.Node[i] = Node{i % 2 ? 120 : FILTER_NONE - 20, t, static_cast<uint8_t>(i % 21), 0};
  }
}

void BM_PreviewDragStep(benchmark::State& state) {
  Param wave, filter;
  FillCurves(wave, filter);
  WaveformPreviewData d;
  int position = 0;
  for (auto _ : state) {
    position = (position + 100) % 10001;  // the slider's line size
    PreviewWave(wave, position, &d);
    PreviewSpectrum(filter, position, &d);
    benchmark::DoNotOptimize(d.Filtered);
  }
}
BENCHMARK(BM_PreviewDragStep)->Unit(benchmark::kMicrosecond);

}  // namespace

// The editor's undo step on the largest preset (25 segments of 10 voices,
// 3 nodes a curve): recording a one-node edit, and recording a segment
// moved (the last two swap places) and undoing it. Each record compares the
// whole copy with the last state. "bytes/step" is what a step keeps.
#include <benchmark/benchmark.h>

#include "main/history.h"
#include "main/preset.h"
#include "main/presetedit.h"

namespace {

void Largest(Preset& p) {
  NewDefaultPreset(p);
  const EditRules off{false, 3, {}};
  for (int s = 1; s < MAXSEGMENTS; ++s) AddSegment(p, s - 1, off);
  for (int s = 0; s < MAXSEGMENTS; ++s)
    while (p.data.Segment[s].NumVoices < MAXVOICES) AddVoice(p, s, 0, off);
  // Segments that differ, so a move changes their curves.
  for (int s = 0; s < MAXSEGMENTS; ++s) SegParams(p, s)[VoicePidOf(0, VP_PITCH)].Node[1].Value = 10000 + 100 * s;
}

void BM_HistoryRecordNodeEdit(benchmark::State& state) {
  Preset p{};
  Largest(p);
  PresetHistory h(p);
  int32_t v = 0;
  for (auto _ : state) {
    SegParams(p, 12)[VoicePidOf(5, VP_BEAT)].Node[1].Value = ++v % 5000;
    benchmark::DoNotOptimize(h.Record(p));
  }
  state.counters["bytes/step"] = static_cast<double>(h.Bytes()) / static_cast<double>(h.Steps());
  FreePreset(p);
}
BENCHMARK(BM_HistoryRecordNodeEdit)->Unit(benchmark::kMicrosecond);

void BM_HistoryRecordMoveAndUndo(benchmark::State& state) {
  Preset p{};
  Largest(p);
  PresetHistory h(p);
  size_t bytes = 0;
  for (auto _ : state) {
    MoveSegment(p, 24, -1, EditRules{false, 3, {}});
    h.Record(p);
    bytes = h.Bytes();
    h.Undo(p);
  }
  state.counters["bytes/step"] = static_cast<double>(bytes);
  FreePreset(p);
}
BENCHMARK(BM_HistoryRecordMoveAndUndo)->Unit(benchmark::kMicrosecond);

}  // namespace

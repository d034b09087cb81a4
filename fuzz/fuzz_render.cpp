// Rendering presets from a file image: the first two presets of the file
// are calculated and played for two seconds in every output format (8 and
// 16 bits, 11025, 44100 and 96000 Hz, AudioStrobe on and off, inverted and
// not). A preset with a background mixes a short synthetic sound, in
// interval mode for AMBIX_OTHER and looped otherwise.
//
// Work per input is bounded: two presets; each is calculated once as it is
// (16 bits, 44100 Hz) with the calculation aborted after kRecordBudget
// records or kWaveformBudget waveform tables through its progress sink, as a
// user would, and in every format cut to its first seconds (Shorten), which
// play the same.
#include <algorithm>
#include <cstring>
#include <vector>

#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"
#include "data/engine.h"
#include "file/fileread.h"
#include "fuzz/fuzzcommon.h"
#include "main/preset.h"
#include "tests/common/riffimage.h"

namespace {

// The record this program plays on.
PlaybackState Playback;

constexpr int kPresets = 2;
constexpr int kRecordBudget = 2000;  // the built-ins need up to 468
constexpr int kWaveformBudget = 10;  // the built-ins need up to 2
constexpr int kSeconds = 2;
constexpr int kShortLength = 4;

struct Kept {
  Preset P[kPresets] = {};
  int Count = 0;
};

void Keep(void* ctx, int ordinal, const Preset& p) {
  auto* k = static_cast<Kept*>(ctx);
  if (ordinal < kPresets && k->Count < kPresets) CopyPreset(k->P[k->Count++], p);
}

// Filtered waveform tables are the costly part of a calculation (a preset
// whose filter moves builds one per record).
bool Budget(void* ctx, int) {
  return ++*static_cast<int*>(ctx) > kRecordBudget || WaveformCacheCount(Playback) > kWaveformBudget;
}

// 0.1 s of a stereo 16-bit 22050 Hz ramp, in RIFF WAVE form.
std::vector<unsigned char> BackgroundWave() {
  riffimg::Bytes samples;
  for (int i = 0; i < 2205; ++i) {
    riffimg::Put16(samples, static_cast<uint16_t>(i * 29 - 32000));
    riffimg::Put16(samples, static_cast<uint16_t>(32000 - i * 29));
  }
  return riffimg::Wave(2, 22050, 16, samples);
}

// The background part of a playback start, without touching the disk.
void SetBackground(const Preset& p) {
  Playback.PlayBackground = BackgroundChoice{};
  Playback.PlayBackground.ParamRow = ParamDefSpare[0];
  Playback.ExtraSourceShare = 0;
  Playback.BackgroundFrames = 0;
  if (p.data.Background == AMBIX_NONE) return;
  static const std::vector<unsigned char> wave = BackgroundWave();
  int32_t frames = 0;
  if (ReadWave(Playback.Options, wave.data(), wave.size(), &frames) != 0) return;
  Playback.PlayBackground.ParamRow = ParamDefSpare[1];
  Playback.BackgroundFrames = frames;
  Playback.PlayBackground.IntervalMode = p.data.Background == AMBIX_OTHER;
  Playback.ExtraSourceShare = 1;
}

void Render(const Preset& p, bool bits16, int rate, bool strobe) {
  AdvancedOptions o;
  o.Bits16 = bits16 ? 1 : 0;
  o.SamplesPerSec = rate;
  Playback.AudioStrobeOn.store(strobe ? 1 : 0);
  TakeEngineOptions(Playback, o);
  SetBackground(p);
  int records = 0;
  ProgressSink sink{Budget, &records};
  int calc = CalculatePreset(Playback, p, false, &sink);
  if (calc != 0) return;
  SweepRecord* first = FirstSweepRecord(Playback);
  if (first->Blocks == -1) return;
  static std::vector<unsigned char> block;
  for (int invert = 0; invert < 2; ++invert) {
    o.InvertSound = invert;
    TakeEngineOptions(Playback, o);
    block.assign(static_cast<size_t>(Playback.BlockBytes), 0);
    ResetOscillators(Playback);
    StartSweepWalk(Playback, first);
    for (int i = 0; i < kSeconds * 1000 / o.LenOfBlocks; ++i)
      if (GenerateBlock(Playback, block.data()) == 1) break;
  }
}

// The first seconds of p in a shape whose calculation stays short: the
// segments that start within the first 2.4 s, each at most 2.4 s long.
void Shorten(Preset& p) {
  int kept = 0;
  int64_t total = 0;
  while (kept < p.data.NumSegments && total < kShortLength) {
    Segment& seg = p.data.Segment[kept++];
    seg.Length = std::min(seg.Length, kShortLength);
    total += static_cast<int64_t>(seg.Length) * seg.Repeat;
  }
  p.data.NumSegments = static_cast<uint8_t>(std::max(kept, 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  static Kept k;
  k.Count = 0;
  ReadPresetsFromMemory(data, size, Keep, &k);
  static const int rates[] = {11025, 44100, 96000};
  for (int i = 0; i < k.Count; ++i) {
    Render(k.P[i], true, 44100, false);
    Shorten(k.P[i]);
    for (int bits16 = 0; bits16 < 2; ++bits16)
      for (int rate : rates)
        for (int strobe = 0; strobe < 2; ++strobe) Render(k.P[i], bits16 != 0, rate, strobe != 0);
    FreePreset(k.P[i]);
  }
  return 0;
}

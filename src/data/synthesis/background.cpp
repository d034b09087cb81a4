// Background mixing: the converted recording added under the voices with its
// own volume and modulation, the right ear optionally reading ahead of or
// behind the left, as a plain loop or restarted at intervals.
#include "data/synthesis/background.h"

#include <algorithm>
#include <cstdint>

#include "data/synthesis/generate.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "data/synthesis/wavetab.h"

namespace {

struct BgEar {
  int32_t Base, Depth;  // volume split into base and swinging part
  int Offset;           // right ear: phase offset of the modulation in table steps
  uint64_t Mod, ModStep;
  int64_t Cycle;  // frames until the ear starts the recording again
};

// Modulated volume index B + (m + 129) D / 256 for the table value at the
// ear's accumulator; the accumulator advances one frame.
inline int32_t VolumeIndex(BgEar& e) {
  int m = SineData8[(static_cast<int>(e.Mod >> PHASE_FRACBITS) + e.Offset) & (WAVELEN - 1)];
  e.Mod = (e.Mod + e.ModStep) & PHASE_MASK;
  return std::clamp(e.Base + (std::max(m, -127) + 129) * e.Depth / 256, 0, 10000);
}

// trunc(trunc(b * ConvVol[I] * g / 1024) / 64), one truncating division.
inline int32_t Scaled(int32_t b, int32_t index, int gain) {
  return static_cast<int32_t>(static_cast<int64_t>(b) * ConvVol[index] * gain / 65536);
}

// Left (c = 0) or right value of frame f, 8-bit values centred on 0.
inline int32_t Value(int64_t f, int c, bool wide) {
  if (wide) return reinterpret_cast<const int16_t*>(BackgroundData.Base)[2 * f + c];
  return BackgroundData.Base[2 * f + c] - 128;
}

inline void Add(void* out, int64_t at, int32_t s, bool wide) {
  if (wide) {
    int16_t* o = static_cast<int16_t*>(out) + at;
    *o = static_cast<int16_t>(*o + s);
  } else {
    uint8_t* o = static_cast<uint8_t*>(out) + at;
    *o = static_cast<uint8_t>(*o + s);
  }
}

}  // namespace

void MixBackground(PlaybackState& pb, void* out, int frames, int gain, const SweepRecord* r, bool wide, bool invert) {
  const int64_t L = pb.BackgroundFrames;
  if (L <= 0 || !BackgroundData.Base) return;
  const int rate = pb.Options.SamplesPerSec;
  const bool interval = pb.PlayBackground.IntervalMode;
  BgEar ear[2];
  for (int e = 0; e < 2; ++e) {
    BgEar& x = ear[e];
    int32_t v = std::clamp<int32_t>(r->BackgroundVolume[e], 0, 10000);
    x.Depth = v * r->BackgroundModDepth[e] / 100;
    x.Base = v - x.Depth;
    x.Offset = e == 0 ? 0 : r->BackgroundModPhase * 8192 / 360 + 8192;
    double exact;
    x.ModStep = RateStep(r->BackgroundModRate[e], rate, &exact);
    x.Mod = pb.BackgroundOsc.Mod[e] & PHASE_MASK;
    // Plain loop: the ears wrap at the end of the recording. Interval mode:
    // each ear starts again once it has passed the recording and its own
    // interval, so an interval of 0 or below L loops without a gap.
    x.Cycle = interval ? std::max<int64_t>(L, r->BackgroundInterval[e]) : L;
  }
  const int64_t shift = static_cast<int64_t>(r->BackgroundPhaseShift) * rate / 1000;
  const int64_t M = ear[1].Cycle;  // the right ear reads within its own cycle
  const int outL = invert ? 1 : 0, outR = invert ? 0 : 1;

  int64_t X = pb.BackgroundOsc.Pos[0], Y = pb.BackgroundOsc.Pos[1];
  if (!interval) Y = X;
  // A true modulus: a shift longer than the cycle still lands inside it.
  int64_t read = ((Y + shift) % M + M) % M;
  for (int64_t n = 0; n < frames; ++n) {
    int32_t il = VolumeIndex(ear[0]), ir = VolumeIndex(ear[1]);
    if (X < L) Add(out, 2 * n + outL, Scaled(Value(X, 0, wide), il, gain), wide);
    if (read < L) Add(out, 2 * n + outR, Scaled(Value(read, 1, wide), ir, gain), wide);
    if (++X >= ear[0].Cycle) X = 0;
    if (interval) {
      if (++Y >= M) Y = 0;
    } else {
      Y = X;
    }
    // Y + shift moves with Y, so its remainder just steps on.
    if (++read >= M) read = 0;
  }
  pb.BackgroundOsc.Pos[0] = static_cast<int32_t>(X);
  pb.BackgroundOsc.Pos[1] = static_cast<int32_t>(Y);
  pb.BackgroundOsc.Mod[0] = ear[0].Mod;
  pb.BackgroundOsc.Mod[1] = ear[1].Mod;
}

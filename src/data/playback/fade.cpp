#include "data/playback/fade.h"

#include <algorithm>

#include "data/synthesis/generate.h"
#include "data/synthesis/options.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/walk.h"

namespace {

// The quarter sine in CURVE_STEPS steps, made by the compiler.
constexpr int CURVE_STEPS = 1024;
constexpr int CURVE_SHIFT = 16;  // fraction bits between two steps

constexpr double QuarterSine(double x) {
  // Taylor series: at x = pi/2 the 12th term is below 1e-20.
  double term = x, sum = x;
  for (int n = 1; n < 12; ++n) {
    term *= -x * x / ((2.0 * n) * (2.0 * n + 1.0));
    sum += term;
  }
  return sum;
}

struct CurveTable {
  int32_t V[CURVE_STEPS + 1];
};

constexpr CurveTable MakeCurve() {
  CurveTable c{};
  for (int i = 0; i <= CURVE_STEPS; ++i)
    c.V[i] = static_cast<int32_t>(QuarterSine(1.5707963267948966 * i / CURVE_STEPS) * FADE_UNITY + 0.5);
  c.V[CURVE_STEPS] = FADE_UNITY;
  return c;
}

constexpr CurveTable kCurve = MakeCurve();
static_assert(kCurve.V[0] == 0 && kCurve.V[CURVE_STEPS / 2] == 23170, "sin(pi/4) = 0.7071");

void GainFrame(void* block, int64_t k, bool wide, int32_t g) {
  if (wide) {
    int16_t* p = static_cast<int16_t*>(block) + 2 * k;
    p[0] = FadeSample16(p[0], g);
    p[1] = FadeSample16(p[1], g);
  } else {
    uint8_t* p = static_cast<uint8_t*>(block) + 2 * k;
    p[0] = FadeSample8(p[0], g);
    p[1] = FadeSample8(p[1], g);
  }
}

// The gain at frame f of a fade-out over the `len` frames before `end`: the
// first of them at full level, the last one silent.
int32_t FadeOutGain(int64_t f, int64_t end, int64_t len) {
  if (f >= end) return 0;
  if (f < end - len) return FADE_UNITY;
  return len > 1 ? FadeCurve(end - 1 - f, len - 1) : 0;
}

PlaybackFades gSet;

// The running playback's ramps (the generating thread's).
struct FadeRun {
  int32_t Rate = 44100;
  int64_t BlockFrames = 0;
  int64_t QueuedBlocks = 0;  // the blocks the device holds (MemoryBlocks)
  int64_t Frame = 0;         // frames generated since the start
  int64_t InFrames = 0;
  int64_t StopFrames = 0;
  int32_t Mode = SLEEP_OFF;
  int64_t EndFrame = 0;   // SLEEP_AFTER: silent from here on
  int64_t OutFrames = 0;  // length of the sleep fade
  int64_t EndStep = -1;   // the walk's step at its end (WalkEndStep), -1 never
  // The gain the sleep fade has reached: it never rises again (a freeze
  // holds it, a walk put back on the audible block does not undo it), unless
  // a new sleep timer gives it back, at Rise per frame.
  int32_t Cap = FADE_UNITY;
  bool Recovering = false;
  int32_t Rise = 1;
  const PlaybackState* Pb = nullptr;  // the playback the fades belong to
} gRun;

int64_t MsToFrames(int64_t ms) { return ms * gRun.Rate / 1000; }

// Frames between the sound generated last and the sound heard: the blocks
// the device holds.
int64_t QueuedFrames() { return gRun.QueuedBlocks * gRun.BlockFrames; }

// Frames after the block generated last until the walk ends (SLEEP_AT_END),
// or -1 when it never does.
int64_t WalkFramesLeft() {
  if (gRun.EndStep <= 0) return -1;
  int64_t step = MarkSweepWalk(*gRun.Pb).Step;
  return std::max<int64_t>(gRun.EndStep - 1 - step, 0) * gRun.BlockFrames;
}

void SetSleep(int32_t mode, int64_t afterMs, int32_t fadeMs) {
  gRun.Mode = mode;
  gRun.OutFrames = MsToFrames(std::max(fadeMs, 0));
  if (mode == SLEEP_AFTER) {
    // Counted from what is heard, not from what has been generated ahead.
    int64_t heard = gRun.Frame > 0 ? std::max<int64_t>(gRun.Frame - QueuedFrames(), 0) : 0;
    gRun.EndFrame = std::max(heard + MsToFrames(std::max<int64_t>(afterMs, 0)), gRun.Frame);
    gRun.OutFrames = std::min(gRun.OutFrames, gRun.EndFrame - gRun.Frame);
  } else if (mode == SLEEP_AT_END) {
    int64_t left = WalkFramesLeft();
    if (left < 0)
      gRun.Mode = SLEEP_OFF;
    else
      gRun.OutFrames = std::min(gRun.OutFrames, left);
  }
}

}  // namespace

int32_t FadeCurve(int64_t pos, int64_t len) {
  if (pos >= len) return FADE_UNITY;
  if (pos <= 0) return 0;
  int64_t x = (pos << (CURVE_SHIFT + 10)) / len;  // CURVE_STEPS = 2^10
  int64_t i = x >> CURVE_SHIFT, frac = x & ((1 << CURVE_SHIFT) - 1);
  int64_t a = kCurve.V[i], b = kCurve.V[i + 1];
  return static_cast<int32_t>(a + (((b - a) * frac) >> CURVE_SHIFT));
}

void FadeOutBlock(void* block, int64_t frames, bool wide, int64_t first, int64_t endFrame, int64_t fadeFrames) {
  for (int64_t k = std::max<int64_t>(endFrame - fadeFrames - first, 0); k < frames; ++k)
    GainFrame(block, k, wide, FadeOutGain(first + k, endFrame, fadeFrames));
}

void SetPlaybackFades(const PlaybackFades& f) { gSet = f; }

const PlaybackFades& PlaybackFadesSet() { return gSet; }

void StartPlaybackFades(const PlaybackState& pb, const PlaybackFades& f) {
  gRun = FadeRun{};
  gRun.Pb = &pb;
  gRun.Rate = std::max(pb.Options.SamplesPerSec, 1);
  gRun.BlockFrames = pb.BlockBytes / (pb.Options.Bits16 ? 4 : 2);
  gRun.QueuedBlocks = pb.Options.MemoryBlocks;
  gRun.InFrames = MsToFrames(std::max(f.FadeInMs, 0));
  gRun.StopFrames = MsToFrames(std::max(f.StopFadeMs, 0));
  gRun.Rise = std::max(2 * FADE_UNITY / gRun.Rate, 1);
  gRun.EndStep = WalkEndStep(FirstSweepRecord());
  SetSleep(f.Sleep, f.SleepAfterMs, f.SleepFadeMs);
  // A start writes at least one block, or the device would never hand one
  // back to end the playback with.
  if (gRun.Mode == SLEEP_AFTER && gRun.EndFrame < gRun.BlockFrames) {
    gRun.EndFrame = gRun.BlockFrames;
    gRun.OutFrames = std::min(gRun.OutFrames, gRun.EndFrame);
  }
}

int GeneratePlaybackBlock(PlaybackState& pb, void* buffer) {
  const int64_t first = gRun.Frame;
  if (gRun.Mode == SLEEP_AFTER && first >= gRun.EndFrame) return 1;
  if (GenerateBlock(pb, buffer)) return 1;
  const int64_t n = gRun.BlockFrames;
  gRun.Frame += n;
  int64_t end = INT64_MAX, len = 0;
  if (gRun.Mode == SLEEP_AFTER) {
    end = gRun.EndFrame;
    len = gRun.OutFrames;
  } else if (gRun.Mode == SLEEP_AT_END) {
    // The walk's last block ends the fade, wherever a freeze has moved it.
    end = first + (gRun.EndStep - static_cast<int64_t>(MarkSweepWalk(pb).Step)) * n;
    len = gRun.OutFrames;
  }
  bool touched = first < gRun.InFrames || first + n > end - len || gRun.Cap < FADE_UNITY || gRun.Recovering;
  if (!touched) return 0;
  const bool wide = pb.Options.Bits16 != 0;
  for (int64_t k = 0; k < n; ++k) {
    int64_t f = first + k;
    int32_t target = FadeOutGain(f, end, len);
    if (gRun.Recovering) {
      int32_t up = gRun.Cap + gRun.Rise;
      gRun.Recovering = up < target;
      gRun.Cap = std::min(up, target);
    } else {
      gRun.Cap = std::min(gRun.Cap, target);
    }
    int32_t g = gRun.Cap;
    if (f < gRun.InFrames) g = static_cast<int32_t>((int64_t{g} * FadeCurve(f, gRun.InFrames) + 16384) >> 15);
    if (g != FADE_UNITY) GainFrame(buffer, k, wide, g);
  }
  return 0;
}

void ChangePlaybackSleep(int32_t mode, int64_t afterMs, int32_t fadeMs) {
  SetSleep(mode, afterMs, fadeMs);
  if (gRun.Cap < FADE_UNITY) gRun.Recovering = true;
}

int32_t PlaybackSleepMode() { return gRun.Mode; }

int64_t PlaybackStopFadeFrames() { return gRun.StopFrames; }

int64_t PlaybackSleepLeftMs(bool* fading) {
  int64_t left = -1;
  if (gRun.Mode == SLEEP_AFTER) left = std::max<int64_t>(gRun.EndFrame - gRun.Frame, 0);
  if (gRun.Mode == SLEEP_AT_END) left = WalkFramesLeft();
  if (left < 0) return -1;
  // What is heard lags what has been made by the queued blocks.
  left += QueuedFrames();
  if (fading) *fading = left <= gRun.OutFrames;
  return left * 1000 / gRun.Rate;
}

bool EditStopFade(void* ctx, unsigned char* data, uint32_t bytes, int64_t queuedBytes) {
  StopFade& s = *static_cast<StopFade*>(ctx);
  const int frameBytes = s.Wide ? 4 : 2;
  if (s.Done == 0 && s.Length == 0) s.Length = std::min(s.Frames, queuedBytes / frameBytes);
  const int64_t frames = static_cast<int64_t>(bytes) / frameBytes;
  for (int64_t k = 0; k < frames; ++k) GainFrame(data, k, s.Wide, FadeOutGain(s.Done + k, s.Length, s.Length));
  s.Done += frames;
  return s.Done < s.Length;
}

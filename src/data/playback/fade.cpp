#include "data/playback/fade.h"

#include <algorithm>

#include "data/synthesis/generate.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
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

static_assert(FadeRun{}.Cap == FADE_UNITY && FadeRun{}.Mode == SLEEP_OFF, "a new run leaves the sound alone");

int64_t MsToFrames(const FadeRun& run, int64_t ms) { return ms * run.Rate / 1000; }

// Frames between the sound generated last and the sound heard: the blocks
// the device holds.
int64_t QueuedFrames(const FadeRun& run) { return run.QueuedBlocks * run.BlockFrames; }

// Frames after the block generated last until the walk ends (SLEEP_AT_END),
// or -1 when it never does.
int64_t WalkFramesLeft(const PlaybackState& pb) {
  const FadeRun& run = pb.Fade;
  if (run.EndStep <= 0) return -1;
  int64_t step = MarkSweepWalk(pb).Step;
  return std::max<int64_t>(run.EndStep - 1 - step, 0) * run.BlockFrames;
}

void SetSleep(PlaybackState& pb, int32_t mode, int64_t afterMs, int32_t fadeMs) {
  FadeRun& run = pb.Fade;
  run.Mode = mode;
  run.OutFrames = MsToFrames(run, std::max(fadeMs, 0));
  if (mode == SLEEP_AFTER) {
    // Counted from what is heard, not from what has been generated ahead.
    int64_t heard = run.Frame > 0 ? std::max<int64_t>(run.Frame - QueuedFrames(run), 0) : 0;
    run.EndFrame = std::max(heard + MsToFrames(run, std::max<int64_t>(afterMs, 0)), run.Frame);
    run.OutFrames = std::min(run.OutFrames, run.EndFrame - run.Frame);
  } else if (mode == SLEEP_AT_END) {
    int64_t left = WalkFramesLeft(pb);
    if (left < 0)
      run.Mode = SLEEP_OFF;
    else
      run.OutFrames = std::min(run.OutFrames, left);
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

void StartPlaybackFades(PlaybackState& pb, const PlaybackFades& f) {
  FadeRun& run = pb.Fade;
  run = FadeRun{};
  run.Rate = std::max(pb.Options.SamplesPerSec, 1);
  run.BlockFrames = pb.BlockBytes / (pb.Options.Bits16 ? 4 : 2);
  run.QueuedBlocks = pb.Options.MemoryBlocks;
  run.InFrames = MsToFrames(run, std::max(f.FadeInMs, 0));
  run.StopFrames = MsToFrames(run, std::max(f.StopFadeMs, 0));
  run.Rise = std::max(2 * FADE_UNITY / run.Rate, 1);
  run.EndStep = WalkEndStep(FirstSweepRecord(pb));
  SetSleep(pb, f.Sleep, f.SleepAfterMs, f.SleepFadeMs);
  // A start writes at least one block, or the device would never hand one
  // back to end the playback with.
  if (run.Mode == SLEEP_AFTER && run.EndFrame < run.BlockFrames) {
    run.EndFrame = run.BlockFrames;
    run.OutFrames = std::min(run.OutFrames, run.EndFrame);
  }
}

int GeneratePlaybackBlock(PlaybackState& pb, void* buffer) {
  FadeRun& run = pb.Fade;
  const int64_t first = run.Frame;
  if (run.Mode == SLEEP_AFTER && first >= run.EndFrame) return 1;
  if (GenerateBlock(pb, buffer)) return 1;
  const int64_t n = run.BlockFrames;
  run.Frame += n;
  int64_t end = INT64_MAX, len = 0;
  if (run.Mode == SLEEP_AFTER) {
    end = run.EndFrame;
    len = run.OutFrames;
  } else if (run.Mode == SLEEP_AT_END) {
    // The walk's last block ends the fade, wherever a freeze has moved it.
    end = first + (run.EndStep - static_cast<int64_t>(MarkSweepWalk(pb).Step)) * n;
    len = run.OutFrames;
  }
  bool touched = first < run.InFrames || first + n > end - len || run.Cap < FADE_UNITY || run.Recovering;
  if (!touched) return 0;
  const bool wide = pb.Options.Bits16 != 0;
  for (int64_t k = 0; k < n; ++k) {
    int64_t f = first + k;
    int32_t target = FadeOutGain(f, end, len);
    if (run.Recovering) {
      int32_t up = run.Cap + run.Rise;
      run.Recovering = up < target;
      run.Cap = std::min(up, target);
    } else {
      run.Cap = std::min(run.Cap, target);
    }
    int32_t g = run.Cap;
    if (f < run.InFrames) g = static_cast<int32_t>((int64_t{g} * FadeCurve(f, run.InFrames) + 16384) >> 15);
    if (g != FADE_UNITY) GainFrame(buffer, k, wide, g);
  }
  return 0;
}

void ChangePlaybackSleep(PlaybackState& pb, int32_t mode, int64_t afterMs, int32_t fadeMs) {
  SetSleep(pb, mode, afterMs, fadeMs);
  if (pb.Fade.Cap < FADE_UNITY) pb.Fade.Recovering = true;
}

int32_t PlaybackSleepMode(const PlaybackState& pb) { return pb.Fade.Mode; }

int64_t PlaybackStopFadeFrames(const PlaybackState& pb) { return pb.Fade.StopFrames; }

int64_t PlaybackSleepLeftMs(const PlaybackState& pb, bool* fading) {
  const FadeRun& run = pb.Fade;
  int64_t left = -1;
  if (run.Mode == SLEEP_AFTER) left = std::max<int64_t>(run.EndFrame - run.Frame, 0);
  if (run.Mode == SLEEP_AT_END) left = WalkFramesLeft(pb);
  if (left < 0) return -1;
  // What is heard lags what has been made by the queued blocks.
  left += QueuedFrames(run);
  if (fading) *fading = left <= run.OutFrames;
  return left * 1000 / run.Rate;
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

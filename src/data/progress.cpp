// Interpolation points of one parameter sweep and the resolution rule.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "data/sweep.h"
#include "main/arith.h"

ProgressRecord Progress[NPARAMS];

namespace {

int FindPiece(const ProgressRecord& p, int t) {
  for (int i = 0; i < 20; i++)
    if (p.WTimes[i] <= t && t <= p.WTimes[i + 1]) return i;
  return 19;
}

int32_t InterpolateValues(const int32_t* times, const int32_t* values, int i, int t) {
  int32_t dt = times[i + 1] - times[i];
  if (dt == 0) return values[i];
  // Values from files span the whole int32 range; their difference needs 64
  // bits, and a time past the piece (the last piece extended) saturates.
  int64_t v = values[i] + (static_cast<int64_t>(values[i + 1]) - values[i]) * (t - times[i]) / dt;
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int NextChangeIn(int32_t value, int32_t step, const int32_t* times, const int32_t* values, int from) {
  int64_t target = values[0] < values[20] ? static_cast<int64_t>(value) + step : static_cast<int64_t>(value) - step;
  for (int i = from; i < 20; i++) {
    int64_t dv = static_cast<int64_t>(values[i + 1]) - values[i];
    if (dv == 0) continue;
    int64_t time = times[i] + static_cast<int64_t>(times[i + 1] - times[i]) * (target - values[i]) / dv;
    if (time <= times[i + 1]) return static_cast<int>(time);
  }
  return 100000;
}

void SplitHalves(const int32_t* packed, int32_t* hi, int32_t* lo) {
  for (int i = 0; i < 21; i++) {
    hi[i] = static_cast<int32_t>(static_cast<uint32_t>(packed[i]) >> 16);
    lo[i] = static_cast<int32_t>(static_cast<uint32_t>(packed[i]) & 0xFFFF);
  }
}

int32_t Join(int32_t hi, int32_t lo) {
  return static_cast<int32_t>((static_cast<uint32_t>(hi) << 16) | (static_cast<uint32_t>(lo) & 0xFFFF));
}

}  // namespace

int32_t InterpolateProgress(const ProgressRecord& p, int t) {
  return InterpolateValues(p.WTimes, p.WValues, FindPiece(p, t), t);
}

int32_t InterpolatePackedProgress(const ProgressRecord& p, int t) {
  int32_t hi[21], lo[21];
  SplitHalves(p.WValues, hi, lo);
  int i = FindPiece(p, t);
  return Join(InterpolateValues(p.WTimes, hi, i, t), InterpolateValues(p.WTimes, lo, i, t));
}

int NextChangeTime(int32_t value, int32_t step, const ProgressRecord& p, int t) {
  return NextChangeIn(value, step, p.WTimes, p.WValues, FindPiece(p, t));
}

int NextChangeTimePacked(int32_t value, int32_t step, const ProgressRecord& p, int t) {
  int32_t hi[21], lo[21];
  SplitHalves(p.WValues, hi, lo);
  int i = FindPiece(p, t);
  int32_t vhi = static_cast<int32_t>(static_cast<uint32_t>(value) >> 16);
  int32_t vlo = static_cast<int32_t>(static_cast<uint32_t>(value) & 0xFFFF);
  return std::min(NextChangeIn(vhi, step, p.WTimes, hi, i), NextChangeIn(vlo, step, p.WTimes, lo, i));
}

int32_t ParamStep(int paramNum, int32_t v) {
  const ParamDefType& d = PlayParamDef(paramNum);
  int64_t x = std::llabs(static_cast<int64_t>(v)) * d.StepRel + static_cast<int64_t>(d.Step) * PowerOfTen[d.Digits];
  int64_t step = (x + 500) / 1000;
  return static_cast<int32_t>(std::max<int64_t>(2, std::min<int64_t>(step, INT32_MAX)));
}

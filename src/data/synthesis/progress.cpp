// Interpolation points of one parameter sweep and the resolution rule.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "data/synthesis/sweep.h"
#include "main/arith.h"

ProgressRecord Progress[NPARAMS];

namespace {

// The first piece i with WTimes[i] <= t <= WTimes[i + 1], else 19. With
// sorted times the first piece that holds t only moves forward as t grows
// (a piece before the one found for an earlier time ends before that time),
// so the search starts at the piece found last when t has not gone back.
int FindPiece(const ProgressRecord& p, int t) {
  int i = p.Sorted && t >= p.HintTime ? p.Hint : 0;
  for (; i < 20; i++) {
    if (p.WTimes[i] <= t && t <= p.WTimes[i + 1]) {
      p.Hint = i;
      p.HintTime = t;
      return i;
    }
  }
  return 19;
}

// A quotient that fits 32 bits is taken in 32 (the same truncation, a
// shorter division).
int64_t Divide(int64_t n, int64_t d) {
  if (n > INT32_MIN && n <= INT32_MAX && d > INT32_MIN && d <= INT32_MAX)
    return static_cast<int32_t>(n) / static_cast<int32_t>(d);
  return n / d;
}

int32_t InterpolateValues(const int32_t* times, const int32_t* values, int i, int t) {
  int32_t dt = times[i + 1] - times[i];
  if (dt == 0) return values[i];
  // Values from files span the whole int32 range; their difference needs 64
  // bits, and a time past the piece (the last piece extended) saturates.
  int64_t v = values[i] + Divide((static_cast<int64_t>(values[i + 1]) - values[i]) * (t - times[i]), dt);
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The first crossing of value +- step from piece `from` on: in the piece
// that holds it, times[i] + trunc(dt (target - values[i]) / dv), accepted when
// it does not pass times[i + 1]; 100000 when no piece holds one.
int NextChangeIn(int32_t value, int32_t step, const int32_t* times, const int32_t* values, int from, int64_t reachUp,
                 int64_t reachDown) {
  const bool up = values[0] < values[20];
  int64_t target = up ? static_cast<int64_t>(value) + step : static_cast<int64_t>(value) - step;
  if (up ? target >= reachUp : target <= reachDown) return 100000;
  for (int i = from; i < 20; i++) {
    int64_t dv = static_cast<int64_t>(values[i + 1]) - values[i];
    if (dv == 0) continue;
    const int64_t dt = times[i + 1] - times[i];
    // time <= times[i + 1] needs trunc(x / dv) <= dt; with the signs of x
    // and dv made those of x / dv and dv, and dt not negative, that is
    // x < (dt + 1) |dv| (a negative quotient is always within): the pieces
    // before the crossing cost no division.
    int64_t x = dt * (target - values[i]);
    if (dt >= 0 && (dv > 0 ? x : -x) >= (dt + 1) * (dv > 0 ? dv : -dv)) continue;
    int64_t time = times[i] + Divide(x, dv);
    if (time <= times[i + 1]) return static_cast<int>(time);
  }
  return 100000;
}

// Bounds for NextChangeIn. When every piece lasts at least 1 and the values
// never fall, a target at or above values[20] + the largest step dv between
// two points is never reached: from any point, target - values[i] >= dv_i
// (what is left of the sweep) + dv_i, so dt (target - values[i]) >= 2 dt dv_i
// >= (dt + 1) dv_i, and every piece is passed over. The same downwards.
void ReachOf(int32_t shortest, const int32_t* values, int64_t* up, int64_t* down) {
  int64_t rise = 0, fall = 0;  // the largest step up, and down (negative)
  for (int i = 0; i < 20; i++) {
    int64_t dv = static_cast<int64_t>(values[i + 1]) - values[i];
    rise = std::max(rise, dv);
    fall = std::min(fall, dv);
  }
  *up = shortest >= 1 && fall == 0 ? values[20] + rise : INT64_MAX;
  *down = shortest >= 1 && rise == 0 ? values[20] + fall : INT64_MIN;
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

void PrepareSweep(ProgressRecord& p, bool packed) {
  int32_t shortest = INT32_MAX;
  for (int i = 0; i < 20; i++) shortest = std::min(shortest, p.WTimes[i + 1] - p.WTimes[i]);
  p.Sorted = shortest >= 0;
  p.Hint = 0;
  p.HintTime = 0;
  ReachOf(shortest, p.WValues, &p.ReachUp[0], &p.ReachDown[0]);
  p.HasHalves = packed;
  if (packed) {
    SplitHalves(p.WValues, p.Halves[0], p.Halves[1]);
    ReachOf(shortest, p.Halves[0], &p.ReachUp[1], &p.ReachDown[1]);
    ReachOf(shortest, p.Halves[1], &p.ReachUp[2], &p.ReachDown[2]);
  }
}

int32_t InterpolateProgress(const ProgressRecord& p, int t) {
  return InterpolateValues(p.WTimes, p.WValues, FindPiece(p, t), t);
}

namespace {

// The halves of a packed sweep: kept by PrepareSweep, else split into `own`.
const int32_t (*HalvesOf(const ProgressRecord& p, int32_t (*own)[21]))[21] {
  if (p.HasHalves) return p.Halves;
  SplitHalves(p.WValues, own[0], own[1]);
  return own;
}

}  // namespace

int32_t InterpolatePackedProgress(const ProgressRecord& p, int t) {
  int32_t own[2][21];
  const int32_t(*h)[21] = HalvesOf(p, own);
  int i = FindPiece(p, t);
  return Join(InterpolateValues(p.WTimes, h[0], i, t), InterpolateValues(p.WTimes, h[1], i, t));
}

int NextChangeTime(int32_t value, int32_t step, const ProgressRecord& p, int t) {
  return NextChangeIn(value, step, p.WTimes, p.WValues, FindPiece(p, t), p.ReachUp[0], p.ReachDown[0]);
}

int NextChangeTimePacked(int32_t value, int32_t step, const ProgressRecord& p, int t) {
  int32_t own[2][21];
  const int32_t(*h)[21] = HalvesOf(p, own);
  int i = FindPiece(p, t);
  int32_t vhi = static_cast<int32_t>(static_cast<uint32_t>(value) >> 16);
  int32_t vlo = static_cast<int32_t>(static_cast<uint32_t>(value) & 0xFFFF);
  return std::min(NextChangeIn(vhi, step, p.WTimes, h[0], i, p.ReachUp[1], p.ReachDown[1]),
                  NextChangeIn(vlo, step, p.WTimes, h[1], i, p.ReachUp[2], p.ReachDown[2]));
}

int32_t ParamStep(const PlaybackState& pb, int paramNum, int32_t v) {
  const ParamDefType& d = PlayParamDef(pb, paramNum);
  int64_t x = std::llabs(static_cast<int64_t>(v)) * d.StepRel + static_cast<int64_t>(d.Step) * PowerOfTen[d.Digits];
  int64_t step = (x + 500) / 1000;
  return static_cast<int32_t>(std::max<int64_t>(2, std::min<int64_t>(step, INT32_MAX)));
}

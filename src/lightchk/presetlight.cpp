#include "lightchk/presetlight.h"

#include <algorithm>
#include <cmath>

#include "main/arith.h"
#include "main/preset.h"

namespace {

// The point at time t, or false after the preset's end.
bool PointAt(const Preset& p, double t, LightCurvePoint* out) {
  out->T = t;
  double start = 0;
  int last = std::clamp<int>(p.data.NumSegments, 1, MAXSEGMENTS) - 1;
  for (int s = 0; s <= last; ++s) {
    const Segment& seg = p.data.Segment[s];
    const Param* params = SegParams(p, s);
    if (!params) return false;
    double len = seg.Length * 0.6;
    double span = len * std::max<int>(seg.Repeat, 1);
    bool after = s == last && t >= start + span;
    if (after && !p.data.ContinuePlaying) return false;
    if (t < start + span || after) {
      int at = 10000;
      if (!after && len > 0) at = static_cast<int>(std::fmod(t - start, len) / len * 10000 + 0.5);
      for (int e = 0; e < 2; ++e) {
        out->Frequency[e] = static_cast<float>(CurveValue(params[PID_VISFREQ + e], at) / 1000.0);
        out->Brightness[e] =
            static_cast<float>(std::clamp(CurveValue(params[PID_VISBRIGHT + e], at), 0, 10000) / 100.0);
      }
      return true;
    }
    start += span;
  }
  return false;
}

}  // namespace

std::vector<LightCurvePoint> PresetLightCurve(const Preset& p, double step, double seconds) {
  std::vector<LightCurvePoint> out;
  if (step <= 0) return out;
  for (int64_t i = 0;; ++i) {
    double t = (static_cast<double>(i) + 0.5) * step;
    LightCurvePoint pt;
    if (t > seconds || !PointAt(p, t, &pt)) break;
    out.push_back(pt);
  }
  return out;
}

bool LightFollowsCurve(const LightReport& r, const std::vector<LightCurvePoint>& curve) {
  int lit = 0, near = 0;
  size_t at = 0;
  for (const LightSecond& s : r.Seconds) {
    // The curve's mean over the second: its points stand for the steps
    // whose middles they are.
    while (at < curve.size() && curve[at].T < s.T) ++at;
    double f[2] = {0, 0};
    int points = 0;
    for (size_t i = at; i < curve.size() && curve[i].T < s.T + 1; ++i, ++points)
      for (int e = 0; e < 2; ++e) f[e] += curve[i].Frequency[e];
    for (int e = 0; e < 2; ++e) {
      if (!s.Eye[e].Carrier) continue;
      lit++;
      if (points > 0 && std::fabs(s.Eye[e].Frequency - f[e] / points) <= 0.5) near++;
    }
  }
  return lit >= 3 && near * 10 >= lit * 9;
}

// The whole preset on one time axis.
#include "main/timeline.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "main/arith.h"
#include "main/preset.h"
#include "main/presetedit.h"

namespace {

int64_t Pow10(int n) {
  int64_t v = 1;
  while (n-- > 0) v *= 10;
  return v;
}

int SegCount(const PresetFixed& p) { return std::clamp<int>(p.data.NumSegments, 0, MAXSEGMENTS); }

// One curve of one segment: the record(s) it reads and the corners of its
// polyline, where its extremes lie.
struct SegCurve {
  bool Present = false;
  const Param* First = nullptr;
  const Param* Second = nullptr;  // the beat of separate pitches: Second - First
  ChartValueDef Def;
  int FromDigits = 0;
  std::vector<int> Times;  // increasing, 0..10000
  std::vector<int64_t> Values;
  TimelineSpan Whole;
};

int Nodes(const Param& p) { return std::clamp<int>(p.NumNodes, 1, MAXNODES); }

// The corners of a record's polyline: the 20 sub-interval starts of each
// node interval (as the interpolation places them) and the end.
void AddCorners(const Param& p, std::vector<int>& times) {
  const int n = Nodes(p);
  for (int i = 0; i + 1 < n; ++i) {
    const int t0 = p.Node[i].SweepTime, dt = p.Node[i + 1].SweepTime - t0;
    if (dt <= 0) continue;
    for (int k = 0; k < 20; ++k) times.push_back(t0 + dt * k / 20);
  }
  times.push_back(std::clamp<int>(p.Node[n - 1].SweepTime, 0, CHART_WIDTH));
  times.push_back(CHART_WIDTH);
}

// Evaluates a curve at times that do not decrease (it starts over when one
// does), keeping each record's interval instead of searching for it.
class Walker {
 public:
  explicit Walker(const SegCurve& c) : C(c) {}
  int64_t At(int t) {
    t = std::clamp(t, 0, CHART_WIDTH);
    if (t < Last) I1 = I2 = 0;
    Last = t;
    if (!C.Second) {
      const int i = Interval(*C.First, I1, t);
      return C.Def.Z ? NodeLow(C.Def, CurveValuePackedOn(*C.First, i, t)) : CurveValueOn(*C.First, i, t);
    }
    const int i1 = Interval(*C.First, I1, t), i2 = Interval(*C.Second, I2, t);
    const int64_t diff = int64_t(CurveValueOn(*C.Second, i2, t)) - CurveValueOn(*C.First, i1, t);
    // As the chart converts the difference of the pitches to the beat's digits.
    if (C.Def.Digits >= C.FromDigits) return diff * Pow10(C.Def.Digits - C.FromDigits);
    return diff / Pow10(C.FromDigits - C.Def.Digits);
  }

 private:
  // The first interval with t_i <= t < t_{i+1}, from the one found last.
  static int Interval(const Param& p, int& cursor, int t) {
    const int n = Nodes(p);
    while (cursor + 1 < n && t >= p.Node[cursor + 1].SweepTime) ++cursor;
    return cursor + 1 < n ? cursor : -1;
  }
  const SegCurve& C;
  int I1 = 0, I2 = 0, Last = 0;
};

// The curves of parameter tp in segment s: [0] left or both ears, [1] the
// right ear while the channels are separate.
void SegmentCurves(const BackgroundParamRow& bg, const Preset& p, int s, const TimelineParam& tp, SegCurve out[2]) {
  const Segment& seg = p.data.Segment[s];
  const Param* params = SegParams(p, s);
  const int n = tp.ParamNum;
  const int voice = std::clamp(tp.Voice, 0, MAXVOICES - 1);
  const int pid = PARAMID(voice, n);
  if (!params || !SegmentHasPid(seg, pid)) return;
  const ParamDefType& row = ParamRowOf(bg, n);
  for (int c = 0; c < 2; ++c) out[c].Def = RowValueDef(row, n);
  out[0].Present = true;
  out[0].First = &params[pid];
  if (n == PN_BEAT) {
    const int pitch = PARAMID(voice, PN_PITCH);
    if (params[pitch].ChannelMode != 0) {
      out[0].First = &params[pitch];
      out[0].Second = &params[pitch + 1];
      out[0].FromDigits = ParamDef[PN_PITCH].Digits;
    }
  } else if (row.Channels == 2 && params[pid].ChannelMode != 0) {
    out[1].Present = true;
    out[1].First = &params[pid + 1];
  }
}

// The corners of a curve and its values there, and its extremes over the
// whole segment.
void BuildCorners(SegCurve& k) {
  k.Times.clear();
  k.Values.clear();
  k.Whole = TimelineSpan();
  AddCorners(*k.First, k.Times);
  if (k.Second) AddCorners(*k.Second, k.Times);
  std::sort(k.Times.begin(), k.Times.end());
  k.Times.erase(std::unique(k.Times.begin(), k.Times.end()), k.Times.end());
  Walker w(k);
  k.Values.reserve(k.Times.size());
  for (int t : k.Times) {
    k.Values.push_back(w.At(t));
    k.Whole.Add(k.Values.back());
  }
}

// The extremes of a curve over segment times a..b (a <= b): the values at
// both ends and at every corner between.
void AddPiece(const SegCurve& k, Walker& w, int a, int b, TimelineSpan* span) {
  span->Add(w.At(a));
  auto from = std::upper_bound(k.Times.begin(), k.Times.end(), a);
  auto to = std::lower_bound(from, k.Times.end(), b);
  for (auto it = from; it != to; ++it) span->Add(k.Values[static_cast<size_t>(it - k.Times.begin())]);
  span->Add(w.At(b));
}

int64_t CeilDiv(int64_t a, int64_t b) { return a / b + (a % b != 0 ? 1 : 0); }

}  // namespace

std::vector<TimelineSegment> TimelineSegments(const PresetFixed& p) {
  std::vector<TimelineSegment> out;
  int64_t start = 0;
  for (int s = 0; s < SegCount(p); ++s) {
    const Segment& seg = p.data.Segment[s];
    TimelineSegment t;
    t.Start = start;
    t.Length = std::clamp<int64_t>(seg.Length, 1, MAXSEGLENGTH);
    t.Repeat = std::clamp<int32_t>(seg.Repeat, 1, MAXREPEAT);
    start = t.End();
    out.push_back(t);
  }
  return out;
}

int64_t TimelineLength(const std::vector<TimelineSegment>& segs) { return segs.empty() ? 0 : segs.back().End(); }

TimelinePlace LocateTimeline(const std::vector<TimelineSegment>& segs, int64_t t) {
  TimelinePlace r;
  if (segs.empty()) return r;
  if (t <= 0) return TimelinePlace{0, 0, 0};
  if (t >= TimelineLength(segs)) return TimelinePlace{int(segs.size()) - 1, segs.back().Repeat - 1, CHART_WIDTH};
  // The last segment starting at or before t.
  auto it =
      std::upper_bound(segs.begin(), segs.end(), t, [](int64_t v, const TimelineSegment& s) { return v < s.Start; });
  const int s = int(it - segs.begin()) - 1;
  const TimelineSegment& g = segs[static_cast<size_t>(s)];
  const int64_t into = t - g.Start;
  r.Segment = s;
  r.Pass = static_cast<int32_t>(into / g.Length);
  r.Time = static_cast<int>((into % g.Length) * CHART_WIDTH / g.Length);
  return r;
}

int64_t TimelineTimeOf(const std::vector<TimelineSegment>& segs, int segment, int time) {
  if (segment < 0 || segment >= int(segs.size())) return 0;
  const TimelineSegment& g = segs[static_cast<size_t>(segment)];
  return g.Start + g.Length * std::clamp(time, 0, CHART_WIDTH) / CHART_WIDTH;
}

ChartValueDef RowValueDef(const ParamDefType& r, int paramNum) {
  ChartValueDef d;
  d.ParamNum = paramNum;
  d.Min = r.Min;
  d.Max = r.Max;
  d.Digits = r.Digits;
  d.Shown = r.FlagB;
  d.FixedRange = r.FlagA != 0;
  d.Z = paramNum == PN_WAVEFORM;
  return d;
}

// A curve as worked out last, with the records it came from.
struct TimelineSampler::Curve {
  SegCurve K;
  Param A{}, B{};
  bool Valid = false;
};

TimelineSampler::TimelineSampler() = default;
TimelineSampler::~TimelineSampler() = default;

std::vector<TimelineColumn> SampleTimeline(const BackgroundParamRow& bg, const Preset& p, const TimelineParam& tp,
                                           int columns) {
  TimelineSampler s;
  return s.Sample(bg, p, tp, columns);
}

std::vector<TimelineColumn> TimelineSampler::Sample(const BackgroundParamRow& bg, const Preset& p,
                                                    const TimelineParam& tp, int columns) {
  Rebuilt = 0;
  std::vector<TimelineColumn> out(static_cast<size_t>(std::max(columns, 0)));
  const std::vector<TimelineSegment> segs = TimelineSegments(p);
  const int64_t total = TimelineLength(segs);
  if (columns <= 0 || total <= 0 || tp.ParamNum < 0 || tp.ParamNum >= PDBK) return out;
  // The corners of a curve depend on its records alone: they are worked out
  // again only where the records differ from those of the last call.
  Curves.resize(segs.size() * 2);
  for (size_t s = 0; s < segs.size(); ++s) {
    SegCurve fresh[2];
    SegmentCurves(bg, p, int(s), tp, fresh);
    for (size_t ch = 0; ch < 2; ++ch) {
      Curve& c = Curves[2 * s + ch];
      const SegCurve& f = fresh[ch];
      if (!f.Present) {
        c.K = SegCurve();
        c.Valid = false;
        continue;
      }
      const bool same = c.Valid && (c.K.Second != nullptr) == (f.Second != nullptr) && c.K.Def.Z == f.Def.Z &&
                        c.K.Def.Digits == f.Def.Digits && c.K.FromDigits == f.FromDigits &&
                        std::memcmp(&c.A, f.First, sizeof(Param)) == 0 &&
                        (!f.Second || std::memcmp(&c.B, f.Second, sizeof(Param)) == 0);
      c.K.First = f.First;
      c.K.Second = f.Second;
      if (same) continue;
      c.K.Present = true;
      c.K.Def = f.Def;
      c.K.FromDigits = f.FromDigits;
      BuildCorners(c.K);
      c.A = *f.First;
      if (f.Second) c.B = *f.Second;
      c.Valid = true;
      ++Rebuilt;
    }
  }
  std::vector<Walker> walkers;
  walkers.reserve(Curves.size());
  for (const Curve& c : Curves) walkers.emplace_back(c.K);

  size_t first = 0;  // the first segment that may reach the column
  for (int c = 0; c < columns; ++c) {
    const int64_t t0 = total * c / columns, t1 = total * (c + 1) / columns;
    while (first + 1 < segs.size() && segs[first].End() < t0) ++first;
    TimelineColumn& col = out[static_cast<size_t>(c)];
    for (size_t s = first; s < segs.size() && segs[s].Start <= t1; ++s) {
      const TimelineSegment& g = segs[s];
      const int64_t a = std::max(t0, g.Start), b = std::min(t1, g.End());
      if (b < a) continue;
      for (int ch = 0; ch < 2; ++ch) {
        const SegCurve& k = Curves[2 * s + size_t(ch)].K;
        if (!k.Present) continue;
        Walker& w = walkers[2 * s + size_t(ch)];
        TimelineSpan* span = &col.Curve[ch];
        if (b - a >= g.Length) {
          span->Add(k.Whole);  // a whole pass or more
          continue;
        }
        // Within one pass, or the end of one and the start of the next.
        const int64_t pass = std::min<int64_t>((a - g.Start) / g.Length, g.Repeat - 1);
        const int64_t p0 = g.Start + pass * g.Length;
        const int ta = static_cast<int>((a - p0) * CHART_WIDTH / g.Length);
        if (b <= p0 + g.Length) {
          const int tb = static_cast<int>(std::min<int64_t>(CeilDiv((b - p0) * CHART_WIDTH, g.Length), CHART_WIDTH));
          AddPiece(k, w, ta, std::max(ta, tb), span);
        } else {
          AddPiece(k, w, ta, CHART_WIDTH, span);
          const int64_t p1 = p0 + g.Length;
          const int tb = static_cast<int>(std::min<int64_t>(CeilDiv((b - p1) * CHART_WIDTH, g.Length), CHART_WIDTH));
          AddPiece(k, w, 0, tb, span);
        }
      }
    }
  }
  return out;
}

TimelineColumn TimelineValueAt(const BackgroundParamRow& bg, const Preset& p, const TimelineParam& tp, int64_t t) {
  TimelineColumn col;
  if (tp.ParamNum < 0 || tp.ParamNum >= PDBK) return col;
  const TimelinePlace at = LocateTimeline(TimelineSegments(p), t);
  if (at.Segment < 0) return col;
  SegCurve curves[2];
  SegmentCurves(bg, p, at.Segment, tp, curves);
  for (int ch = 0; ch < 2; ++ch)
    if (curves[ch].Present) col.Curve[ch].Add(Walker(curves[ch]).At(at.Time));
  return col;
}

// --- The time axis ------------------------------------------------------------

int64_t TimelineTimeStep(int64_t total, int pixels, int labelPixels) {
  if (total <= 0 || pixels <= 0) return 0;
  // Hundredths of a minute: 3 s, 6 s, 15 s, 30 s, 1 .. 30 minutes, 1 .. 12 hours.
  static const int64_t kSteps[] = {5, 10, 25, 50, 100, 200, 500, 1000, 1500, 3000, 6000, 12000, 18000, 36000, 72000};
  auto fits = [&](int64_t step) { return step * pixels / total >= labelPixels; };
  for (int64_t s : kSteps)
    if (fits(s)) return s;
  int64_t s = kSteps[std::size(kSteps) - 1];
  while (!fits(s) && s < total) s *= 2;
  return s;
}

std::string FormatTimelineTime(int64_t t, bool seconds) {
  // Hundredths of a minute are 0.6 s each: whole seconds are t x 3 / 5.
  const int64_t secs = std::max<int64_t>(t, 0) * 3 / 5;
  char buf[48];
  if (seconds)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60));
  return buf;
}

// The whole preset on one time axis, without widgets: where each segment and
// each repeat of it lies, and one parameter's curve across all of them as it
// plays.
//
// Preset time is counted in hundredths of a minute from the start, 64-bit
// (25 segments of 10000 minutes repeated 10000 times pass 32 bits). A
// segment repeated R times plays R passes one after another; inside a pass
// the segment time runs 0..10000 as node times do.
//
// The curve is the one the engine plays: the value of a parameter at a time
// is CurveValue (the 21-point polyline per node interval, Waveform's shape
// on its low half), the right ear's curve is drawn on its own while a
// parameter's channels are separate, and the beat of a voice whose pitch
// channels are separate is right pitch minus left pitch (what the two ears
// hear). A segment without the voice has no value there.
//
// Main thread (reads the editor's copy).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "main/chartmath.h"
#include "main/model.h"

// Where a segment lies: the start of its first pass, its length and repeat.
struct TimelineSegment {
  int64_t Start = 0;
  int64_t Length = 1;
  int32_t Repeat = 1;
  int64_t End() const { return Start + Length * Repeat; }
};
std::vector<TimelineSegment> TimelineSegments(const PresetFixed& p);
// The preset's whole length (0 without segments).
int64_t TimelineLength(const std::vector<TimelineSegment>& segs);

// The place of a preset time: its segment, the pass (0 the first) and the
// segment time 0..10000. A time on a boundary belongs to what starts there;
// the preset's end to the last pass, at 10000.
struct TimelinePlace {
  int Segment = -1;
  int32_t Pass = 0;
  int Time = 0;
};
TimelinePlace LocateTimeline(const std::vector<TimelineSegment>& segs, int64_t t);
// The preset time of segment time `time` in the first pass of a segment.
int64_t TimelineTimeOf(const std::vector<TimelineSegment>& segs, int segment, int time);

// What a chart of row `paramNum` knows of it, from the row `r` a preset gives
// row `paramNum` (ParamRowOf).
ChartValueDef RowValueDef(const ParamDefType& r, int paramNum);

// The parameter the timeline shows: row ParamNum of voice Voice (rows of the
// segment ignore the voice).
struct TimelineParam {
  int ParamNum = 0;
  int Voice = 0;
};

// A curve over a stretch of time: whether the segments there have it, and
// its smallest and largest value (stored units of the row's digits).
struct TimelineSpan {
  bool Present = false;
  int64_t Min = 0, Max = 0;
  void Add(int64_t v) {
    if (!Present) {
      Present = true;
      Min = Max = v;
    } else {
      if (v < Min) Min = v;
      if (v > Max) Max = v;
    }
  }
  void Add(const TimelineSpan& s) {
    if (s.Present) {
      Add(s.Min);
      Add(s.Max);
    }
  }
};
// One column of the timeline: [0] the left ear or both, [1] the right ear
// where the channels are separate.
struct TimelineColumn {
  TimelineSpan Curve[2];
};

// The timeline cut into `columns` equal stretches of preset time, column c
// covering [c x T / columns, (c + 1) x T / columns]: the extremes of the curve
// within each, so that a change shorter than a column still shows. `bg` is
// the preset's background row (the scale of the background's parameter).
std::vector<TimelineColumn> SampleTimeline(const BackgroundParamRow& bg, const Preset& p, const TimelineParam& tp,
                                           int columns);
// The same, keeping what it worked out of each segment's curve between
// calls: a segment whose records did not change since the last call is not
// worked out again (an edit touches one or two segments, and the timeline
// redraws after every edit).
class TimelineSampler {
 public:
  TimelineSampler();
  ~TimelineSampler();
  TimelineSampler(const TimelineSampler&) = delete;
  TimelineSampler& operator=(const TimelineSampler&) = delete;
  std::vector<TimelineColumn> Sample(const BackgroundParamRow& bg, const Preset& p, const TimelineParam& tp,
                                     int columns);
  // The curves the last call worked out again.
  int Reworked() const { return Rebuilt; }

 private:
  struct Curve;
  std::vector<Curve> Curves;
  int Rebuilt = 0;
};
// The values at one preset time.
TimelineColumn TimelineValueAt(const BackgroundParamRow& bg, const Preset& p, const TimelineParam& tp, int64_t t);

// --- The time axis ------------------------------------------------------------
// The step between time labels (hundredths of a minute) for a timeline of
// `total` drawn `pixels` wide whose labels need `labelPixels` each: the
// smallest of 3 s, 6 s, 15 s, 30 s, 1, 2, 5, 10, 15, 30 minutes, 1, 2, 3, 6,
// 12 hours, then doubling, that leaves that much room. 0 when even the
// largest step does not fit or total <= 0.
int64_t TimelineTimeStep(int64_t total, int pixels, int labelPixels);
// "h:mm", or "h:mm:ss" with seconds (steps under a minute).
std::string FormatTimelineTime(int64_t t, bool seconds);

// Pre-rendering a preset into a playback's sweep record list (`pb.SweepData`).
//
// Each record holds every sound value for a stretch of time in which no
// parameter moves by more than its resolution, and how many output blocks the
// stretch lasts. The calculation runs on the main thread before playback;
// the generating thread only walks the finished list (walk.cpp).
#pragma once
#include <cstdint>

#include "data/synthesis/records.h"
#include "data/synthesis/state.h"
#include "main/model.h"

// Status codes of the calculation (string-table ids).
constexpr int CALC_ABORTED = 85;       // "Calculating preset data was aborted."
constexpr int CALC_TOOCOMPLEX = 1272;  // sweep list cannot grow
constexpr int CALC_WAVEFORMS = 1273;   // waveform cache full
constexpr int MAXRECORDBLOCKS = 32760;

// Per-parameter walk through its nodes. `CurNode` is a node index (-1 none).
// WTimes/WValues are 21 points from CurNode to the next node: times
// T0 + (T1 - T0) * i / 20, values V0 + (V1 - V0) * W[i] / 100 through the
// weight table row of CurNode (both 16-bit halves separately for Waveform).
struct ProgressRecord {
  bool SweepInProgress;
  int CurNode;
  int32_t CurValue;
  int32_t WTimes[21];
  int32_t WValues[21];
  // Search aids, set by PrepareSweep (a record filled by hand has none).
  // When WTimes never fall, the piece found for one time is where the
  // search for a later time may start: Hint is the piece found for HintTime.
  bool Sorted = false;
  mutable int Hint = 0;
  mutable int HintTime = 0;
  // A target at or beyond these is never reached (NextChangeTime returns
  // 100000 at once): [0] for the value, [1] and [2] for the high and low
  // halves of a packed one.
  int64_t ReachUp[3] = {INT64_MAX, INT64_MAX, INT64_MAX};
  int64_t ReachDown[3] = {INT64_MIN, INT64_MIN, INT64_MIN};
  // The two halves of packed WValues (high, low), when HasHalves.
  bool HasHalves = false;
  int32_t Halves[2][21];
};
extern ProgressRecord Progress[NPARAMS];

// Progress reporting and abort polling during the calculation. `Report`
// receives 0..10000 and returns true when the user asked to abort. The
// playback layer pumps its messages inside it.
struct ProgressSink {
  bool (*Report)(void* ctx, int position);
  void* Ctx;
};

// Builds the list for a preset whose curves are resident. The caller has
// taken the engine options and set ExtraSourceShare (1 with a background
// sound, else 0); the calculation adds 1 when noise is used. Returns 0,
// CALC_ABORTED, CALC_TOOCOMPLEX or CALC_WAVEFORMS. `toDevice` is false when
// writing a file. Main thread.
int CalculatePreset(PlaybackState& pb, const Preset& preset, bool toDevice, const ProgressSink* sink);

// Writes the record for segment time `time` of segment `segIndex` at `rec`:
// values interpolated from `progress` (which receives them as CurValue), or,
// when progress is null, evaluated directly from the curves. Returns the
// address after the record, or null with *status = CALC_TOOCOMPLEX or
// CALC_WAVEFORMS. Blocks, RepeatCount and RepeatTarget are cleared. Main
// thread (it uses the waveform cache).
SweepRecord* FillSweepRecord(PlaybackState& pb, const Preset& preset, int segIndex, ProgressRecord* progress, int time,
                             SweepRecord* rec, int* status);

// Sets the search aids of a sweep whose WTimes and WValues are filled.
void PrepareSweep(ProgressRecord& p, bool packed);
// Piecewise-linear value at t through the 21 points (packed: per half).
int32_t InterpolateProgress(const ProgressRecord& p, int t);
int32_t InterpolatePackedProgress(const ProgressRecord& p, int t);
// Earliest segment time at or after t's piece at which the value moves by
// `step` in the sweep's direction; 100000 when it never does.
int NextChangeTime(int32_t value, int32_t step, const ProgressRecord& p, int t);
int NextChangeTimePacked(int32_t value, int32_t step, const ProgressRecord& p, int t);
// Resolution of parameter row `paramNum` at value v:
// max(2, round((|v| * StepRel + Step * 10^Digits) / 1000)).
int32_t ParamStep(const PlaybackState& pb, int paramNum, int32_t v);
// The record after `rec`; with commit, memory for it and one more full record
// is committed first (null when that fails).
SweepRecord* NextSweepRecord(PlaybackState& pb, SweepRecord* rec, bool commit);
// First record of the list.
// First record of the playback's list; null before its first calculation.
inline SweepRecord* FirstSweepRecord(const PlaybackState& pb) {
  return reinterpret_cast<SweepRecord*>(pb.SweepData.Base);
}

// The parameter chart's arithmetic, without widgets: the grid step, the
// displayed value range, the mapping between stored values and the plot's
// logical height, the shape of a sweep, the weight a handle's angle stands
// for, and the bit layout of the chart's notifications.
//
// The plot is a logical area 10000 wide (segment time, as node times) and
// 3000 high (value); y grows upwards. A value v in stored units (display
// value x 10^digits) maps to y = (v - min x s) x 3000 / ((max - min) x s),
// s = 10^digits, min..max the displayed range in display units. Examples for
// Sound Volume (2 digits) shown 0..100 %: 0 -> 0, 5000 (50 %) -> 1500,
// 10000 (100 %) -> 3000.
//
// Pure computation on the caller's values; any thread (the chart uses it on
// the main thread).
#pragma once
#include <cstdint>
#include <vector>

#include "main/model.h"

constexpr int CHART_WIDTH = 10000;  // logical x: a segment's time axis
constexpr int CHART_HEIGHT = 3000;  // logical y: the displayed value range

// The step between grid lines and labels for a range from..to when `length`
// units hold labels `require` units apart: the first step from the minimum
// step on (Range / labels + 1) up to twice that which divides the range (and,
// when zero lies inside, the lower bound), so labels fall on round values.
// -1 and an internal error when to <= from or require <= 0.
// Examples: (0, 100, 1, 10) = 20; (-1000, 1000, 1, 12) = 200; (0, 7, 1, 1) = 8.
int GridStep(int from, int to, int require, int length);

// What the chart knows of the parameter it shows (ParamDef columns).
struct ChartValueDef {
  int ParamNum = 0;         // 0 (Binaural Beat Frequency) rounds its range to even numbers
  int Min = 0, Max = 100;   // display units
  int Digits = 0;           // decimals of stored values
  int Shown = 0;            // decimals shown, and the resolution of edits
  bool FixedRange = false;  // always Min..Max (Flag A)
  bool Z = false;           // two 16-bit halves: low the value, high the Z value
};

// The displayed range (display units).
struct ChartRange {
  int Min = 0, Max = 100;
};

// Recomputes the displayed range from the smallest and largest stored value
// shown (`lo`, `hi`); only the bounds asked for are recomputed, the others
// are kept from `*r`. Returns whether the range changed.
//   - A fixed-range chart shows the parameter's whole Min..Max.
//   - Otherwise the bounds are the extremes in display units (rounded down
//     and up), h = max(f, 2) added on both sides when they are equal, where
//     f = 2 for the beat frequency, else Max / 100; clamped to Min..Max;
//     rounded outwards to even numbers (beat frequency) or to multiples of
//     f; at least 2 apart.
bool RecomputeChartRange(const ChartValueDef& d, int64_t lo, int64_t hi, bool lower, bool upper, ChartRange* r);

// Stored value <-> logical y for the displayed range (y may lie outside
// 0..3000 for values outside the range).
int64_t ValueToY(const ChartRange& r, int digits, int64_t stored);
int64_t YToValue(const ChartRange& r, int digits, int64_t y);

// The value a mouse or key edit stores: truncated to the shown resolution
// (a multiple of 10^(digits - shown)), then clamped to the parameter's
// Min..Max. *clamped tells whether the limit was hit.
int32_t SnapNodeValue(const ChartValueDef& d, int64_t stored, bool* clamped);

// A node's value as the chart shows it: the low 16 bits of a Z parameter,
// the whole value otherwise; and its Z value (high 16 bits).
int32_t NodeLow(const ChartValueDef& d, int32_t value);
int32_t NodeZ(int32_t value);
// The value with one half replaced (Z parameters) or the whole value.
int32_t WithHalf(const ChartValueDef& d, int32_t value, bool z, int32_t half);

// Point k (0..20) of the sweep from (t0, v0) to (t1, v1) whose start node
// has `weight` (weights above 20 draw as 20): the 21-point polyline the
// curve is drawn and played along.
void SweepPoint(int t0, int64_t v0, int t1, int64_t v1, int weight, int k, int64_t* t, int64_t* v);

// The weight a handle stands for, from the pointer's offset to the focused
// node in screen units: dx positive towards the sweep's other end, dy
// positive towards its other end's value. round(atan(dy / dx) x 40 / pi),
// at least 0; 20 when dx is 0 or the pointer lies behind the node in x but
// beyond it in y. The incoming sweep's handle stores 20 minus this.
int WeightFromHandle(double dx, double dy);
// The inverse: the direction of a handle for a weight (radians from the
// time axis towards the other end's value).
double HandleAngle(int weight);

// Notification code of the nodes-changed notification: first | last << 8 |
// moved << 16 | flags << 24; first = last = 0xFF for the whole curve.
// Flag 1: values may lie outside the displayed range.
constexpr int NODES_ALL = 0xFF;
constexpr int NODES_FLAG_RANGE = 1;
uint32_t NodesChangedCode(int first, int last, int moved, int flags);
struct NodesChanged {
  int First, Last, Moved, Flags;
  bool All() const { return First == NODES_ALL && Last == NODES_ALL; }
};
NodesChanged DecodeNodesChanged(uint32_t code);

// The derived curve of two records (the beat frequency of a voice whose
// pitch channels are separate: right minus left): points at every
// twentieth of every sweep of both records, merged in time order and ending
// at 10000, each `second - first` converted from `fromDigits` to `toDigits`.
struct DerivedPoint {
  int Time;
  int64_t Value;
};
std::vector<DerivedPoint> DerivedCurve(const Param& first, const Param& second, int fromDigits, int toDigits);
// The value a chart shows at segment time t: the curve's own value (the low
// half of a Z parameter), or with `second` the derived `second - first`
// converted as DerivedCurve does.
int64_t ShownValueAt(const ChartValueDef& d, const Param& first, const Param* second, int fromDigits, int t);

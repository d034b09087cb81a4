// Edits of one parameter curve, without widgets: a node's value and time,
// inserting and deleting nodes, the symmetric rule, and the sweep that the
// node dialog edits. The chart forwards the user's edits here; every rule
// that keeps a curve valid (2..100 nodes, times between the neighbours,
// values inside the parameter's limits, weights 0..20) lives here.
//
// Main thread only (the preset editor's copy).
#pragma once
#include <cstdint>

#include "main/chartmath.h"
#include "main/model.h"

// Nodes First..Last (inclusive); empty when First > Last.
struct NodeRange {
  int First = 0, Last = -1;
  bool Empty() const { return First > Last; }
  void Add(int i) {
    if (Empty()) {
      First = Last = i;
    } else {
      if (i < First) First = i;
      if (i > Last) Last = i;
    }
  }
};

// Node count clamped to what the record can hold (hand-made files).
int CurveNodes(const Param& p);

// Sets node i's value (for a Z parameter the low half, or the Z half when
// `zHalf`), snapped to the shown resolution and clamped to the parameter's
// limits. Returns whether the value was clamped at a limit.
bool SetNodeValue(Param& p, const ChartValueDef& d, int i, bool zHalf, int64_t value);
// Moves an inner node to time t, kept between its neighbours' times; the
// first and the last node keep theirs. Returns whether it moved.
bool SetNodeTime(Param& p, int i, int t);

constexpr int INSERT_REFUSED = -1;  // on the last node: nothing to split
// Inserts a node after node i, on node i's sweep at the point its weight w
// (kept within 1..19) reaches: value v(i) + w x (v(i+1) - v(i)) / 20 (each
// half of a Z parameter on its own), time t(i) + (t(i+1) - t(i)) x (20 - w) /
// 20. The new node copies node i's weight and symmetric flag. 0 when
// inserted, 1285 with 100 nodes already, INSERT_REFUSED on the last node.
int InsertNodeAfter(Param& p, const ChartValueDef& d, int i);
// Deletes an inner node; false (and nothing changes) for the first and the
// last node.
bool DeleteNode(Param& p, int i);

// Symmetric propagation from node i: a symmetric node n keeps weight(n - 1)
// = 20 - weight(n). Backwards from i while the nodes are symmetric, forwards
// while the next node is. Returns the nodes whose weights were written.
// After the outgoing handle of node i moved start at i; after its incoming
// handle moved start at i - 1.
NodeRange SymmetricPropagate(Param& p, int i);

// What the node dialog (Sweep Parameters) edits: the sweep that starts at
// node i. Values in stored units (low halves of a Z parameter), times in
// hundredths of a minute, the weight in percent (weight x 5).
struct SweepEdit {
  int32_t From = 0, To = 0;
  int32_t FromZ = 0, ToZ = 0;
  int32_t TimeFrom = 0, TimeTo = 0;
  int32_t WeightPercent = 50;
  bool Symmetric = false;
};
// Which fields apply to node i, and the range of its times: from the
// previous node's time to the time of the node after the next one (the
// segment's end when none), in hundredths of a minute.
struct SweepEditScope {
  bool Sweep = true;      // false for the last node: only its own value
  bool StartTime = true;  // false for the first node
  bool EndTime = true;    // false when the next node is the last
  int32_t TimeMin = 0, TimeMax = 0;
};
// Segment time (0..10000) <-> hundredths of a minute for a segment `length`
// long (rounded).
int32_t SegTimeToMinutes(int t, int32_t length);
int SegMinutesToTime(int32_t minutes, int32_t length);

SweepEdit ReadSweepEdit(const Param& p, const ChartValueDef& d, int i, int32_t length);
SweepEditScope SweepScope(const Param& p, int i, int32_t length);
// Stores an accepted dialog: values, weight (percent + 2) / 5, the
// symmetric flag, the times that differ from those the dialog showed
// (swapped when reversed, each kept between the previous node and the node
// after the next), then the symmetric rule.
// Returns the nodes to redraw: the node before to the node after.
NodeRange ApplySweepEdit(Param& p, const ChartValueDef& d, int i, const SweepEdit& e, int32_t length);

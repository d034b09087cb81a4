// Edits of one parameter curve.
#include "main/curveedit.h"

#include <algorithm>
#include <cstring>

#include "assert/check.h"

namespace {

int Weight(const Param& p, int i) { return std::min<int>(p.Node[i].Weight, 20); }

void SetWeight(Param& p, int i, int w, NodeRange* r) {
  p.Node[i].Weight = static_cast<uint8_t>(std::clamp(w, 0, 20));
  r->Add(i);
}

}  // namespace

int CurveNodes(const Param& p) { return std::clamp<int>(p.NumNodes, 0, MAXNODES); }

bool SetNodeValue(Param& p, const ChartValueDef& d, int i, bool zHalf, int64_t value) {
  if (!TVK_CHECK(i >= 0 && i < CurveNodes(p), i)) return false;
  bool clamped = false;
  int32_t v = SnapNodeValue(d, value, &clamped);
  p.Node[i].Value = WithHalf(d, p.Node[i].Value, d.Z && zHalf, v);
  return clamped;
}

bool SetNodeTime(Param& p, int i, int t) {
  int n = CurveNodes(p);
  if (i <= 0 || i >= n - 1) return false;
  t = std::clamp(t, int(p.Node[i - 1].SweepTime), int(p.Node[i + 1].SweepTime));
  if (t == p.Node[i].SweepTime) return false;
  p.Node[i].SweepTime = static_cast<int16_t>(t);
  return true;
}

int InsertNodeAfter(Param& p, const ChartValueDef& d, int i) {
  int n = CurveNodes(p);
  if (n >= MAXNODES) return 1285;
  if (i < 0 || i >= n - 1) return INSERT_REFUSED;
  const Node a = p.Node[i], b = p.Node[i + 1];
  const int w = std::clamp<int>(a.Weight, 1, 19);
  auto mid = [w](int64_t va, int64_t vb) { return va + w * (vb - va) / 20; };
  Node m = a;
  if (d.Z) {
    int64_t lo = mid(NodeLow(d, a.Value), NodeLow(d, b.Value));
    int64_t z = mid(NodeZ(a.Value), NodeZ(b.Value));
    m.Value = static_cast<int32_t>((static_cast<uint32_t>(z) << 16) | (static_cast<uint32_t>(lo) & 0xFFFFu));
  } else {
    m.Value = static_cast<int32_t>(mid(a.Value, b.Value));
  }
  m.SweepTime = static_cast<int16_t>(a.SweepTime + (b.SweepTime - a.SweepTime) * (20 - w) / 20);
  std::memmove(&p.Node[i + 2], &p.Node[i + 1], sizeof(Node) * static_cast<size_t>(n - i - 1));
  p.Node[i + 1] = m;
  p.NumNodes = static_cast<uint8_t>(n + 1);
  return 0;
}

bool DeleteNode(Param& p, int i) {
  int n = CurveNodes(p);
  if (i <= 0 || i >= n - 1) return false;
  std::memmove(&p.Node[i], &p.Node[i + 1], sizeof(Node) * static_cast<size_t>(n - i - 1));
  p.Node[n - 1] = Node{};
  p.NumNodes = static_cast<uint8_t>(n - 1);
  return true;
}

NodeRange SymmetricPropagate(Param& p, int i) {
  NodeRange r;
  int n = CurveNodes(p);
  if (i < 0 || i >= n) return r;
  for (int k = i; k >= 1; --k) {
    if (!p.Node[k].Symmetric) break;
    SetWeight(p, k - 1, 20 - Weight(p, k), &r);
  }
  for (int k = i; k <= n - 2; ++k) {
    if (!p.Node[k + 1].Symmetric) break;
    SetWeight(p, k + 1, 20 - Weight(p, k), &r);
  }
  return r;
}

int32_t SegTimeToMinutes(int t, int32_t length) { return static_cast<int32_t>((int64_t(t) * length + 5000) / 10000); }

int SegMinutesToTime(int32_t minutes, int32_t length) {
  if (length <= 0) return 0;
  return static_cast<int>(std::clamp<int64_t>((int64_t(minutes) * 10000 + length / 2) / length, 0, 10000));
}

SweepEditScope SweepScope(const Param& p, int i, int32_t length) {
  SweepEditScope s;
  int n = CurveNodes(p);
  s.Sweep = i < n - 1;
  s.StartTime = i > 0 && s.Sweep;
  s.EndTime = i + 1 < n - 1;
  s.TimeMin = SegTimeToMinutes(i > 0 ? p.Node[i - 1].SweepTime : 0, length);
  s.TimeMax = SegTimeToMinutes(i + 2 < n ? p.Node[i + 2].SweepTime : 10000, length);
  return s;
}

SweepEdit ReadSweepEdit(const Param& p, const ChartValueDef& d, int i, int32_t length) {
  SweepEdit e;
  int n = CurveNodes(p);
  if (!TVK_CHECK(i >= 0 && i < n, i)) return e;
  const Node& a = p.Node[i];
  const Node& b = p.Node[std::min(i + 1, n - 1)];
  e.From = NodeLow(d, a.Value);
  e.To = NodeLow(d, b.Value);
  e.FromZ = NodeZ(a.Value);
  e.ToZ = NodeZ(b.Value);
  e.TimeFrom = SegTimeToMinutes(a.SweepTime, length);
  e.TimeTo = SegTimeToMinutes(b.SweepTime, length);
  e.WeightPercent = Weight(p, i) * 5;
  e.Symmetric = a.Symmetric != 0;
  return e;
}

NodeRange ApplySweepEdit(Param& p, const ChartValueDef& d, int i, const SweepEdit& e, int32_t length) {
  NodeRange r;
  int n = CurveNodes(p);
  if (!TVK_CHECK(i >= 0 && i < n, i)) return r;
  // Minutes are rounded for the dialog: a time shown and left as it was keeps
  // its exact place instead of the place its rounded text reads back as.
  const SweepEdit shown = ReadSweepEdit(p, d, i, length);
  auto store = [&](int k, int32_t low, int32_t z) {
    int32_t v = WithHalf(d, p.Node[k].Value, false, low);
    if (d.Z) v = WithHalf(d, v, true, z);
    p.Node[k].Value = v;
  };
  store(i, e.From, e.FromZ);
  p.Node[i].Symmetric = e.Symmetric ? 1 : 0;
  if (i < n - 1) {
    store(i + 1, e.To, e.ToZ);
    p.Node[i].Weight = static_cast<uint8_t>(std::clamp((e.WeightPercent + 2) / 5, 0, 20));
    int from = e.TimeFrom == shown.TimeFrom ? p.Node[i].SweepTime : SegMinutesToTime(e.TimeFrom, length);
    int to = e.TimeTo == shown.TimeTo ? p.Node[i + 1].SweepTime : SegMinutesToTime(e.TimeTo, length);
    if (from > to) std::swap(from, to);
    const int lo = i > 0 ? p.Node[i - 1].SweepTime : 0;
    const int hi = i + 2 < n ? p.Node[i + 2].SweepTime : 10000;
    if (i > 0) p.Node[i].SweepTime = static_cast<int16_t>(std::clamp(from, lo, std::max(lo, hi)));
    if (i + 1 < n - 1) p.Node[i + 1].SweepTime = static_cast<int16_t>(std::clamp(to, lo, std::max(lo, hi)));
  }
  SymmetricPropagate(p, i);
  r.Add(std::max(i - 1, 0));
  r.Add(std::min(i + 1, n - 1));
  return r;
}

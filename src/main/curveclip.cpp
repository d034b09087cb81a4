// Curves copied and pasted in the preset editor.
#include "main/curveclip.h"

#include <algorithm>
#include <cstring>

#include "main/arith.h"
#include "main/chartmath.h"

namespace {

int64_t Pow10(int n) {
  int64_t v = 1;
  while (n-- > 0) v *= 10;
  return v;
}

// v from `from` decimals to `to`, halves away from zero.
int64_t Rescale(int64_t v, int from, int to) {
  if (to >= from) return v * Pow10(to - from);
  const int64_t d = Pow10(from - to);
  return (v + (v < 0 ? -d / 2 : d / 2)) / d;
}

constexpr char kMagic[4] = {'S', 'N', 'V', 'C'};
constexpr uint8_t kVersion = 1;

void Put32(std::string& o, uint32_t v) {
  for (int i = 0; i < 4; ++i) o.push_back(static_cast<char>((v >> (8 * i)) & 0xFFu));
}

uint32_t Get32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr size_t kHead = 4 + 1 + 4 * 4 + 1 + 1;  // magic, version, row, digits, unit, length, Z, nodes

}  // namespace

CurveClip CopyCurve(const BackgroundParamRow& bg, const Param& p, int paramNum, int32_t length) {
  CurveClip c;
  c.ParamNum = paramNum;
  if (paramNum >= 0 && paramNum < PDBK) {
    c.Digits = ParamRowOf(bg, paramNum).Digits;
    c.Unit = ParamRowOf(bg, paramNum).Unit;
  }
  c.Z = paramNum == PN_WAVEFORM;
  c.Length = length;
  c.NumNodes = std::clamp<int>(p.NumNodes, 0, MAXNODES);
  std::copy(p.Node, p.Node + c.NumNodes, c.Nodes);
  return c;
}

bool ValidCurveClip(const CurveClip& c) {
  if (c.ParamNum < 0 || c.ParamNum >= PDBK || c.Digits < 0 || c.Digits > 7) return false;
  if (c.Length < 1 || c.Length > MAXSEGLENGTH || c.NumNodes < 2 || c.NumNodes > MAXNODES) return false;
  if (c.Nodes[0].SweepTime != 0 || c.Nodes[c.NumNodes - 1].SweepTime != CHART_WIDTH) return false;
  for (int i = 0; i < c.NumNodes; ++i) {
    const Node& n = c.Nodes[i];
    if (n.Weight > 20 || n.Symmetric > 10) return false;
    if (i > 0 && n.SweepTime < c.Nodes[i - 1].SweepTime) return false;
  }
  return true;
}

int PasteCurve(const BackgroundParamRow& bg, const CurveClip& c, Param& target, int paramNum) {
  if (!ValidCurveClip(c) || paramNum < 0 || paramNum >= PDBK) return 1520;
  const ParamDefType& row = ParamRowOf(bg, paramNum);
  if (row.Unit != c.Unit) return 1520;
  const bool z = paramNum == PN_WAVEFORM;
  const int64_t lo = int64_t(row.Min) * Pow10(row.Digits), hi = int64_t(row.Max) * Pow10(row.Digits);
  const Param before = target;
  for (int i = 0; i < c.NumNodes; ++i) {
    const Node& from = c.Nodes[i];
    const int64_t low = c.Z ? int64_t(uint32_t(from.Value) & 0xFFFFu) : int64_t(from.Value);
    const int64_t v = std::clamp(Rescale(low, c.Digits, row.Digits), lo, hi);
    Node& to = target.Node[i];
    to = from;
    if (!z) {
      to.Value = static_cast<int32_t>(v);
    } else {
      // The shape comes from the clip; Z from the clip's own Z half, or the
      // target's Z at that time.
      const uint32_t zHalf =
          c.Z ? uint32_t(from.Value) >> 16 : uint32_t(CurveValuePacked(before, from.SweepTime)) >> 16;
      to.Value = static_cast<int32_t>(zHalf << 16 | (static_cast<uint32_t>(v) & 0xFFFFu));
    }
  }
  for (int i = c.NumNodes; i < MAXNODES; ++i) target.Node[i] = Node{};
  target.NumNodes = static_cast<uint8_t>(c.NumNodes);
  target.Tracking = 0;
  target.EasySel = 0;
  return 0;
}

std::string EncodeCurveClip(const CurveClip& c) {
  std::string o(kMagic, kMagic + 4);
  o.push_back(static_cast<char>(kVersion));
  Put32(o, static_cast<uint32_t>(c.ParamNum));
  Put32(o, static_cast<uint32_t>(c.Digits));
  Put32(o, static_cast<uint32_t>(c.Unit));
  Put32(o, static_cast<uint32_t>(c.Length));
  o.push_back(c.Z ? 1 : 0);
  const int n = std::clamp(c.NumNodes, 0, MAXNODES);
  o.push_back(static_cast<char>(n));
  for (int i = 0; i < n; ++i) {
    const Node& d = c.Nodes[i];
    Put32(o, static_cast<uint32_t>(d.Value));
    o.push_back(static_cast<char>(static_cast<uint16_t>(d.SweepTime) & 0xFFu));
    o.push_back(static_cast<char>(static_cast<uint16_t>(d.SweepTime) >> 8));
    o.push_back(static_cast<char>(d.Weight));
    o.push_back(static_cast<char>(d.Symmetric));
  }
  return o;
}

bool DecodeCurveClip(const std::string& bytes, CurveClip* out) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < kHead || std::memcmp(b, kMagic, 4) != 0 || b[4] != kVersion) return false;
  CurveClip c;
  c.ParamNum = static_cast<int32_t>(Get32(b + 5));
  c.Digits = static_cast<int32_t>(Get32(b + 9));
  c.Unit = static_cast<int32_t>(Get32(b + 13));
  c.Length = static_cast<int32_t>(Get32(b + 17));
  if (b[21] > 1) return false;
  c.Z = b[21] != 0;
  c.NumNodes = b[22];
  if (c.NumNodes > MAXNODES || bytes.size() != kHead + size_t(c.NumNodes) * 8) return false;
  for (int i = 0; i < c.NumNodes; ++i) {
    const unsigned char* n = b + kHead + 8 * size_t(i);
    c.Nodes[i].Value = static_cast<int32_t>(Get32(n));
    c.Nodes[i].SweepTime = static_cast<int16_t>(static_cast<uint16_t>(n[4] | n[5] << 8));
    c.Nodes[i].Weight = n[6];
    c.Nodes[i].Symmetric = n[7];
  }
  if (!ValidCurveClip(c)) return false;
  *out = c;
  return true;
}

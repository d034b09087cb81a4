// The preset editor's rules over a whole preset.
#include "main/presetedit.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "assert/check.h"
#include "main/arith.h"
#include "main/preset.h"

namespace {

int SegCount(const Preset& p) { return std::clamp<int>(p.data.NumSegments, 0, MAXSEGMENTS); }

Param* Params(Preset& p, int s) { return SegParams(p, s); }

int64_t Pow10(int n) {
  int64_t v = 1;
  while (n-- > 0) v *= 10;
  return v;
}

bool IsSoundVolume(int pid) {
  if (pid < NSPAR) return false;
  int k = (pid - NSPAR) % NVPAR;
  return k == VP_VOLUME || k == VP_VOLUME + 1;
}

// Writes a node value; a curve changed by a rule is no longer an Easy choice.
bool Put(Param& q, int i, int32_t v) {
  if (q.Node[i].Value == v) return false;
  q.Node[i].Value = v;
  q.EasySel = 0;
  return true;
}

// Segments whose tracked parameters must follow a linked one.
struct Touched {
  uint32_t Mask = 0;
  void Add(int s) { Mask |= 1u << s; }
};

bool Repeats(const Preset& p, int s) { return p.data.Segment[s].Repeat >= 2; }
bool UsableCurve(const Param& q) { return CurveNodes(q) >= 2; }

// The previous segment's last node takes `v`; a repeated segment then
// starts where it ends, and so on backwards.
void PushBackward(Preset& p, int s, int pid, int32_t v, Touched* t) {
  for (; s >= 0; --s) {
    if (!SegmentHasPid(p.data.Segment[s], pid)) return;
    Param& q = Params(p, s)[pid];
    if (!UsableCurve(q)) return;
    int last = CurveNodes(q) - 1;
    if (Put(q, last, v)) t->Add(s);
    if (!Repeats(p, s)) return;
    if (Put(q, 0, q.Node[last].Value)) t->Add(s);
    v = q.Node[0].Value;
  }
}

// The next segment's first node takes `v`; a repeated segment then ends
// where it starts, and so on forwards.
void PushForward(Preset& p, int s, int pid, int32_t v, Touched* t) {
  for (; s < SegCount(p); ++s) {
    if (!SegmentHasPid(p.data.Segment[s], pid)) return;
    Param& q = Params(p, s)[pid];
    if (!UsableCurve(q)) return;
    int last = CurveNodes(q) - 1;
    if (Put(q, 0, v)) t->Add(s);
    if (!Repeats(p, s)) return;
    if (Put(q, last, q.Node[0].Value)) t->Add(s);
    v = q.Node[last].Value;
  }
}

void FollowTracked(const BackgroundParamRow& bg, Preset& p, int pid, const Touched& t, int except) {
  for (int s = 0; s < SegCount(p); ++s)
    if ((t.Mask >> s & 1u) && s != except) RecomputeDependents(bg, Params(p, s), p.data.Segment[s], pid);
}

// A segment record and its parameters, for swapping.
void SwapSegments(Preset& p, int a, int b) {
  Segment& sa = p.data.Segment[a];
  Segment& sb = p.data.Segment[b];
  int voices = std::max(sa.NumVoices, sb.NumVoices);
  Param* pa = CommitSegmentSlot(p, a, voices);
  Param* pb = CommitSegmentSlot(p, b, voices);
  if (!pa || !pb) return;
  size_t count = static_cast<size_t>(NSPAR + NVPAR * voices);
  std::vector<Param> tmp(pa, pa + count);
  std::memcpy(pa, pb, sizeof(Param) * count);
  std::memcpy(pb, tmp.data(), sizeof(Param) * count);
  std::swap(sa, sb);
}

void NewSegment(const BackgroundParamRow& bg, Preset& p, int index, const char* id, int32_t length,
                uint8_t noiseInsideHead, int nodes) {
  Segment& seg = p.data.Segment[index];
  std::memset(&seg, 0, sizeof seg);
  std::strncpy(seg.Name, id, 2);
  seg.Length = length;
  seg.Repeat = 1;
  seg.NoiseInsideHead = noiseInsideHead;
  Param* params = CommitSegmentSlot(p, index, 1);
  if (!params) return;
  FillDefaultSegment(params, seg, 1, nodes);
  RecomputeAllTracked(bg, params, seg);
}

int Nodes(const EditRules& r) { return r.Nodes == 2 ? 2 : 3; }

}  // namespace

// --- Segments ----------------------------------------------------------------

std::string NextSegmentId(const PresetFixed& p) {
  int highest = -1;
  int n = std::clamp<int>(p.data.NumSegments, 0, MAXSEGMENTS);
  for (int s = 0; s < n; ++s) {
    int c = static_cast<unsigned char>(p.data.Segment[s].Name[0]);
    if (c >= 'A' && c <= 'Y') highest = std::max(highest, c);
  }
  return std::string(1, highest < 0 ? 'A' : static_cast<char>(highest + 1));
}

std::string SegmentRow(const Segment& s) {
  char name[3] = {s.Name[0], s.Name[1], 0};
  // Two decimals always, as the Length field shows them.
  return std::string(name) + "\t" + FormatNumber(s.Length, 2, 2, 2, false) + "\t" + std::to_string(s.Repeat);
}

int AddSegment(Preset& p, int current, const EditRules& r) {
  int n = SegCount(p);
  if (n >= MAXSEGMENTS) return 1283;
  const Segment& cur = p.data.Segment[std::clamp(current, 0, std::max(n - 1, 0))];
  int32_t length = n > 0 ? cur.Length : 1000;
  uint8_t noise = n > 0 ? cur.NoiseInsideHead : 0;
  NewSegment(r.Background, p, n, NextSegmentId(p).c_str(), length, noise, Nodes(r));
  p.data.NumSegments = static_cast<uint8_t>(n + 1);
  if (r.Link && n > 0) LinkSegmentParams(r.Background, p, n - 1, LINK_TO_NEXT);
  return 0;
}

int DeleteSegment(Preset& p, int index, const EditRules& r, int* select) {
  int n = SegCount(p);
  *select = 0;
  if (!TVK_CHECK(index >= 0 && index < n, index)) return 0;
  if (n == 1) {
    NewSegment(r.Background, p, 0, "A", 1000, 0, Nodes(r));
    return 1281;
  }
  for (int s = index; s + 1 < n; ++s) {
    const Segment& next = p.data.Segment[s + 1];
    Param* dst = CommitSegmentSlot(p, s, next.NumVoices);
    if (!dst) continue;
    std::memcpy(dst, Params(p, s + 1), sizeof(Param) * static_cast<size_t>(SegParamCount(next)));
    p.data.Segment[s] = next;
  }
  std::memset(&p.data.Segment[n - 1], 0, sizeof(Segment));
  p.data.NumSegments = static_cast<uint8_t>(n - 1);
  int sel = std::min(index, n - 2);
  *select = sel;
  if (r.Link) {
    if (sel > 0) LinkSegmentParams(r.Background, p, sel - 1, LINK_TO_NEXT);
    if (sel + 1 < n - 1) LinkSegmentParams(r.Background, p, sel + 1, LINK_TO_PREVIOUS);
  }
  return 0;
}

// A segment in a new place starts where the one before ends and ends where
// the one after starts.
void LinkIntoPlace(Preset& p, int s, const EditRules& r) {
  if (!r.Link) return;
  if (s > 0) LinkSegmentParams(r.Background, p, s - 1, LINK_TO_NEXT);
  if (s + 1 < SegCount(p)) LinkSegmentParams(r.Background, p, s + 1, LINK_TO_PREVIOUS);
}

bool MoveSegment(Preset& p, int index, int delta, const EditRules& r) {
  int n = SegCount(p), to = index + delta;
  if (index < 0 || index >= n || to < 0 || to >= n || (delta != 1 && delta != -1)) return false;
  SwapSegments(p, index, to);
  LinkIntoPlace(p, to, r);
  return true;
}

int InsertSegment(Preset& p, int after, const Segment& seg, const Param* params, const EditRules& r) {
  const int n = SegCount(p);
  if (n >= MAXSEGMENTS) return 1283;
  const int at = std::clamp(after + 1, 0, n);
  const std::string id = NextSegmentId(p);
  for (int s = n; s > at; --s) {
    const Segment& prev = p.data.Segment[s - 1];
    Param* dst = CommitSegmentSlot(p, s, prev.NumVoices);
    if (!dst) return 0;
    std::memcpy(dst, Params(p, s - 1), sizeof(Param) * static_cast<size_t>(SegParamCount(prev)));
    p.data.Segment[s] = prev;
  }
  Segment& d = p.data.Segment[at];
  d = seg;
  d.NumVoices = static_cast<uint8_t>(std::clamp<int>(seg.NumVoices, 1, MAXVOICES));
  std::memset(d.Name, 0, sizeof d.Name);
  std::memcpy(d.Name, id.data(), std::min(id.size(), size_t(2)));
  p.data.NumSegments = static_cast<uint8_t>(n + 1);
  Param* dst = CommitSegmentSlot(p, at, d.NumVoices);
  if (!dst) return 0;
  std::memcpy(dst, params, sizeof(Param) * static_cast<size_t>(SegParamCount(d)));
  RecomputeAllTracked(r.Background, dst, d);
  LinkIntoPlace(p, at, r);
  if (r.Link) {
    // Voices the neighbours lack are silent at that boundary.
    for (int v = 0; v < d.NumVoices; ++v)
      for (int c = 0; c < 2; ++c) {
        const int pid = VoicePidOf(v, VP_VOLUME) + c;
        if (dst[pid].Tracking == 1 || !UsableCurve(dst[pid])) continue;
        const int last = CurveNodes(dst[pid]) - 1;
        if (at > 0 && !SegmentHasPid(p.data.Segment[at - 1], pid)) LinkAdjacent(r.Background, p, at, pid, 0, 0, -1);
        if (at + 1 < n + 1 && !SegmentHasPid(p.data.Segment[at + 1], pid))
          LinkAdjacent(r.Background, p, at, pid, last, last, -1);
      }
    RecomputeAllTracked(r.Background, dst, d);
  }
  return 0;
}

int32_t SegmentLengthFromText(const std::string& text, int32_t old) {
  bool error = false;
  int32_t v = ParseNumber(text.c_str(), 2, false, &error);
  if (error || v <= 0) return old;
  return std::min(v, MAXSEGLENGTH);
}

int32_t SegmentRepeatFromText(const std::string& text, int32_t old) {
  size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
  if (b == std::string::npos) return old;
  int64_t v = 0;
  for (size_t i = b; i <= e; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return old;
    v = std::min<int64_t>(v * 10 + (text[i] - '0'), int64_t(MAXREPEAT) * 10);
  }
  if (v <= 0) return old;
  return static_cast<int32_t>(std::min<int64_t>(v, MAXREPEAT));
}

bool SegmentIdFromText(const std::string& text, char out[3]) {
  if (text.empty() || text.size() > 2) return false;
  // One character: a single byte, or one two-byte UTF-8 sequence.
  if (text.size() == 2) {
    unsigned char a = static_cast<unsigned char>(text[0]), b = static_cast<unsigned char>(text[1]);
    if ((a & 0xE0) != 0xC0 || (b & 0xC0) != 0x80) return false;
  } else if (static_cast<unsigned char>(text[0]) >= 0x80) {
    return false;
  }
  std::memset(out, 0, 3);
  std::memcpy(out, text.data(), text.size());
  return true;
}

void SetSegmentRepeat(Preset& p, int seg, int32_t repeat, const EditRules& r) {
  if (!TVK_CHECK(seg >= 0 && seg < SegCount(p), seg)) return;
  Segment& s = p.data.Segment[seg];
  int32_t old = s.Repeat;
  s.Repeat = std::clamp(repeat, 1, MAXREPEAT);
  if (r.Link && old == 1 && s.Repeat >= 2) LinkSegmentParams(r.Background, p, seg, LINK_WHOLE);
}

// --- Voices ------------------------------------------------------------------

bool SegmentHasPid(const Segment& seg, int pid) {
  if (pid < 0 || pid >= NPARAMS) return false;
  return pid < NSPAR || (pid - NSPAR) / NVPAR < seg.NumVoices;
}

std::string VoiceRow(int v) { return std::to_string((v + 1) % 10); }

int AddVoice(Preset& p, int seg, int voice, const EditRules& r) {
  if (!TVK_CHECK(seg >= 0 && seg < SegCount(p), seg)) return 0;
  Segment& s = p.data.Segment[seg];
  int nv = s.NumVoices;
  if (nv >= MAXVOICES) return 1284;
  if (!TVK_CHECK(voice >= 0 && voice < nv, voice)) voice = 0;
  Param* params = CommitSegmentSlot(p, seg, nv + 1);
  if (!params) return 0;
  const int nodes = Nodes(r);
  const int from = VoicePidOf(voice, 0), to = VoicePidOf(nv, 0);
  for (int k = 0; k < NVPAR; ++k) {
    Param& d = params[to + k];
    d = params[from + k];
    if (d.TrackSource >= from && d.TrackSource < from + NVPAR)
      d.TrackSource = static_cast<uint8_t>(d.TrackSource + to - from);
    if (d.EasySel == 0) {
      int32_t v = d.Node[0].Value;
      d.NumNodes = static_cast<uint8_t>(nodes);
      for (int i = 0; i < nodes; ++i) d.Node[i] = {v, static_cast<int16_t>(10000 / (nodes - 1) * i), 10, 1};
    }
    if (d.ChannelMode == 2) d.ChannelMode = 1;
  }
  s.NumVoices = static_cast<uint8_t>(nv + 1);
  RecomputeAllTracked(r.Background, params, s);
  if (r.Link) {
    for (int k = 0; k < NVPAR; ++k)
      if (params[to + k].Tracking != 1) LinkAdjacent(r.Background, p, seg, to + k, NODES_ALL, NODES_ALL, -1);
    RecomputeAllTracked(r.Background, params, s);
  }
  return 0;
}

int DeleteVoice(Preset& p, int seg, int voice, const EditRules& r, int* select) {
  *select = 0;
  if (!TVK_CHECK(seg >= 0 && seg < SegCount(p), seg)) return 0;
  Segment& s = p.data.Segment[seg];
  int nv = s.NumVoices;
  if (nv <= 1) return 1282;
  if (!TVK_CHECK(voice >= 0 && voice < nv, voice)) return 0;
  Param* params = Params(p, seg);
  int first = VoicePidOf(voice, 0), later = VoicePidOf(voice + 1, 0);
  std::memmove(params + first, params + later, sizeof(Param) * static_cast<size_t>(NVPAR * (nv - 1 - voice)));
  s.NumVoices = static_cast<uint8_t>(nv - 1);
  int count = SegParamCount(s);
  for (int pid = 0; pid < count; ++pid) {
    Param& q = params[pid];
    if (q.TrackSource >= later && q.TrackSource < NPARAMS) q.TrackSource = static_cast<uint8_t>(q.TrackSource - NVPAR);
    // A source that now lies past the segment's voices (the last voice was
    // deleted) cannot be followed: the curve keeps its values.
    if (q.Tracking == 1 && q.TrackSource >= count) q.Tracking = 0;
  }
  RecomputeAllTracked(r.Background, params, s);
  int sel = std::min(voice, nv - 2);
  *select = sel;
  if (r.Link) {
    for (int v : {voice - 1, voice}) {
      if (v < 0 || v >= s.NumVoices) continue;
      for (int k = 0; k < NVPAR; ++k)
        if (params[VoicePidOf(v, k)].Tracking != 1)
          LinkAdjacent(r.Background, p, seg, VoicePidOf(v, k), NODES_ALL, NODES_ALL, -1);
    }
    RecomputeAllTracked(r.Background, params, s);
  }
  return 0;
}

// --- Linking -----------------------------------------------------------------

LinkResult LinkAdjacent(const BackgroundParamRow& bg, Preset& p, int seg, int pid, int first, int last, int moved) {
  LinkResult res;
  int n = SegCount(p);
  if (!TVK_CHECK(seg >= 0 && seg < n, seg)) return res;
  if (!TVK_CHECK_AS(pid >= 0 && pid < NPARAMS, "pid>=0 && pid<NSPAR+NVPAR*MAXVOICES", pid)) return res;
  const Segment& s = p.data.Segment[seg];
  if (!SegmentHasPid(s, pid)) return res;
  Param& q = Params(p, seg)[pid];
  if (!UsableCurve(q)) return res;
  const int L = CurveNodes(q) - 1;
  if (first == NODES_ALL && last == NODES_ALL) {
    first = 0;
    last = L;
  }
  first = std::clamp(first, 0, L);
  last = std::clamp(last, first, L);
  res.Range = NodeRange{first, last};
  bool touchFirst = first == 0, touchLast = last == L;
  Touched touched;
  const bool repeats = Repeats(p, seg);
  // A repeated segment ends where it starts: the node the user did not move
  // follows the one he did.
  auto repeatRule = [&](int mv) {
    if (mv == L) {
      Put(q, 0, q.Node[L].Value);
      res.Range.Add(0);
      touchFirst = true;
    } else {
      Put(q, L, q.Node[0].Value);
      res.Range.Add(L);
      touchLast = true;
    }
  };
  if (repeats && (touchFirst || touchLast)) repeatRule(moved);

  bool zeroedFirst = false, zeroedLast = false;
  const bool hasPrev = seg > 0 && SegmentHasPid(p.data.Segment[seg - 1], pid);
  const bool hasNext = seg + 1 < n && SegmentHasPid(p.data.Segment[seg + 1], pid);
  if (seg > 0 && touchFirst) {
    if (hasPrev) {
      PushBackward(p, seg - 1, pid, q.Node[0].Value, &touched);
    } else if (IsSoundVolume(pid)) {
      Put(q, 0, 0);
      res.Range.Add(0);
      zeroedFirst = true;
      if (moved == 0) res.Restored = true;
    }
  }
  if (seg + 1 < n && touchLast) {
    if (hasNext) {
      PushForward(p, seg + 1, pid, q.Node[L].Value, &touched);
    } else if (IsSoundVolume(pid)) {
      Put(q, L, 0);
      res.Range.Add(L);
      zeroedLast = true;
      if (moved == L) res.Restored = true;
    }
  }
  if (repeats) {
    // Once more, so a repeated segment still ends where it starts. A node
    // silenced for a missing voice wins over the node the user moved: the
    // voice must be silent at both ends of a segment that repeats.
    int mv = zeroedLast ? L : zeroedFirst ? 0 : moved;
    const int32_t before0 = q.Node[0].Value, beforeL = q.Node[L].Value;
    repeatRule(mv);
    if (q.Node[0].Value != before0 && hasPrev) PushBackward(p, seg - 1, pid, q.Node[0].Value, &touched);
    if (q.Node[L].Value != beforeL && hasNext) PushForward(p, seg + 1, pid, q.Node[L].Value, &touched);
    if ((moved == 0 && q.Node[0].Value != before0) || (moved == L && q.Node[L].Value != beforeL)) res.Restored = true;
  }
  FollowTracked(bg, p, pid, touched, seg);
  return res;
}

void LinkSegmentParams(const BackgroundParamRow& bg, Preset& p, int seg, LinkSide side) {
  if (!TVK_CHECK(seg >= 0 && seg < SegCount(p), seg)) return;
  const Segment& s = p.data.Segment[seg];
  Param* params = Params(p, seg);
  int count = SegParamCount(s);
  for (int pid = 0; pid < count; ++pid) {
    if (params[pid].Tracking == 1 || !UsableCurve(params[pid])) continue;
    int last = CurveNodes(params[pid]) - 1;
    switch (side) {
      case LINK_TO_PREVIOUS: LinkAdjacent(bg, p, seg, pid, 0, 0, 0); break;
      case LINK_TO_NEXT: LinkAdjacent(bg, p, seg, pid, last, last, last); break;
      case LINK_WHOLE: LinkAdjacent(bg, p, seg, pid, NODES_ALL, NODES_ALL, -1); break;
    }
  }
  RecomputeAllTracked(bg, params, s);
}

// --- Background ----------------------------------------------------------------

void RescaleBackgroundParam(Preset& p, const ParamDefType& oldRow, const ParamDefType& newRow, int nodes) {
  for (int s = 0; s < SegCount(p); ++s)
    RescaleSegmentBackgroundParam(Params(p, s), p.data.Segment[s], oldRow, newRow, nodes);
}

void RescaleSegmentBackgroundParam(Param* params, const Segment& seg, const ParamDefType& oldRow,
                                   const ParamDefType& newRow, int nodes) {
  if (!params) return;
  // The segment is read in the new row from here on.
  BackgroundParamRow bg;
  bg.Row = newRow;
  const int64_t from = Pow10(oldRow.Digits), to = Pow10(newRow.Digits);
  const int64_t lo = newRow.Min * to, hi = newRow.Max * to;
  int newGroup = newRow.Easy;
  for (int pid : {int(PID_BGPARAM), PID_BGPARAM + 1}) {
    Param& q = params[pid];
    q.MinLimit = newRow.Min;
    q.MaxLimit = newRow.Max;
    if (q.Tracking == 1) continue;
    for (int i = 0; i < CurveNodes(q); ++i)
      q.Node[i].Value = static_cast<int32_t>(std::clamp(int64_t(q.Node[i].Value) * to / from, lo, hi));
  }
  Param& left = params[PID_BGPARAM];
  if (left.EasySel != 0) {
    int e = FindEasyEntry(left.EasySel);
    int oldGroup = e >= 0 ? EasyMode[e].Type : -1;
    if (oldGroup != newGroup) {
      int firstRow = -1;
      for (const EasyModeType& m : EasyMode)
        if (m.Type == newGroup && newGroup != 0) {
          firstRow = m.EasySel;
          break;
        }
      if (firstRow > 0)
        SetFromEasySelection(bg, params, seg, PID_BGPARAM, firstRow, left.TrackSource, nodes == 2 ? 2 : 3);
      else
        left.EasySel = 0;
    }
  }
  RecomputeDependents(bg, params, seg, PID_BGPARAM);
}

void ReduceBackgroundParam(Preset& p) {
  for (int s = 0; s < SegCount(p); ++s) {
    Param* params = Params(p, s);
    for (int pid : {int(PID_BGPARAM), PID_BGPARAM + 1}) {
      Param& q = params[pid];
      int n = CurveNodes(q);
      if (n < 2) continue;
      Node end = q.Node[n - 1];
      end.Value = q.Node[0].Value;
      q.Node[1] = end;
      for (int i = 2; i < n; ++i) q.Node[i] = Node{};
      q.NumNodes = 2;
    }
  }
}

// --- OK ------------------------------------------------------------------------

int EndCheckPid(const Preset& p) {
  int n = SegCount(p);
  if (n == 0) return -1;
  const Segment& seg = p.data.Segment[n - 1];
  const Param* params = SegParams(p, n - 1);
  if (!params) return -1;
  auto sounds = [&](int pid) {
    const Param& q = params[pid];
    int k = CurveNodes(q);
    return k > 0 && q.Node[k - 1].Value != 0;
  };
  for (int v = 0; v < seg.NumVoices && v < MAXVOICES; ++v)
    for (int c = 0; c < 2; ++c)
      if (sounds(VoicePidOf(v, VP_VOLUME) + c)) return VoicePidOf(v, VP_VOLUME) + c;
  if (p.data.Background != AMBIX_NONE)
    for (int pid : {int(PID_BGVOLUME), PID_BGVOLUME + 1})
      if (sounds(pid)) return pid;
  for (int pid : {int(PID_NOISEVOL), PID_NOISEVOL + 1})
    if (sounds(pid)) return pid;
  return -1;
}

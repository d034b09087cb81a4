// The rules of the parameter pages.
#include "main/paramrules.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "assert/check.h"
#include "main/arith.h"
#include "main/curveedit.h"
#include "main/preset.h"
#include "main/strtab.h"

namespace {

int EasyOf(const Param* params, int voice, int paramNum) { return params[PARAMID(voice, paramNum)].EasySel; }

// A constant user-defined curve (EasySel 0) on both channels.
void SetConstantCurve(const BackgroundParamRow& bg, Param* params, const Segment& seg, int pid, int32_t value,
                      int nodes) {
  Param& q = params[pid];
  q.NumNodes = static_cast<uint8_t>(nodes);
  for (int i = 0; i < nodes; ++i) q.Node[i] = Node{value, static_cast<int16_t>(10000 / (nodes - 1) * i), 10, 1};
  q.EasySel = 0;
  q.Tracking = 0;
  q.TrackingMode = 0;
  JoinChannels(bg, params, seg, pid >= NSPAR ? (pid - NSPAR) / NVPAR : 0, ParamNumOfPid(pid));
}

}  // namespace

bool ParamInUse(const BackgroundParamRow& bg, const Param* params, const PresetFixed& p, int voice, int paramNum) {
  const bool none = p.data.Background == AMBIX_NONE;
  switch (paramNum) {
    case PN_FILTER: return EasyOf(params, voice, PN_WAVEFORM) != 1;  // a sine wave has nothing to filter
    case PN_SNDMODPERIOD:
    case PN_SNDMODPHASE: return EasyOf(params, voice, PN_SNDMODDEPTH) != 16;
    case PN_BGMODPERIOD:
    case PN_BGMODPHASE: return EasyOf(params, voice, PN_BGMODDEPTH) != 16;
    case PN_VISMODPERIOD:
    case PN_VISMODPHASE: return EasyOf(params, voice, PN_VISMODDEPTH) != 23;
    case PN_VISMOD2PERIOD:
    case PN_VISMOD2PHASE: return EasyOf(params, voice, PN_VISMOD2DEPTH) != 23;
    case PN_NOISEMODPERIOD:
    case PN_NOISEMODPHASE:
      // The ocean waves set period and phase themselves.
      return EasyOf(params, voice, PN_NOISEMODDEPTH) == 0;
    case PN_NOISESMOOTH: return EasyOf(params, voice, PN_NOISEVOL) != 46;
    case PN_BGPARAM: return !none && bg.Row.Name != ParamDefSpare[0].Name;
    case PN_BGPHASE: return !none;
    default: return true;
  }
}

int ModulationOfPane(int paramNum) {
  switch (paramNum) {
    case PN_VOLUME: return PN_SNDMODDEPTH;
    case PN_BGVOLUME: return PN_BGMODDEPTH;
    case PN_NOISEVOL: return PN_NOISEMODDEPTH;
    case PN_VISBRIGHT: return PN_VISMODDEPTH;
    case PN_VISPHASE: return PN_VISMOD2DEPTH;
    default: return -1;
  }
}

bool ModulationOn(const Param* params, int voice, int depthParamNum) {
  const int pid = PARAMID(voice, depthParamNum);
  for (int c = 0; c < ParamDef[depthParamNum].Channels; ++c) {
    const Param& q = params[pid + c];
    for (int i = 0; i < CurveNodes(q); ++i)
      if (q.Node[i].Value != 0) return true;
  }
  return false;
}

std::string ModulationButtonText(int pane, bool on) {
  static const char* const kText[3] = {"Mo&dulation", "&Modulation", "M&odulation"};
  if (!TVK_CHECK(pane >= 0 && pane < 3, pane)) pane = 0;
  return std::string(kText[pane]) + (on ? " (ON)..." : " (OFF)...");
}

PaneView PaneContents(const BackgroundParamRow& bg, const Param* params, const PresetFixed& p, int voice,
                      int paramNum) {
  PaneView v;
  if (!TVK_CHECK_AS(paramNum >= 0 && paramNum < PDBK, "ParamNum<PDBK", paramNum)) return v;
  const ParamDefType& d = ParamRowOf(bg, paramNum);
  const int first = PARAMID(voice, paramNum);
  v.InUse = ParamInUse(bg, params, p, voice, paramNum);
  if (!v.InUse) return v;
  v.Enabled = !(paramNum == PN_BGVOLUME && p.data.Background == AMBIX_NONE);
  v.Modulation = ModulationOfPane(paramNum) >= 0;
  v.Pid = first;
  const Param& f = params[first];
  // A choice the table does not know (a hand-made file) is edited as a curve.
  if (d.Easy != 0 && f.EasySel != 0 && FindEasyEntry(f.EasySel) >= 0) {
    v.Easy = true;
    v.EasySel = f.EasySel;
    return v;
  }
  v.Chart = true;
  v.Easy = d.Easy != 0;
  v.Separate = d.Channels == 2;
  if (d.Channels == 2 && f.ChannelMode != 0) {
    v.Channel = f.ChannelMode == 2 ? 2 : 1;
    v.Radios = true;
    if (v.Channel == 2) v.Pid = first + 1;
  }
  v.Track = paramNum != PN_BEAT;
  v.TrackList = v.Track && params[v.Pid].Tracking == 1;
  v.ReadOnly = params[v.Pid].Tracking == 1;
  if (paramNum == PN_BEAT && params[PARAMID(voice, PN_PITCH)].ChannelMode != 0) v.Derived = v.ReadOnly = true;
  return v;
}

std::string TabCaption(int t, const std::string& name, const std::string& segmentId, const std::string& voiceRow,
                       int segments, int voices) {
  if (t == 1 || t == 2) {
    // The sound and the waveform belong to a voice of the segment.
    if (segments >= 2 && voices >= 2) return segmentId + "(" + voiceRow + "): " + name;
    if (voices >= 2) return voiceRow + ": " + name;
    if (segments >= 2) return segmentId + ": " + name;
  } else if (t >= 3 && segments >= 2) {
    return segmentId + ": " + name;
  }
  return name;
}

std::string PaneNameLine(const std::string& name, int paramNum, int voice, int voices, int channel) {
  std::string line = name;
  if (ParamDef[paramNum].FirstPid >= NSPAR && voices > 1) line += " (Voice " + std::to_string(voice + 1) + ")";
  if (channel > 0) line += channel == 1 ? ": Left" : ": Right";
  return line;
}

std::vector<int> EasyChoices(int group) {
  std::vector<int> rows;
  if (group == 0) return rows;
  for (const EasyModeType& m : EasyMode)
    if (m.Type == group) rows.push_back(m.EasySel);
  rows.push_back(0);
  return rows;
}

std::vector<int> ApplyEasyChoice(const BackgroundParamRow& bg, Param* params, const Segment& seg, int voice,
                                 int paramNum, int easySel, int nodes) {
  const int first = PARAMID(voice, paramNum);
  Param& f = params[first];
  if (easySel == 0) {
    // The chart takes over the constant curve the choice left.
    f.EasySel = 0;
    return {};
  }
  const int e = FindEasyEntry(easySel);
  if (!TVK_CHECK_AS(e >= 0 && EasyMode[e].Type == ParamRowOf(bg, paramNum).Easy, "EasySel", easySel)) return {};
  std::vector<int> changed;
  if (paramNum == PN_NOISEMODDEPTH && easySel >= 20 && easySel <= 22) {
    // Ocean waves: a period of their own and in phase.
    static constexpr int32_t kPeriodMs[3] = {3000, 2000, 1250};
    SetConstantCurve(bg, params, seg, PID_NOISEMODPERIOD,
                     kPeriodMs[easySel - 20] * PowerOfTen[ParamDef[PN_NOISEMODPERIOD].Digits], nodes);
    SetFromEasySelection(bg, params, seg, PID_NOISEMODPHASE, 12, params[PID_NOISEMODPHASE].TrackSource, nodes);
  }
  SetFromEasySelection(bg, params, seg, first, easySel, f.TrackSource, nodes);
  changed.push_back(first);
  if (paramNum == PN_NOISEMODDEPTH && easySel >= 19 && easySel <= 22) {
    changed.push_back(PID_NOISEMODPERIOD);
    changed.push_back(PID_NOISEMODPHASE);
  }
  if (paramNum == PN_WAVEFORM) {
    // The Waveform rule: a sine wave needs no filter, the filtered triangle
    // three harmonics, and a filter chosen from the list follows the wave.
    const int filter = PARAMID(voice, PN_FILTER);
    if (easySel == 1 || easySel == 4 || params[filter].EasySel != 0) {
      SetFromEasySelection(bg, params, seg, filter, easySel == 4 ? 11 : 8, params[filter].TrackSource, nodes);
      changed.push_back(filter);
    }
  }
  return changed;
}

std::vector<int> SeparateChannels(const BackgroundParamRow& bg, Param* params, Segment& seg, int voice, int paramNum) {
  std::vector<int> stopped;
  if (!TVK_CHECK(ParamRowOf(bg, paramNum).Channels == 2, paramNum)) return stopped;
  const int first = PARAMID(voice, paramNum);
  params[first].ChannelMode = 1;
  params[first + 1].Tracking = 0;  // keeps the values it had
  if (paramNum == PN_PITCH) {
    // The beat is now the difference of the pitches: nothing may follow it.
    const int beat = PARAMID(voice, PN_BEAT);
    for (int pid = 0; pid < SegParamCount(seg); ++pid)
      if (params[pid].Tracking == 1 && params[pid].TrackSource == beat) {
        params[pid].Tracking = 0;
        stopped.push_back(pid);
      }
  }
  if (paramNum == PN_NOISESMOOTH) seg.NoiseInsideHead = 0;
  return stopped;
}

void JoinChannels(const BackgroundParamRow& bg, Param* params, const Segment& seg, int voice, int paramNum) {
  const ParamDefType& row = ParamRowOf(bg, paramNum);
  if (!TVK_CHECK(row.Channels == 2, paramNum)) return;
  const int first = PARAMID(voice, paramNum);
  Param& l = params[first];
  Param& r = params[first + 1];
  l.ChannelMode = 0;
  // The right channel is about to follow the left one: a left channel that
  // followed the right one would close a loop.
  if (l.Tracking == 1 && ChainReaches(params, seg, first + 1, first)) l.Tracking = 0;
  r.Tracking = 1;
  r.TrackSource = static_cast<uint8_t>(first);
  r.Intercept = 0;
  r.Slope = 1000;
  r.MinLimit = row.Min;
  r.MaxLimit = row.Max;
  r.ChannelMode = 0;
  RecomputeTracked(bg, params, seg, first + 1, first);
  RecomputeDependents(bg, params, seg, first + 1);
}

void ShowChannel(Param* params, int voice, int paramNum, int channel) {
  if (!TVK_CHECK(channel == 1 || channel == 2, channel)) return;
  params[PARAMID(voice, paramNum)].ChannelMode = static_cast<uint8_t>(channel);
}

// --- Tracking ---------------------------------------------------------------------

namespace {

int VoiceOfPid(int pid) { return pid >= NSPAR ? (pid - NSPAR) / NVPAR : 0; }

// Thousandths of the display unit of a stored value.
int64_t Thousandths(const BackgroundParamRow& bg, int paramNum, int32_t stored) {
  const int digits = ParamRowOf(bg, paramNum).Digits;
  return digits <= 3 ? int64_t{stored} * PowerOfTen[3 - digits] : int64_t{stored} / PowerOfTen[digits - 3];
}

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

std::vector<int> TrackDestinations(const Param* params, int voice, int paramNum) {
  std::vector<int> rows = {PN_BEAT, PN_PITCH, PN_VOLUME};
  switch (paramNum) {
    case PN_WAVEFORM: rows.push_back(PN_FILTER); break;
    case PN_FILTER: rows.push_back(PN_WAVEFORM); break;
    case PN_BGPARAM: rows.insert(rows.end(), {PN_BGVOLUME, PN_BGPHASE}); break;
    case PN_BGPHASE: rows.push_back(PN_BGVOLUME); break;
    case PN_VISFREQ: rows.insert(rows.end(), {PN_VISBRIGHT, PN_VISBRIGHT2}); break;
    case PN_VISBRIGHT: rows.insert(rows.end(), {PN_VISFREQ, PN_VISBRIGHT2}); break;
    case PN_VISBRIGHT2: rows.insert(rows.end(), {PN_VISFREQ, PN_VISBRIGHT}); break;
    default: break;
  }
  const bool pitchSeparate = params[PARAMID(voice, PN_PITCH)].ChannelMode != 0;
  std::vector<int> pids;
  for (int n : rows) {
    if (n == paramNum || n == PN_BGPARAM || (n == PN_BEAT && pitchSeparate)) continue;
    const int first = PARAMID(voice, n);
    pids.push_back(first);
    if (ParamDef[n].Channels == 2 && params[first].ChannelMode != 0) pids.push_back(first + 1);
  }
  return pids;
}

std::string DestinationName(const Param* params, int pid, int voice) {
  const int n = ParamNumOfPid(pid);
  const int first = PARAMID(VoiceOfPid(pid), n);
  std::string name = GetStr(ParamDef[n].Name);
  if (pid >= NSPAR && VoiceOfPid(pid) != voice) name += " (Voice " + std::to_string(VoiceOfPid(pid) + 1) + ")";
  if (ParamDef[n].Channels == 2 && params[first].ChannelMode != 0) name += pid == first ? ": Left" : ": Right";
  return name;
}

bool TrackingCycle(const Param* params, const Segment& seg, int pid, int dest) {
  return ChainReaches(params, seg, pid, dest);
}

int StartTracking(const BackgroundParamRow& bg, Param* params, const Segment& seg, int voice, int pid) {
  Param& q = params[pid];
  const int count = SegParamCount(seg);
  const bool pitchSeparate = params[PARAMID(voice, PN_PITCH)].ChannelMode != 0;
  // A derived beat has no curve of its own to follow.
  auto isBeat = [](int d) { return d >= NSPAR && (d - NSPAR) % NVPAR == 0; };
  int dest = q.TrackSource;
  if (dest >= count || TrackingCycle(params, seg, pid, dest) || (pitchSeparate && isBeat(dest))) {
    dest = -1;
    for (int d = NSPAR; d < count && dest < 0; ++d) {
      const int n = ParamNumOfPid(d);
      const int first = PARAMID(VoiceOfPid(d), n);
      if (n == PN_WAVEFORM) continue;
      if (d == first + 1 && params[first].ChannelMode == 0) continue;  // follows its left channel
      if (pitchSeparate && isBeat(d)) continue;
      if (TrackingCycle(params, seg, pid, d)) continue;
      dest = d;
    }
    if (dest < 0) return 1326;
  }
  q.Tracking = 1;
  q.TrackSource = static_cast<uint8_t>(dest);
  RecomputeTracked(bg, params, seg, pid, dest);
  return 0;
}

int ChooseDestination(const BackgroundParamRow& bg, Param* params, const Segment& seg, int pid, int dest) {
  Param& q = params[pid];
  if (dest < 0 || dest >= SegParamCount(seg)) {
    q.Tracking = 0;
    return 1327;
  }
  if (TrackingCycle(params, seg, pid, dest)) return 1280;
  if (dest != q.TrackSource) {
    const int n = ParamNumOfPid(pid), dn = ParamNumOfPid(dest);
    int32_t a1, a2, b1, b2;
    NodeRangeOf(q, n, &a1, &a2);
    NodeRangeOf(params[dest], dn, &b1, &b2);
    const TrackCoefficients c = RangeCoefficients(bg, n, a1, a2, dn, b1, b2);
    q.Intercept = c.Intercept;
    q.Slope = c.Slope;
    q.TrackSource = static_cast<uint8_t>(dest);
  }
  q.Tracking = 1;
  RecomputeTracked(bg, params, seg, pid, dest);
  return 0;
}

TrackCoefficients RangeCoefficients(const BackgroundParamRow& bg, int paramNum, int32_t a1, int32_t a2,
                                    int destParamNum, int32_t b1, int32_t b2) {
  // In thousandths of each display unit, so a range of 1.5..7 Hz keeps its
  // fractions.
  const int64_t A1 = Thousandths(bg, paramNum, a1), A2 = Thousandths(bg, paramNum, a2);
  const int64_t B1 = Thousandths(bg, destParamNum, b1), B2 = Thousandths(bg, destParamNum, b2);
  TrackCoefficients c;
  const int64_t slope = B2 == B1 ? 0 : 1000 * (A2 - A1) / (B2 - B1);
  c.Slope = Clamp32(slope);
  c.Intercept = Clamp32(A1 - slope * B1 / 1000);
  return c;
}

void NodeRangeOf(const Param& p, int paramNum, int32_t* lo, int32_t* hi) {
  *lo = INT32_MAX;
  *hi = INT32_MIN;
  for (int i = 0; i < CurveNodes(p); ++i) {
    const int32_t v = paramNum == PN_WAVEFORM ? (p.Node[i].Value & 0xFFFF) : p.Node[i].Value;
    *lo = std::min(*lo, v);
    *hi = std::max(*hi, v);
  }
  if (*lo > *hi) *lo = *hi = 0;
}

int32_t MapThroughCoefficients(const BackgroundParamRow& bg, const TrackCoefficients& c, int paramNum, int destParamNum,
                               int32_t b) {
  const int64_t a = int64_t{c.Intercept} + int64_t{c.Slope} * Thousandths(bg, destParamNum, b) / 1000;
  const int digits = ParamRowOf(bg, paramNum).Digits;
  return Clamp32(digits <= 3 ? a / PowerOfTen[3 - digits] : a * PowerOfTen[digits - 3]);
}

namespace {

// A parameter of the tree: itself, or Left and Right under it when its
// channels are separate, and its modulation's three parameters; the edited
// parameter stays only as the group of a modulation branch.
void AddTreeParam(std::vector<DestinationItem>& to, const Param* params, int voice, int paramNum, int editedNum,
                  int editedVoice) {
  const int first = PARAMID(voice, paramNum);
  const bool edited = paramNum == editedNum && (first < NSPAR || voice == editedVoice);
  const int modulation = paramNum == PN_VISPHASE ? -1 : ModulationOfPane(paramNum);
  DestinationItem item;
  item.Text = GetStr(ParamDef[paramNum].Name);
  const bool split = ParamDef[paramNum].Channels == 2 && params[first].ChannelMode != 0;
  if (!edited) {
    if (split) {
      item.Children.push_back({"Left", first, {}});
      item.Children.push_back({"Right", first + 1, {}});
    } else {
      item.Pid = first;
    }
  }
  if (modulation >= 0)
    for (int m = modulation; m < modulation + 3; ++m)
      AddTreeParam(item.Children, params, voice, m, editedNum, editedVoice);
  if (edited && modulation < 0) return;
  to.push_back(item);
}

}  // namespace

std::vector<DestinationItem> DestinationTree(const Param* params, const Segment& seg, int pid) {
  const int editedNum = ParamNumOfPid(pid), editedVoice = VoiceOfPid(pid);
  std::vector<DestinationItem> tree;
  for (int v = 0; v < seg.NumVoices; ++v) {
    DestinationItem branch{"Voice " + std::to_string(v + 1) + " Parameters", -1, {}};
    const bool pitchSeparate = params[PARAMID(v, PN_PITCH)].ChannelMode != 0;
    for (int n : {PN_BEAT, PN_PITCH, PN_VOLUME, PN_FILTER}) {
      if (n == PN_BEAT && pitchSeparate) continue;  // the beat is the pitches' difference
      AddTreeParam(branch.Children, params, v, n, editedNum, editedVoice);
    }
    tree.push_back(branch);
  }
  DestinationItem segment{"Segment Parameters", -1, {}};
  for (int n : {PN_BGVOLUME, PN_BGPHASE, PN_NOISEVOL, PN_NOISESMOOTH, PN_VISFREQ, PN_VISBRIGHT, PN_VISPHASE})
    AddTreeParam(segment.Children, params, 0, n, editedNum, editedVoice);
  tree.push_back(segment);
  return tree;
}

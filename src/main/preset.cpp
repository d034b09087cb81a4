// Preset memory and whole-record operations: the preset array, parameter
// blocks, default content, easy selections, copy and compare.
#include "main/preset.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "assert/check.h"
#include "main/arith.h"
#include "platform/vmem.h"

Preset* Program = nullptr;
int NumPrograms = 0;
int SelProgram = 0;
int UseCounter = 1;

namespace {

constexpr size_t kParamBlockBytes = sizeof(Param) * NPARAMS * MAXSEGMENTS;  // 3,625,600
// Records of Program backed by memory.
size_t gProgramCommitted = 0;

}  // namespace

bool ReserveProgramArray() {
  if (Program) return true;
  Program = static_cast<Preset*>(plat::MemReserve(sizeof(Preset) * MAXPROGRAMS));
  TVK_CHECK(Program != nullptr, MAXPROGRAMS);
  return Program != nullptr;
}

bool CommitProgramRecord(int n) {
  if (!TVK_CHECK(n >= 0 && n < MAXPROGRAMS, n)) return false;
  if (!Program && !ReserveProgramArray()) return false;
  size_t want = static_cast<size_t>(n) + 1;
  if (want <= gProgramCommitted) return true;
  // Back the array in steps of 16 records so that loading a store does not
  // make a system call per preset.
  want = (want + 15) / 16 * 16;
  if (want > MAXPROGRAMS) want = MAXPROGRAMS;
  bool ok = plat::MemCommit(Program + gProgramCommitted, (want - gProgramCommitted) * sizeof(Preset));
  int error = ok ? 1 : 0;
  if (!TVK_CHECK(error != 0, error)) return false;
  gProgramCommitted = want;
  return true;
}

Param* CommitSegmentSlot(Preset& p, int i, int voices) {
  if (!TVK_CHECK(i >= 0 && i < MAXSEGMENTS, i)) return nullptr;
  if (!TVK_CHECK(voices >= 1 && voices <= MAXVOICES, voices)) return nullptr;
  if (!p.ParamMem) {
    p.ParamMem = static_cast<Param*>(plat::MemReserve(kParamBlockBytes));
    if (!TVK_CHECK(p.ParamMem != NULL, 0)) return nullptr;
  }
  Param* slot = p.ParamMem + NPARAMS * i;
  int error = plat::MemCommit(slot, sizeof(Param) * static_cast<size_t>(NSPAR + NVPAR * voices)) ? 1 : 0;
  if (!TVK_CHECK(error != 0, error)) return nullptr;
  return slot;
}

void ReleaseParams(Preset& p) {
  if (p.ParamMem) plat::MemRelease(p.ParamMem, kParamBlockBytes);
  p.ParamMem = nullptr;
}

bool EnsureDescription(Preset& p) {
  if (!p.Description) p.Description = static_cast<char*>(std::calloc(DESCLEN, 1));
  return TVK_CHECK(p.Description != NULL, DESCLEN);
}

void ReleaseDescription(Preset& p) {
  std::free(p.Description);
  p.Description = nullptr;
}

void FreePreset(Preset& p) {
  ReleaseParams(p);
  ReleaseDescription(p);
  std::memset(static_cast<PresetFixed*>(&p), 0, sizeof(PresetFixed));
}

int32_t PresetLength(const PresetFixed& p) {
  // 25 segments of the longest length repeated 10000 times pass 2^31; such a
  // preset lasts "as long as can be said".
  int64_t total = 0;
  int n = p.data.NumSegments <= MAXSEGMENTS ? p.data.NumSegments : MAXSEGMENTS;
  for (int s = 0; s < n; ++s) total += static_cast<int64_t>(p.data.Segment[s].Length) * p.data.Segment[s].Repeat;
  return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
}

void ResetTrackingDefaults(const BackgroundParamRow& bg, Param* params, int pid) {
  if (!TVK_CHECK(pid >= 0 && pid < NSPAR + NVPAR * MAXVOICES, pid)) return;
  Param& p = params[pid];
  int dest = ParamNumOfPid(pid);
  int src = ParamNumOfPid(p.TrackSource < NPARAMS ? p.TrackSource : 0);
  p.Intercept = 0;
  p.Slope = CalcMax[dest] * 1000 / CalcMax[src];
  p.MinLimit = ParamRowOf(bg, dest).Min;
  p.MaxLimit = ParamRowOf(bg, dest).Max;
}

namespace {

// Display value of an easy selection in hundredths of the display unit.
bool EasyValueX100(int easySel, int32_t* v) {
  // clang-format off
  switch (easySel) {
    case 8: *v = 2000; return true;   // no filtering: 20.00
    case 9: *v = 120; return true;    // first harmonic
    case 10: *v = 220; return true;   // two harmonics
    case 11: *v = 320; return true;   // three harmonics
    case 12: *v = 0; return true;     // phases in degrees
    case 13: *v = 9000; return true;
    case 14: *v = -9000; return true;
    case 15: *v = 18000; return true;
    case 16: *v = 0; return true;     // depths in percent
    case 18: *v = 10000; return true;
    case 17: *v = 5000; return true;
    case 19: *v = 0; return true;
    case 20: case 21: case 22: *v = 9000; return true;  // ocean waves
    case 23: *v = 0; return true;
    case 25: *v = 10000; return true;
    case 24: *v = 5000; return true;
    case 26: *v = 0; return true;     // noise colour: white, pink, brown
    case 27: *v = 5000; return true;
    case 28: *v = 8000; return true;
    case 29: *v = 1000; return true;  // every 10 seconds
    case 30: *v = 0; return true;     // random intervals carry no interval
    case 32: *v = 0; return true;     // phase shift in ms
    case 33: *v = 10000; return true;
    case 34: *v = -10000; return true;
    case 35: *v = 25000; return true;
    case 36: *v = -25000; return true;
    case 37: *v = 0; return true;     // intervals in seconds
    case 38: *v = 500; return true;
    case 39: *v = 1000; return true;
    case 40: *v = 1500; return true;
    case 41: *v = 2000; return true;
    case 42: case 44: case 47: *v = 10000; return true;  // full
    case 43: case 45: case 48: *v = 5000; return true;   // half
    case 50: case 46: case 49: *v = 0; return true;      // zero
    default: return false;
  }
  // clang-format on
}

// Waveform selections: (shape, Z) in tenths of a percent.
bool EasyWaveform(int easySel, int32_t* v) {
  int lo, hi;
  // clang-format off
  switch (easySel) {
    case 1: lo = 500; hi = 500; break;
    case 2: lo = 500; hi = 250; break;
    case 31: lo = 500; hi = 0; break;
    case 3: case 4: lo = 0; hi = 500; break;
    case 5: lo = 1000; hi = 500; break;
    case 6: lo = 870; hi = 500; break;
    case 7: lo = 750; hi = 500; break;
    default: return false;
  }
  // clang-format on
  *v = static_cast<int32_t>((static_cast<uint32_t>(hi) << 16) | static_cast<uint32_t>(lo));
  return true;
}

void SetConstantNodes(Param& p, int32_t value, int nodes) {
  p.NumNodes = static_cast<uint8_t>(nodes);
  for (int i = 0; i < nodes; ++i) {
    p.Node[i].Value = value;
    p.Node[i].SweepTime = static_cast<int16_t>(10000 / (nodes - 1) * i);
    p.Node[i].Weight = 10;
    p.Node[i].Symmetric = 1;
  }
}

void SetCurve(const BackgroundParamRow& bg, Param& p, int paramNum, int a, int b, int nodes) {
  int32_t scale = PowerOfTen[ParamRowOf(bg, paramNum).Digits];
  int32_t va = a * scale, vb = b * scale;
  p.NumNodes = static_cast<uint8_t>(nodes);
  for (int i = 0; i < nodes; ++i) {
    int32_t v = i == 0 ? va : (i == nodes - 1 ? vb : va + (vb - va) / 2);
    p.Node[i] = {v, static_cast<int16_t>(10000 / (nodes - 1) * i), 10, 1};
  }
  p.Tracking = 0;
  p.EasySel = 0;
}

// Makes the second channel of a two-channel parameter track the first one to
// one.
void JoinSecondChannel(const BackgroundParamRow& bg, Param* params, int first) {
  Param& r = params[first + 1];
  int n = ParamNumOfPid(first);
  r.Tracking = 1;
  r.TrackSource = static_cast<uint8_t>(first);
  r.Intercept = 0;
  r.Slope = 1000;
  r.MinLimit = ParamRowOf(bg, n).Min;
  r.MaxLimit = ParamRowOf(bg, n).Max;
  r.ChannelMode = 0;
}

}  // namespace

bool EasySelectionValue(const BackgroundParamRow& bg, int paramNum, int easySel, int32_t* value) {
  if (!TVK_CHECK(paramNum >= 0 && paramNum < PDBK, paramNum)) return false;
  if (paramNum == PN_WAVEFORM) return EasyWaveform(easySel, value);
  int32_t x100;
  if (!EasyValueX100(easySel, &x100)) return false;
  int digits = ParamRowOf(bg, paramNum).Digits;
  *value = digits >= 2 ? x100 * PowerOfTen[digits - 2] : x100 / PowerOfTen[2 - digits];
  return true;
}

void SetFromEasySelection(const BackgroundParamRow& bg, Param* params, const Segment& seg, int pid, int easySel,
                          int trackSource, int nodes) {
  if (!TVK_CHECK(pid >= 0 && pid < NSPAR + NVPAR * MAXVOICES, pid)) return;
  if (!TVK_CHECK(nodes == 2 || nodes == 3, nodes)) nodes = 3;
  Param& p = params[pid];
  int n = ParamNumOfPid(pid);
  int32_t value = 0;
  TVK_CHECK(EasySelectionValue(bg, n, easySel, &value), easySel);
  p.EasySel = static_cast<uint8_t>(easySel);
  p.TrackSource = static_cast<uint8_t>(trackSource);
  p.TrackingMode = 0;
  p.ChannelMode = 0;
  p.Tracking = 0;
  SetConstantNodes(p, value, nodes);
  ResetTrackingDefaults(bg, params, pid);
  if (ParamRowOf(bg, n).Channels == 2 && pid == PARAMID(pid >= NSPAR ? (pid - NSPAR) / NVPAR : 0, n)) {
    if (ChainReaches(params, pid + 1, pid)) p.Tracking = 0;
    JoinSecondChannel(bg, params, pid);
    RecomputeTracked(bg, params, pid + 1, pid);
    RecomputeDependents(bg, params, seg, pid + 1);
  }
}

void RecomputeAllTracked(const BackgroundParamRow& bg, Param* params, const Segment& seg) {
  int count = SegParamCount(seg);
  for (int pid = 0; pid < count; ++pid)
    if (params[pid].Tracking == 1 && params[pid].TrackSource < count)
      RecomputeTracked(bg, params, pid, params[pid].TrackSource);
}

void RecomputeDependents(const BackgroundParamRow& bg, Param* params, const Segment& seg, int pid) {
  // Depth-first over the parameters that track pid; chains are acyclic, and
  // the depth bound keeps a corrupt cycle from recursing without end.
  struct Walker {
    const BackgroundParamRow& bg;
    Param* params;
    int count;
    void Run(int src, int depth) {
      if (depth >= NPARAMS) return;
      for (int d = 0; d < count; ++d)
        if (d != src && params[d].Tracking == 1 && params[d].TrackSource == src) {
          RecomputeTracked(bg, params, d, src);
          Run(d, depth + 1);
        }
    }
  } w{bg, params, SegParamCount(seg)};
  w.Run(pid, 0);
}

void FillDefaultSegment(Param* params, Segment& seg, int voices, int nodes) {
  const int Nodes = nodes;
  if (!TVK_CHECK_AS(Nodes == 2 || Nodes == 3, "Nodes==2||Nodes==3", Nodes)) nodes = 3;
  if (!TVK_CHECK(voices >= 1 && voices <= MAXVOICES, voices)) voices = 1;
  // The defaults are those of the table's own row 6, whatever background the
  // preset has.
  const BackgroundParamRow bg;
  seg.NumVoices = static_cast<uint8_t>(voices);
  int count = NSPAR + NVPAR * voices;
  std::memset(params, 0, sizeof(Param) * static_cast<size_t>(count));

  auto easy = [&](int pid, int sel, int ts) {
    Param& p = params[pid];
    int32_t value = 0;
    EasySelectionValue(bg, ParamNumOfPid(pid), sel, &value);
    SetConstantNodes(p, value, nodes);
    p.EasySel = static_cast<uint8_t>(sel);
    p.Tracking = 0;
    p.TrackSource = static_cast<uint8_t>(ts);
  };
  auto curve = [&](int pid, int a, int b, int ts) {
    SetCurve(bg, params[pid], ParamNumOfPid(pid), a, b, nodes);
    params[pid].TrackSource = static_cast<uint8_t>(ts);
  };
  auto tracks = [&](int pid, int ts) {
    params[pid].Tracking = 1;
    params[pid].TrackSource = static_cast<uint8_t>(ts);
  };

  // Segment-wide parameters.
  easy(PID_BGVOLUME, 42, 37);
  easy(PID_BGPARAM, 37, 36);
  easy(PID_BGPHASE, 32, 36);
  easy(PID_NOISEVOL, 46, 37);
  easy(PID_NOISESMOOTH, 27, 36);
  tracks(PID_VISFREQ, 36);
  easy(PID_VISBRIGHT, 47, 37);
  easy(PID_VISBRIGHT2, 47, 37);
  easy(PID_VISPHASE, 12, 49);
  easy(PID_BGMODDEPTH, 16, 36);
  curve(PID_BGMODPERIOD, 1000, 1000, 36);
  easy(PID_BGMODPHASE, 12, 36);
  easy(PID_VISMODDEPTH, 23, 14);
  curve(PID_VISMODPERIOD, 1000, 1000, 14);
  easy(PID_VISMODPHASE, 12, 14);
  easy(PID_VISMOD2DEPTH, 23, 14);
  curve(PID_VISMOD2PERIOD, 1000, 1000, 14);
  easy(PID_VISMOD2PHASE, 12, 14);
  easy(PID_NOISEMODDEPTH, 19, 36);
  curve(PID_NOISEMODPERIOD, 1000, 1000, 36);
  easy(PID_NOISEMODPHASE, 12, 36);
  // Voices.
  for (int v = 0; v < voices; ++v) {
    int beat = VoicePidOf(v, VP_BEAT);
    curve(beat, 15, 5, beat);
    tracks(VoicePidOf(v, VP_PITCH), beat);
    easy(VoicePidOf(v, VP_VOLUME), 42, beat);
    easy(VoicePidOf(v, VP_WAVEFORM), 1, beat);
    easy(VoicePidOf(v, VP_FILTER), 8, beat);
    easy(VoicePidOf(v, VP_MODDEPTH), 16, beat);
    curve(VoicePidOf(v, VP_MODPERIOD), 1000, 1000, beat);
    easy(VoicePidOf(v, VP_MODPHASE), 12, beat);
  }
  // Every parameter: tracking defaults; second channels follow the first.
  for (int pid = 0; pid < count; ++pid) {
    int n = ParamNumOfPid(pid);
    bool second = ParamRowOf(bg, n).Channels == 2 && pid == PARAMID(pid >= NSPAR ? (pid - NSPAR) / NVPAR : 0, n) + 1;
    if (second) {
      JoinSecondChannel(bg, params, pid - 1);
    } else {
      ResetTrackingDefaults(bg, params, pid);
      params[pid].ChannelMode = 0;
    }
  }
}

void NewDefaultPreset(Preset& p, int nodes) {
  std::memset(static_cast<PresetFixed*>(&p), 0, sizeof(PresetFixed));
  p.Description = nullptr;
  p.ParamMem = nullptr;
  std::strcpy(p.Name, "<new>");
  EnsureDescription(p);
  p.data.NumSegments = 1;
  p.data.Background = AMBIX_NONE;
  p.data.ContinuePlaying = 1;
  p.data.VisOpt.NumColors = 2;
  p.data.VisOpt.Colors[0] = 0x00FF0000;
  p.data.VisOpt.Colors[1] = 0x0000FF00;
  Segment& seg = p.data.Segment[0];
  std::strcpy(seg.Name, "A");
  seg.Length = 1000;
  seg.Repeat = 1;
  Param* params = CommitSegmentSlot(p, 0, 1);
  if (params) {
    FillDefaultSegment(params, seg, 1, nodes);
    RecomputeAllTracked(BackgroundParamRow{}, params, seg);
  }
  p.Loaded = 1;
  p.LastUse = UseCounter++;
}

namespace {

// The fixed record with the placeholder words taken from `like`, so that
// pointer places never count as a difference.
PresetFixed FixedAs(const PresetFixed& rec, const PresetFixed& like) {
  PresetFixed f = rec;
  f.DescriptionPlace = like.DescriptionPlace;
  for (int s = 0; s < MAXSEGMENTS; ++s) f.data.Segment[s].ParamPlace = like.data.Segment[s].ParamPlace;
  return f;
}

bool FixedDiffers(const PresetFixed& a, const PresetFixed& b) {
  PresetFixed fa = FixedAs(a, b);
  return std::memcmp(&fa, &b, sizeof fa) != 0;
}

int SegCount(const PresetFixed& p) { return p.data.NumSegments <= MAXSEGMENTS ? p.data.NumSegments : MAXSEGMENTS; }
int VoiceCount(const Segment& s) { return s.NumVoices <= MAXVOICES ? s.NumVoices : MAXVOICES; }

}  // namespace

bool CopyPreset(Preset& dest, const Preset& src) {
  char* desc = dest.Description;
  Param* mem = dest.ParamMem;
  bool changed = FixedDiffers(dest, src);
  std::memcpy(static_cast<PresetFixed*>(&dest), static_cast<const PresetFixed*>(&src), sizeof(PresetFixed));
  dest.ParamMem = mem;
  dest.Description = desc;
  if (!dest.ParamMem) {
    dest.ParamMem = static_cast<Param*>(plat::MemReserve(kParamBlockBytes));
    TVK_CHECK_AS(dest.ParamMem != NULL, "ParamMem!=NULL", 0);
  }
  if (!dest.Description) {
    dest.Description = static_cast<char*>(std::calloc(DESCLEN, 1));
    TVK_CHECK_AS(dest.Description != NULL, "dest->Description!=NULL", 0);
    desc = nullptr;  // the old text was absent
  }
  const char* srcText = src.Description ? src.Description : "";
  if (!changed) changed = desc ? std::strncmp(desc, srcText, DESCLEN) != 0 : srcText[0] != 0;
  if (dest.Description) {
    std::strncpy(dest.Description, srcText, DESCLEN - 1);
    dest.Description[DESCLEN - 1] = 0;
  }
  if (!dest.ParamMem || !TVK_CHECK(src.ParamMem != NULL, 0)) return changed;
  for (int s = 0; s < SegCount(src); ++s) {
    int voices = VoiceCount(src.data.Segment[s]);
    if (voices < 1) continue;
    Param* d = CommitSegmentSlot(dest, s, voices);
    const Param* sp = SegParams(src, s);
    if (!d) continue;
    int count = NSPAR + NVPAR * voices;
    for (int i = 0; i < count; ++i) {
      if (!changed) changed = std::memcmp(&d[i], &sp[i], sizeof(Param)) != 0;
      std::memcpy(&d[i], &sp[i], sizeof(Param));
    }
  }
  return changed;
}

int ComparePresets(const Preset& a, const Preset& b) {
  if (FixedDiffers(a, b)) return 1;
  if ((a.Description == nullptr) != (b.Description == nullptr)) return 1;
  if (a.Description && std::strncmp(a.Description, b.Description, DESCLEN) != 0) return 1;
  if (!a.ParamMem || !b.ParamMem) return a.ParamMem != b.ParamMem;
  for (int s = 0; s < SegCount(a); ++s) {
    int count = NSPAR + NVPAR * VoiceCount(a.data.Segment[s]);
    if (std::memcmp(SegParams(a, s), SegParams(b, s), sizeof(Param) * static_cast<size_t>(count)) != 0) return 1;
  }
  return 0;
}

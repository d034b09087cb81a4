// Converting one old record: the fixed part, then each segment's default
// content with the old curves, easy selections and tracking applied.
#include "convold/oldconvert.h"

#include <cstring>
#include <limits>

#include "assert/check.h"
#include "convold/oldmap.h"
#include "main/arith.h"
#include "main/preset.h"

namespace {

// Converted segments start from default curves of two nodes.
constexpr int kNodes = 2;
constexpr char kBuiltInPrefix[] = "BUILTIN: ";
constexpr size_t kBuiltInPrefixLen = sizeof kBuiltInPrefix - 1;

// An old value in current units; a product beyond 32 bits (only in a damaged
// file) is held at the nearest representable value.
int32_t Scaled(int32_t value, int32_t factor) {
  int64_t r = int64_t{value} * factor;
  if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (r < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

void ConvertFixed(const OldRecord& old, Preset& p, bool* noiseMode) {
  std::memcpy(p.Name, old.Name, NAMELEN);
  p.Name[NAMELEN - 1] = 0;
  p.BuiltIn = std::strncmp(p.Name, kBuiltInPrefix, kBuiltInPrefixLen) == 0 ? 1 : 0;
  p.data.ContinuePlaying = 1;
  // The old format had no visual colour options: NumColors stays 0 ("not
  // set"), which playback and the colour dialog treat as such.
  p.data.NumSegments = old.NumSegments;
  for (int s = 0; s < old.NumSegments; ++s) {
    const OldSegment& o = old.Segment[s];
    Segment& seg = p.data.Segment[s];
    seg.NumVoices = o.NumVoices;
    std::memcpy(seg.Name, o.Name, sizeof seg.Name);
    seg.Length = o.Minutes * 100;  // whole minutes to hundredths
    seg.Repeat = o.Repeat;
  }
  OldBackground bg = MapOldBackground(old.BackgroundCode);
  *noiseMode = bg.NoiseMode;
  p.data.Background = bg.Background;
  if (bg.Library) {
    std::strncpy(p.data.BackgroundFile, bg.Library, NAMELEN - 1);
  } else if (bg.Background == AMBIX_OTHER) {
    // A path without its NUL, or too long for the current field, names no
    // file that could be found: the preset gets no background.
    if (old.PathFits)
      std::memcpy(p.data.BackgroundFile, old.BackgroundPath, NAMELEN);
    else
      p.data.Background = AMBIX_NONE;
  }
}

void ConvertParam(const OldParam& o, const OldParamTarget& t, bool noiseMode, Param* params) {
  Param& d = params[t.Pid];
  std::memset(d.Node, 0, sizeof d.Node);
  d.NumNodes = o.NumNodes;
  for (int i = 0; i < o.NumNodes; ++i)
    d.Node[i] = {Scaled(o.Node[i].Value, t.Factor), o.Node[i].Position, o.Node[i].Weight, o.Node[i].Symmetric};
  d.Tracking = o.Tracking;
  if (o.Type < OLD_TYPES) {
    d.TrackSource = static_cast<uint8_t>(PARAMID(t.Voice, OldTypeRow(o.Type, noiseMode)));
    d.Intercept = o.Setting[OLD_INTERCEPT][o.Type];
    d.Slope = o.Setting[OLD_SLOPE][o.Type];
    d.MinLimit = o.Setting[OLD_MINLIMIT][o.Type];
    d.MaxLimit = o.Setting[OLD_MAXLIMIT][o.Type];
  } else {
    // A type the settings arrays have no entry for names no parameter to
    // track: the curve keeps its own nodes and the default tracking settings.
    d.Tracking = 0;
  }
  d.TrackingMode = o.Mode;
  d.ChannelMode = 0;
  d.EasySel = 0;
}

// Old tracking may close a loop (a parameter tracking itself, or two that
// track each other); a tracked value could then never be computed. The
// parameter that closes each loop, in ascending pid order, keeps its own
// nodes instead.
void BreakTrackingLoops(Param* params, const Segment& seg) {
  int count = SegParamCount(seg);
  for (int pid = 0; pid < count; ++pid)
    if (params[pid].Tracking && ChainReaches(params, seg, pid, params[pid].TrackSource)) params[pid].Tracking = 0;
}

void ApplyVoiceBytes(const OldSegment& o, Param* params, const Segment& seg) {
  for (int v = 0; v < o.NumVoices; ++v) {
    int beat = VoicePidOf(v, VP_BEAT);
    if (o.VoiceFlag[v])
      SetFromEasySelection(BackgroundParamRow{}, params, seg, VoicePidOf(v, VP_MODPHASE), EASY_PHASE_180, beat, kNodes);
    if (int sel = OldWaveformEasySel(o.Waveform[v]))
      SetFromEasySelection(BackgroundParamRow{}, params, seg, VoicePidOf(v, VP_WAVEFORM), sel, beat, kNodes);
  }
}

void RecomputeTracking(Param* params, const Segment& seg) {
  // Any nonzero Tracking tracks (the file accepts up to 10).
  int count = SegParamCount(seg);
  for (int pid = 0; pid < count; ++pid)
    if (params[pid].Tracking) RecomputeTracked(BackgroundParamRow{}, params, seg, pid, params[pid].TrackSource);
}

bool ConvertSegment(const OldRecord& old, int s, bool noiseMode, Preset& p) {
  const OldSegment& o = old.Segment[s];
  Segment& seg = p.data.Segment[s];
  Param* params = CommitSegmentSlot(p, s, o.NumVoices);
  if (!params) return false;
  FillDefaultSegment(params, seg, o.NumVoices, kNodes);
  // The default content's tracked curves get their nodes only here; a
  // parameter whose tracking a loop break turns off below keeps them.
  RecomputeAllTracked(BackgroundParamRow{}, params, seg);
  if (noiseMode) seg.NoiseInsideHead = 1;
  int count = OldSegParamCount(o.NumVoices);
  for (int i = 0; i < count; ++i) {
    const OldParam& op = old.Params[static_cast<size_t>(o.FirstParam + i)];
    OldParamTarget t;
    if (!MapOldParam(i, noiseMode, &t)) continue;
    if (OldParamKeepsDefault(i, noiseMode, p.data.Background, op)) continue;
    ConvertParam(op, t, noiseMode, params);
  }
  BreakTrackingLoops(params, seg);
  ApplyVoiceBytes(o, params, seg);
  RecomputeTracking(params, seg);
  return true;
}

}  // namespace

int ConvertOldRecord(const OldRecord& old, Preset& p) {
  std::memset(static_cast<PresetFixed*>(&p), 0, sizeof(PresetFixed));
  p.Description = nullptr;
  p.ParamMem = nullptr;
  bool noiseMode = false;
  ConvertFixed(old, p, &noiseMode);
  if (!EnsureDescription(p)) return FMSG_READ_FAILED;
  std::memcpy(p.Description, old.Description.data(), std::min<size_t>(old.Description.size(), DESCLEN - 1));
  for (int s = 0; s < old.NumSegments; ++s) {
    if (!ConvertSegment(old, s, noiseMode, p)) {
      FreePreset(p);
      return FMSG_READ_FAILED;
    }
  }
  p.Loaded = 1;
  p.LastUse = UseCounter++;
  return 0;
}

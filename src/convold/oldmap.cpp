// Mapping tables of the old-format conversion.
#include "convold/oldmap.h"

#include "assert/check.h"
#include "main/preset.h"

namespace {

struct LibraryCode {
  int Code;
  const char* Library;
  int Number;
};

// Codes 100-117 named the recordings of the two background libraries; 110
// named one that no longer exists.
constexpr const char* kAmbix = "Ambix.dll";
constexpr const char* kAmbiplus = "Ambiplus.dll";
constexpr LibraryCode kLibraryCodes[] = {
    {100, kAmbix, 1},    {101, kAmbiplus, 1},  {102, kAmbix, 2},    {103, kAmbix, 3},    {104, kAmbiplus, 2},
    {105, kAmbix, 4},    {106, kAmbiplus, 3},  {107, kAmbiplus, 4}, {108, kAmbiplus, 5}, {109, kAmbiplus, 6},
    {111, kAmbiplus, 7}, {112, kAmbix, 5},     {113, kAmbiplus, 8}, {114, kAmbiplus, 9}, {115, kAmbiplus, 10},
    {116, kAmbix, 6},    {117, kAmbiplus, 11},
};

constexpr int kCodeOtherWav = -1;
constexpr int kCodeNoise1 = -2;
constexpr int kCodeNoise2 = -3;

// Old tracking types in ParamDef rows.
// clang-format off
constexpr int kTypeRow[OLD_TYPES] = {PN_BEAT,       PN_VOLUME,     PN_PITCH,   PN_SNDMODDEPTH,
                                     PN_SNDMODPERIOD, PN_BGVOLUME, PN_BGPARAM, PN_VISFREQ,
                                     PN_VISBRIGHT,  PN_VISMODDEPTH, PN_VISMODPERIOD};
// clang-format on

// Voice parameter k = 0..4: the current per-voice offset.
constexpr int kVoiceTarget[OLD_VOICE_PARAMS] = {VP_BEAT, VP_VOLUME, VP_PITCH, VP_MODDEPTH, VP_MODPERIOD};
// Old beat frequencies are hundredths of a hertz, current ones thousandths.
constexpr int32_t kBeatFactor = 10;

bool FlatAt(const OldParam& p, int32_t value) {
  return p.NumNodes == 2 && p.Node[0].Value == value && p.Node[1].Value == value;
}

int32_t ScaleOf(int pid) { return PowerOfTen[ParamDef[ParamNumOfPid(pid)].Digits]; }

}  // namespace

OldBackground MapOldBackground(int code) {
  for (const LibraryCode& c : kLibraryCodes)
    if (c.Code == code) return {c.Number, c.Library, false};
  if (code == kCodeOtherWav) return {AMBIX_OTHER, nullptr, false};
  if (code == kCodeNoise1 || code == kCodeNoise2) return {AMBIX_NONE, nullptr, true};
  return {AMBIX_NONE, nullptr, false};
}

bool MapOldParam(int i, bool noiseMode, OldParamTarget* t) {
  if (i == 0) {
    t->Pid = noiseMode ? PID_NOISEVOL : PID_BGVOLUME;
    t->Factor = ScaleOf(t->Pid);
    t->Voice = 0;
    t->K = -1;
    return true;
  }
  if (i == 1) {
    // Old noise smoothness was in whole percent; the background parameter
    // was stored as it is.
    t->Pid = noiseMode ? PID_NOISESMOOTH : PID_BGPARAM;
    t->Factor = noiseMode ? 100 : 1;
    t->Voice = 0;
    t->K = -1;
    return true;
  }
  if (i < OLD_SEG_PARAMS) return false;
  int v = (i - OLD_SEG_PARAMS) / OLD_VOICE_PARAMS;
  int k = (i - OLD_SEG_PARAMS) % OLD_VOICE_PARAMS;
  if (!TVK_CHECK(v < OLD_MAX_VOICES, i)) return false;
  t->Pid = VoicePidOf(v, kVoiceTarget[k]);
  t->Factor = k == 0 ? kBeatFactor : ScaleOf(t->Pid);
  t->Voice = v;
  t->K = k;
  return true;
}

bool OldParamKeepsDefault(int i, bool noiseMode, int32_t background, const OldParam& p) {
  int k = i >= OLD_SEG_PARAMS ? (i - OLD_SEG_PARAMS) % OLD_VOICE_PARAMS : -1;
  if (i == 1 && !noiseMode && (background == AMBIX_NONE || background == AMBIX_OTHER)) return true;
  if (((i == 0 && !noiseMode) || k == 1) && FlatAt(p, 100)) return true;
  if (((i == 0 && noiseMode) || k == 3) && FlatAt(p, 0)) return true;
  return false;
}

int OldTypeRow(int type, bool noiseMode) {
  int n = type >= 0 && type < OLD_TYPES ? kTypeRow[type] : -1;
  if (!TVK_CHECK_AS(n != -1, "n!=-1", type)) return -1;
  if (noiseMode && n == PN_BGVOLUME) n = PN_NOISEVOL;
  if (noiseMode && n == PN_BGPARAM) n = PN_NOISESMOOTH;
  return n;
}

int OldWaveformEasySel(int code) {
  // "Sine^2 wave", "Triangular wave", "Rectangular wave", "25% smoothed
  // rectangular wave", "50% smoothed rectangular wave".
  static constexpr int kEasy[OLD_MAX_WAVEFORM + 1] = {0, 2, 3, 5, 6, 7};
  return code >= 0 && code <= OLD_MAX_WAVEFORM ? kEasy[code] : 0;
}

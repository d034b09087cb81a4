// The configuration wizard's test preset and sample-rate rules.
#include "cnfwiz/wizpreset.h"

#include <cstring>

#include "main/preset.h"

namespace {

// A constant curve; a two-channel parameter's second channel keeps
// tracking the first one to one.
void SetConst(Param* params, const Segment& seg, int pid, int32_t value) {
  Param& q = params[pid];
  for (int i = 0; i < q.NumNodes; ++i) q.Node[i].Value = value;
  q.Tracking = 0;
  q.EasySel = 0;
  RecomputeDependents(BackgroundParamRow{}, params, seg, pid);
}

// A two-channel parameter with separate left and right curves.
void SetChannels(Param* params, const Segment& seg, int pid, int32_t left, int32_t right) {
  SetConst(params, seg, pid, left);
  params[pid].ChannelMode = 1;
  Param& r = params[pid + 1];
  r.Tracking = 0;
  r.EasySel = 0;
  for (int i = 0; i < r.NumNodes; ++i) r.Node[i].Value = right;
  RecomputeDependents(BackgroundParamRow{}, params, seg, pid + 1);
}

}  // namespace

void BuildWizardTestPreset(Preset& p) {
  NewDefaultPreset(p, 2);
  p.data.Background = AMBIX_NONE;
  p.data.BackgroundFile[0] = 0;
  p.data.ContinuePlaying = 1;
  std::memset(&p.data.VisOpt, 0, sizeof p.data.VisOpt);
  Segment& s0 = p.data.Segment[0];
  s0.Length = 6000;
  s0.Repeat = 1;
  Param* p0 = SegParams(p, 0);
  SetConst(p0, s0, PARAMID(0, PN_BEAT), 0);
  SetConst(p0, s0, PARAMID(0, PN_PITCH), 40000);
  const int32_t volume = p0[PARAMID(0, PN_VOLUME)].Node[0].Value;  // the default volume
  // Segments 1..5 start from segment 0 as it is now.
  for (int s = 1; s < WIZSEG_COUNT; ++s) {
    p.data.Segment[s] = s0;
    p.data.Segment[s].Name[0] = static_cast<char>('A' + s);
    std::memcpy(CommitSegmentSlot(p, s, 1), p0, sizeof(Param) * static_cast<size_t>(SegParamCount(s0)));
  }
  p.data.NumSegments = WIZSEG_COUNT;
  const int vol = PARAMID(0, PN_VOLUME);
  SetConst(p0, s0, vol, 0);
  // Both channels: the second one's tracking limits stop at 100.00.
  SetChannels(p0, s0, PID_BGPARAM, 360000, 360000);
  p0[PID_BGPARAM].ChannelMode = 0;
  Param* p1 = SegParams(p, WIZSEG_LEFT);
  SetChannels(p1, p.data.Segment[WIZSEG_LEFT], vol, volume, 0);
  Param* p2 = SegParams(p, WIZSEG_RIGHT);
  SetChannels(p2, p.data.Segment[WIZSEG_RIGHT], vol, 0, volume);
  Param* p3 = SegParams(p, WIZSEG_RATE);
  SetConst(p3, p.data.Segment[WIZSEG_RATE], PARAMID(0, PN_PITCH), 41234);
  Param* p4 = SegParams(p, WIZSEG_STROBE);
  SetConst(p4, p.data.Segment[WIZSEG_STROBE], vol, 0);
  SetConst(p4, p.data.Segment[WIZSEG_STROBE], PID_VISFREQ, 5000);
  Param* p5 = SegParams(p, WIZSEG_ZERO);
  SetConst(p5, p.data.Segment[WIZSEG_ZERO], vol, 0);
  SetConst(p5, p.data.Segment[WIZSEG_ZERO], PID_VISFREQ, 0);
  SetConst(p5, p.data.Segment[WIZSEG_ZERO], PID_VISBRIGHT, 100);
}

void SetWizardSpeech(Preset& p, bool on) {
  p.data.Background = on ? 27 : AMBIX_NONE;
  std::strcpy(p.data.BackgroundFile, on ? "Tavik.exe" : "");
}

int WizardRateStep(int hz, int direction) {
  int next = direction > 0 ? (hz / 1000 + 1) * 1000 : ((hz + 999) / 1000 - 1) * 1000;
  return next < WIZRATE_MIN ? WIZRATE_MIN : next > WIZRATE_MAX ? WIZRATE_MAX : next;
}

bool WizardRateValid(int hz) { return hz >= WIZRATE_MIN && hz <= WIZRATE_MAX; }

// A preset written as a session: its segments (repeats unrolled) sampled
// into tone-sets at whole seconds, every line sliding ("== ... ->") into the
// next, so that the generators glide from sample to sample. Samples are taken
// at every node and added between them until the generators' straight course
// (frequencies, amplitudes and pulse rates change linearly) keeps every
// parameter within 1 % of the range it covers.
//
// Voices keep their channel in every set, the noise one after them; a sound
// file background is the mix. Amplitudes are the sources'
// shares of full scale as the engine mixes them, so the session plays at the
// preset's level.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "main/arith.h"
#include "main/preset.h"
#include "main/text.h"
#include "sbg/curves.h"
#include "sbg/levels.h"
#include "sbg/sbg.h"

namespace sbg {
namespace {

constexpr double DAY_S = 24 * 3600;

// One segment pass on the session's time axis.
struct Pass {
  int Seg;
  double Start, Len;  // seconds
};

// The value of a parameter at segment time t (0-10000, fractional): `half`
// 0 for a whole value, 1 the low and 2 the high half of a packed one.
double ValueAt(const Param& q, double t, int half = 0) {
  int n = std::min<int>(q.NumNodes, MAXNODES);
  if (n <= 0) return 0;
  auto val = [&](int i) {
    int32_t v = q.Node[i].Value;
    if (half == 1) return static_cast<double>(v & 0xFFFF);
    if (half == 2) return static_cast<double>((v >> 16) & 0xFFFF);
    return static_cast<double>(v);
  };
  for (int i = 0; i + 1 < n; ++i) {
    double t0 = q.Node[i].SweepTime, t1 = q.Node[i + 1].SweepTime;
    if (t0 <= t && t < t1)
      return WeightedValue(val(i), val(i + 1), std::min<int>(q.Node[i].Weight, 20), (t - t0) / (t1 - t0));
  }
  return val(n - 1);
}

// What one voice plays at a moment, as the generators write it.
struct VoiceState {
  double Left = 0, Right = 0;  // Hz
  double Gain = 0;
  bool Iso = false;
  double Pulse = 0;  // Hz
  Wave Shape = Wave::Sine;
  bool Present = false;  // its segment has the voice
};

struct State {
  std::vector<VoiceState> Voices;
  double NoiseGain = 0;
  int Smooth = 0;
  double MixGain = 0;
};

class Writer {
 public:
  explicit Writer(const Preset& p) : P(p) {}
  std::string Text();

 private:
  const Preset& P;
  std::vector<Pass> Passes;
  int MaxVoices = 1;
  int Sources = 1;
  bool HasNoise = false, HasMix = false;
  std::set<std::string> Notes;
  double Tol[4] = {0, 0, 0, 0};  // Hz of a tone, volume units, Hz of a pulse, gain

  State At(double sec);
  void Scan();
  double Error(const State& a, const State& b, const State& mid, double f);
  std::string SetText(const State& s);
};

State Writer::At(double sec) {
  State st;
  st.Voices.resize(static_cast<size_t>(MaxVoices));
  const Pass* ps = &Passes.back();
  for (const Pass& p : Passes)
    if (sec < p.Start + p.Len) {
      ps = &p;
      break;
    }
  const Segment& seg = P.data.Segment[ps->Seg];
  const Param* q = SegParams(P, ps->Seg);
  double t = std::clamp((sec - ps->Start) / ps->Len * 10000, 0.0, 10000.0);
  for (int v = 0; v < seg.NumVoices && v < MaxVoices; ++v) {
    VoiceState& vs = st.Voices[static_cast<size_t>(v)];
    vs.Present = true;
    const Param* pitch = &q[VoicePidOf(v, VP_PITCH)];
    double beat = ValueAt(q[VoicePidOf(v, VP_BEAT)], t) / 1000;
    if (pitch->ChannelMode != 0) {
      vs.Left = ValueAt(pitch[0], t) / 100;
      vs.Right = ValueAt(pitch[1], t) / 100;
    } else {
      double mid = ValueAt(pitch[0], t) / 100;
      vs.Left = std::fabs(mid - beat / 2);
      vs.Right = std::fabs(mid + beat / 2);
    }
    double gl = GainOfVolume(ValueAt(q[VoicePidOf(v, VP_VOLUME)], t));
    double gr = GainOfVolume(ValueAt(q[VoicePidOf(v, VP_VOLUME) + 1], t));
    if (std::fabs(gl - gr) > 0.01) Notes.insert("different volumes in the two ears are written as their mean");
    vs.Gain = (gl + gr) / 2;
    double depth = ValueAt(q[VoicePidOf(v, VP_MODDEPTH)], t);
    double period = ValueAt(q[VoicePidOf(v, VP_MODPERIOD)], t);
    if (depth >= 9950 && period > 0) {
      vs.Iso = true;
      vs.Pulse = 1e6 / period;
      if (std::fabs(vs.Left - vs.Right) > 0.001 && vs.Gain > 0)
        Notes.insert("a pulsing voice plays its carrier in both ears: its binaural beat is left out");
    } else if (depth > 0 && vs.Gain > 0) {
      Notes.insert("sound modulations other than a full one (an isochronic tone) are left out");
    }
    double shape = ValueAt(q[VoicePidOf(v, VP_WAVEFORM)], t, 1);
    double z = ValueAt(q[VoicePidOf(v, VP_WAVEFORM)], t, 2);
    vs.Shape = shape < 250 ? Wave::Triangle : shape < 750 ? Wave::Sine : Wave::Square;
    if (vs.Gain > 0 && ((shape != 0 && shape != 500 && shape != 1000) || z != 500))
      Notes.insert("waveforms are written as the nearest of sine, square and triangle");
    if (vs.Gain > 0 && ValueAt(q[VoicePidOf(v, VP_FILTER)], t) < 2000) Notes.insert("the waveform filter is left out");
  }
  st.NoiseGain = (GainOfVolume(ValueAt(q[PID_NOISEVOL], t)) + GainOfVolume(ValueAt(q[PID_NOISEVOL + 1], t))) / 2;
  st.Smooth = static_cast<int>(std::lround(ValueAt(q[PID_NOISESMOOTH], t) / 100));
  if (st.NoiseGain > 0 && st.Smooth != SmoothnessOf(ColorOf(st.Smooth)))
    Notes.insert("noise smoothness is written as the nearest of white, pink and brown noise");
  if (HasMix)
    st.MixGain = (GainOfVolume(ValueAt(q[PID_BGVOLUME], t)) + GainOfVolume(ValueAt(q[PID_BGVOLUME + 1], t))) / 2;
  return st;
}

// The largest error, as a multiple of its tolerance, of the generators'
// straight course from a to b against `mid`, the preset's value at fraction f.
double Writer::Error(const State& a, const State& b, const State& mid, double f) {
  double worst = 0;
  auto lin = [f](double x, double y) { return x + (y - x) * f; };
  auto rate = [&](double err, double tol) { worst = std::max(worst, tol > 0 ? err / tol : (err > 1e-9 ? 1e9 : 0)); };
  // A level: within 1 % of the volume range and 0.5 % of the loudest gain.
  auto level = [&](double straight, double want) {
    rate(std::fabs(VolumeOfGain(straight) - VolumeOfGain(want)), Tol[1]);
    rate(std::fabs(straight - want), Tol[3]);
  };
  for (size_t v = 0; v < mid.Voices.size(); ++v) {
    const VoiceState &x = a.Voices[v], &y = b.Voices[v], &m = mid.Voices[v];
    level(lin(x.Gain, y.Gain), m.Gain);
    if (m.Gain <= 0 && x.Gain <= 0 && y.Gain <= 0) continue;
    rate(std::fabs(lin(x.Left, y.Left) - m.Left), Tol[0]);
    rate(std::fabs(lin(x.Right, y.Right) - m.Right), Tol[0]);
    if (m.Iso && x.Iso && y.Iso) rate(std::fabs(lin(x.Pulse, y.Pulse) - m.Pulse), Tol[2]);
    if (m.Iso != x.Iso || m.Iso != y.Iso || m.Shape != x.Shape || m.Shape != y.Shape) worst = std::max(worst, 1e9);
  }
  level(lin(a.NoiseGain, b.NoiseGain), mid.NoiseGain);
  if (mid.NoiseGain > 0 && (ColorOf(a.Smooth) != ColorOf(mid.Smooth) || ColorOf(b.Smooth) != ColorOf(mid.Smooth)))
    worst = std::max(worst, 1e9);
  level(lin(a.MixGain, b.MixGain), mid.MixGain);
  return worst;
}

void Writer::Scan() {
  double start = 0;
  for (int s = 0; s < P.data.NumSegments; ++s) {
    const Segment& seg = P.data.Segment[s];
    MaxVoices = std::max<int>(MaxVoices, seg.NumVoices);
    for (int r = 0; r < std::max(1, seg.Repeat) && start < DAY_S; ++r) {
      Passes.push_back({s, start, seg.Length * 0.6});
      start += seg.Length * 0.6;
    }
    const Param* q = SegParams(P, s);
    for (int i = 0; i < q[PID_NOISEVOL].NumNodes && i < MAXNODES; ++i)
      HasNoise = HasNoise || q[PID_NOISEVOL].Node[i].Value > 0 || q[PID_NOISEVOL + 1].Node[i].Value > 0;
    auto nonzero = [&](int pid) {
      for (int i = 0; i < q[pid].NumNodes && i < MAXNODES; ++i)
        if (q[pid].Node[i].Value != 0) return true;
      return false;
    };
    if (nonzero(PID_NOISEMODDEPTH) || nonzero(PID_NOISEMODDEPTH + 1) || nonzero(PID_BGMODDEPTH) ||
        nonzero(PID_BGMODDEPTH + 1))
      Notes.insert("background and noise modulations are left out");
    if (nonzero(PID_BGPHASE)) Notes.insert("the background's phase shift is left out");
    if (P.data.Background == AMBIX_OTHER || P.data.Background == AMBIX_LONG) {
      if (nonzero(PID_BGPARAM) || nonzero(PID_BGPARAM + 1)) Notes.insert("the background's interval mode is left out");
    }
    if (seg.NoiseInsideHead) Notes.insert("noise inside the head is written as ordinary noise");
    for (int pid = 0; pid < SegParamCount(seg); ++pid) {
      const Param& p = q[pid];
      if (!p.Tracking) continue;
      int row = ParamNumOfPid(pid);
      bool ownLeft = ParamDef[row].Channels == 2 && p.TrackSource == pid - 1 && p.Slope == 1000 && p.Intercept == 0;
      bool visual = row == PN_VISFREQ || row == PN_VISBRIGHT || row == PN_VISBRIGHT2 || row == PN_VISPHASE ||
                    (row >= PN_VISMODDEPTH && row <= PN_VISMOD2PHASE);
      if (!ownLeft && !visual) Notes.insert("tracking is written as the values it gives");
    }
  }
  if (start >= DAY_S)
    Notes.insert("the preset is longer than 24 hours, the most a session lasts: the rest is left out");
  HasMix = P.data.Background == AMBIX_OTHER || P.data.Background == AMBIX_LONG;
  if (P.data.Background < AMBIX_NONE) Notes.insert("the library background is left out");
  if (P.data.Background == AMBIX_LONG) Notes.insert("the single long background file is written as a looped one");
  Sources = MaxVoices + (HasNoise ? 1 : 0) + (HasMix ? 1 : 0);
}

std::string Num(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

std::string Time(long sec) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", sec / 3600, sec / 60 % 60, sec % 60);
  return buf;
}

std::string Writer::SetText(const State& s) {
  std::string out;
  auto amp = [&](double g) { return Num(100 * g / Sources, 4); };
  for (const VoiceState& v : s.Voices) {
    static const char* const kPrefix[] = {"", "square:", "triangle:", "sawtooth:"};
    out += ' ';
    out += kPrefix[static_cast<int>(v.Shape)];
    double carrier = (v.Left + v.Right) / 2;
    if (v.Iso) {
      out += Num(carrier, 3) + "@" + Num(v.Pulse, 4);
    } else {
      double beat = v.Left - v.Right;  // '+': the left ear higher
      out += Num(carrier, 3) + (beat < 0 ? "-" : "+") + Num(std::fabs(beat), 3);
    }
    out += "/" + amp(v.Gain);
  }
  // One noise channel: a change of colour fades through silence within the
  // second the samples leave it.
  static const char* const kColor[] = {"white", "pink", "brown"};
  if (HasNoise) {
    double peak = NoiseTable[std::clamp(s.Smooth, 0, 100)].Peak;
    out += std::string(" ") + kColor[static_cast<int>(ColorOf(s.Smooth))] + "/" + amp(s.NoiseGain * peak);
  }
  if (HasMix) out += " mix/" + amp(s.MixGain);
  return out;
}

std::string Writer::Text() {
  Scan();
  double total = Passes.empty() ? 0 : std::min(DAY_S, Passes.back().Start + Passes.back().Len);
  // Tolerances: 1 % of the span each kind of parameter covers.
  {
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    double loudest = 0;
    for (const Pass& ps : Passes) {
      for (int k = 0; k <= 64; ++k) {
        State s = At(ps.Start + ps.Len * k / 64);
        loudest = std::max({loudest, s.NoiseGain, s.MixGain});
        for (const VoiceState& v : s.Voices) {
          loudest = std::max(loudest, v.Gain);
          for (double f : {v.Left, v.Right}) lo[0] = std::min(lo[0], f), hi[0] = std::max(hi[0], f);
          if (v.Iso) lo[2] = std::min(lo[2], v.Pulse), hi[2] = std::max(hi[2], v.Pulse);
        }
      }
    }
    Tol[0] = std::clamp((hi[0] - lo[0]) / 100, 0.01, 200.0);
    Tol[1] = 100;  // 1 % volume
    Tol[2] = std::clamp((hi[2] - lo[2]) / 100, 0.001, 10.0);
    Tol[3] = std::max(loudest, 1e-3) / 200;
  }
  // Sample times: every node, then halves until the course fits.
  std::set<long> times{0, static_cast<long>(std::llround(total))};
  for (const Pass& ps : Passes) {
    const Param* q = SegParams(P, ps.Seg);
    const Segment& seg = P.data.Segment[ps.Seg];
    for (int pid = 0; pid < SegParamCount(seg); ++pid)
      for (int i = 0; i < q[pid].NumNodes && i < MAXNODES; ++i) {
        double sec = ps.Start + ps.Len * q[pid].Node[i].SweepTime / 10000;
        if (sec <= total) times.insert(std::lround(sec));
        if (i > 0 && q[pid].Node[i].SweepTime == q[pid].Node[i - 1].SweepTime &&
            q[pid].Node[i].Value != q[pid].Node[i - 1].Value)
          Notes.insert("steps are written as slides of a second");
      }
  }
  std::vector<long> list(times.begin(), times.end());
  std::vector<long> done;
  for (size_t i = 0; i + 1 < list.size(); ++i) {
    std::vector<std::pair<long, long>> todo{{list[i], list[i + 1]}};
    while (!todo.empty()) {
      auto [a, b] = todo.back();
      todo.pop_back();
      bool fits = true;
      if (b - a >= 2) {
        State sa = At(static_cast<double>(a)), sb = At(static_cast<double>(b));
        for (int k = 1; k < 8 && fits; ++k) {
          double f = k / 8.0;
          fits = Error(sa, sb, At(static_cast<double>(a) + static_cast<double>(b - a) * f), f) <= 1;
        }
      }
      if (fits) {
        done.push_back(a);
      } else {
        long m = (a + b) / 2;
        todo.push_back({m, b});
        todo.push_back({a, m});
      }
    }
  }
  done.push_back(list.back());
  std::sort(done.begin(), done.end());
  done.erase(std::unique(done.begin(), done.end()), done.end());

  std::vector<State> states;
  for (long t : done) states.push_back(At(static_cast<double>(t)));
  // A voice its segment does not have takes the pitch of the sound it
  // follows, or of the one it fades in to, instead of sliding from 0 Hz.
  for (int v = 0; v < MaxVoices; ++v) {
    auto at = [&](size_t i) -> VoiceState& { return states[i].Voices[static_cast<size_t>(v)]; };
    for (size_t i = 0; i < states.size(); ++i) {
      if (at(i).Present) continue;
      bool afterSound = i > 0 && at(i - 1).Gain > 0;
      size_t from = i;
      if (afterSound) {
        from = i - 1;
      } else {
        for (size_t j = i + 1; j < states.size() && from == i; ++j)
          if (at(j).Gain > 0) from = j;
      }
      if (from == i) continue;
      VoiceState keep = at(from);
      keep.Gain = 0;
      keep.Present = false;
      at(i) = keep;
    }
  }

  std::string out;
  if (P.Description && P.Description[0]) {
    std::string d = TextForBlock({P.Description, strnlen(P.Description, DESCLEN)});
    size_t pos = 0;
    while (pos <= d.size()) {
      size_t nl = d.find('\n', pos);
      if (nl == std::string::npos) nl = d.size();
      out += "## " + d.substr(pos, nl - pos) + "\n";
      pos = nl + 1;
    }
    out += "\n";
  }
  out += "# Written by Sonavel from the preset \"" + TextForLine({P.Name, strnlen(P.Name, NAMELEN)}) + "\".\n";
  Notes.insert("visual parameters (screen flashing, AudioStrobe) are left out");
  for (const std::string& n : Notes) out += "# Left out: " + n + ".\n";
  out += "\n-SE\n";
  if (HasMix) out += "-m " + TextForLine({P.data.BackgroundFile, strnlen(P.data.BackgroundFile, NAMELEN)}) + "\n";
  out += "\n";
  // Tone-sets, one per distinct state.
  std::map<std::string, std::string> names;
  std::vector<std::string> lineNames;
  std::string defs;
  for (const State& s : states) {
    std::string text = SetText(s);
    auto it = names.find(text);
    if (it == names.end()) {
      char name[16];
      std::snprintf(name, sizeof name, "s%04zu", names.size());
      it = names.emplace(text, name).first;
      defs += std::string(name) + ":" + text + "\n";
    }
    lineNames.push_back(it->second);
  }
  out += defs + "\n";
  for (size_t i = 0; i < done.size(); ++i) {
    out += (i == 0 ? std::string("NOW") : "NOW+" + Time(done[i])) + " == " + lineNames[i];
    out += i + 1 < done.size() ? " ->\n" : "\n";
  }
  return out;
}

}  // namespace
}  // namespace sbg

std::string SessionText(const Preset& p) { return sbg::Writer(p).Text(); }

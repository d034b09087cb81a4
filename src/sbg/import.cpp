// From a session's score to a preset: voices for the tones, curves on the
// session's time axis, then as few segments as hold them.
//
// Levels: the generators' amplitudes are shares of full scale, a tone's
// peak and a noise's peak level; the engine divides its range among the
// sources and shapes volume by its volume curve. So each source gets the
// gain (amplitude x one common factor) and the volume that gives it, noise
// compensated for the level its smoothness leaves it; the loudest source of
// the session plays at 95 % volume.
//
// Segments: lengths are whole hundredths of a minute (0.6 s) and a node's
// time is a ten-thousandth of its segment, so segments are cut at 0.6 s
// steps, as long as every curve keeps at most 100 nodes and every node stays
// within 50 ms of its time; a session that needs more than 25 segments that
// way is packed again with the time limit dropped (and a warning), and only
// when that fails too is it refused.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "main/preset.h"
#include "sbg/curves.h"
#include "sbg/levels.h"
#include "sbg/sbg.h"
#include "sbg/score.h"
#include "sbg/session.h"

namespace sbg {
namespace {

constexpr double UNIT_MS = 600;  // a segment length step: a hundredth of a minute
constexpr double TIMING_MS = 50;
constexpr int MAXNODES_SEG = MAXNODES;

struct Failure {
  SbgMessage M;
};

// The curves a voice needs (left channel; the right one tracks it).
enum VoiceCurve { VC_BEAT, VC_PITCH, VC_VOLUME, VC_WAVE, VC_DEPTH, VC_PERIOD, VC_COUNT };
constexpr int kVoiceOffset[VC_COUNT] = {VP_BEAT, VP_PITCH, VP_VOLUME, VP_WAVEFORM, VP_MODDEPTH, VP_MODPERIOD};

struct Target {
  int Pid;
  Curve C;
};

// Voices: each tone piece gets the lowest voice free at its start, the voice
// its channel had before when that one is free.
std::vector<std::vector<const Piece*>> AssignVoices(const Score& sc, int* lineTooMany) {
  std::vector<std::vector<const Piece*>> voices;
  std::vector<double> busyUntil;
  std::vector<int> lastChannel;
  for (const Piece& p : sc.Tones) {
    int pick = -1;
    for (size_t v = 0; v < voices.size(); ++v) {
      if (busyUntil[v] > p.Start()) continue;
      if (lastChannel[v] == p.Channel) {
        pick = static_cast<int>(v);
        break;
      }
      if (pick < 0) pick = static_cast<int>(v);
    }
    if (pick < 0) {
      if (voices.size() >= MAXVOICES) {
        *lineTooMany = p.Line;
        return {};
      }
      voices.emplace_back();
      busyUntil.push_back(0);
      lastChannel.push_back(-1);
      pick = static_cast<int>(voices.size()) - 1;
    }
    voices[static_cast<size_t>(pick)].push_back(&p);
    busyUntil[static_cast<size_t>(pick)] = p.End();
    lastChannel[static_cast<size_t>(pick)] = p.Channel;
  }
  return voices;
}

double Clamp(double v, double lo, double hi) { return std::min(hi, std::max(lo, v)); }

class Mapper {
 public:
  Mapper(const Session& s, const Score& sc, std::vector<SbgMessage>* w) : S(s), Sc(sc), W(w) {}
  void Build(Preset& p, const std::string& name, const std::string& folder);

 private:
  const Session& S;
  const Score& Sc;
  std::vector<SbgMessage>* W;
  double K = 1;  // gain per percent of amplitude
  std::vector<std::vector<const Piece*>> Voices;
  std::vector<Target> Targets;
  std::vector<int> VoiceOfTarget;  // -1 segment-wide
  bool ClampWarned = false;
  std::map<std::pair<double, double>, Curve> FadeShapes;

  double Limit(double v, double lo, double hi, const Piece& p, const char* what) {
    if (v >= lo && v <= hi) return v;
    if (!ClampWarned)
      W->push_back({p.Line, 0, std::string("a ") + what + " beyond what a preset plays is held at its limit"});
    ClampWarned = true;
    return Clamp(v, lo, hi);
  }
  void Levels();
  void VoiceCurves(int v);
  void PiecesToCurve(const std::vector<Piece>& pieces, int volPid, int smoothPid, bool noise);
  void VolumeKeys(Curve& c, const Piece& p, double per);
  std::vector<std::pair<int, int>> Pack(double timingMs, int* failLine);
  void Fill(Preset& p, const std::vector<std::pair<int, int>>& segs);
};

void Mapper::Levels() {
  double most = 0;
  for (const Piece& p : Sc.Tones)
    for (const Key& k : p.Keys) most = std::max(most, k.Amp);
  for (const Piece& p : Sc.Noise)
    for (const Key& k : p.Keys) most = std::max(most, k.Amp / NoiseTable[SmoothnessOf(p.Color)].Peak);
  for (const Piece& p : Sc.Mix)
    for (const Key& k : p.Keys) most = std::max(most, k.Amp);
  K = most > 0 ? TopGain() / most : 0;
}

// Nodes from t0 to t1 (the last one left to the caller) that follow
// ideal(x), x the fraction of the way, with a fitted weight per interval:
// the interval is cut in up to four until close(got, want) holds all along.
void AppendFitted(Curve& c, double t0, double t1, const std::function<double(double)>& ideal,
                  const std::function<bool(double, double)>& close) {
  if (t1 <= t0 || ideal(0) == ideal(1)) {
    c.push_back({t0, ideal(0), 10});
    return;
  }
  for (int n = 1; n <= 4; ++n) {
    Curve part;
    bool fits = true;
    for (int k = 0; k < n; ++k) {
      double x0 = static_cast<double>(k) / n, x1 = static_cast<double>(k + 1) / n;
      auto sub = [&](double x) { return ideal(x0 + (x1 - x0) * x); };
      double v0 = sub(0), v1 = sub(1);
      int w = FitWeight(v0, v1, sub);
      for (int s = 1; s < 16 && fits; ++s) fits = close(WeightedValue(v0, v1, w, s / 16.0), sub(s / 16.0));
      part.push_back({t0 + (t1 - t0) * x0, v0, w});
    }
    if (fits || n == 4) {
      c.insert(c.end(), part.begin(), part.end());
      return;
    }
  }
}

// Volume nodes of a piece: gain linear in time, as the generators fade,
// within 1 % of the loudest source's gain.
void Mapper::VolumeKeys(Curve& c, const Piece& p, double per) {
  const double tol = TopGain() / 100;
  for (size_t i = 0; i + 1 < p.Keys.size(); ++i) {
    double g0 = std::min(1.0, p.Keys[i].Amp * per), g1 = std::min(1.0, p.Keys[i + 1].Amp * per);
    double t0 = p.Keys[i].T, t1 = p.Keys[i + 1].T;
    // Sessions fade between the same levels again and again: the fitted
    // course of a fade, at times 0-1, is kept.
    auto key = std::make_pair(g0, g1);
    auto it = FadeShapes.find(key);
    if (it == FadeShapes.end()) {
      Curve shape;
      AppendFitted(
          shape, 0, 1, [&](double x) { return VolumeOfGain(g0 + (g1 - g0) * x); },
          [&](double got, double want) { return std::fabs(GainOfVolume(got) - GainOfVolume(want)) <= tol; });
      it = FadeShapes.emplace(key, std::move(shape)).first;
    }
    if (t1 <= t0) {
      c.push_back({t0, it->second.front().V, 10});
      continue;
    }
    for (const GNode& n : it->second) c.push_back({t0 + (t1 - t0) * n.T, n.V, n.W});
  }
  c.push_back({p.Keys.back().T, VolumeOfGain(std::min(1.0, p.Keys.back().Amp * per)), 10});
}

void Mapper::VoiceCurves(int v) {
  Curve c[VC_COUNT];
  double period = 1000000;  // 1000 ms, the default, while no tone pulses
  for (const Piece* pp : Voices[static_cast<size_t>(v)]) {
    const Piece& p = *pp;
    bool iso = p.Kind == ToneKind::Isochronic;
    double wave = PackedWave(p.Shape);
    double depth = iso ? 10000 : 0;
    // Shape and pulsing change only between pieces, in silence: a step.
    for (auto [k, val] : {std::pair{VC_WAVE, wave}, std::pair{VC_DEPTH, depth}}) {
      Curve& cc = c[k];
      if (!cc.empty() && cc.back().V != val) cc.push_back({p.Start(), cc.back().V, 10});
      cc.push_back({p.Start(), val, 10});
      cc.push_back({p.End(), val, 10});
    }
    for (size_t i = 0; i < p.Keys.size(); ++i) {
      const Key& k = p.Keys[i];
      double beat = iso ? 0 : Limit(-k.Beat, -1000, 1000, p, "beat frequency");
      c[VC_BEAT].push_back({k.T, std::round(beat * 1000), 10});
      c[VC_PITCH].push_back({k.T, std::round(Limit(k.Carrier, 0, 20000, p, "carrier") * 100), 10});
      if (iso) {
        // The period follows the pulse rate's straight course within 0.2 %.
        double f0 = Limit(k.Beat, 0.02, 1e6, p, "pulse rate");
        period = 1e6 / f0;
        if (i + 1 < p.Keys.size()) {
          double f1 = Clamp(p.Keys[i + 1].Beat, 0.02, 1e6);
          AppendFitted(
              c[VC_PERIOD], k.T, p.Keys[i + 1].T, [&](double x) { return 1e6 / (f0 + (f1 - f0) * x); },
              [](double got, double want) { return std::fabs(want / got - 1) <= 0.002; });
        } else {
          c[VC_PERIOD].push_back({k.T, period, 10});
        }
      }
    }
    if (!iso) {
      c[VC_PERIOD].push_back({p.Start(), period, 10});
      c[VC_PERIOD].push_back({p.End(), period, 10});
    }
    VolumeKeys(c[VC_VOLUME], p, K);
  }
  for (int k = 0; k < VC_COUNT; ++k) {
    Simplify(c[k]);
    Targets.push_back({VoicePidOf(v, kVoiceOffset[k]), std::move(c[k])});
    VoiceOfTarget.push_back(v);
  }
}

void Mapper::PiecesToCurve(const std::vector<Piece>& pieces, int volPid, int smoothPid, bool noise) {
  Curve vol, smooth;
  for (const Piece& p : pieces) {
    double per = K;
    if (noise) {
      int s = SmoothnessOf(p.Color);
      per /= NoiseTable[s].Peak;
      if (!smooth.empty() && smooth.back().V != s * 100) smooth.push_back({p.Start(), smooth.back().V, 10});
      smooth.push_back({p.Start(), s * 100.0, 10});
      smooth.push_back({p.End(), s * 100.0, 10});
    }
    VolumeKeys(vol, p, per);
  }
  if (vol.empty()) return;
  Simplify(vol);
  Targets.push_back({volPid, std::move(vol)});
  VoiceOfTarget.push_back(-1);
  if (noise) {
    Simplify(smooth);
    Targets.push_back({smoothPid, std::move(smooth)});
    VoiceOfTarget.push_back(-1);
  }
}

// Segments as [first, last) in 0.6 s units, every node within timingMs of its
// time (0: no limit); empty when more than 25 are needed (*failLine: the time
// line where they run out).
std::vector<std::pair<int, int>> Mapper::Pack(double timingMs, int* failLine) {
  const int total = std::max(1, static_cast<int>(std::ceil(Sc.LengthMs / UNIT_MS - 1e-9)));
  std::vector<std::pair<int, int>> segs;
  auto nodesFit = [&](int s, int e) {
    for (const Target& t : Targets)
      if (SliceCount(t.C, s * UNIT_MS, e * UNIT_MS) > MAXNODES_SEG) return false;
    return true;
  };
  auto timingFits = [&](int s, int e) {
    double a = s * UNIT_MS, len = (e - s) * UNIT_MS;
    for (const Target& t : Targets) {
      auto lo = std::upper_bound(t.C.begin(), t.C.end(), a, [](double x, const GNode& n) { return x < n.T; });
      for (auto it = lo; it != t.C.end() && it->T < a + len; ++it) {
        double rel = it->T - a;
        double q = std::round(rel * 10000 / len) * len / 10000;
        if (std::fabs(q - rel) > timingMs) return false;
      }
    }
    return true;
  };
  int s = 0;
  while (s < total) {
    if (segs.size() >= MAXSEGMENTS || !nodesFit(s, s + 1)) {
      *failLine = Sc.LineOfTime(s * UNIT_MS);
      return {};
    }
    int lo = s + 1, hi = total;  // the longest segment whose nodes fit
    while (lo < hi) {
      int mid = lo + (hi - lo + 1) / 2;
      if (nodesFit(s, mid))
        lo = mid;
      else
        hi = mid - 1;
    }
    int e = lo;
    if (timingMs > 0 && !timingFits(s, e)) {
      // A segment of 20000 x timingMs holds every node within the limit; a
      // longer one may, depending on where its nodes fall.
      int safe = s + static_cast<int>(2 * 10000 * timingMs / UNIT_MS);
      int cand = e;
      while (cand > s + 1 && cand > safe && !timingFits(s, cand))
        cand = std::max(safe, s + 1 + (cand - s - 1) * 9 / 10);
      e = std::min(e, std::max(cand, s + 1));
    }
    segs.emplace_back(s, e);
    s = e;
  }
  return segs;
}

void Mapper::Fill(Preset& p, const std::vector<std::pair<int, int>>& segs) {
  p.data.NumSegments = static_cast<uint8_t>(segs.size());
  for (size_t i = 0; i < segs.size(); ++i) {
    double s = segs[i].first * UNIT_MS, e = segs[i].second * UNIT_MS;
    int voices = 1;
    for (size_t v = 0; v < Voices.size(); ++v)
      for (const Piece* pc : Voices[v])
        if (pc->Start() < e && pc->End() > s) voices = std::max(voices, static_cast<int>(v) + 1);
    Segment& seg = p.data.Segment[i];
    Param* params = CommitSegmentSlot(p, static_cast<int>(i), voices);
    if (!params) throw Failure{{0, 0, "there is not enough memory for the preset"}};
    FillDefaultSegment(params, seg, voices, 2);
    seg.Length = segs[i].second - segs[i].first;
    seg.Repeat = 1;
    seg.NoiseInsideHead = 0;
    seg.Name[0] = static_cast<char>('A' + i);
    seg.Name[1] = 0;
    for (size_t k = 0; k < Targets.size(); ++k) {
      if (VoiceOfTarget[k] >= voices) continue;
      Curve sl = Slice(Targets[k].C, s, e);
      Param& q = params[Targets[k].Pid];
      q.NumNodes = static_cast<uint8_t>(sl.size());
      for (size_t n = 0; n < sl.size(); ++n) {
        Node& node = q.Node[n];
        node.Value = static_cast<int32_t>(std::llround(sl[n].V));
        double t = n == 0 ? 0 : n + 1 == sl.size() ? 10000 : std::round((sl[n].T - s) * 10000 / (e - s));
        node.SweepTime = static_cast<int16_t>(Clamp(t, 0, 10000));
        node.Weight = static_cast<uint8_t>(sl[n].W);
        node.Symmetric = n > 0 && sl[n - 1].W + sl[n].W == 20 ? 1 : (n == 0 ? 1 : 0);
      }
      q.Tracking = 0;
      q.EasySel = 0;
    }
    RecomputeAllTracked(BackgroundParamRow{}, params, seg);
  }
}

void Mapper::Build(Preset& p, const std::string& name, const std::string& folder) {
  int tooMany = 0;
  Voices = AssignVoices(Sc, &tooMany);
  if (tooMany) throw Failure{{tooMany, 1, "at most 10 tones at once expected: from here on the session plays more"}};
  Levels();
  for (size_t v = 0; v < Voices.size(); ++v) VoiceCurves(static_cast<int>(v));
  PiecesToCurve(Sc.Noise, PID_NOISEVOL, PID_NOISESMOOTH, true);
  PiecesToCurve(Sc.Mix, PID_BGVOLUME, -1, false);

  // The 50 ms of the session's times, else the least slack that fits.
  int failLine = 0;
  bool relaxed = false;
  std::vector<std::pair<int, int>> segs;
  for (double ms : {TIMING_MS, 75.0, 100.0, 150.0, 200.0, 300.0, 500.0, 1000.0, 0.0}) {
    segs = Pack(ms, &failLine);
    if (!segs.empty()) break;
    relaxed = true;
  }
  if (segs.empty())
    throw Failure{
        {failLine, 1, "a session that fits into 25 segments of 100 nodes per curve expected: it stops fitting here"}};
  if (relaxed) {
    // How far off the node times are now.
    double worst = 0;
    for (auto [a, b] : segs)
      for (const Target& t : Targets)
        for (const GNode& n : t.C)
          if (n.T > a * UNIT_MS && n.T < b * UNIT_MS) {
            double len = (b - a) * UNIT_MS, rel = n.T - a * UNIT_MS;
            worst = std::max(worst, std::fabs(std::round(rel * 10000 / len) * len / 10000 - rel));
          }
    W->push_back({0, 0,
                  "the session is long for its changes: times in the preset are up to " +
                      std::to_string(static_cast<int>(std::ceil(worst))) + " ms off the session's"});
  }

  NewDefaultPreset(p, 2);
  p.data.ContinuePlaying = 0;
  std::snprintf(p.Name, NAMELEN, "%s", name.c_str());
  if (S.Description.size() >= DESCLEN)
    W->push_back({0, 0, "the description is longer than a preset's 4095 characters; the rest is left out"});
  std::snprintf(p.Description, DESCLEN, "%s", S.Description.c_str());
  if (!S.MixFile.empty()) {
    std::string file = S.MixFile[0] == '/' || folder.empty() ? S.MixFile : folder + "/" + S.MixFile;
    if (file.size() >= NAMELEN) {
      W->push_back({S.MixLine, S.MixColumn, "the background file's path is longer than a preset keeps; left out"});
    } else {
      p.data.Background = AMBIX_OTHER;
      std::snprintf(p.data.BackgroundFile, NAMELEN, "%s", file.c_str());
    }
  }
  Fill(p, segs);
}

}  // namespace
}  // namespace sbg

bool ImportSessionText(std::string_view text, const std::string& name, const std::string& folder, Preset& p,
                       SbgImport* out) {
  *out = SbgImport{};
  sbg::Session s;
  if (!sbg::ParseSession(text, &s, &out->Warnings, &out->Error)) return false;
  out->Rate = s.Rate;
  sbg::Score sc;
  sbg::BuildScore(s, &sc, &out->Warnings);
  if (sc.LengthMs < sbg::UNIT_MS / 2) {
    const sbg::TimeLine& last = s.Lines.back();
    out->Error = {last.Line, last.Column, "a later time expected: the session lasts no time"};
    return false;
  }
  try {
    sbg::Mapper m(s, sc, &out->Warnings);
    m.Build(p, name, folder);
  } catch (const sbg::Failure& f) {
    FreePreset(p);
    out->Error = f.M;
    return false;
  }
  return true;
}

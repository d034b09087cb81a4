// Presets written as sessions: reading the session back gives the same
// curves within the sampling tolerance (1 % of each parameter's span, the
// overall level aside), and what a session cannot say is named at the top.
#include <cmath>
#include <string>
#include <vector>

#include "sbg/levels.h"
#include "sbgtest.h"

namespace {

struct Sample {
  double Gain = 0;  // relative to the preset's loudest source
  double Left = 0, Right = 0;
};

double MaxGain(const Preset& p) {
  double most = 0;
  for (double t = 0; t < LengthSeconds(p); t += 1) {
    for (int v = 0; v < MAXVOICES; ++v)
      most = std::max(most, sbg::GainOfVolume(ValueAt(p, VoicePidOf(v, VP_VOLUME), t)));
    most = std::max(most, sbg::GainOfVolume(ValueAt(p, PID_NOISEVOL, t)));
  }
  return most;
}

Sample VoiceAt(const Preset& p, int v, double t, double most) {
  Sample s;
  s.Gain = sbg::GainOfVolume(ValueAt(p, VoicePidOf(v, VP_VOLUME), t)) / most;
  double beat = ValueAt(p, VoicePidOf(v, VP_BEAT), t) / 1000.0, pitch = ValueAt(p, VoicePidOf(v, VP_PITCH), t) / 100.0;
  s.Left = std::fabs(pitch - beat / 2);
  s.Right = std::fabs(pitch + beat / 2);
  return s;
}

// Every voice and the noise of b follow a's within the tolerance, allowing
// for the session's times being whole seconds.
void ExpectSameCurves(const Preset& a, const Preset& b, const std::string& what) {
  ASSERT_EQ(Voices(a), Voices(b)) << what;
  EXPECT_NEAR(LengthSeconds(a), LengthSeconds(b), 1.0) << what;
  double ma = MaxGain(a), mb = MaxGain(b);
  double len = std::min(LengthSeconds(a), LengthSeconds(b));
  int bad = 0;
  for (double t = 0.5; t < len - 0.5 && bad < 5; t += 1.5) {
    for (int v = 0; v < Voices(a); ++v) {
      Sample x = VoiceAt(a, v, t, ma);
      double gainErr = 1e9, freqErr = 1e9;
      for (double dt : {-1.0, -0.5, 0.0, 0.5, 1.0}) {
        Sample y = VoiceAt(b, v, t + dt, mb);
        gainErr = std::min(gainErr, std::fabs(x.Gain - y.Gain));
        freqErr = std::min(freqErr, std::max(std::fabs(x.Left - y.Left), std::fabs(x.Right - y.Right)));
      }
      bool ok = gainErr <= 0.015 && (x.Gain < 0.05 || freqErr <= std::max(0.05, x.Left * 0.01));
      if (!ok) ++bad;
      EXPECT_TRUE(ok) << what << ": voice " << v << " at " << t << " s: gain off by " << gainErr << ", frequency by "
                      << freqErr;
    }
    double na = sbg::GainOfVolume(ValueAt(a, PID_NOISEVOL, t)) / ma;
    double nb = sbg::GainOfVolume(ValueAt(b, PID_NOISEVOL, t)) / mb;
    double best = 1e9;
    for (double dt : {-1.0, 0.0, 1.0})
      best = std::min(best, std::fabs(na - sbg::GainOfVolume(ValueAt(b, PID_NOISEVOL, t + dt)) / mb));
    EXPECT_LE(best, 0.015) << what << ": noise at " << t << " s (" << na << " against " << nb << ")";
  }
}

TEST(SbgExport, EveryCorpusSessionReadsBackAsTheSameCurves) {
  for (const char* file :
       {"alloff.sbg", "basic.sbg", "blocks.sbg", "channels.sbg", "clock.sbg", "fades.sbg", "isochronic.sbg", "mix.sbg",
        "noise.sbg", "normalize.sbg", "slides.sbg", "tentones.sbg", "waveforms.sbg"}) {
    Imported first(file);
    ASSERT_TRUE(first.Ok) << file;
    std::string text = SessionText(first.P);
    Imported again(text, 0);
    ASSERT_TRUE(again.Ok) << file << ": " << SbgMessageText("exported", again.Info.Error) << "\n" << text;
    ExpectSameCurves(first.P, again.P, file);
    // Each sample is a tone-set of its own or one used before, the last line
    // ends the session.
    EXPECT_NE(text.find("\n-SE\n"), std::string::npos) << file;
    EXPECT_EQ(again.P.data.Background, first.P.data.Background) << file;
  }
}

struct NoteCase {
  const char* What;
  void (*Change)(Preset&);
  const char* Note;  // a line of the header
};

void SetNodes(Param& q, std::initializer_list<std::pair<int, int32_t>> nodes, int weight = 10) {
  q.NumNodes = 0;
  for (auto [t, v] : nodes) q.Node[q.NumNodes++] = {v, static_cast<int16_t>(t), static_cast<uint8_t>(weight), 1};
  q.Tracking = 0;
  q.EasySel = 0;
}

// A preset made in the editor: its curves are sampled within 1 % (a curved
// volume and the pitch that tracks the beat included), and every part a
// session cannot hold is named.
TEST(SbgExport, APresetsCurvesAreSampledAndWhatIsLeftOutIsNamed) {
  const std::vector<NoteCase> cases = {
      {"the default preset (the pitch tracks the beat, visuals)", [](Preset&) {},
       "# Left out: visual parameters (screen flashing, AudioStrobe) are left out."},
      {"a curved volume, a half modulation",
       [](Preset& p) {
         Param* q = SegParams(p, 0);
         SetNodes(q[VoicePidOf(0, VP_VOLUME)], {{0, 2000}, {6000, 9000}, {10000, 4000}}, 3);
         SetNodes(q[VoicePidOf(0, VP_MODDEPTH)], {{0, 5000}, {10000, 5000}});
         RecomputeAllTracked(BackgroundParamRow{}, q, p.data.Segment[0]);
       },
       "# Left out: sound modulations other than a full one (an isochronic tone) are left out."},
      {"a library background", [](Preset& p) { p.data.Background = 2; },
       "# Left out: the library background is left out."},
      {"a beat tracking another voice",
       [](Preset& p) {
         Param* q = CommitSegmentSlot(p, 0, 2);
         FillDefaultSegment(q, p.data.Segment[0], 2, 3);
         q[VoicePidOf(1, VP_BEAT)].Tracking = 1;
         q[VoicePidOf(1, VP_BEAT)].TrackSource = static_cast<uint8_t>(VoicePidOf(0, VP_BEAT));
         q[VoicePidOf(1, VP_BEAT)].Slope = 2000;
         RecomputeAllTracked(BackgroundParamRow{}, q, p.data.Segment[0]);
       },
       "# Left out: tracking is written as the values it gives."},
  };
  for (const NoteCase& c : cases) {
    Preset p{};
    NewDefaultPreset(p, 3);
    p.data.Segment[0].Length = 300;  // 3 minutes
    p.data.ContinuePlaying = 0;
    c.Change(p);
    std::string text = SessionText(p);
    EXPECT_NE(text.find(std::string(c.Note) + "\n"), std::string::npos) << c.What << "\n" << text;
    Imported back(text, 0);
    ASSERT_TRUE(back.Ok) << c.What << ": " << back.Info.Error.Text;
    ExpectSameCurves(p, back.P, c.What);
    FreePreset(p);
  }
}

}  // namespace

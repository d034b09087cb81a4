// From a session to curves: the generators' change-overs (centred one-minute
// change-overs, fades through silence, level changes and slides, the wrap
// from the last set at the start), the balance of levels, and the packing
// into segments with every time line within 50 ms.
#include <cmath>
#include <string>
#include <vector>

#include "sbg/levels.h"
#include "sbgtest.h"

namespace {

constexpr double NONE = 1e9;  // not checked

struct Point {
  double Sec;
  double Gain;  // voice 0 against the session's loudest source
  double Beat;  // Hz as the preset has it (right ear minus left), NONE
  double Pitch;
};

struct ChangeOverCase {
  const char* Name;
  const char* Text;
  std::vector<Point> Points;
};

double VoiceGain(const Preset& p, int v, double sec) {
  return sbg::GainOfVolume(ValueAt(p, VoicePidOf(v, VP_VOLUME), sec)) / sbg::TopGain();
}

TEST(SbgMap, ChangeOversFollowTheGenerators) {
  const std::vector<ChangeOverCase> cases = {
      {"default change-overs fade through silence at the time line",
       "off: -\nalpha: 200+10/20\ntheta: 200+6/20\nNOW alpha\n+00:03 theta\n+00:06 off\n",
       {{0, 0, -10, 200},  // in the change-over that wraps round from 'off'
        {15, 0.5, -10, 200},
        {30, 1, -10, 200},
        {150, 1, -10, 200},
        {165, 0.5, -10, 200},
        {180, 0, NONE, NONE},
        {195, 0.5, -6, 200},
        {330, 1, -6, 200},
        {345, 0.5, -6, 200}}},
      {"the same frequency changes level; '<>' fades through silence anyway",
       "a: 220+5/30\nb: 220+5/15\nNOW a\n+00:02 b\n+00:04 <> b\n+00:06 alloff\n",
       {{60, 1, -5, 220},
        {120, 0.75, -5, 220},
        {150, 0.5, -5, 220},
        {225, 0.25, -5, 220},
        {240, 0, NONE, NONE},
        {255, 0.25, -5, 220}}},
      {"'->' slides the whole period and starts at full level",
       "a: 300+8/30\nb: 250+4/30\nNOW a ->\n+00:02 b ->\n+00:04 alloff\n",
       {{0, 1, -8, 300},
        {60, 1, -6, 275},
        {120, 1, -4, 250},
        {150, 0.5, -4, 250},
        {180, 0, NONE, NONE},
        {239, 0, NONE, NONE}}},
      {"'==' on both sides slides within the change-over",
       "a: 300+8/30\nb: 250+4/30\nNOW == a\n+00:02 == b\n+00:04 alloff\n",
       {{60, 1, -8, 300}, {90, 1, -8, 300}, {120, 1, -6, 275}, {150, 1, -4, 250}}},
      {"-F sets the change-over; a short period takes half of it at most",
       "-F 20000\na: 300+8/30\nb: 250+4/30\nNOW a\n+00:01 b\n+00:01:10 a\n+00:02 alloff\n",
       {{5, 0.5, -8, 300},
        {10, 1, -8, 300},
        {57.5, 0.5, -8, 300},
        {62.5, 0.5, -4, 250},
        {65, 1, -4, 250},
        {67.5, 0.5, -4, 250},
        {70, 0, NONE, NONE},
        {72.5, 0.5, -8, 300}}},
      {"a pulse rate slides as a frequency, the period following it",
       "a: 300@10/30\nb: 300@5/30\nNOW a ->\n+00:02 b\n+00:03 alloff\n",
       {{0, 1, 0, 300}, {60, 1, 0, 300}}},
  };
  for (const ChangeOverCase& c : cases) {
    Imported im(c.Text, 0);
    ASSERT_TRUE(im.Ok) << c.Name << ": " << im.Info.Error.Text;
    for (const Point& pt : c.Points) {
      EXPECT_NEAR(VoiceGain(im.P, 0, pt.Sec), pt.Gain, 0.02) << c.Name << " at " << pt.Sec << " s";
      if (pt.Beat != NONE) {
        EXPECT_NEAR(ValueAt(im.P, VoicePidOf(0, VP_BEAT), pt.Sec) / 1000.0, pt.Beat, 0.01)
            << c.Name << " at " << pt.Sec;
      }
      if (pt.Pitch != NONE) {
        EXPECT_NEAR(ValueAt(im.P, VoicePidOf(0, VP_PITCH), pt.Sec) / 100.0, pt.Pitch, 0.01)
            << c.Name << " at " << pt.Sec;
      }
    }
  }
  // The pulse: 10 Hz, 7.5 Hz at the middle of the slide, 5 Hz.
  Imported iso(cases.back().Text, 0);
  for (auto [sec, hz] : {std::pair{0.0, 10.0}, {60.0, 7.5}, {120.0, 5.0}})
    EXPECT_NEAR(1e6 / ValueAt(iso.P, VoicePidOf(0, VP_MODPERIOD), sec), hz, 0.05) << sec;
  EXPECT_EQ(ValueAt(iso.P, VoicePidOf(0, VP_MODDEPTH), 30), 10000);
}

TEST(SbgMap, LevelsKeepTheBalanceOfTonesNoiseAndSets) {
  // Amplitudes past 100 % are scaled down per set: 'loud' plays at 40/30/30.
  Imported im(
      "pink: pink/40\ntones: 200+0/10 300+0/20\nloud: pink/80 400+0/60 500+0/60\nNOW pink\n+00:02 tones\n"
      "+00:04 loud\n+00:06 alloff\n",
      0);
  ASSERT_TRUE(im.Ok) << im.Info.Error.Text;
  auto noiseGain = [&](double sec) { return sbg::GainOfVolume(ValueAt(im.P, PID_NOISEVOL, sec)) / sbg::TopGain(); };
  // The noise's level is its peak level: the smoothness's own level is made
  // up for, and the loudest source of the session plays at 95 % volume.
  double pinkPeak = sbg::NoiseTable[sbg::SmoothnessOf(sbg::NoiseColor::Pink)].Peak;
  double noise40 = noiseGain(60) * pinkPeak;
  EXPECT_EQ(ValueAt(im.P, PID_NOISESMOOTH, 60), sbg::SmoothnessOf(sbg::NoiseColor::Pink) * 100);
  EXPECT_NEAR(VoiceGain(im.P, 0, 180) / noise40, 10.0 / 40, 0.01);
  EXPECT_NEAR(VoiceGain(im.P, 1, 180) / noise40, 20.0 / 40, 0.01);
  EXPECT_NEAR(VoiceGain(im.P, 0, 300) / noise40, 30.0 / 40, 0.01);
  EXPECT_NEAR(VoiceGain(im.P, 1, 300) / noise40, 30.0 / 40, 0.01);
  EXPECT_NEAR(noiseGain(300) * pinkPeak / noise40, 40.0 / 40, 0.01);
  double loudest = 0;
  for (double sec = 0; sec < 360; sec += 5) {
    for (int v = 0; v < 3; ++v)
      loudest = std::max(loudest, static_cast<double>(ValueAt(im.P, VoicePidOf(v, VP_VOLUME), sec)));
    loudest = std::max(loudest, static_cast<double>(ValueAt(im.P, PID_NOISEVOL, sec)));
  }
  EXPECT_NEAR(loudest, 9500, 1);
}

// Where a curve jumps, in seconds from the preset's start: two nodes at one
// time, or a segment ending on another value than the next one starts with.
std::vector<double> StepTimes(const Preset& p, int pid) {
  std::vector<double> out;
  double start = 0;
  for (int s = 0; s < p.data.NumSegments; ++s) {
    const Param& q = SegParams(p, s)[pid];
    double len = p.data.Segment[s].Length * 0.6;
    if (s > 0 && SegParams(p, s - 1)[pid].Node[SegParams(p, s - 1)[pid].NumNodes - 1].Value != q.Node[0].Value)
      out.push_back(start);
    for (int i = 1; i < q.NumNodes; ++i)
      if (q.Node[i].SweepTime == q.Node[i - 1].SweepTime && q.Node[i].Value != q.Node[i - 1].Value)
        out.push_back(start + len * q.Node[i].SweepTime / 10000);
    start += len;
  }
  return out;
}

// Instant switches (-F 0) at times that are no multiple of a segment step,
// over several segments of at most 100 nodes: each lands within 50 ms.
TEST(SbgMap, LongSessionsPackIntoSegmentsWithEveryTimeWithin50ms) {
  std::string text = "-F 0\na: 200+4/20\nb: 300+4/20\n";
  std::vector<double> times;
  double t = 0;
  for (int i = 0; i < 300; ++i) {
    if (i > 0) times.push_back(t);
    char line[64];
    std::snprintf(line, sizeof line, "NOW+%02d:%02d:%02d %s\n", static_cast<int>(t) / 3600,
                  static_cast<int>(t) / 60 % 60, static_cast<int>(t) % 60, i % 2 ? "b" : "a");
    text += line;
    t += 29 + (i * 7) % 23;  // 29-51 s
  }
  times.pop_back();  // the last line ends the session
  Imported im(text, 0);
  ASSERT_TRUE(im.Ok) << im.Info.Error.Text;
  EXPECT_GT(im.P.data.NumSegments, 5);
  EXPECT_TRUE(im.Info.Warnings.empty());
  std::vector<double> steps = StepTimes(im.P, VoicePidOf(0, VP_PITCH));
  ASSERT_EQ(steps.size(), times.size());
  for (size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(steps[i], times[i], 0.05) << "time line " << i + 1;
}

TEST(SbgMap, ASessionTooDenseForAPresetIsRefusedWhereItStopsFitting) {
  std::string text = "-F 0\na: 200+4/20\nb: 300+4/20\n";
  for (int i = 0; i < 2000; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "NOW+%02d:%02d:%02d %s\n", i * 5 / 3600, i * 5 / 60 % 60, i * 5 % 60,
                  i % 2 ? "b" : "a");
    text += line;
  }
  Imported im(text, 0);
  EXPECT_FALSE(im.Ok);
  EXPECT_EQ(im.P.ParamMem, nullptr);
  // 25 segments of 98 inner nodes hold about 1225 switches of 2 pitch nodes.
  EXPECT_GT(im.Info.Error.Line, 1100);
  EXPECT_LT(im.Info.Error.Line, 1300);
  EXPECT_NE(im.Info.Error.Text.find("25 segments"), std::string::npos) << im.Info.Error.Text;
}

}  // namespace

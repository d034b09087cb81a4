// Imported sessions played by the engine, checked against what the session
// says, worked out by hand: each ear's frequency at period boundaries and
// midpoints (FFT), the tones' relative levels, the noise's colour and its
// balance with the tones, the length, and when each time line is heard.
#include <cmath>
#include <string>
#include <vector>

#include "common/spectrum.h"
#include "data/playback/playback.h"
#include "data/synthesis/generate.h"
#include "data/synthesis/state.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/walk.h"
#include "data/testrecord.h"
#include "platform/rand.h"
#include "sbgtest.h"

namespace {

struct Sound {
  std::vector<double> L, R;
  int Rate = 0;
  double Seconds() const { return static_cast<double>(L.size()) / Rate; }
  // `sec` seconds of one ear from `at`.
  std::vector<double> Cut(const std::vector<double>& ear, double at, double sec) const {
    size_t a = static_cast<size_t>(std::max(0.0, at) * Rate);
    size_t b = std::min(ear.size(), a + static_cast<size_t>(sec * Rate));
    return {ear.begin() + static_cast<long>(a), ear.begin() + static_cast<long>(b)};
  }
};

Sound Play(const Preset& p, int rate, int blockMs = 10) {
  AdvancedOptions o;
  o.SamplesPerSec = rate;
  o.LenOfBlocks = blockMs;
  TestRecord.AudioStrobeOn.store(0);
  plat::SeedRandom(7);
  Sound s;
  s.Rate = rate;
  EXPECT_EQ(PreparePlayback(TestRecord, p, o, false, nullptr), 0);
  std::vector<int16_t> block(static_cast<size_t>(TestRecord.BlockBytes / 2));
  size_t frames = static_cast<size_t>(LengthSeconds(p) * rate) + block.size();
  s.L.reserve(frames);
  s.R.reserve(frames);
  while (GenerateBlock(TestRecord, block.data()) == 0)
    for (size_t i = 0; i < block.size(); i += 2) {
      s.L.push_back(block[i]);
      s.R.push_back(block[i + 1]);
    }
  return s;
}

// The frequency near `hz` in a 2 s window centred on `sec` (kept inside the
// sound).
spectrum::Peak Measure(const Sound& s, const std::vector<double>& ear, double sec, double hz) {
  double at = std::min(std::max(0.0, sec - 1), s.Seconds() - 2);
  std::vector<double> x = s.Cut(ear, at, 2);
  const size_t n = 32768;
  return spectrum::PeakNear(spectrum::Magnitudes(x, n), s.Rate, n, hz, 4);
}

struct EarPoint {
  double Sec, Left, Right;  // Hz
};
struct FrequencyCase {
  const char* File;
  double Minutes;
  std::vector<EarPoint> Points;
};

// '+' puts the higher tone in the left ear: 300+8 plays 304 Hz left, 296 Hz
// right. Slides are straight lines between the keyframes the session gives.
TEST(SbgRender, EachEarPlaysTheSessionsFrequenciesAtBoundariesAndMidpoints) {
  const std::vector<FrequencyCase> cases = {
      // 300+8 slides to 275+6 by 2:00, to 250+4 by 4:00, then fades out.
      {"slides.sbg",
       6,
       {{1, 303.783, 295.800}, {60, 291, 284}, {120, 278, 272}, {180, 265, 260}, {240, 252, 248}, {270, 252, 248}}},
      // 200+10 fades out to silence at 3:00, 200+6 fades in after it.
      {"basic.sbg",
       6,
       {{15, 205, 195}, {90, 205, 195}, {165, 205, 195}, {195, 203, 197}, {270, 203, 197}, {345, 203, 197}}},
      // The same time line written with blocks and relative times.
      {"nested-relative.sbg", 4, {{45, 205, 195}, {100, 184, 176}, {150, 184, 176}, {200, 205, 195}}},
  };
  for (const FrequencyCase& c : cases) {
    Imported im(c.File);
    ASSERT_TRUE(im.Ok) << c.File;
    Sound s = Play(im.P, 8000);
    EXPECT_NEAR(s.Seconds(), c.Minutes * 60, 0.6) << c.File;
    for (const EarPoint& pt : c.Points) {
      spectrum::Peak l = Measure(s, s.L, pt.Sec, pt.Left), r = Measure(s, s.R, pt.Sec, pt.Right);
      EXPECT_NEAR(l.Hz, pt.Left, 0.6) << c.File << " left ear at " << pt.Sec << " s";
      EXPECT_NEAR(r.Hz, pt.Right, 0.6) << c.File << " right ear at " << pt.Sec << " s";
      EXPECT_NEAR(l.Hz - r.Hz, pt.Left - pt.Right, 0.15) << c.File << " beat at " << pt.Sec << " s";
    }
  }
}

double Db(double ratio) { return 20 * std::log10(ratio); }

TEST(SbgRender, TonesKeepTheirRelativeLevelsWithin1_5dB) {
  Imported im("lv: 200+0/10 300+0/20 450+0/40\nloud: 200+0/80 300+0/80\nNOW lv\n+00:02 loud\n+00:04 alloff\n", 0);
  ASSERT_TRUE(im.Ok) << im.Info.Error.Text;
  Sound s = Play(im.P, 8000);
  double a200 = Measure(s, s.L, 60, 200).Amplitude, a300 = Measure(s, s.L, 60, 300).Amplitude,
         a450 = Measure(s, s.L, 60, 450).Amplitude;
  EXPECT_NEAR(Db(a300 / a200), Db(2), 1.5);
  EXPECT_NEAR(Db(a450 / a200), Db(4), 1.5);
  // 'loud' adds up to 160 %, so it plays at 50/50: the 200 Hz tone is 5
  // times what it was.
  EXPECT_NEAR(Db(Measure(s, s.R, 180, 200).Amplitude / a200), Db(5), 1.5);
}

// White, pink and brown noise and then a tone: the noise's slope is the
// colour's, and its peak level (99.9th percentile) stands to the tone's as
// their amplitudes do.
TEST(SbgRender, NoiseHasItsColoursSlopeAndItsBalanceWithTheTones) {
  Imported im(
      "-F 2000\nw: white/40\np: pink/40\nb: brown/40\nt: 300+0/20\nNOW w\n+00:00:40 p\n+00:01:20 b\n"
      "+00:02 t\n+00:02:40 alloff\n",
      0);
  ASSERT_TRUE(im.Ok) << im.Info.Error.Text;
  Sound s = Play(im.P, 44100, 200);
  double tone = Measure(s, s.L, 140, 300).Amplitude;
  const double slopes[3] = {0, -3, -6};
  for (int k = 0; k < 3; ++k) {
    std::vector<double> x = s.Cut(s.L, 40 * k + 5, 30);
    // The level heard: the smoothest noise carries an offset, which is not.
    double mean = 0;
    for (double v : x) mean += v;
    mean /= static_cast<double>(x.size());
    for (double& v : x) v -= mean;
    double slope = spectrum::SlopeDbPerOctave(spectrum::PowerDensity(x, 8192), s.Rate, 100, 12800);
    EXPECT_NEAR(slope, slopes[k], 0.5) << "noise " << k;
    EXPECT_NEAR(Db(spectrum::Percentile(x, 0.999) / tone), Db(40.0 / 20), 1.5) << "noise " << k;
  }
}

// Instant switches (-F 0): a tone turns on and off at irregular times; each
// edge of its level is heard within 50 ms of its time line.
TEST(SbgRender, EveryTimeLineIsHeardWithin50ms) {
  Imported im(
      "-F 0\non: 250+0/30\nNOW alloff\nNOW+00:00:07 on\n+00:00:23 alloff\n+00:00:41 on\n+00:01:04 alloff\n"
      "+00:01:37 on\n+00:02:10 alloff\n",
      0);
  ASSERT_TRUE(im.Ok) << im.Info.Error.Text;
  Sound s = Play(im.P, 8000, 10);
  const double edges[] = {7, 23, 41, 64, 97};
  // The level in 4 ms steps against half the tone's.
  const size_t step = 32;
  double half = 0;
  for (size_t i = 0; i < 800; ++i) half = std::max(half, std::fabs(s.L[static_cast<size_t>(50 * 8000) + i]));
  half /= 2;
  for (size_t k = 0; k < 5; ++k) {
    bool rising = k % 2 == 0;
    size_t from = static_cast<size_t>((edges[k] - 0.5) * 8000);
    double found = -1;
    for (size_t i = from; i + step < s.L.size() && i < from + 8000; i += step) {
      double m = 0;
      for (size_t j = i; j < i + step; ++j) m = std::max(m, std::fabs(s.L[j]));
      if ((m > half) == rising) {
        found = static_cast<double>(i) / 8000;
        break;
      }
    }
    EXPECT_NEAR(found, edges[k], 0.05) << "edge at " << edges[k] << " s";
  }
}

}  // namespace

// The waveform preview's data: the cycle and the harmonic levels from the
// engine's own shape generator and analysis, the channel and the panes.
#include <gtest/gtest.h>

#include <cmath>

#include "data/synthesis/preview.h"
#include "data/synthesis/wavetab.h"

namespace {

// A curve from `from` at time 0 to `to` at 10000 (linear).
Param Curve(int32_t from, int32_t to) {
  Param p{};
  p.NumNodes = 2;
  p.Node[0] = Node{from, 0, 10, 1};
  p.Node[1] = Node{to, 10000, 10, 1};
  return p;
}

// A packed Waveform value from its halves in display units.
int32_t Wave(int shape, int sharpness) { return (sharpness * 10) << 16 | (shape * 10); }

// dB in preview level units.
int Level(double db) { return static_cast<int>(std::lround(db * 327.67)); }

TEST(WaveformPreview, TriangleHasOddHarmonicsFallingAsTheSquare) {
  const Param wave = Curve(Wave(0, 50), Wave(0, 50));
  const Param none = Curve(FILTER_NONE, FILTER_NONE);
  WaveformPreviewData d;
  PreviewWave(wave, 5000, &d);
  PreviewSpectrum(none, 5000, &d);
  // A triangle's odd harmonic n has 1/n^2 of the fundamental's amplitude.
  EXPECT_EQ(d.Unfiltered[0], 0);
  for (int i = 1; i < 5; ++i) {
    const int n = 2 * i + 1;
    EXPECT_NEAR(d.Unfiltered[i], Level(-40 * std::log10(n)), Level(0.75)) << "harmonic " << n;
  }
  // Without filtering both bar rows are equal.
  for (int i = 0; i < PREVIEW_HARMONICS; ++i) EXPECT_EQ(d.Filtered[i], d.Unfiltered[i]) << i;
}

TEST(WaveformPreview, FirstHarmonicFilterLowersTheUpperHarmonics) {
  const Param wave = Curve(Wave(0, 50), Wave(0, 50));
  const Param first = Curve(120, 120);  // "First harmonic", 1.20
  WaveformPreviewData d;
  PreviewWave(wave, 0, &d);
  PreviewSpectrum(first, 0, &d);
  EXPECT_EQ(d.Filter, 120);
  // The cut-off lies at harmonic 2 x 1.2 + 1 = 3.4: the third passes, the
  // harmonics above it drop.
  EXPECT_EQ(d.Filtered[0], 0);
  EXPECT_NEAR(d.Filtered[1], d.Unfiltered[1], Level(3));
  for (int i = 2; i < PREVIEW_HARMONICS; ++i) EXPECT_LT(d.Filtered[i], d.Unfiltered[i] - Level(10)) << i;
}

TEST(WaveformPreview, SineHasOnlyTheFirstHarmonic) {
  const Param wave = Curve(Wave(50, 50), Wave(50, 50));
  const Param none = Curve(FILTER_NONE, FILTER_NONE);
  WaveformPreviewData d;
  PreviewWave(wave, 0, &d);
  PreviewSpectrum(none, 0, &d);
  EXPECT_EQ(d.Unfiltered[0], 0);
  for (int i = 1; i < PREVIEW_HARMONICS; ++i) EXPECT_LT(d.Unfiltered[i], Level(-80)) << i;
  // One cycle: a single upward zero crossing, at the start.
  int crossings = 0;
  for (int k = 1; k < PREVIEW_SAMPLES; ++k) crossings += d.Samples[k - 1] < 0 && d.Samples[k] >= 0;
  EXPECT_EQ(crossings, 0);
  EXPECT_EQ(d.Samples[16], 32767);
}

TEST(WaveformPreview, PositionPicksTheCurveValueAndIsClamped) {
  // From a sine at the start to a triangle at the end; the filter from none
  // to "Three harmonics".
  const Param wave = Curve(Wave(50, 50), Wave(0, 50));
  const Param filter = Curve(FILTER_NONE, 320);
  struct Case {
    int Position, Expected;
    int32_t Wave, Filter;
  } cases[] = {{0, 0, Wave(50, 50), FILTER_NONE},
               {10000, 10000, Wave(0, 50), 320},
               {20000, 10000, Wave(0, 50), 320},
               {-5, 0, Wave(50, 50), FILTER_NONE}};
  for (const Case& c : cases) {
    WaveformPreviewData d;
    PreviewWave(wave, c.Position, &d);
    PreviewSpectrum(filter, c.Position, &d);
    EXPECT_EQ(d.Position, c.Expected) << c.Position;
    EXPECT_EQ(d.Waveform, c.Wave) << c.Position;
    EXPECT_EQ(d.Filter, c.Filter) << c.Position;
  }
  // At the end the cycle is the triangle's.
  WaveformPreviewData end, triangle;
  PreviewWave(wave, 10000, &end);
  PreviewWave(Curve(Wave(0, 50), Wave(0, 50)), 0, &triangle);
  for (int k = 0; k < PREVIEW_SAMPLES; ++k) EXPECT_EQ(end.Samples[k], triangle.Samples[k]) << k;
}

TEST(WaveformPreview, ChannelAndLabelFollowTheChannelModes) {
  struct Case {
    int W, F, Picked;
    int Channel;
    PreviewLabel Label;
  } cases[] = {
      {0, 0, 2, 1, PREVIEW_LABEL_PLAIN}, {0, 1, 2, 1, PREVIEW_LABEL_LEFT},  {0, 2, 1, 2, PREVIEW_LABEL_RIGHT},
      {1, 0, 2, 1, PREVIEW_LABEL_LEFT},  {1, 1, 2, 1, PREVIEW_LABEL_LEFT},  {1, 2, 1, 1, PREVIEW_LABEL_LEFT},
      {1, 2, 2, 2, PREVIEW_LABEL_RIGHT}, {2, 0, 1, 2, PREVIEW_LABEL_RIGHT}, {2, 2, 1, 2, PREVIEW_LABEL_RIGHT},
      {2, 1, 1, 1, PREVIEW_LABEL_LEFT},  {2, 1, 2, 2, PREVIEW_LABEL_RIGHT},
  };
  for (const Case& c : cases) {
    PreviewChannel p = PreviewChannelFor(c.W, c.F, c.Picked);
    EXPECT_EQ(p.Channel, c.Channel) << c.W << c.F << c.Picked;
    EXPECT_EQ(p.Label, c.Label) << c.W << c.F << c.Picked;
  }
}

TEST(WaveformPreview, EasyChoicesHideWhatHasNothingToShow) {
  struct Case {
    int Wave, Filter;
    bool Displays, Slider;
  } cases[] = {{1, 8, false, false}, {1, 0, false, false}, {3, 9, true, false},
               {3, 0, true, true},   {0, 9, true, true},   {0, 0, true, true}};
  for (const Case& c : cases) {
    PreviewVisibility v = PreviewVisibilityFor(c.Wave, c.Filter);
    EXPECT_EQ(v.Displays, c.Displays) << c.Wave << " " << c.Filter;
    EXPECT_EQ(v.Slider, c.Slider) << c.Wave << " " << c.Filter;
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "common/index.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "data/synthesis/wavetab.h"

namespace {

struct Tables : ::testing::Test {
  void SetUp() override {
    InitEngineTables();
    TakeEngineOptions(TestRecord, AdvancedOptions{});
    ResetWaveformCache(TestRecord);
  }
};

std::vector<int16_t> Build16(int s, int d, double e) {
  std::vector<int16_t> t(WAVELEN);
  BuildWaveform(s, d, e, t.data(), WAVELEN, true);
  return t;
}

TEST_F(Tables, ShapeMappingCoversTheNamedPoints) {
  int s;
  double e;
  WaveformShape(0, 0, &s, &e);
  EXPECT_EQ(s, -500);
  EXPECT_EQ(e, 3.0);
  WaveformShape(50, 25, &s, &e);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 2.0);
  WaveformShape(80, 50, &s, &e);
  EXPECT_EQ(s, 108);
  EXPECT_EQ(e, 1.0);
  WaveformShape(95, 100, &s, &e);
  EXPECT_EQ(s, 162);
  EXPECT_EQ(e, 0.0);
  WaveformShape(100, 75, &s, &e);
  EXPECT_EQ(s, 180);
  EXPECT_DOUBLE_EQ(e, 0.5);
  WaveformShape(49, 0, &s, &e);  // (-1)^2 / 5 truncates to 0
  EXPECT_EQ(s, 0);
  WaveformShape(40, 0, &s, &e);
  EXPECT_EQ(s, -20);
}

TEST_F(Tables, SineTablesAreExactSines) {
  std::vector<int16_t> t = Build16(0, 50, 1.0);
  int mismatches16 = 0, mismatches8 = 0;
  for (int k = 0; k < WAVELEN; k++) {
    double g = std::sin(2 * M_PI * k / WAVELEN);
    if (t[Ix(k)] != static_cast<int>(std::round(g * 32767))) mismatches16++;
    if (SineData8[k] != static_cast<int>(std::round(g * 127))) mismatches8++;
  }
  EXPECT_EQ(mismatches16, 0);
  EXPECT_EQ(mismatches8, 0);
  EXPECT_EQ(t[2048], 32767);
  EXPECT_EQ(t[6144], -32767);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[4096], 0);
  EXPECT_EQ(SineData8[2048], 127);
  EXPECT_EQ(SineData8[6144], -127);
}

TEST_F(Tables, HardRectangleHasZeroOnlyAtTheCrossings) {
  std::vector<int16_t> t = Build16(180, 50, 1.0);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[4096], 0);
  for (int k = 1; k < 4096; k++) ASSERT_EQ(t[Ix(k)], 32767) << k;
  for (int k = 4097; k < WAVELEN; k++) ASSERT_EQ(t[Ix(k)], -32767) << k;
}

TEST_F(Tables, ZeroExponentMakesARectangleOfTheSameCrossings) {
  for (int s : {-500, 0, 108}) {
    std::vector<int16_t> r = Build16(s, 50, 0.0), base = Build16(s, 50, 1.0);
    for (int k = 0; k < WAVELEN; k++) {
      // At the exact crossings sin() leaves a residue of either sign, so
      // only the samples away from them are compared.
      if (base[Ix(k)] == 0) continue;
      ASSERT_EQ(r[Ix(k)], base[Ix(k)] > 0 ? 32767 : -32767) << "s=" << s << " k=" << k;
    }
  }
}

// The tables computed when the program was built are those the shape code
// and the ConvVol formula give here, and so is the cache's sine.
TEST_F(Tables, BuiltTablesAreWhatTheCodeComputes) {
  struct Fixed {
    const int8_t* Table;
    int Shape;
  } fixed[] = {{SineData8, 0}, {TriangularData8, -500}, {RectangularData8, 108}, {SteepRectangularData8, 162}};
  std::vector<int8_t> t8(WAVELEN);
  for (const Fixed& f : fixed) {
    BuildWaveform(f.Shape, 50, 1.0, t8.data(), WAVELEN, false);
    ASSERT_TRUE(std::equal(t8.begin(), t8.end(), f.Table)) << f.Shape;
  }
  for (int i = 0; i <= 10000; i++) ASSERT_EQ(ConvVol[i], ConvVolOf(i)) << i;
  for (int wide = 0; wide < 2; wide++) {
    AdvancedOptions o;
    o.Bits16 = wide;
    TakeEngineOptions(TestRecord, o);
    ResetWaveformCache(TestRecord);
    const void* cached;
    ASSERT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, 32768500, FILTER_NONE, &cached), 0);
    std::vector<int16_t> t16(WAVELEN);
    BuildWaveform(0, 50, 1.0, wide ? static_cast<void*>(t16.data()) : t8.data(), WAVELEN, wide);
    if (wide)
      EXPECT_EQ(std::memcmp(cached, t16.data(), WAVELEN * 2), 0);
    else
      EXPECT_EQ(std::memcmp(cached, t8.data(), WAVELEN), 0);
  }
}

TEST_F(Tables, FixedTablesHaveTheirShapes) {
  // Near-triangle: rises monotonically to its peak at a quarter cycle.
  for (int k = 1; k <= 2048; k++) ASSERT_GE(TriangularData8[k], TriangularData8[k - 1]);
  EXPECT_EQ(TriangularData8[2048], 127);
  EXPECT_EQ(TriangularData8[1024], 65);  // sin(11.91)/sin(23.82) * 127 = 64.9
  // Rectangular (s = 108): a flat top of 108 degrees centred on 90.
  EXPECT_EQ(RectangularData8[static_cast<int>(37 * 8192 / 360)], 127);
  EXPECT_EQ(RectangularData8[static_cast<int>(143 * 8192 / 360)], 127);
  EXPECT_LT(RectangularData8[static_cast<int>(30 * 8192 / 360)], 127);
  EXPECT_EQ(RectangularData8[6144], -127);
  EXPECT_EQ(SteepRectangularData8[static_cast<int>(10 * 8192 / 360)], 127);
  EXPECT_LT(SteepRectangularData8[static_cast<int>(8 * 8192 / 360)], 127);
}

TEST_F(Tables, DutyCycleMovesTheFallingEdge) {
  // d = 25: top t..c = 36..90 for s = 108, trough u..b = 243..324.
  std::vector<int16_t> t = Build16(108, 25, 1.0);
  EXPECT_EQ(t[static_cast<int>(60 * 8192 / 360)], 32767);
  EXPECT_LT(t[static_cast<int>(100 * 8192 / 360)], 32767);
  EXPECT_EQ(t[static_cast<int>(300 * 8192 / 360)], -32767);
}

TEST_F(Tables, ConvVolFollowsTheLogCurve) {
  EXPECT_EQ(ConvVol[0], 0);
  EXPECT_EQ(ConvVol[5000], 152);
  EXPECT_EQ(ConvVol[9000], 492);
  EXPECT_EQ(ConvVol[9900], 870);
  EXPECT_EQ(ConvVol[10000], 1024);
  for (int i = 1; i <= 10000; i++) ASSERT_GE(ConvVol[i], ConvVol[i - 1]);
}

TEST_F(Tables, CacheReturnsOneTablePerSetting) {
  const void *a, *b, *c;
  ASSERT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, 32768500, 2000, &a), 0);
  ASSERT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, 32768500 + 5, 2000, &b),
            0);  // 50.5 % reads as 50
  EXPECT_EQ(a, b);
  EXPECT_EQ(WaveformCacheCount(TestRecord), 1);
  const int16_t* t = static_cast<const int16_t*>(a);
  EXPECT_EQ(t[2048], 32767);
  ASSERT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, 32768500, 1980, &c), 0);
  EXPECT_NE(a, c);
  EXPECT_EQ(WaveformCacheCount(TestRecord), 2);
  ResetWaveformCache(TestRecord);
  EXPECT_EQ(WaveformCacheCount(TestRecord), 0);
}

TEST_F(Tables, OversizedHalvesAreClampedToFullScale) {
  const void *a, *b;
  ASSERT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, (500 << 16) | 1000, 2000, &a), 0);
  ASSERT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, (500 << 16) | 0xFFFF, 2000, &b), 0);
  EXPECT_EQ(a, b);
}

TEST_F(Tables, CacheFullReturnsMinusTwo) {
  const int positions[] = {50, 60, 70, 80, 90, 100, 0, 10, 20, 30};
  int n = 0, status = 0;
  for (int p : positions) {
    for (int q = 0; q <= 100 && n < MAXWAVEFORMCACHE; q++, n++) {
      const void* t;
      status = GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, (q * 10) << 16 | (p * 10), 2000, &t);
      ASSERT_EQ(status, 0) << n;
    }
  }
  EXPECT_EQ(WaveformCacheCount(TestRecord), MAXWAVEFORMCACHE);
  const void* t;
  EXPECT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, (0 << 16) | 300, 2000, &t),
            0);  // already cached
  EXPECT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, (1000 << 16) | 400, 2000, &t), -2);
}

// Naive DFT levels as an independent reference for the FFT analysis.
void ReferenceLevels(const double* v, int levels[16]) {
  double mag[34];
  for (int b = 0; b < 34; b++) {
    double re = 0, im = 0;
    for (int i = 0; i < 64; i++) {
      re += v[i] * std::cos(2 * M_PI * b * i / 64);
      im -= v[i] * std::sin(2 * M_PI * b * i / 64);
    }
    mag[b] = std::sqrt(re * re + im * im);
  }
  double m0 = std::fmax(mag[1], std::fmax(mag[2], mag[3]));
  for (int i = 0; i < 16; i++) {
    double m = std::fmax(mag[2 * i + 1], std::fmax(mag[2 * i + 2], mag[2 * i + 3]));
    double l = std::round((20 * std::log10(m) - 20 * std::log10(m0)) * 327.67);
    levels[i] = (m < 1e-9 || l < -32767) ? -32767 : static_cast<int>(l);
  }
}

TEST_F(Tables, HarmonicLevelsOfARectangle) {
  int16_t sq[64];
  double v[64];
  for (int i = 0; i < 64; i++) {
    sq[i] = i == 0 || i == 32 ? 0 : (i < 32 ? 32767 : -32767);
    v[i] = sq[i];
  }
  int levels[16], ref[16];
  PeriodHarmonicLevels(sq, 64, levels);
  ReferenceLevels(v, ref);
  EXPECT_EQ(levels[0], 0);
  for (int i = 0; i < 16; i++) EXPECT_NEAR(levels[i], ref[i], 1) << i;
  EXPECT_NEAR(levels[1], -3126, 40);  // third harmonic about a third of the fundamental
}

TEST_F(Tables, PeriodRepeatsShortCycles) {
  // A 32-sample cycle repeated twice has its fundamental in bin 2, inside the
  // first level group (bins 1-3); the group of bins 5-7 holds nothing.
  int16_t s[32];
  for (int i = 0; i < 32; i++) s[i] = static_cast<int16_t>(std::lround(32767 * std::sin(2 * M_PI * i / 32)));
  int levels[16];
  PeriodHarmonicLevels(s, 32, levels);
  EXPECT_EQ(levels[0], 0);
  EXPECT_LT(levels[2], -6000);
}

TEST_F(Tables, FilterRemovesUpperHarmonics) {
  std::vector<int16_t> rect(64);
  BuildWaveform(180, 50, 1.0, rect.data(), 64, true);
  int plain[16], filtered[16];
  PeriodHarmonicLevels(rect.data(), 64, plain);
  EXPECT_FALSE(FilteredHarmonicLevels(2000, rect.data(), 64, filtered));
  ASSERT_TRUE(FilteredHarmonicLevels(100, rect.data(), 64, filtered));  // cut-off at the 3rd
  EXPECT_GT(plain[3], -6000);                                           // 7th harmonic clearly present unfiltered
  EXPECT_LT(filtered[3], -12000);                                       // and gone after filtering
  EXPECT_EQ(filtered[0], 0);
}

TEST_F(Tables, FilteredEngineTableIsRenormalised) {
  std::vector<int16_t> t = Build16(180, 50, 1.0);
  FilterWaveform(100, t.data(), WAVELEN, true);
  int peak = 0;
  for (int16_t v : t) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_EQ(peak, 32767);
  // The filtered cycle is advanced by 1200.5 samples: its upward zero
  // crossing moves from 0 to about 8192 - 1200.5.
  int cross = -1;
  for (int k = 1; k < WAVELEN; k++)
    if (t[Ix(k - 1)] < 0 && t[Ix(k)] >= 0) cross = k;
  EXPECT_NEAR(cross, 8192 - 1200, 2);
}

}  // namespace

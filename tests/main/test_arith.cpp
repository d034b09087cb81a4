// Parameter arithmetic: multiply-divide, curve values, tracking and chains.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "common/checks.h"
#include "main/arith.h"
#include "main/preset.h"

namespace {

// A segment's 176 parameter records, zeroed, each a flat 2-node curve.
struct Params {
  std::vector<Param> p = std::vector<Param>(NPARAMS);
  Params() {
    for (Param& q : p) {
      q.NumNodes = 2;
      q.Node[1].SweepTime = 10000;
      q.Node[0].Weight = q.Node[1].Weight = 10;
    }
  }
  Param& operator[](int pid) { return p[static_cast<size_t>(pid)]; }
  Param* data() { return p.data(); }
};

Param Curve(std::initializer_list<Node> nodes) {
  Param p{};
  for (const Node& n : nodes) p.Node[p.NumNodes++] = n;
  return p;
}

void Track(Param& p, int source, int slope = 1000, int intercept = 0, int lo = -1000000, int hi = 1000000) {
  p.Tracking = 1;
  p.TrackSource = static_cast<uint8_t>(source);
  p.Slope = slope;
  p.Intercept = intercept;
  p.MinLimit = lo;
  p.MaxLimit = hi;
}

int32_t Packed(int z, int low) {
  return static_cast<int32_t>((static_cast<uint32_t>(z) << 16) | static_cast<uint32_t>(low));
}

int BitsOf(long long x) {
  int b = 0;
  const unsigned long long u = static_cast<unsigned long long>(x);
  for (unsigned long long m = x < 0 ? -u : u; m; m >>= 1) ++b;
  return std::min(b, 31);
}

// --- Weight table -----------------------------------------------------------

TEST(WeightTable, EveryCurveRisesFromZeroToHundredAndTenIsStraight) {
  for (int w = 0; w <= 20; ++w) {
    EXPECT_EQ(WeightTable[w][0], 0) << w;
    EXPECT_EQ(WeightTable[w][20], 100) << w;
    for (int k = 1; k <= 20; ++k) EXPECT_LE(WeightTable[w][k - 1], WeightTable[w][k]) << w << " " << k;
  }
  for (int k = 0; k <= 20; ++k) EXPECT_EQ(WeightTable[10][k], 5 * k);
  // Lower rows lag the straight line, higher rows lead it.
  for (int k = 1; k < 20; ++k) {
    EXPECT_LT(WeightTable[0][k], WeightTable[10][k]) << k;
    EXPECT_GT(WeightTable[20][k], WeightTable[10][k]) << k;
  }
}

// --- WouldOverflow, RoundDiv, Halve -----------------------------------------

TEST(WouldOverflow, CountsSignificantBits) {
  EXPECT_FALSE(WouldOverflow(0, INT32_MIN));
  EXPECT_FALSE(WouldOverflow(INT32_MAX, 0));
  EXPECT_FALSE(WouldOverflow(32767, 65535));  // 15 + 16 bits
  EXPECT_TRUE(WouldOverflow(32768, 65535));   // 16 + 16
  EXPECT_TRUE(WouldOverflow(1, 1 << 30));     // 1 + 31: |x| >= 2^30 counts 31
  EXPECT_FALSE(WouldOverflow(-1, (1 << 30) - 1));
  EXPECT_TRUE(WouldOverflow(INT32_MIN, 1));
  EXPECT_TRUE(WouldOverflow(-65536, 32768));
}

TEST(WouldOverflow, FalseOnlyWhenTheProductFits) {
  std::mt19937 rng(7);
  for (int n = 0; n < 200000; ++n) {
    int32_t a = static_cast<int32_t>(rng()) >> (rng() % 32), b = static_cast<int32_t>(rng()) >> (rng() % 32);
    if (!WouldOverflow(a, b)) {
      long long x = static_cast<long long>(a) * b;
      ASSERT_TRUE(x >= INT32_MIN && x <= INT32_MAX) << a << " " << b;
    }
  }
}

TEST(RoundDiv, RoundsPositiveHalvesUpAndTruncatesNegatives) {
  EXPECT_EQ(RoundDiv(21, 2), 11);
  EXPECT_EQ(RoundDiv(20, 2), 10);
  EXPECT_EQ(RoundDiv(-21, 2), -10);
  EXPECT_EQ(RoundDiv(-29, 10), -2);
  EXPECT_EQ(RoundDiv(25, 10), 3);
  EXPECT_EQ(RoundDiv(24, 10), 2);
  EXPECT_EQ(RoundDiv(INT32_MAX, 2), 1073741824);
  EXPECT_EQ(RoundDiv(INT32_MIN, 2), -1073741824);
}

TEST(RoundDiv, OddUnitAndNegativeDivisorsRoundCorrectly) {
  EXPECT_EQ(RoundDiv(7, 5), 1);  // 1.4
  EXPECT_EQ(RoundDiv(8, 5), 2);  // 1.6
  EXPECT_EQ(RoundDiv(4, 3), 1);  // 1.33
  EXPECT_EQ(RoundDiv(5, 3), 2);  // 1.67
  EXPECT_EQ(RoundDiv(7, 1), 7);
  EXPECT_EQ(RoundDiv(-7, 1), -7);
  EXPECT_EQ(RoundDiv(21, -2), -10);  // -10.5, truncated like any negative quotient
  EXPECT_EQ(RoundDiv(-21, -2), 11);
  EXPECT_EQ(RoundDiv(INT32_MIN, -1), INT32_MAX);  // 2^31 does not fit
  ExpectCheckFailures checks;
  EXPECT_EQ(RoundDiv(5, 0), 0);
  EXPECT_TRUE(checks.Saw("d != 0"));
}

// The quick forms (bit count by clz, 32-bit rounding division, the inline
// MulDiv for a product that fits) against the rules as first written.
TEST(WouldOverflow, QuickFormsMatchThePlainRules) {
  auto bits = [](int32_t x) {
    uint32_t m = x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
    int b = 0;
    for (; m != 0 && b < 31; m >>= 1) ++b;
    return b;
  };
  auto roundDiv = [](int32_t x, int32_t d) {
    int64_t n = x, m = d;
    if (m < 0) n = -n, m = -m;
    return static_cast<int32_t>(std::clamp<int64_t>(n / m + (n % m >= m - m / 2 ? 1 : 0), INT32_MIN, INT32_MAX));
  };
  std::mt19937 rng(11);
  for (int n = 0; n < 300000; ++n) {
    int32_t a = static_cast<int32_t>(rng()) >> (rng() % 32), b = static_cast<int32_t>(rng()) >> (rng() % 32);
    int32_t d = static_cast<int32_t>(rng()) >> (rng() % 32);
    if (n % 5 == 0) d = static_cast<int32_t>(rng() % 200) - 100;
    if (n % 1000 == 0) a = INT32_MIN;
    ASSERT_EQ(WouldOverflow(a, b), a != 0 && b != 0 && bits(a) + bits(b) > 31) << a << " " << b;
    if (d == 0) continue;
    ASSERT_EQ(RoundDiv(a, d), roundDiv(a, d)) << a << " " << d;
    const int32_t m[2] = {a, b};
    ASSERT_EQ(MulDiv(a, b, d), MulDiv(m, 2, &d, 1)) << a << " " << b << " " << d;
  }
}

TEST(Halve, RoundsPositiveOddValuesUp) {
  EXPECT_EQ(Halve(5), 3);
  EXPECT_EQ(Halve(4), 2);
  EXPECT_EQ(Halve(1), 1);
  EXPECT_EQ(Halve(-5), -2);
  EXPECT_EQ(Halve(-1), 0);
  EXPECT_EQ(Halve(INT32_MAX), 1073741824);
}

// --- MulDiv ---------------------------------------------------------------

TEST(MulDiv, RoundsLikeRoundDiv) {
  EXPECT_EQ(MulDiv(7, 3, 2), 11);    // 10.5
  EXPECT_EQ(MulDiv(-7, 3, 2), -10);  // -10.5
  EXPECT_EQ(MulDiv(7, 1, 5), 1);
  EXPECT_EQ(MulDiv(7, 3, 1), 21);
  // 15 Hz beat x slope 50 to pitch: 15000 x 50000 x 100 / 1000 / 1000.
  EXPECT_EQ(MulDiv(15000, 50000, 100, 1000, 1000), 75000);
  const int32_t m[1] = {-42};
  EXPECT_EQ(MulDiv(m, 1, nullptr, 0), -42);
}

TEST(MulDiv, DividesEarlyInsteadOfOverflowing) {
  // 2e9 x 1000 / 1000: the product needs 41 bits.
  EXPECT_EQ(MulDiv(2000000000, 1000, 1000), 2000000000);
  EXPECT_EQ(MulDiv(-2000000000, 1000, 1000), -2000000000);
  EXPECT_EQ(MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);
}

TEST(MulDiv, ProductWithoutDivisorsLeftIsExactOrSaturated) {
  // 80000 x 40000 / 2 = 1.6e9 fits although 40000 x 40000 "may not".
  EXPECT_EQ(MulDiv(80000, 40000, 2), 1600000000);
  const int32_t one[2] = {1, 1 << 30};
  EXPECT_EQ(MulDiv(one, 2, nullptr, 0), 1 << 30);
  const int32_t big[3] = {1 << 20, 1 << 20, -3};
  EXPECT_EQ(MulDiv(big, 3, nullptr, 0), INT32_MIN);
  const int32_t zero[3] = {1 << 20, 1 << 20, 0};
  EXPECT_EQ(MulDiv(zero, 3, nullptr, 0), 0);
  const int32_t flip[2] = {-1, INT32_MIN};
  EXPECT_EQ(MulDiv(flip, 2, nullptr, 0), INT32_MAX);
}

TEST(MulDiv, RejectsAnEmptyProduct) {
  ExpectCheckFailures checks;
  EXPECT_EQ(MulDiv(nullptr, 0, nullptr, 0), 0);
  EXPECT_TRUE(checks.Saw("p >= 1"));
}

// Against a long double reference. While the multiplicands' bits sum to 31
// or less nothing is divided early: a single divisor rounds exactly, several
// stay within 1, and a negative result is the truncated quotient.
TEST(MulDiv, MatchesReferenceWhenNothingIsDividedEarly) {
  std::mt19937 rng(11);
  for (int n = 0; n < 100000; ++n) {
    int p = 1 + static_cast<int>(rng() % 3), q = static_cast<int>(rng() % 3);
    int32_t m[3], d[2];
    int budget = 31;
    long double x = 1;
    for (int k = 0; k < p; ++k) {
      // Leave at least one bit for each multiplicand still to come.
      int room = std::min(budget - (p - 1 - k), 16);
      int bits = 1 + static_cast<int>(rng() % static_cast<unsigned>(room));
      budget -= bits;
      m[k] = static_cast<int32_t>(rng() % (1u << bits));
      if (rng() & 1) m[k] = -m[k];
      x *= m[k];
    }
    for (int j = 0; j < q; ++j) {
      d[j] = 2 + static_cast<int32_t>(rng() % 2000);
      x /= d[j];
    }
    int32_t r = MulDiv(m, p, d, q);
    if (x < 0) {
      ASSERT_EQ(r, static_cast<long long>(std::trunc(x))) << n;
    } else if (q == 1) {
      ASSERT_EQ(r, static_cast<long long>(std::floor(x + 0.5L))) << n;
    } else {
      ASSERT_LT(std::fabs(r - x), 1.0L) << n;
    }
  }
}

// Each early division of a partial product r by d, forced because r times
// the next multiplicand mk may overflow, happens with |r| >= 2^(31 - bits(mk))
// and costs at most d / |r| of relative precision. So with B the largest
// multiplicand width after the first, the result is within
// |X| x (prod(1 + d_j 2^(B-31)) - 1) + 2 of the exact X; an X beyond int32
// saturates with its sign.
TEST(MulDiv, LargeProductsStayWithinTheEarlyDivisionBound) {
  std::mt19937 rng(5);
  int early = 0, saturated = 0;
  for (int n = 0; n < 200000; ++n) {
    int p = 2 + static_cast<int>(rng() % 2), q = 1 + static_cast<int>(rng() % 2);
    int32_t m[3], d[2];
    m[0] = static_cast<int32_t>(rng());
    long double x = m[0];
    int B = 0;
    for (int k = 1; k < p; ++k) {
      m[k] = static_cast<int32_t>(rng() % 4096) - 2048;
      B = std::max(B, BitsOf(m[k]));
      x *= m[k];
    }
    long double grow = 1;
    for (int j = 0; j < q; ++j) {
      d[j] = 2 + static_cast<int32_t>(rng() % 63);
      x /= d[j];
      grow *= 1 + d[j] * std::ldexp(1.0L, B - 31);
    }
    const long double bound = std::fabs(x) * (grow - 1) + 2;
    int32_t r = MulDiv(m, p, d, q);
    if (std::fabs(x) + bound < 2147483647.0L) {
      ASSERT_LE(std::fabs(r - x), bound) << m[0] << " " << m[1] << " " << d[0];
      if (std::fabs(x) > 1e6L) ++early;
    } else if (std::fabs(x) - bound > 2147483648.0L) {
      ASSERT_EQ(r, x > 0 ? INT32_MAX : INT32_MIN) << m[0] << " " << m[1] << " " << d[0];
      ++saturated;
    }
  }
  // Both regimes were exercised.
  EXPECT_GT(early, 1000);
  EXPECT_GT(saturated, 1000);
}

// The tracked-value form: value x Slope x 10^dd / 10^sd / 1000 with
// magnitudes of every size up to 2^24 and slopes up to 2^20.
TEST(MulDiv, TrackingScalesStayWithinTheBound) {
  std::mt19937 rng(3);
  int informative = 0;
  for (int n = 0; n < 200000; ++n) {
    int32_t v = static_cast<int32_t>(rng() % (1u << (1 + rng() % 24)));
    int32_t slope = static_cast<int32_t>(rng() % (1u << (1 + rng() % 20)));
    if (rng() & 1) v = -v;
    if (rng() & 1) slope = -slope;
    int dd = 1 + static_cast<int>(rng() % 3), sd = 1 + static_cast<int>(rng() % 3);
    long double x = static_cast<long double>(v) * slope * PowerOfTen[dd] / PowerOfTen[sd] / 1000;
    int32_t r = MulDiv(v, slope, PowerOfTen[dd], PowerOfTen[sd], 1000);
    int B = std::max(BitsOf(slope), BitsOf(PowerOfTen[dd]));
    long double grow = (1 + PowerOfTen[sd] * std::ldexp(1.0L, B - 31)) * (1 + 1000 * std::ldexp(1.0L, B - 31));
    long double bound = std::fabs(x) * (grow - 1) + 2;
    if (std::fabs(x) + bound >= 2147483647.0L) continue;
    ASSERT_LE(std::fabs(r - x), bound) << v << " " << slope << " " << dd << " " << sd;
    if (std::fabs(x) > 1000 && bound < std::fabs(x) / 100) ++informative;
  }
  EXPECT_GT(informative, 10000);
}

// --- Curve values -----------------------------------------------------------

TEST(CurveValue, StraightLineAndEnds) {
  Param p = Curve({{0, 0, 10, 1}, {1000, 10000, 10, 1}});
  EXPECT_EQ(CurveValue(p, 2500), 250);
  EXPECT_EQ(CurveValue(p, 0), 0);
  EXPECT_EQ(CurveValue(p, 10000), 1000);
  EXPECT_EQ(CurveValue(p, 12000), 1000);  // beyond the last node
  EXPECT_EQ(CurveValue(p, 9999), 999);
}

TEST(CurveValue, VerticalStepTakesTheIntervalStartingThere) {
  Param p = Curve({{0, 0, 10, 1}, {100, 5000, 10, 1}, {900, 5000, 10, 1}, {500, 10000, 10, 1}});
  EXPECT_EQ(CurveValue(p, 5000), 900);
  EXPECT_EQ(CurveValue(p, 7500), 700);
  EXPECT_EQ(CurveValue(p, 4999), 99);
}

TEST(CurveValue, FollowsTheWeightPolyline) {
  Param p = Curve({{0, 0, 0, 1}, {1000, 10000, 10, 1}});
  EXPECT_EQ(CurveValue(p, 5000), 20);   // W0[10] = 2 %
  EXPECT_EQ(CurveValue(p, 5250), 20);   // flat between W0[10] and W0[11]
  EXPECT_EQ(CurveValue(p, 9750), 675);  // halfway from 35 % to 100 %
  p.Node[0].Weight = 20;
  EXPECT_EQ(CurveValue(p, 500), 650);
  // Weights above 20 (hand-made files) take the steepest row.
  p.Node[0].Weight = 25;
  EXPECT_EQ(CurveValue(p, 500), 650);
}

TEST(CurveValue, TruncatesTowardZeroAndHandlesShortIntervals) {
  // -15 x 10 % = -1.5 -> -1, not -2.
  Param down = Curve({{0, 0, 10, 1}, {-15, 10000, 10, 1}});
  EXPECT_EQ(CurveValue(down, 1000), -1);
  // An interval shorter than 20 has sub-intervals of length 0.
  Param shortp = Curve({{0, 0, 10, 1}, {100, 10, 10, 1}, {100, 10000, 10, 1}});
  EXPECT_EQ(CurveValue(shortp, 0), 0);
  EXPECT_EQ(CurveValue(shortp, 1), 10);
  EXPECT_EQ(CurveValue(shortp, 9), 90);
}

TEST(CurveValue, ExtremeNodeValuesDoNotOverflow) {
  Param p = Curve({{INT32_MIN, 0, 10, 1}, {INT32_MAX, 10000, 10, 1}});
  EXPECT_EQ(CurveValue(p, 5000), -1);
  int32_t prev = INT32_MIN;
  for (int t = 0; t <= 10000; t += 7) {
    int32_t v = CurveValue(p, t);
    EXPECT_GE(v, prev) << t;
    prev = v;
  }
  Param q = Curve({{INT32_MAX, 0, 3, 1}, {INT32_MIN, 10000, 10, 1}});
  EXPECT_EQ(CurveValue(q, 0), INT32_MAX);
  EXPECT_LE(CurveValue(q, 9999), CurveValue(q, 5000));
}

TEST(CurveValue, PackedHalvesAreSeparateUnsignedCurves) {
  Param p = Curve({{Packed(0, 1000), 0, 10, 1}, {Packed(1000, 0), 10000, 10, 1}});
  EXPECT_EQ(CurveValuePacked(p, 2500), Packed(250, 750));
  EXPECT_EQ(CurveValuePacked(p, 10000), Packed(1000, 0));
  // A high half of 0xFFFF is 65535, not -1.
  Param q = Curve({{Packed(0xFFFF, 0), 0, 10, 1}, {Packed(0xFFFF, 200), 10000, 10, 1}});
  EXPECT_EQ(CurveValuePacked(q, 5000), Packed(0xFFFF, 100));
  Param r = Curve({{Packed(0, 0), 0, 10, 1}, {Packed(0xFFFF, 0xFFFF), 10000, 10, 1}});
  EXPECT_EQ(CurveValuePacked(r, 5000), Packed(32767, 32767));
}

TEST(CurveValue, CorruptNodeCountIsAnInternalError) {
  Param p{};
  ExpectCheckFailures checks;
  EXPECT_EQ(CurveValue(p, 100), 0);
  EXPECT_EQ(CurveValuePacked(p, 100), 0);
  EXPECT_TRUE(checks.Saw("NumNodes>=1 && NumNodes<=MAXNODES"));
  p = Curve({{7, 0, 10, 1}, {9, 10000, 10, 1}});
  p.NumNodes = 200;                    // only 100 node slots exist
  EXPECT_EQ(CurveValue(p, 10000), 0);  // node 99 of the zeroed rest
}

// --- Tracking -------------------------------------------------------------

TEST(TrackedValue, ScalesBetweenDigitsWithSlopeAndIntercept) {
  Params s;
  s[36].Node[0].Value = 15000;                                            // 15.000 Hz beat
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 36, 0), 15000);  // not tracking
  Track(s[37], 36, 50000, 0, 0, 20000);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 75000);  // 750.00 Hz
  Track(s[37], 36, 1000, 200000, 0, 20000);                               // + 200 Hz
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 21500);
  // Background phase (2 digits) from the beat: halves of positive values
  // round up, negative values are truncated.
  Track(s[PID_BGPHASE], 36, 1000, 0, -1000, 1000);
  s[36].Node[0].Value = 1235;
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), PID_BGPHASE, 0), 124);
  s[36].Node[0].Value = -1235;
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), PID_BGPHASE, 0), -123);
}

TEST(TrackedValue, LimitsClampAndTheLowerWinsWhenTheyCross) {
  Params s;
  s[36].Node[0].Value = 15000;
  Track(s[37], 36, 50000, 0, 0, 500);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 50000);
  Track(s[37], 36, 50000, 0, 800, 900);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 80000);
  Track(s[37], 36, 50000, 0, 300, 100);  // crossed
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 30000);
  // The row's own range applies after the parameter's limits.
  Track(s[37], 36, 5000000, 0, 0, 50000);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 2000000);
  Track(s[37], 36, -1000, 0, -500, 500);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 0);
}

TEST(TrackedValue, ExtremeSettingsStayInRange) {
  Params s;
  s[36].Node[0].Value = INT32_MAX;
  Track(s[37], 36, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MIN);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 2000000);
  s[36].Node[0].Value = INT32_MIN;
  Track(s[37], 36, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 0);
}

TEST(TrackedValue, WaveformSourceGivesItsLowHalfOnly) {
  Params s;
  const int wave = VoicePidOf(0, VP_WAVEFORM), wave1 = VoicePidOf(1, VP_WAVEFORM);
  s[wave].Node[0].Value = Packed(900, 500);  // shape 50.0 %, Z 90.0 %
  Track(s[39], wave, 1000, 0, 0, 100);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 39, 0), 5000);  // volume 50.00 %
  // Waveform to waveform one to one copies both halves.
  Track(s[wave1], wave, 1000, 0, 0, 100);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), wave1, 0), Packed(900, 500));
  // Any other mapping computes the shape and sets Z to 50.0 %.
  Track(s[wave1], wave, 500, 0, 0, 100);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), wave1, 0), Packed(500, 250));
  Track(s[wave1], wave, 1000, 1000, 0, 100);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), wave1, 0), Packed(500, 510));
  // A waveform tracking a plain parameter gets Z 50.0 % as well.
  s[39].Tracking = 0;
  s[39].Node[0].Value = 2500;  // 25.00 %
  Track(s[wave1], 39, 1000, 0, 0, 100);
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), wave1, 0), Packed(500, 250));
}

TEST(TrackedValue, FollowsChainsToTheirEnd) {
  Params s;
  s[36].Node[1].Value = 10000;           // 10 Hz
  Track(s[37], 36, 50000, 0, 0, 20000);  // 500 Hz
  Track(s[39], 37, 100, 0, 0, 100);      // 500 x 0.1 = 50 %
  EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 39, 1), 5000);
}

TEST(TrackedValue, CorruptSourcesAreInternalErrorsNotReads) {
  Params s;
  s[37].Node[0].Value = 123;
  {
    Track(s[37], 176);  // accepted by the file, outside the segment
    ExpectCheckFailures checks;
    EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 123);
    EXPECT_TRUE(checks.Saw("TrackSource<NumParams"));
  }
  {
    // A source in a voice the segment does not have.
    Segment seg{};
    seg.NumVoices = 1;
    Track(s[37], VoicePidOf(1, VP_BEAT));
    ExpectCheckFailures checks;
    EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), seg, 37, 0), 123);
    EXPECT_TRUE(checks.Saw("TrackSource<NumParams"));
  }
  {
    // A cycle (never produced by the editor).
    Track(s[37], 38);
    Track(s[38], 37);
    ExpectCheckFailures checks;
    EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 37, 0), 123);
    EXPECT_TRUE(checks.Saw("TrackDepth<NSPAR+NVPAR*MAXVOICES"));
  }
  {
    ExpectCheckFailures checks;
    EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 176, 0), 0);
    EXPECT_EQ(TrackedValue(BackgroundParamRow{}, s.data(), 36, 100), 0);
    EXPECT_TRUE(checks.Saw("pid>=0 && pid<NSPAR+NVPAR*MAXVOICES"));
    EXPECT_TRUE(checks.Saw("i >= 0 && i < MAXNODES"));
  }
}

TEST(RecomputeTracked, CopiesTheSourceShapeAndComputesValues) {
  Params s;
  s[36] = Curve({{15000, 0, 4, 1}, {10000, 3000, 16, 0}, {5000, 10000, 10, 1}});
  Track(s[37], 36, 50000, 0, 0, 20000);
  RecomputeTracked(BackgroundParamRow{}, s.data(), 37, 36);
  ASSERT_EQ(s[37].NumNodes, 3);
  const int32_t want[3] = {75000, 50000, 25000};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(s[37].Node[k].Value, want[k]) << k;
    EXPECT_EQ(s[37].Node[k].SweepTime, s[36].Node[k].SweepTime) << k;
    EXPECT_EQ(s[37].Node[k].Weight, s[36].Node[k].Weight) << k;
    EXPECT_EQ(s[37].Node[k].Symmetric, s[36].Node[k].Symmetric) << k;
  }
  // A range recomputes only its nodes.
  s[36].Node[0].Value = 2000;
  s[36].Node[1].Value = 4000;
  RecomputeTracked(BackgroundParamRow{}, s.data(), 37, 36, 1, 1);
  EXPECT_EQ(s[37].Node[0].Value, 75000);
  EXPECT_EQ(s[37].Node[1].Value, 20000);
  // An 8-bit range end beyond the node slots stops at the last slot.
  s[36].NumNodes = MAXNODES;
  s[36].Node[99].Value = 1000;
  RecomputeTracked(BackgroundParamRow{}, s.data(), 37, 36, 0, 255);
  EXPECT_EQ(s[37].Node[99].Value, 5000);
  EXPECT_EQ(s[37].NumNodes, MAXNODES);
}

TEST(RecomputeTracked, RefusesPidsOutsideTheSegment) {
  Params s;
  Segment seg{};
  seg.NumVoices = 1;
  s[37].Node[0].Value = 5;
  ExpectCheckFailures checks;
  RecomputeTracked(BackgroundParamRow{}, s.data(), seg, 37, VoicePidOf(2, VP_BEAT));
  EXPECT_EQ(s[37].Node[0].Value, 5);
  EXPECT_TRUE(checks.Saw("pid>=0 && pid<NSPAR+NVPAR*MAXVOICES"));
}

// --- Chains -----------------------------------------------------------------

TEST(ChainReaches, FollowsTrackingLinks) {
  Params s;
  Track(s[39], 37);
  Track(s[37], 36);
  EXPECT_TRUE(ChainReaches(s.data(), 36, 39));
  EXPECT_TRUE(ChainReaches(s.data(), 37, 39));
  EXPECT_FALSE(ChainReaches(s.data(), 39, 36));
  EXPECT_TRUE(ChainReaches(s.data(), 40, 40));
  // Tracking values above 1 (accepted by the file) track too, as in
  // TrackedValue, so they cannot hide a cycle.
  s[37].Tracking = 2;
  EXPECT_TRUE(ChainReaches(s.data(), 36, 39));
}

TEST(ChainReaches, LongChainsArriveAndLoopsEnd) {
  Params s;
  for (int pid = 0; pid + 1 < NPARAMS; ++pid) Track(s[pid], pid + 1);
  EXPECT_TRUE(ChainReaches(s.data(), NPARAMS - 1, 0));  // 175 steps
  // A loop that does not pass through a.
  Params l;
  Track(l[37], 38);
  Track(l[38], 39);
  Track(l[39], 37);
  EXPECT_FALSE(ChainReaches(l.data(), 36, 37));
  EXPECT_TRUE(ChainReaches(l.data(), 39, 37));
}

TEST(ChainReaches, BeatOfASplitPitchGoesThroughBothChannels) {
  Params s;
  const int beat = VoicePidOf(1, VP_BEAT), left = beat + 1, right = beat + 2;
  Track(s[right], PID_BGVOLUME);
  EXPECT_FALSE(ChainReaches(s.data(), PID_BGVOLUME, beat));  // joined: the beat ends the chain
  s[left].ChannelMode = 1;
  EXPECT_TRUE(ChainReaches(s.data(), PID_BGVOLUME, beat));  // via the right pitch
  s[right].Tracking = 0;
  Track(s[left], PID_NOISEVOL);
  EXPECT_TRUE(ChainReaches(s.data(), PID_NOISEVOL, beat));  // via the left pitch
  EXPECT_FALSE(ChainReaches(s.data(), PID_BGVOLUME, beat));
}

TEST(ChainReaches, SplitPitchTrackingItsOwnBeatEnds) {
  // The default pitch tracks the voice's beat; with the channels split the
  // walk from the beat comes back to it through the left pitch.
  Params s;
  Track(s[37], 36, 50000);
  s[37].ChannelMode = 2;
  EXPECT_FALSE(ChainReaches(s.data(), PID_BGVOLUME, 36));
  Track(s[38], PID_BGVOLUME);
  EXPECT_TRUE(ChainReaches(s.data(), PID_BGVOLUME, 36));
}

TEST(ChainReaches, SourcesOutsideTheSegmentEndTheChain) {
  Params s;
  Segment seg{};
  seg.NumVoices = 2;
  Track(s[37], VoicePidOf(3, VP_VOLUME));
  {
    ExpectCheckFailures checks;
    EXPECT_FALSE(ChainReaches(s.data(), seg, PID_BGVOLUME, 37));
    EXPECT_TRUE(checks.Saw("TrackSource<NumParams"));
  }
  Track(s[37], 200);
  {
    ExpectCheckFailures checks;
    EXPECT_FALSE(ChainReaches(s.data(), PID_BGVOLUME, 37));
    EXPECT_TRUE(checks.Saw("TrackSource<NumParams"));
  }
}

}  // namespace

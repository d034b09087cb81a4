// Checks of a fade against the same sound without it: the sound before the
// fade is byte for byte what it was, the gain implied by each sample falls
// (or rises) monotonically, the end is exact silence, and no step between
// two samples is larger than the wave's own steepest step.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

// Stereo samples as signed values, 8-bit ones about 128.
inline std::vector<int32_t> Samples(const std::vector<unsigned char>& bytes, bool wide) {
  std::vector<int32_t> s;
  if (wide)
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) s.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
  else
    for (unsigned char b : bytes) s.push_back(b - 128);
  return s;
}

// The largest step between two samples of one channel in [from, to) frames.
inline int32_t MaxStep(const std::vector<int32_t>& s, size_t from, size_t to) {
  int32_t m = 0;
  for (size_t f = std::max<size_t>(from, 1); f < to && 2 * f + 1 < s.size(); ++f)
    for (size_t c = 0; c < 2; ++c) m = std::max(m, std::abs(s[2 * f + c] - s[2 * (f - 1) + c]));
  return m;
}

// `got` fades `ref` out from frame `from` over `len` frames to silence, and
// ends silent at `end` frames (everything it holds after the fade is 0).
// `tolerance` is how far the implied gain may go against the direction
// (in samples of the largest magnitude, for rounding).
inline void ExpectFadeOut(const std::vector<int32_t>& got, const std::vector<int32_t>& ref, size_t from, size_t len,
                          const char* what) {
  SCOPED_TRACE(what);
  ASSERT_GE(ref.size(), 2 * (from + len));
  ASSERT_GE(got.size(), 2 * (from + len));
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(2 * from), ref.begin()))
      << "the sound before the fade changed";
  // The gain out/ref never rises: each sample's gain is known to half a
  // unit of rounding, so a later one may not be below an earlier one's
  // upper bound only through rounding.
  for (size_t c = 0; c < 2; ++c) {
    double upper = 1.0, last = 1.0;
    for (size_t f = from; f < from + len; ++f) {
      int32_t r = ref[2 * f + c], g = got[2 * f + c];
      EXPECT_LE(std::abs(g), std::abs(r)) << "frame " << f;
      if (std::abs(r) < 64) continue;
      double gain = static_cast<double>(g) / r, half = 0.5 / std::abs(r);
      EXPECT_LE(gain - half, upper + 1e-9) << "the gain rose at frame " << f << " (channel " << c << ")";
      upper = std::min(upper, gain + half);
      last = gain;
    }
    EXPECT_LT(last, 0.05) << "the fade did not come near silence";
  }
  for (size_t i = 2 * (from + len); i < got.size(); ++i) ASSERT_EQ(got[i], 0) << "not silent at frame " << i / 2;
  // A fade only ever makes a step smaller than the wave's own steepest one
  // (a unit more for the rounding of two samples).
  EXPECT_LE(MaxStep(got, from, got.size() / 2), MaxStep(ref, from > 4410 ? from - 4410 : 0, from + len) + 1);
}

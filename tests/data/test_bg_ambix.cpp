// The six recordings of Ambix.dll as the library hands them out: format,
// length, headroom, seamless loops and events that start and end in silence.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "background/bgrecord.h"
#include "bg_wave.h"
#include "platform/riff.h"

using namespace bgtest;

namespace {

struct Recording {
  int Channels = 0, Rate = 0, Bits = 0, Tag = 0;
  std::vector<std::vector<int>> Ch;  // samples minus 128
  double Seconds() const { return Ch.empty() ? 0 : static_cast<double>(Ch[0].size()) / Rate; }
};

Recording Parse(const unsigned char* p, size_t n) {
  Recording r;
  plat::RiffChunk riff, fmt, data;
  if (!plat::RiffFind(p, n, "RIFF", &riff) || riff.Size < 4 || std::memcmp(riff.Data, "WAVE", 4) != 0) return r;
  if (!plat::RiffFind(riff.Data + 4, riff.Size - 4, "fmt ", &fmt) || fmt.Size < 16) return r;
  if (!plat::RiffFind(riff.Data + 4, riff.Size - 4, "data", &data) || data.Truncated) return r;
  r.Tag = plat::GetLE16(fmt.Data);
  r.Channels = plat::GetLE16(fmt.Data + 2);
  r.Rate = static_cast<int>(plat::GetLE32(fmt.Data + 4));
  r.Bits = plat::GetLE16(fmt.Data + 14);
  if (r.Channels < 1 || r.Bits != 8) return r;
  const size_t channels = static_cast<size_t>(r.Channels);
  r.Ch.assign(channels, {});
  for (size_t i = 0; i + channels <= data.Size; i += channels)
    for (size_t c = 0; c < channels; ++c) r.Ch[c].push_back(data.Data[i + c] - 128);
  return r;
}

class AmbixRecordings : public ::testing::Test {
 protected:
  void SetUp() override {
    Module = dlopen((BinDir() + "/Ambix.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Module, nullptr) << dlerror();
    Get = reinterpret_cast<GetLibraryResourceFn>(dlsym(Module, AMBIX_RESOURCE_EXPORT));
    ASSERT_NE(Get, nullptr);
  }
  void TearDown() override {
    if (Module) dlclose(Module);
  }
  Recording Load(int n) {
    uint32_t size = 0;
    const unsigned char* p = Get(AMBIX_RT_RCDATA, n, &size);
    return p ? Parse(p, size) : Recording{};
  }
  void* Module = nullptr;
  GetLibraryResourceFn Get = nullptr;
};

// Largest step between neighbouring samples, and the 99.9th percentile.
void Steps(const std::vector<int>& x, int* p999) {
  std::vector<int> d;
  for (size_t i = 1; i < x.size(); ++i) d.push_back(std::abs(x[i] - x[i - 1]));
  std::sort(d.begin(), d.end());
  *p999 = d[d.size() * 999 / 1000];
}

TEST_F(AmbixRecordings, FormatLengthAndHeadroom) {
  const int channels[6] = {2, 2, 1, 1, 1, 2};
  const double minSec[6] = {10, 10, 10, 10, 3, 1}, maxSec[6] = {30, 30, 30, 30, 15, 5};
  for (int n = 1; n <= 6; ++n) {
    Recording r = Load(n);
    ASSERT_EQ(r.Tag, 1) << n;
    EXPECT_EQ(r.Channels, channels[n - 1]) << n;
    EXPECT_EQ(r.Rate, 20000) << n;
    EXPECT_EQ(r.Bits, 8) << n;
    EXPECT_GE(r.Seconds(), minSec[n - 1]) << n;
    EXPECT_LE(r.Seconds(), maxSec[n - 1]) << n;
    int peak = 0;
    double energy = 0;
    for (const auto& c : r.Ch)
      for (int v : c) peak = std::max(peak, std::abs(v)), energy += v * v;
    EXPECT_LT(peak, 126) << n;                                                                   // never at full scale
    EXPECT_GT(std::sqrt(energy / static_cast<double>(r.Ch[0].size() * r.Ch.size())), 5.0) << n;  // not near silence
  }
  uint32_t size = 1;
  EXPECT_EQ(Get(AMBIX_RT_RCDATA, 7, &size), nullptr);
  EXPECT_EQ(size, 0u);
}

TEST_F(AmbixRecordings, LoopsJoinWithoutAStep) {
  for (int n = 1; n <= 4; ++n) {
    Recording r = Load(n);
    for (const auto& c : r.Ch) {
      int p999;
      Steps(c, &p999);
      EXPECT_LE(std::abs(c.front() - c.back()), p999) << n;
    }
  }
}

TEST_F(AmbixRecordings, EventsStartAndEndInSilence) {
  for (int n = 5; n <= 6; ++n) {
    Recording r = Load(n);
    for (const auto& c : r.Ch) {
      for (size_t i = 0; i < 20; ++i) EXPECT_LE(std::abs(c[i]), 2) << n;
      for (size_t i = c.size() - 20; i < c.size(); ++i) EXPECT_LE(std::abs(c[i]), 2) << n;
    }
  }
}

TEST_F(AmbixRecordings, LibraryHandsOutItsStringsAndVersion) {
  uint32_t size = 0;
  const unsigned char* s = Get(AMBIX_RT_STRING, 1, &size);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(s), "Background Thunder Interval");
  EXPECT_EQ(size, std::strlen("Background Thunder Interval") + 1);
  const unsigned char* v = Get(AMBIX_RT_VERSION, 1, &size);
  ASSERT_NE(v, nullptr);
  EXPECT_NE(std::strstr(reinterpret_cast<const char*>(v), "3.1.12"), nullptr);
}

}  // namespace

namespace {

// The program's own background (RCDATA 27) as the build produced it: "left"
// on the left channel first, then "right" on the right channel.
TEST(OwnBackground, SpokenLeftThenRightInTheStatedFormat) {
  std::ifstream f(BinDir() + "/../src/background/own_background.wav", std::ios::binary);
  Bytes b{std::istreambuf_iterator<char>(f), {}};
  plat::RiffChunk riff, data;
  ASSERT_TRUE(plat::RiffFind(b.data(), b.size(), "RIFF", &riff));
  ASSERT_TRUE(plat::RiffFind(riff.Data + 4, riff.Size - 4, "data", &data));
  EXPECT_EQ(data.Size, 68830u);
  Recording r = Parse(b.data(), b.size());
  ASSERT_EQ(r.Tag, 1);
  EXPECT_EQ(r.Channels, 2);
  EXPECT_EQ(r.Rate, 22050);
  EXPECT_EQ(r.Bits, 8);
  auto energy = [&](size_t c, size_t from, size_t to) {
    double e = 0;
    for (size_t i = from; i < to; ++i) e += r.Ch[c][i] * r.Ch[c][i];
    return e / static_cast<double>(to - from);
  };
  size_t half = r.Ch[0].size() / 2;
  EXPECT_GT(energy(0, 0, half), 50 * (energy(1, 0, half) + 1));
  EXPECT_GT(energy(1, half, 2 * half), 50 * (energy(0, half, 2 * half) + 1));
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "common/index.h"
#include "data/synthesis/generate.h"
#include "data/synthesis/noise.h"
#include "data/synthesis/walk.h"
#include "data/testrecord.h"
#include "platform/rand.h"
#include "reference.h"
#include "testpreset.h"

namespace {

constexpr int32_t SINE = 32768500;

struct Gen : ::testing::Test {
  void SetUp() override { Setup(AdvancedOptions{}); }
  void Setup(const AdvancedOptions& o) {
    EngineSetUp(o);
    ResetWaveformCache(TestRecord);
    TestRecord.SweepDataVoices = 1;
    TestRecord.NoiseOn = false;
    ASSERT_TRUE(EnsureSweepData(TestRecord, 4 * MAXSWEEPRECORD));
  }
  // A held record with `voices` silent sine voices.
  SweepRecord* Record(int voices, int index = 0) {
    auto* r = reinterpret_cast<SweepRecord*>(TestRecord.SweepData.Base + Ix(index) * MAXSWEEPRECORD);
    std::memset(static_cast<void*>(r), 0, MAXSWEEPRECORD);
    r->NumVoices = static_cast<uint8_t>(voices);
    for (int i = 0; i <= voices; i++) {
      const void* t;
      EXPECT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, SINE, FILTER_NONE, &t), 0);
      r->Voice[i].Table[0] = r->Voice[i].Table[1] = t;
    }
    return r;
  }
  int Frames() const { return TestRecord.BlockBytes / (TestRecord.Options.Bits16 ? 4 : 2); }
  std::vector<int16_t> Block16() {
    std::vector<int16_t> b(static_cast<size_t>(TestRecord.BlockBytes / 2));
    EXPECT_EQ(GenerateBlock(TestRecord, b.data()), 0);
    return b;
  }
};

void Voice(VoiceEntry& v, int32_t fl, int32_t fr, int vl, int vr) {
  v.Frequency[0] = fl;
  v.Frequency[1] = fr;
  v.Volume[0] = static_cast<int16_t>(vl);
  v.Volume[1] = static_cast<int16_t>(vr);
}

TEST_F(Gen, BlockBytesAndOutputLength) {
  AdvancedOptions o;
  o.SamplesPerSec = 44100;
  o.LenOfBlocks = 1000;
  EXPECT_EQ(ComputeBlockBytes(o), 176400);
  o.Bits16 = 0;
  EXPECT_EQ(ComputeBlockBytes(o), 88200);
  o.SamplesPerSec = 11025;
  o.LenOfBlocks = 250;
  EXPECT_EQ(ComputeBlockBytes(o), 5512);  // 5512.5 rounded down to whole frames
  o.Bits16 = 1;
  o.LenOfBlocks = 10;
  EXPECT_EQ(ComputeBlockBytes(o), 440);          // 441 -> 440, a multiple of 4
  EXPECT_EQ(OutputBlockCount(3000, 500), 3600);  // 30.00 minutes
  EXPECT_EQ(OutputBlockCount(1, 700), 1);        // 600 ms: rounds to one block
  EXPECT_EQ(OutputBlockCount(1, 1300), 0);
}

TEST_F(Gen, EngineCopyClampsLevels) {
  AdvancedOptions o;
  o.AudioStrobeMaxLevel = -40;
  o.AudioStrobeDutyCycle = 250;
  TakeEngineOptions(TestRecord, o);
  EXPECT_EQ(TestRecord.Options.AudioStrobeMaxLevel, 0);
  EXPECT_EQ(TestRecord.Options.AudioStrobeDutyCycle, 100);
  EXPECT_LE(VoiceGain(TestRecord, true), 64);
}

// Each record generates with the options it took: another record taking
// other options and generating between its blocks changes neither its sound
// nor its block size, and writes only a block of its own size.
TEST_F(Gen, ARecordKeepsItsOptionsWhileAnotherPlaysWithOthers) {
  struct Case {
    const char* What;
    int32_t Rate, Bits16, Invert, LenOfBlocks;
  };
  const Case cases[] = {
      {"another rate", 22050, 1, 0, 200},
      {"8 bits", 44100, 0, 0, 200},
      {"inverted, longer blocks", 48000, 1, 1, 500},
  };
  SweepRecord* r = Record(1);
  Voice(r->Voice[0], 195000, 205000, 10000, 6000);
  StartSweepWalk(TestRecord, r);
  const std::vector<int16_t> first = Block16(), second = Block16();
  for (const Case& c : cases) {
    ResetOscillators(TestRecord);
    StartSweepWalk(TestRecord, r);
    EXPECT_EQ(Block16(), first) << c.What;
    // On the heap: a record holds the device's block headers.
    auto otherOwned = std::make_unique<PlaybackState>();
    PlaybackState& other = *otherOwned;
    AdvancedOptions o;
    o.SamplesPerSec = c.Rate;
    o.Bits16 = c.Bits16;
    o.InvertSound = c.Invert;
    o.LenOfBlocks = c.LenOfBlocks;
    TakeEngineOptions(other, o);
    ASSERT_EQ(other.BlockBytes, ComputeBlockBytes(o)) << c.What;
    StartSweepWalk(other, r);
    constexpr size_t kGuard = 64;
    std::vector<unsigned char> theirs(static_cast<size_t>(other.BlockBytes) + kGuard, 0xA5);
    ASSERT_EQ(GenerateBlock(other, theirs.data()), 0) << c.What;
    EXPECT_EQ(std::count(theirs.end() - kGuard, theirs.end(), 0xA5), static_cast<std::ptrdiff_t>(kGuard)) << c.What;
    EXPECT_EQ(Frames(), ComputeBlockBytes(AdvancedOptions{}) / 4) << c.What;
    EXPECT_EQ(Block16(), second) << c.What;
  }
}

TEST_F(Gen, MixingGain) {
  TestRecord.SweepDataVoices = 1;
  EXPECT_EQ(VoiceGain(TestRecord, false), 64);
  TestRecord.SweepDataVoices = 3;
  EXPECT_EQ(VoiceGain(TestRecord, false), 21);
  TestRecord.SweepDataVoices = 1;
  TestRecord.ExtraSourceShare = 2;
  EXPECT_EQ(VoiceGain(TestRecord, false), 21);
  TestRecord.ExtraSourceShare = 0;
  EXPECT_EQ(VoiceGain(TestRecord, true), 32);  // (100 - 100 / 2) / 1
  EXPECT_EQ(STROBE_GAIN, 32);
}

TEST_F(Gen, OneFullVoicePeaksAtFullScale) {
  AdvancedOptions o;
  o.SamplesPerSec = 8192;  // 1 Hz steps through every table entry
  o.LenOfBlocks = 1000;
  Setup(o);
  SweepRecord* r = Record(1);
  Voice(r->Voice[0], 1000, 1000, 10000, 10000);
  StartSweepWalk(TestRecord, r);
  std::vector<int16_t> b = Block16();
  EXPECT_EQ(b[2 * 2048], 32767);
  EXPECT_EQ(b[2 * 6144 + 1], -32767);
  EXPECT_EQ(*std::max_element(b.begin(), b.end()), 32767);
}

TEST_F(Gen, ThreeVoicesPeakAt32253) {
  AdvancedOptions o;
  o.SamplesPerSec = 8192;
  o.LenOfBlocks = 1000;
  Setup(o);
  TestRecord.SweepDataVoices = 3;
  SweepRecord* r = Record(3);
  for (int i = 0; i < 3; i++) Voice(r->Voice[i], 1000, 1000, 10000, 10000);
  StartSweepWalk(TestRecord, r);
  std::vector<int16_t> b = Block16();
  EXPECT_EQ(b[2 * 2048], 32253);
  EXPECT_EQ(*std::min_element(b.begin(), b.end()), -32253);
}

int UpwardCrossings(const std::vector<int16_t>& b, int ch) {
  int n = 0;
  for (size_t i = 2 + Ix(ch); i < b.size(); i += 2)
    if (b[i - 2] < 0 && b[i] >= 0) n++;
  return n;
}

TEST_F(Gen, BinauralPairPlaysBothFrequencies) {
  AdvancedOptions o;
  o.LenOfBlocks = 1000;
  Setup(o);
  SweepRecord* r = Record(1);
  Voice(r->Voice[0], 195000, 205000, 10000, 10000);
  StartSweepWalk(TestRecord, r);
  std::vector<int16_t> b = Block16();
  // Tones start at phase 0, so the first cycle's start is no crossing.
  EXPECT_EQ(UpwardCrossings(b, 0), 194);
  EXPECT_EQ(UpwardCrossings(b, 1), 204);
  Voice(r->Voice[0], 50000, 450000, 10000, 10000);
  b = Block16();
  EXPECT_NEAR(UpwardCrossings(b, 0), 50, 1);
  EXPECT_NEAR(UpwardCrossings(b, 1), 450, 1);
}

TEST_F(Gen, InvertSoundSwapsTheEars) {
  SweepRecord* r = Record(1);
  Voice(r->Voice[0], 195000, 205000, 10000, 6000);
  StartSweepWalk(TestRecord, r);
  std::vector<int16_t> plain = Block16();
  ResetOscillators(TestRecord);
  TestRecord.Options.InvertSound = 1;
  std::vector<int16_t> inv = Block16();
  for (size_t i = 0; i < plain.size(); i += 2) {
    ASSERT_EQ(plain[i], inv[i + 1]) << i;
    ASSERT_EQ(plain[i + 1], inv[i]) << i;
  }
}

TEST_F(Gen, VolumeChangesAtTheNextZeroCrossing) {
  SweepRecord* r = Record(1);
  Voice(r->Voice[0], 7000, 7000, 10000, 10000);  // 7 Hz: a half cycle spans many blocks
  StartSweepWalk(TestRecord, r);
  Block16();
  Block16();  // 400 ms: past the first half cycle
  uint64_t before = TestRecord.Osc[0].Tone[0];
  r->Voice[0].Volume[0] = 5000;
  std::vector<int16_t> b = Block16();
  const int16_t* table = static_cast<const int16_t*>(r->Voice[0].Table[0]);
  double x;
  uint64_t step = ToneStep(7000, 44100, &x);
  bool crossed = false;
  int oldCount = 0;
  for (int n = 0; n < Frames(); n++) {
    uint64_t acc = (before + static_cast<uint64_t>(n) * step) & PHASE_MASK;
    uint64_t prev = (before + static_cast<uint64_t>(n - 1) * step) & PHASE_MASK;
    if (n > 0 && ((acc < prev) || (acc >= PHASE_HALF && prev < PHASE_HALF))) crossed = true;
    int32_t w = table[acc >> 28];
    int32_t expect = w * ConvVol[crossed ? 5000 : 10000] * 64 / 65536;
    ASSERT_EQ(b[Ix(2 * n)], expect) << n;
    if (!crossed) oldCount++;
  }
  EXPECT_TRUE(crossed);
  EXPECT_GT(oldCount, 100);  // the old volume lasted into the block
}

TEST_F(Gen, ModulationStartsAtItsMinimum) {
  AdvancedOptions o;
  o.LenOfBlocks = 1;  // 44 frames: two half cycles of 1 kHz
  Setup(o);
  SweepRecord* r = Record(1);
  Voice(r->Voice[0], 1000000, 1000000, 10000, 10000);
  r->Voice[0].Mod1Depth[0] = r->Voice[0].Mod1Depth[1] = 100;
  r->Voice[0].Mod1Rate[0] = r->Voice[0].Mod1Rate[1] = 1000000;  // 1 s period
  StartSweepWalk(TestRecord, r);
  std::vector<int16_t> b = Block16();
  // 0 + (-127 + 129) * 10000 / 256 = 78 on both ears.
  EXPECT_EQ(TestRecord.Osc[0].VolumeIndex[0], 78);
  EXPECT_EQ(TestRecord.Osc[0].VolumeIndex[1], 78);
  int peak = 0;
  for (int16_t v : b) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_EQ(peak, 32767 * ConvVol[78] * 64 / 65536);
}

// The optimised generator against the per-sample reference, over random
// voices, modulations, AudioStrobe, widths and record changes, with full
// volumes (the gain 65536 of one voice) and tables of random samples over
// the whole sample range (-32768 and -128 included).
TEST_F(Gen, MatchesThePerSampleReference) {
  std::mt19937 rng(12345);
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  static int16_t random16[WAVELEN];
  static int8_t random8[WAVELEN];
  for (int i = 0; i < WAVELEN; i++) {
    random16[i] = static_cast<int16_t>(i % 7 == 0 ? (i % 2 ? 32767 : -32768) : uni(-32768, 32767));
    random8[i] = static_cast<int8_t>(i % 7 == 0 ? (i % 2 ? 127 : -128) : uni(-128, 127));
  }
  auto volume = [&] { return uni(0, 3) == 0 ? 10000 : uni(0, 10000); };
  for (int trial = 0; trial < 40; trial++) {
    AdvancedOptions o;
    o.Bits16 = trial % 3 != 0;
    o.SamplesPerSec = trial % 5 == 0 ? 11025 : 44100;
    o.LenOfBlocks = uni(10, 120);
    o.InvertSound = trial % 4 == 1;
    o.AudioStrobeWaveform = trial % 2 ? ASWAVE_RECTANGULAR : ASWAVE_SINE;
    Setup(o);
    int voices = uni(1, 4);
    TestRecord.SweepDataVoices = voices;
    bool strobe = trial % 3 == 1;
    TestRecord.AudioStrobeOn = strobe ? 1 : 0;
    SweepRecord* r = Record(voices);
    ref::Slot refSlots[MAXVOICES + 1];
    int frames = Frames();
    std::vector<uint8_t> got(static_cast<size_t>(TestRecord.BlockBytes)),
        want(static_cast<size_t>(TestRecord.BlockBytes));
    StartSweepWalk(TestRecord, r);
    for (int block = 0; block < 12; block++) {
      for (int i = 0; i <= voices; i++) {
        VoiceEntry& v = r->Voice[i];
        if (block % 4 != 0) continue;  // change every fourth block
        int32_t f = uni(0, 2) == 0 ? uni(1000, 40000) : uni(40000, 2000000);
        Voice(v, f, f + uni(-20000, 20000), volume(), volume());
        if (v.Frequency[1] < 0) v.Frequency[1] = -v.Frequency[1];
        if (trial % 5 == 2 && i < voices) {
          const void* t = o.Bits16 ? static_cast<const void*>(random16) : static_cast<const void*>(random8);
          v.Table[i % 2] = t;
        }
        v.Mod1Depth[0] = static_cast<uint8_t>(uni(0, 2) ? uni(1, 100) : 0);
        v.Mod1Depth[1] = static_cast<uint8_t>(uni(0, 2) ? uni(1, 100) : 0);
        v.Mod1Rate[0] = uni(0, 1) ? uni(50000, 3000000) : -uni(100, 40000);
        v.Mod1Rate[1] = uni(50000, 3000000);
        v.Mod1Phase = static_cast<int16_t>(uni(-360, 360));
        if (i == voices) {  // the AudioStrobe slot also uses modulation 2
          Voice(v, 19200000, 19200000, uni(0, 10000), uni(0, 10000));
          v.Mod2Depth[0] = static_cast<uint8_t>(uni(0, 50));
          v.Mod2Depth[1] = static_cast<uint8_t>(uni(0, 50));
          v.Mod2Rate[0] = v.Mod2Rate[1] = uni(100000, 5000000);
          v.Mod2Phase = static_cast<int16_t>(uni(-360, 360));
        }
      }
      ASSERT_EQ(GenerateBlock(TestRecord, got.data()), 0);
      int g = VoiceGain(TestRecord, strobe);
      for (int i = 0; i < voices; i++)
        ref::RenderSlot(refSlots[i], r->Voice[i], want.data(), frames, g, i == 0, SineData8, o.Bits16, o.InvertSound,
                        o.SamplesPerSec);
      if (strobe)
        ref::RenderSlot(refSlots[MAXVOICES], StrobeSlot(r), want.data(), frames, STROBE_GAIN, false,
                        o.AudioStrobeWaveform == ASWAVE_RECTANGULAR ? RectangularData8 : SineData8, o.Bits16,
                        o.InvertSound, o.SamplesPerSec);
      ASSERT_EQ(got, want) << "trial " << trial << " block " << block;
      for (int i = 0; i < voices; i++) {
        for (int e = 0; e < 2; e++) {
          ASSERT_EQ(TestRecord.Osc[i].Tone[e],
                    (uint64_t(refSlots[i].Tone[e].Index) << 28) | uint64_t(refSlots[i].Tone[e].Frac));
          ASSERT_EQ(TestRecord.Osc[i].VolumeIndex[e], refSlots[i].Volume[e]);
        }
      }
    }
  }
}

// The single-word accumulator against index + 28-bit fraction, including
// fraction steps that round up to a whole 2^28 and steps above a cycle.
TEST_F(Gen, SingleWordAccumulatorMatchesIndexAndFraction) {
  std::mt19937_64 rng(7);
  for (int trial = 0; trial < 2000; trial++) {
    ref::Step s;
    s.Int = static_cast<int32_t>(rng() % (trial % 10 == 0 ? 20000 : 4096));
    s.Frac = trial % 7 == 0 ? 268435456 : static_cast<int32_t>(rng() % 268435456);
    ref::Acc a{static_cast<int32_t>(rng() % 8192), static_cast<int32_t>(rng() % 268435456)};
    uint64_t acc = (uint64_t(a.Index) << 28) | uint64_t(a.Frac);
    uint64_t step = (uint64_t(s.Int) << 28) + uint64_t(s.Frac);
    for (int i = 0; i < 500; i++) {
      bool wrapped = ref::Advance(a, s);
      uint64_t sum = acc + step;
      ASSERT_EQ(wrapped, sum >= PHASE_LIMIT);
      acc = sum & PHASE_MASK;
      ASSERT_EQ(acc >> 28, uint64_t(a.Index));
      ASSERT_EQ(acc & (PHASE_ONE - 1), uint64_t(a.Frac));
    }
  }
}

TEST_F(Gen, EightBitSilenceIsMidScale) {
  AdvancedOptions o;
  o.Bits16 = 0;
  Setup(o);
  SweepRecord* r = Record(1);
  Voice(r->Voice[0], 440000, 440000, 0, 10000);
  StartSweepWalk(TestRecord, r);
  std::vector<uint8_t> b(static_cast<size_t>(TestRecord.BlockBytes));
  ASSERT_EQ(GenerateBlock(TestRecord, b.data()), 0);
  int lo = 255, hi = 0;
  for (size_t i = 0; i < b.size(); i += 2) {
    ASSERT_EQ(b[i], 128);
    lo = std::min<int>(lo, b[i + 1]);
    hi = std::max<int>(hi, b[i + 1]);
  }
  EXPECT_EQ(hi, 255);
  EXPECT_LE(lo, 2);
}

TEST_F(Gen, EndOfListLeavesTheBufferAlone) {
  SweepRecord* r = Record(1);
  r->Blocks = 2;
  SweepRecord* end = FollowingRecord(r);
  std::memcpy(static_cast<void*>(end), r, SweepRecordBytes(1));
  end->Blocks = -1;
  StartSweepWalk(TestRecord, r);
  std::vector<int16_t> b(static_cast<size_t>(TestRecord.BlockBytes / 2), 77);
  EXPECT_EQ(GenerateBlock(TestRecord, b.data()), 0);  // a first record is heard Blocks - 1 times
  std::fill(b.begin(), b.end(), 77);
  EXPECT_EQ(GenerateBlock(TestRecord, b.data()), 1);
  EXPECT_EQ(b[0], 77);
  EXPECT_EQ(b.back(), 77);
}

// --- Noise ------------------------------------------------------------------

TEST_F(Gen, NoiseCoefficients) {
  NoiseCoefficients c = NoiseCoefficientsOf(0);
  EXPECT_EQ(c.A, 0);
  EXPECT_EQ(c.Q, 16384u);
  EXPECT_EQ(c.M, 16384u);
  c = NoiseCoefficientsOf(50);
  EXPECT_EQ(c.A, 64);
  EXPECT_EQ(c.M, 9216u);
  EXPECT_EQ(c.Q, 18432u);
  c = NoiseCoefficientsOf(100);
  EXPECT_EQ(c.A, 128);
  EXPECT_EQ(c.Q, 1u);
  EXPECT_EQ(NoiseCoefficientsOf(250).A, 128);  // more than 100 counts as 100
}

struct NoiseGen : Gen {
  SweepRecord* r = nullptr;
  void Prepare(int smoothness, bool inside) {
    r = Record(1);
    r->NoiseVolume[0] = r->NoiseVolume[1] = 10000;
    r->NoiseSmoothness[0] = r->NoiseSmoothness[1] = static_cast<uint8_t>(smoothness);
    r->NoiseInsideHead = inside;
  }
  std::vector<int16_t> Mix(uint32_t seed) {
    std::vector<int16_t> b(static_cast<size_t>(TestRecord.BlockBytes / 2), 0);
    plat::SeedRandom(seed);
    MixNoise(TestRecord, b.data(), Frames(), 64, r, true, false);
    return b;
  }
};

TEST_F(NoiseGen, WhiteNoiseIsTheGeneratorsHighBits) {
  Prepare(0, false);
  std::vector<int16_t> b = Mix(99);
  plat::SeedRandom(99);
  uint32_t x = static_cast<uint32_t>(plat::Random());
  for (int n = 0; n < Frames(); n++) {
    x = x * 22695477u + 1;
    ASSERT_EQ(b[Ix(2 * n)], static_cast<int32_t>(x >> 16) - 32768) << n;
    x = x * 22695477u + 1;  // the right ear draws its own value
    ASSERT_EQ(b[Ix(2 * n + 1)], static_cast<int32_t>(x >> 16) - 32768) << n;
  }
}

TEST_F(NoiseGen, InsideTheHeadNegatesTheLeftNoise) {
  Prepare(30, true);
  r->NoiseVolume[1] = 7000;
  std::vector<int16_t> b = Mix(5);
  plat::SeedRandom(5);
  uint32_t x = static_cast<uint32_t>(plat::Random());
  NoiseCoefficients c = NoiseCoefficientsOf(30);
  int32_t y = 0;
  for (int n = 0; n < Frames(); n++) {
    x = x * 22695477u + 1;  // one draw per frame
    uint32_t yp = static_cast<uint32_t>((c.A * y) >> 7) * 65536u + (x >> 16) * c.M;
    int32_t v = (static_cast<int32_t>(yp / c.Q) - 32768) * 64;
    y = static_cast<int32_t>(yp) / 65536;
    ASSERT_EQ(b[Ix(2 * n)], ConvVol[10000] * v / 1024 / 64) << n;
    ASSERT_EQ(b[Ix(2 * n + 1)], -(ConvVol[7000] * v / 1024 / 64)) << n;
  }
}

TEST_F(NoiseGen, FullSmoothnessRestartsEachBlock) {
  Prepare(100, false);
  std::vector<int16_t> a = Mix(1), b = Mix(2);
  EXPECT_EQ(a, b);  // M = 0: nothing of the draws gets through
  EXPECT_EQ(a[0], -32768);
}

TEST_F(NoiseGen, FullDepthModulationSwingsFromSilence) {
  AdvancedOptions o;
  o.LenOfBlocks = 1000;
  Setup(o);
  Prepare(0, false);
  r->NoiseModDepth[0] = r->NoiseModDepth[1] = 100;
  r->NoiseModRate[0] = r->NoiseModRate[1] = 1000000;  // once per second
  std::vector<int16_t> b = Mix(3);
  auto peak = [&](int from, int to) {
    int m = 0;
    for (int n = from; n < to; n++) m = std::max(m, std::abs(static_cast<int>(b[Ix(2 * n)])));
    return m;
  };
  EXPECT_LT(peak(0, 200), 600);          // near silence at the start
  EXPECT_GT(peak(21000, 23100), 30000);  // full volume half a period later
  EXPECT_LT(peak(44000, 44100), 1200);   // and back down
}

TEST_F(NoiseGen, MatchesThePerSampleReference) {
  std::mt19937 rng(99);
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 40; trial++) {
    AdvancedOptions o;
    o.Bits16 = trial % 2;
    o.InvertSound = trial % 3 == 0;
    o.LenOfBlocks = uni(20, 200);
    Setup(o);
    Prepare(0, trial % 4 == 0);
    ref::Noise st;
    TestRecord.NoiseOsc = NoiseState{{0, 0}, {MOD_START, MOD_START}};
    std::vector<uint8_t> got(static_cast<size_t>(TestRecord.BlockBytes)),
        want(static_cast<size_t>(TestRecord.BlockBytes));
    for (int block = 0; block < 6; block++) {
      for (int e = 0; e < 2; e++) {
        r->NoiseVolume[e] = static_cast<int16_t>(uni(0, 10000));
        r->NoiseSmoothness[e] = static_cast<uint8_t>(uni(0, 100));
        r->NoiseModDepth[e] = static_cast<uint8_t>(uni(0, 1) ? uni(0, 100) : 0);
        r->NoiseModRate[e] = uni(0, 1) ? uni(20000, 4000000) : 0;
      }
      r->NoiseModPhase = static_cast<int16_t>(uni(-360, 360));
      int g = uni(10, 64);
      for (size_t i = 0; i < got.size(); i++) got[i] = want[i] = static_cast<uint8_t>(rng());
      plat::SeedRandom(static_cast<uint32_t>(trial * 100 + block));
      uint32_t seed = static_cast<uint32_t>(plat::Random());
      plat::SeedRandom(static_cast<uint32_t>(trial * 100 + block));
      MixNoise(TestRecord, got.data(), Frames(), g, r, o.Bits16, o.InvertSound);
      ref::MixNoise(st, want.data(), Frames(), g, r, o.Bits16, o.InvertSound, o.SamplesPerSec, seed);
      ASSERT_EQ(got, want) << "trial " << trial << " block " << block;
    }
  }
}

}  // namespace

// Background mixing: loops shorter than a block, the phase shift of the right
// ear, interval mode with each ear's own interval, ear swapping, 8-bit
// output and the volume modulation.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bg_wave.h"
#include "common/index.h"
#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"
#include "data/playback/playback.h"
#include "data/synthesis/background.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/wavetab.h"
#include "data/testrecord.h"
#include "testpreset.h"

namespace {

// A recording whose every frame can be told apart: left 1000 + f % 20000,
// right -(1000 + f % 20000), never 0.
int32_t LeftOf(int64_t f) { return static_cast<int32_t>(1000 + f % 20000); }
int32_t RightOf(int64_t f) { return -LeftOf(f); }

class BackgroundMix : public ::testing::Test {
 protected:
  void SetUp() override {
    Saved = TestRecord.Options;
    EngineSetUp();
    Record = SweepRecord{};
    Record.BackgroundVolume[0] = Record.BackgroundVolume[1] = 10000;
    ResetOscillators(TestRecord);
  }
  void TearDown() override {
    TestRecord.BackgroundFrames = 0;
    TestRecord.PlayBackground.IntervalMode = false;
    TestRecord.Options = Saved;
    ResetOscillators(TestRecord);
  }
  // Puts `frames` frames of the pattern into BackgroundData.
  void Load16(int64_t frames, int rate, bool interval) {
    TestRecord.Options.SamplesPerSec = rate;
    TestRecord.Options.Bits16 = 1;
    ASSERT_TRUE(plat::RegionEnsure(BackgroundData, static_cast<size_t>(frames) * 4));
    auto* d = reinterpret_cast<int16_t*>(BackgroundData.Base);
    for (int64_t f = 0; f < frames; ++f)
      d[2 * f] = static_cast<int16_t>(LeftOf(f)), d[2 * f + 1] = static_cast<int16_t>(RightOf(f));
    TestRecord.BackgroundFrames = static_cast<int32_t>(frames);
    TestRecord.PlayBackground.IntervalMode = interval;
  }
  // Mixes `frames` frames into silence in blocks of `block`.
  std::vector<int16_t> Mix16(int64_t frames, int block, bool invert = false) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 0);
    for (int64_t at = 0; at < frames; at += block) {
      int n = static_cast<int>(std::min<int64_t>(block, frames - at));
      // g = 64 and full volume (ConvVol 1024) add each value unchanged.
      MixBackground(TestRecord, out.data() + 2 * at, n, 64, &Record, true, invert);
    }
    return out;
  }
  AdvancedOptions Saved;
  SweepRecord Record;
};

TEST_F(BackgroundMix, FullVolumeAtGainSixtyFourAddsTheRecordingUnchanged) {
  ASSERT_EQ(ConvVol[10000], 1024);
  Load16(1000, 44100, false);
  std::vector<int16_t> out = Mix16(1000, 1000);
  for (int f = 0; f < 1000; ++f) {
    ASSERT_EQ(out[Ix(2 * f)], LeftOf(f)) << f;
    ASSERT_EQ(out[Ix(2 * f + 1)], RightOf(f)) << f;
  }
}

TEST_F(BackgroundMix, ShortBackgroundLoopsWithinABlockAndAcrossBlocks) {
  Load16(7, 44100, false);
  std::vector<int16_t> one = Mix16(50, 50);
  for (int f = 0; f < 50; ++f) {
    ASSERT_EQ(one[Ix(2 * f)], LeftOf(f % 7)) << f;
    ASSERT_EQ(one[Ix(2 * f + 1)], RightOf(f % 7)) << f;
  }
  ResetOscillators(TestRecord);
  EXPECT_EQ(Mix16(50, 3), one);  // positions carry over between blocks
}

TEST_F(BackgroundMix, QuarterSecondShiftIsElevenThousandFramesEitherWay) {
  const int64_t L = 44100;
  Load16(L, 44100, false);
  Record.BackgroundPhaseShift = 250;
  std::vector<int16_t> ahead = Mix16(2 * L + 500, 4410);
  for (int64_t f = 0; f < 2 * L + 500; f += 7) {
    ASSERT_EQ(ahead[Ix(2 * f)], LeftOf(f % L)) << f;
    ASSERT_EQ(ahead[Ix(2 * f + 1)], RightOf((f + 11025) % L)) << f;
  }
  ResetOscillators(TestRecord);
  Record.BackgroundPhaseShift = -250;
  std::vector<int16_t> behind = Mix16(L + 500, 4410);
  for (int64_t f = 0; f < L + 500; f += 7) ASSERT_EQ(behind[Ix(2 * f + 1)], RightOf((f - 11025 + L) % L)) << f;
  // With the ears swapped the shifted stream is heard on the left.
  ResetOscillators(TestRecord);
  Record.BackgroundPhaseShift = 250;
  std::vector<int16_t> swapped = Mix16(1000, 1000, true);
  for (int64_t f = 0; f < 1000; ++f) {
    ASSERT_EQ(swapped[Ix(2 * f)], RightOf(f + 11025)) << f;
    ASSERT_EQ(swapped[Ix(2 * f + 1)], LeftOf(f)) << f;
  }
}

TEST_F(BackgroundMix, ShiftLongerThanTheRecordStaysInside) {
  Load16(100, 2000, false);
  Record.BackgroundPhaseShift = -1000;  // 2000 frames behind a 100-frame loop
  std::vector<int16_t> out = Mix16(300, 300);
  for (int64_t f = 0; f < 300; ++f) ASSERT_EQ(out[Ix(2 * f + 1)], RightOf(((f - 2000) % 100 + 100) % 100)) << f;
}

TEST_F(BackgroundMix, TwentySecondIntervalWithSixSecondSound) {
  // 1000 frames per second keeps the run short: 6000 frames of sound, the
  // left ear every 20000 frames, the right ear every 15000.
  Load16(6000, 1000, true);
  Record.BackgroundInterval[0] = 20000;
  Record.BackgroundInterval[1] = 15000;
  std::vector<int16_t> out = Mix16(61000, 1024);
  for (int64_t f = 0; f < 61000; ++f) {
    int64_t l = f % 20000, r = f % 15000;
    ASSERT_EQ(out[Ix(2 * f)], l < 6000 ? LeftOf(l) : 0) << f;
    ASSERT_EQ(out[Ix(2 * f + 1)], r < 6000 ? RightOf(r) : 0) << f;
  }
}

TEST_F(BackgroundMix, IntervalBelowTheLengthLoopsWithoutGap) {
  Load16(6000, 1000, true);
  Record.BackgroundInterval[0] = 0;
  Record.BackgroundInterval[1] = 3000;
  std::vector<int16_t> out = Mix16(13000, 1000);
  for (int64_t f = 0; f < 13000; ++f) {
    ASSERT_EQ(out[Ix(2 * f)], LeftOf(f % 6000)) << f;
    ASSERT_EQ(out[Ix(2 * f + 1)], RightOf(f % 6000)) << f;
  }
}

TEST_F(BackgroundMix, IntervalModeShiftReadsWithinTheRightEarsCycle) {
  Load16(6000, 1000, true);
  Record.BackgroundInterval[0] = Record.BackgroundInterval[1] = 10000;
  Record.BackgroundPhaseShift = 250;  // 250 frames ahead
  std::vector<int16_t> out = Mix16(20000, 777);
  for (int64_t f = 0; f < 20000; ++f) {
    int64_t r = (f + 250) % 10000;
    ASSERT_EQ(out[Ix(2 * f + 1)], r < 6000 ? RightOf(r) : 0) << f;
  }
}

TEST_F(BackgroundMix, EightBitOutputAddsToTheUnsignedByte) {
  TestRecord.Options.SamplesPerSec = 44100;
  TestRecord.Options.Bits16 = 0;
  ASSERT_TRUE(plat::RegionEnsure(BackgroundData, 8));
  const unsigned char rec[8] = {128, 128, 228, 28, 0, 255, 129, 127};
  std::copy(rec, rec + 8, BackgroundData.Base);
  TestRecord.BackgroundFrames = 4;
  TestRecord.PlayBackground.IntervalMode = false;
  std::vector<uint8_t> out(16, 128);
  MixBackground(TestRecord, out.data(), 8, 64, &Record, false, false);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[Ix(i)], rec[i % 8]) << i;
}

TEST_F(BackgroundMix, FullDepthModulationStartsAtItsMinimum) {
  Load16(100, 44100, false);
  Record.BackgroundModDepth[0] = 100;
  Record.BackgroundModRate[0] = 0;  // still, at the sine's minimum
  ASSERT_EQ(SineData8[6144], -127);
  std::vector<int16_t> out = Mix16(100, 100);
  int32_t index = (-127 + 129) * 10000 / 256;
  for (int f = 0; f < 100; ++f) {
    ASSERT_EQ(out[Ix(2 * f)], static_cast<int32_t>(static_cast<int64_t>(LeftOf(f)) * ConvVol[index] * 64 / 65536)) << f;
    ASSERT_EQ(out[Ix(2 * f + 1)], RightOf(f)) << f;  // the right ear is not modulated
  }
}

TEST_F(BackgroundMix, NothingIsAddedWithoutABackground) {
  Load16(100, 44100, false);
  TestRecord.BackgroundFrames = 0;
  std::vector<int16_t> out = Mix16(100, 100);
  for (int16_t v : out) ASSERT_EQ(v, 0);
}

}  // namespace

namespace {

// The playback start looks the background up, loads the sound with its own
// row 6 and counts it in the mixing gain; the editor's row 6 stays as the
// editor set it.
TEST(BackgroundPlaybackStart, LoadsTheBackgroundAndCountsItsShare) {
  using namespace bgtest;
  AdvancedOptions saved = TestRecord.Options;
  EngineSetUp();
  ForgetLoadedBackground();
  TempDir dir;
  WriteFile(dir / "tone.wav", Wave(1, 22050, 8, Bytes(2205, 150)));
  TestPreset t;
  t.P.data.Background = AMBIX_OTHER;
  std::strncpy(t.P.data.BackgroundFile, (dir / "tone.wav").c_str(), NAMELEN - 1);
  AdvancedOptions o;
  ASSERT_EQ(PreparePlayback(TestRecord, t.P, o, false, nullptr), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 4408);  // 2 * 2205 - 2: the last frame is not converted
  EXPECT_TRUE(TestRecord.PlayBackground.IntervalMode);
  EXPECT_EQ(TestRecord.ExtraSourceShare, 1);

  t.P.data.Background = AMBIX_NONE;
  ASSERT_EQ(PreparePlayback(TestRecord, t.P, o, false, nullptr), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 0);
  EXPECT_EQ(TestRecord.ExtraSourceShare, 0);
  EXPECT_EQ(TestRecord.PlayBackground.ParamRow.Name, 171);

  t.P.data.Background = AMBIX_OTHER;
  std::strncpy(t.P.data.BackgroundFile, (dir / "gone.wav").c_str(), NAMELEN - 1);
  EXPECT_EQ(PreparePlayback(TestRecord, t.P, o, false, nullptr), 1287);

  // The thunder's interval parameter steps by 2 s: a curve from 0 to 60 s
  // makes a record each time it has moved by 2 s, 31 in all (the editor's
  // row steps by 1 s and would make 61).
  LoadBackgroundLibraries(BinDir());
  t.P.data.Background = 5;
  std::strncpy(t.P.data.BackgroundFile, "Ambix.dll", NAMELEN - 1);
  t.Set2(0, PID_BGPARAM, {{0, 0}, {10000, 6000}});
  ASSERT_EQ(PreparePlayback(TestRecord, t.P, o, false, nullptr), 0);
  EXPECT_EQ(TestRecord.PlayBackground.ParamRow.Step, 2000);
  EXPECT_EQ(ParamDef[PN_BGPARAM].Step, 1000);
  EXPECT_TRUE(TestRecord.PlayBackground.IntervalMode);
  EXPECT_EQ(TestRecord.ExtraSourceShare, 1);
  int records = 0;
  for (SweepRecord* r = FirstSweepRecord(TestRecord); r->Blocks != -1 && r->Blocks != 0; r = FollowingRecord(r))
    records++;
  EXPECT_EQ(records, 31);
  t.P.data.Background = 8;
  EXPECT_EQ(PreparePlayback(TestRecord, t.P, o, false, nullptr), 1446);

  ForgetLoadedBackground();
  TestRecord.BackgroundFrames = 0;
  TestRecord.Options = saved;
}

}  // namespace

// Writing a preset into a WAV file: size, header, silence after the end,
// abort, and every failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "data/playback/playback.h"
#include "data/testrecord.h"
#include "platform/riff.h"
#include "testpreset.h"

namespace {

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

struct CountingUi {
  int Polls = 0;
  int AbortAfter = -1;  // abort at this poll of the writing phase
  bool Writing = false;
  std::vector<int> Captions;
  PlaybackUi Ui() {
    PlaybackUi ui;
    ui.Ctx = this;
    ui.ShowProgress = [](void* c, int caption, int) {
      auto* self = static_cast<CountingUi*>(c);
      self->Captions.push_back(caption);
      self->Writing = caption == 86;
    };
    ui.Progress = [](void* c, int) {
      auto* self = static_cast<CountingUi*>(c);
      if (!self->Writing) return false;
      return ++self->Polls == self->AbortAfter;
    };
    return ui;
  }
};

// The data chunk of a WAV image, checked to be where the header says.
plat::RiffChunk DataChunk(const std::vector<unsigned char>& b) {
  plat::RiffChunk c{};
  EXPECT_GE(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(plat::GetLE32(b.data() + 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 12), "WAVE");
  EXPECT_TRUE(plat::RiffFind(b.data() + 12, b.size() - 12, "data", &c));
  EXPECT_FALSE(c.Truncated);
  return c;
}

TEST(WavOutput, ThirtyMinutesOfHalfSecondBlocksAreExactly3600Blocks) {
  EngineSetUp();
  TestPreset t;
  t.Seg(0).Length = 3000;
  AdvancedOptions o;
  o.LenOfBlocks = 500;
  o.SamplesPerSec = 11025;
  o.Bits16 = 0;
  std::string path = ::testing::TempDir() + "wav_3600.wav";
  CountingUi ui;
  PlaybackUi pui = ui.Ui();
  ASSERT_EQ(StartPlaybackToFile(TestRecord, t.P, o, path.c_str(), 3000, &pui), 0);
  std::vector<unsigned char> b = ReadBytes(path);
  plat::RiffChunk data = DataChunk(b);
  EXPECT_EQ(data.Size, 3600u * 11024);  // 2 x 11025 x 500 / 1000 = 11025, whole frames: 11024
  EXPECT_EQ(ui.Captions, (std::vector<int>{87, 86}));
  plat::RiffChunk fmt;
  ASSERT_TRUE(plat::RiffFind(b.data() + 12, b.size() - 12, "fmt ", &fmt));
  ASSERT_EQ(fmt.Size, 18u);
  EXPECT_EQ(plat::GetLE16(fmt.Data), 1);
  EXPECT_EQ(plat::GetLE16(fmt.Data + 2), 2);
  EXPECT_EQ(plat::GetLE32(fmt.Data + 4), 11025u);
  EXPECT_EQ(plat::GetLE32(fmt.Data + 8), 22050u);
  EXPECT_EQ(plat::GetLE16(fmt.Data + 12), 2);
  EXPECT_EQ(plat::GetLE16(fmt.Data + 14), 8);
  EXPECT_EQ(plat::GetLE16(fmt.Data + 16), 0);
  std::remove(path.c_str());
}

TEST(WavOutput, AfterThePresetEndsTheFileIsSilence) {
  EngineSetUp();
  TestPreset t;
  t.Seg(0).Length = 1;  // 0.6 seconds
  AdvancedOptions o;
  std::string path = ::testing::TempDir() + "wav_tail.wav";
  ASSERT_EQ(StartPlaybackToFile(TestRecord, t.P, o, path.c_str(), 5, nullptr), 0);  // 3 seconds
  std::vector<unsigned char> b = ReadBytes(path);
  plat::RiffChunk data = DataChunk(b);
  ASSERT_EQ(data.Size, 15u * 35280);  // 15 blocks of 200 ms
  const int16_t* s = reinterpret_cast<const int16_t*>(data.Data);
  size_t frames = data.Size / 4;
  int loudStart = 0, loudEnd = 0;
  for (size_t i = 0; i < 4410; ++i) loudStart = std::max(loudStart, std::abs(static_cast<int>(s[2 * i])));
  for (size_t i = frames - 44100; i < frames; ++i) loudEnd = std::max(loudEnd, std::abs(static_cast<int>(s[2 * i])));
  EXPECT_GT(loudStart, 10000);
  EXPECT_EQ(loudEnd, 0);
  std::remove(path.c_str());
}

TEST(WavOutput, AbortLeavesAValidShorterFile) {
  EngineSetUp();
  TestPreset t;
  AdvancedOptions o;
  o.Bits16 = 0;
  std::string path = ::testing::TempDir() + "wav_abort.wav";
  CountingUi ui;
  ui.AbortAfter = 7;
  PlaybackUi pui = ui.Ui();
  EXPECT_EQ(StartPlaybackToFile(TestRecord, t.P, o, path.c_str(), 1000, &pui), PLAY_WAV_ABORTED);
  std::vector<unsigned char> b = ReadBytes(path);
  plat::RiffChunk data = DataChunk(b);
  EXPECT_EQ(data.Size, 7u * 17640);  // the blocks written before the abort
  std::remove(path.c_str());
}

TEST(WavOutput, Failures) {
  EngineSetUp();
  TestPreset t;
  AdvancedOptions o;
  EXPECT_EQ(StartPlaybackToFile(TestRecord, t.P, o, "/nonexistent-dir/out.wav", 10, nullptr), PLAY_WAV_CREATE);
  // /dev/full: the chunk headers already fail with a full disk.
  int rc = StartPlaybackToFile(TestRecord, t.P, o, "/dev/full", 10, nullptr);
  EXPECT_TRUE(rc == PLAY_WAV_WRITE || rc == PLAY_WAV_DISKFULL) << rc;
  // Blocks that do not fit the block memory.
  o.MemoryBlocks = 30;
  o.LenOfBlocks = 1000;
  EXPECT_EQ(PreparePlayback(TestRecord, t.P, o, true, nullptr), PLAY_NO_BLOCK_MEMORY);
}

TEST(WavOutput, MoreThanAWavFileHoldsIsRefusedBeforeAnyByte) {
  EngineSetUp();
  // The most minutes are the last whose RIFF size still fits 32 bits.
  for (int32_t blockBytes : {35280, 88200, 440, 200}) {
    for (int32_t len : {10, 200, 333, 1000}) {
      int32_t most = MaxWavMinutes(blockBytes, len);
      EXPECT_LE(38 + OutputBlockCount(most, len) * blockBytes, int64_t{0xFFFFFFFF}) << blockBytes << " " << len;
      EXPECT_GT(38 + OutputBlockCount(most + 1, len) * blockBytes, int64_t{0xFFFFFFFF}) << blockBytes << " " << len;
    }
  }
  // 44100 Hz, 16 bits: 6 h 45 min fit, an eight-hour sleep programme not.
  AdvancedOptions o;
  EXPECT_EQ(MaxWavMinutes(ComputeBlockBytes(o), o.LenOfBlocks), 40579);

  TestPreset t;
  std::string path = ::testing::TempDir() + "wav_too_long.wav";
  std::remove(path.c_str());
  EXPECT_EQ(StartPlaybackToFile(TestRecord, t.P, o, path.c_str(), 48000, nullptr), PLAY_WAV_TOO_LONG);
  EXPECT_FALSE(std::ifstream(path).good());
  // Minutes far beyond (a block count past 32 bits) are refused as well.
  o.LenOfBlocks = 10;
  EXPECT_EQ(StartPlaybackToFile(TestRecord, t.P, o, path.c_str(), INT32_MAX, nullptr), PLAY_WAV_TOO_LONG);
  EXPECT_FALSE(std::ifstream(path).good());
}

}  // namespace

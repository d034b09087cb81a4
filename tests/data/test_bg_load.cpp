// Background loading: the WAV checks and their messages, the conversion to
// the engine's rate and width, the size limits, the sources (files, library
// resources, the program's own) and the identity cache.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "bg_wave.h"
#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "data/testrecord.h"
#include "platform/resource.h"

namespace fs = std::filesystem;
using namespace bgtest;

namespace {

void UseOutput(int rate, bool bits16) {
  TestRecord.Options.SamplesPerSec = rate;
  TestRecord.Options.Bits16 = bits16 ? 1 : 0;
}

int Read(const Bytes& wav, int32_t* frames = nullptr) {
  int32_t n = 0;
  int rc = ReadWave(TestRecord.Options, wav.data(), wav.size(), &n);
  if (frames) *frames = n;
  return rc;
}

const int16_t* Out16() { return reinterpret_cast<const int16_t*>(BackgroundData.Base); }
const unsigned char* Out8() { return BackgroundData.Base; }

class BackgroundLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    Saved = TestRecord.Options;
    ForgetLoadedBackground();
  }
  void TearDown() override {
    TestRecord.Options = Saved;
    ForgetLoadedBackground();
    TestRecord.BackgroundFrames = 0;
    TestRecord.PlayBackground.IntervalMode = false;
  }
  AdvancedOptions Saved;
};

// Output frame k takes source position k * v / S rounded to the nearest
// frame; k runs while the exact position lies before the last source frame,
// so the last frame is never converted; frames between two new source frames
// are interpolated. Each row: source, output rate and width, and the output
// (left, right interleaved).
struct ConversionCase {
  const char* Name;
  int Channels, Rate, Bits;
  Bytes Source;
  int OutRate;
  bool Out16;
  std::vector<int> Expect;
};

TEST_F(BackgroundLoad, ConversionRoundsThePositionAndStopsBeforeTheLastFrame) {
  const ConversionCase cases[] = {
      // Same rate: N frames become N - 1, and a loop never plays the last.
      {"same rate", 1, 44100, 16, Samples16({500, 1000, 1500}), 44100, true, {500, 500, 1000, 1000}},
      // Half rate: source frame i lands on output 2i - 1 (0.5 rounds up),
      // the frames between are halfway; 8-bit values are scaled by 256.
      {"half rate 8-bit stereo",
       2,
       22050,
       8,
       {128, 128, 138, 100, 200, 0, 129, 255, 0, 3},
       44100,
       true,
       {0, 0, 2560, -7168, 10496, -19968, 18432, -32768, 9344, -128, 256, 32512, -16256, 256, -32768, -32000}},
      // A third of the rate: positions 0, 0.33, 0.67, 1, 1.33, 1.67.
      {"third rate",
       1,
       10000,
       16,
       Samples16({0, 300, -300}),
       30000,
       true,
       {0, 0, 150, 150, 300, 300, 100, 100, -100, -100, -300, -300}},
      // Double rate is decimated to every second frame.
      {"decimated", 1, 44100, 16, Samples16({10, 11, 20, 21, 30, 31, 40}), 22050, true, {10, 10, 20, 20, 30, 30}},
      // 48000 to 44100: output frame 6 sits at 6.53 and takes source frame 7.
      {"nearest frame",
       1,
       48000,
       16,
       Samples16({0, 1, 2, 3, 4, 5, 6, 7}),
       44100,
       true,
       {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 7, 7}},
      // 16-bit to 8-bit: w / 256 + 128, truncating toward zero.
      {"16 to 8 bits",
       2,
       11025,
       16,
       Samples16({32767, -32768, -1, -257, 255, 256, 0, 0}),
       11025,
       false,
       {255, 0, 128, 127, 128, 129}},
      // 8-bit stays as it is; a mono byte feeds both ears.
      {"8 bits mono", 1, 11025, 8, {0, 77, 255, 9}, 11025, false, {0, 0, 77, 77, 255, 255}},
      {"16 bits", 2, 11025, 16, Samples16({-32768, 32767, 0, 0}), 11025, true, {-32768, 32767}},
      // One frame converts to nothing.
      {"one frame", 1, 44100, 16, Samples16({5}), 44100, true, {}},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.Name);
    UseOutput(c.OutRate, c.Out16);
    int32_t n = -1;
    ASSERT_EQ(Read(Wave(c.Channels, static_cast<uint32_t>(c.Rate), c.Bits, c.Source), &n), 0);
    ASSERT_EQ(2 * n, static_cast<int>(c.Expect.size()));
    const int frames = static_cast<int>(c.Source.size()) / (c.Channels * c.Bits / 8);
    EXPECT_LE(n, ConvertedFrames(frames, c.Rate, c.OutRate));
    for (size_t i = 0; i < c.Expect.size(); ++i) EXPECT_EQ(c.Out16 ? Out16()[i] : Out8()[i], c.Expect[i]) << i;
  }
}

TEST_F(BackgroundLoad, FormatsOtherThanPcmMonoStereoEightSixteenAreRefused) {
  UseOutput(44100, true);
  Bytes four(8, 0);
  EXPECT_EQ(Read(Wave(2, 44100, 16, four, 3)), 1292);  // float
  EXPECT_EQ(Read(Wave(2, 44100, 16, four, 0xFFFE)), 1292);
  EXPECT_EQ(Read(Wave(3, 44100, 16, Bytes(12, 0))), 1292);
  EXPECT_EQ(Read(Wave(0, 44100, 16, four)), 1292);
  EXPECT_EQ(Read(Wave(1, 44100, 24, Bytes(6, 0))), 1292);
  EXPECT_EQ(Read(Wave(1, 44100, 32, four)), 1292);
  EXPECT_EQ(Read(Wave(1, 0, 16, four)), 1292);  // no rate to convert from
}

// Every kind of damaged or unusual file, with the message it must give.
TEST_F(BackgroundLoad, DamagedAndUnusualFilesGiveTheirMessages) {
  UseOutput(22050, true);
  const Bytes fmt = Chunk("fmt ", Fmt(1, 1, 22050, 8));
  const Bytes data = Chunk("data", {1, 2, 3, 4, 5});  // odd: padded
  const Bytes junk = Chunk("junk", {9, 9, 9});        // odd size before "fmt "
  const Bytes list = Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0});
  struct Case {
    const char* What;
    Bytes Image;
    int Expect;
  } cases[] = {
      {"empty", {}, 1289},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'}, 1289},
      {"RIFF of another form", Riff({fmt, data}, "AVI "), 1289},
      {"RIFF without form", Chunk("RIFF", {'W', 'A'}), 1289},
      {"no fmt", Riff({data}), 1290},
      {"fmt cut short by the end", Riff({Chunk("fmt ", Bytes(10, 1), 16)}), 1291},
      {"fmt of 14 bytes", Riff({Chunk("fmt ", Bytes(14, 1)), data}), 1291},
      {"no data", Riff({fmt}), 1293},
      {"data only before fmt", Riff({data, fmt}), 1293},
      {"data of 0 bytes", Riff({fmt, Chunk("data", {})}), 1294},
      {"data shorter than one frame", Riff({Chunk("fmt ", Fmt(1, 2, 22050, 16)), Chunk("data", {1, 2, 3})}), 1294},
      {"data cut short", Riff({fmt, Chunk("data", {1, 2, 3}, 100)}), 1296},
      {"data declared over the limit", Riff({fmt, Chunk("data", {1, 2}, 50000001)}), 1295},
      // A stream's writer leaves the largest size: the data runs to the end.
      {"data size of a stream (0x7FFFF000)", Riff({fmt, Chunk("data", {1, 2, 3}, 0x7FFFF000)}), 0},
      {"data size of a stream (0xFFFFFFFF)", Riff({fmt, Chunk("data", {1, 2, 3}, 0xFFFFFFFF)}), 0},
      {"odd chunk before fmt", Riff({junk, fmt, data}), 0},
      {"LIST between fmt and data", Riff({fmt, list, data}), 0},
      {"LIST first, odd data last", Riff({list, junk, fmt, list, data}), 0},
      {"fmt of 18 bytes", Riff({Chunk("fmt ", Fmt(1, 1, 22050, 8, 2)), data}), 0},
      {"fmt of odd size", Riff({Chunk("fmt ", Fmt(1, 1, 22050, 8, 1)), data}), 0},
      {"odd data without pad byte at the end",
       [] {
         Bytes b = Riff({Chunk("fmt ", Fmt(1, 1, 22050, 8)), Chunk("data", {1, 2, 3})});
         b.pop_back();
         return b;
       }(),
       0},
  };
  for (const Case& c : cases) {
    // Copied into a buffer of exactly its size, so a read past the end shows
    // under the sanitizers.
    std::unique_ptr<unsigned char[]> exact(new unsigned char[c.Image.size() + 1]);
    if (!c.Image.empty()) std::memcpy(exact.get(), c.Image.data(), c.Image.size());
    int32_t n = -1;
    EXPECT_EQ(ReadWave(TestRecord.Options, exact.get(), c.Image.size(), &n), c.Expect) << c.What;
    if (c.Expect == 0) {
      EXPECT_GT(n, 0) << c.What;
    }
  }
}

// A sparse file holds a data chunk of any size without using the disk.
std::string SparseWave(const TempDir& dir, const char* name, uint32_t dataBytes, int channels, int rate, int bits) {
  std::string path = dir / name;
  Bytes head = Chunk("RIFF", {}, 4 + 8 + 16 + 8 + static_cast<int64_t>(dataBytes));
  const char wave[] = "WAVE";
  head.insert(head.end(), wave, wave + 4);
  Bytes fmt = Chunk("fmt ", Fmt(1, channels, static_cast<uint32_t>(rate), bits));
  head.insert(head.end(), fmt.begin(), fmt.end());
  Bytes data = Chunk("data", {}, dataBytes);
  head.insert(head.end(), data.begin(), data.end());
  WriteFile(path, head);
  fs::resize_file(path, head.size() + dataBytes);
  return path;
}

TEST_F(BackgroundLoad, FiftyMillionDataBytesAreTheLimit) {
  UseOutput(44100, true);
  TempDir dir;
  Preset p = PresetWith(AMBIX_LONG, SparseWave(dir, "limit.wav", 50000000, 2, 44100, 16));
  ASSERT_EQ(LoadBackground(TestRecord, p), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 12499999);
  EXPECT_EQ(BackgroundTempData.Committed, 0u);  // the raw buffer is given back
  Preset q = PresetWith(AMBIX_LONG, SparseWave(dir, "over.wav", 50000001, 2, 44100, 16));
  EXPECT_EQ(LoadBackground(TestRecord, q), 1295);
  EXPECT_EQ(TestRecord.BackgroundFrames, 12499999);  // the loaded sound stays
}

TEST_F(BackgroundLoad, ConvertedSoundMustFitTheBackgroundBuffer) {
  // 2,000,000 bytes at 1 Hz become far more than 500,000,000 bytes at
  // 44100 Hz, refused for the rate, not as a long file; 20 bytes at 1 Hz
  // stay small.
  UseOutput(44100, true);
  EXPECT_EQ(Read(Wave(1, 1, 8, Bytes(2000000, 128))), BG_RATE_TOO_LOW);
  EXPECT_GT(ConvertedFrames(2000000, 1, 44100) * 4, static_cast<int64_t>(BACKGROUNDDATA_BYTES));
  int32_t n;
  EXPECT_EQ(Read(Wave(1, 1, 8, Bytes(20, 128)), &n), 0);
  // Source frame 19 is first reached at 18.5 s; the frames after it lie on
  // it and are never written.
  EXPECT_EQ(n, 18 * 44100 + 44100 / 2 + 1);
}

TEST_F(BackgroundLoad, SamePresetTwiceDoesNotReload) {
  UseOutput(22050, true);
  TempDir dir;
  WriteFile(dir / "a.wav", Wave(1, 22050, 8, {100, 110, 120}));
  Preset a = PresetWith(AMBIX_OTHER, dir / "a.wav");
  ASSERT_EQ(LoadBackground(TestRecord, a), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 2);
  EXPECT_TRUE(TestRecord.PlayBackground.IntervalMode);
  // Gone from the disk: the second play does not read it again.
  fs::remove(dir / "a.wav");
  TestRecord.BackgroundOsc.Pos[0] = 17;
  EXPECT_EQ(LoadBackground(TestRecord, a), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 2);
  EXPECT_EQ(TestRecord.BackgroundOsc.Pos[0], 0);  // play state starts again
  // A failed load of another file keeps the loaded identity.
  Preset b = PresetWith(AMBIX_OTHER, dir / "missing.wav");
  EXPECT_EQ(LoadBackground(TestRecord, b), 1287);
  EXPECT_EQ(LoadBackground(TestRecord, a), 0);
  // Another output width means converting again, which now fails.
  UseOutput(22050, false);
  EXPECT_EQ(LoadBackground(TestRecord, a), 1287);
  UseOutput(44100, true);
  EXPECT_EQ(LoadBackground(TestRecord, a), 1287);
}

// The loaded sound is shared by every playback record: one that takes the
// sound another has loaded takes its length, never the length of what it
// held before (that would mix past the end of the data).
TEST_F(BackgroundLoad, ARecordTakingTheLoadedSoundTakesItsLength) {
  UseOutput(22050, true);
  TempDir dir;
  WriteFile(dir / "long.wav", Wave(1, 22050, 8, Bytes(100, 128)));
  WriteFile(dir / "short.wav", Wave(1, 22050, 8, {100, 110, 120}));
  Preset longer = PresetWith(AMBIX_OTHER, dir / "long.wav");
  Preset shorter = PresetWith(AMBIX_OTHER, dir / "short.wav");
  PlaybackState window, editor;
  window.Options = editor.Options = TestRecord.Options;
  ASSERT_EQ(LoadBackground(window, longer), 0);
  EXPECT_EQ(window.BackgroundFrames, 99);
  ASSERT_EQ(LoadBackground(editor, shorter), 0);
  EXPECT_EQ(editor.BackgroundFrames, 2);
  ASSERT_EQ(LoadBackground(window, shorter), 0);
  EXPECT_EQ(window.BackgroundFrames, 2);
  ASSERT_EQ(LoadBackground(editor, longer), 0);
  EXPECT_EQ(editor.BackgroundFrames, 99);
}

TEST_F(BackgroundLoad, FileIsFoundInTheProgramFolderByItsNamePart) {
  UseOutput(22050, true);
  std::string name = "sonavel-bg-test-" + std::to_string(getpid()) + ".wav";
  std::string path = ProgramFolder() + "/" + name;
  WriteFile(path, Wave(1, 22050, 8, {1, 2, 3, 4}));
  Preset p = PresetWith(AMBIX_LONG, "C:\\Somewhere\\Else\\" + name);
  EXPECT_EQ(LoadBackground(TestRecord, p), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 3);
  fs::remove(path);
  Preset d = PresetWith(AMBIX_OTHER, ProgramFolder());  // a folder is no file
  EXPECT_EQ(LoadBackground(TestRecord, d), 1287);
}

TEST_F(BackgroundLoad, NoneLoadsNothing) {
  TestRecord.BackgroundFrames = 99;
  TestRecord.PlayBackground.IntervalMode = true;
  Preset p = PresetWith(AMBIX_NONE, "");
  EXPECT_EQ(LoadBackground(TestRecord, p), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 0);
  EXPECT_FALSE(TestRecord.PlayBackground.IntervalMode);
}

// A stand-in for the program's own background, under an id of its own.
const Bytes kOwnWave = Wave(2, 22050, 8, Bytes(400, 140));
const plat::ResourceEntry kOwnEntry{plat::RT_RCDATA, 900, kOwnWave.data(), kOwnWave.size()};
const bool kOwnRegistered = plat::RegisterResource(&kOwnEntry);

TEST_F(BackgroundLoad, ProgramsOwnBackgroundPlaysInIntervalMode) {
  ASSERT_TRUE(kOwnRegistered);
  UseOutput(44100, true);
  Preset p = PresetWith(900, "Tavik.exe");
  ASSERT_EQ(LoadBackground(TestRecord, p), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 398);
  EXPECT_TRUE(TestRecord.PlayBackground.IntervalMode);
  EXPECT_EQ(Out16()[0], 12 * 256);
  Preset own = PresetWith(900, fs::read_symlink("/proc/self/exe").filename().string());
  ForgetLoadedBackground();
  EXPECT_EQ(LoadBackground(TestRecord, own), 0);
  Preset missing = PresetWith(901, "TAVIK.EXE");
  EXPECT_EQ(LoadBackground(TestRecord, missing), 1288);
}

class LibraryBackgroundLoad : public BackgroundLoad {
 protected:
  void SetUp() override {
    BackgroundLoad::SetUp();
    ClearBackgroundLibraries();
    fs::copy_file(BinDir() + "/Ambix.dll", Dir / "Ambix.dll");
    fs::copy_file(BinDir() + "/bgtest/Example.dll", Dir / "Example.dll");
    LoadBackgroundLibraries(Dir.Path.string());
  }
  void TearDown() override {
    ClearBackgroundLibraries();
    LoadBackgroundLibraries(BinDir());
    BackgroundLoad::TearDown();
  }
  TempDir Dir;
};

TEST_F(LibraryBackgroundLoad, ResourcesAreReadAndConverted) {
  UseOutput(44100, true);
  // Example 1: mono 16-bit 11025 Hz, 5512 frames, plain loop.
  Preset hum = PresetWith(1, "example.DLL");
  ASSERT_EQ(LoadBackground(TestRecord, hum), 0);
  // Output 22043 sits at 5510.75 and takes frame 5511, the last one there is.
  EXPECT_EQ(TestRecord.BackgroundFrames, 22043);
  EXPECT_FALSE(TestRecord.PlayBackground.IntervalMode);
  // Example 2: declares its own parameter, so it plays in interval mode.
  Preset bell = PresetWith(2, "Example.dll");
  ASSERT_EQ(LoadBackground(TestRecord, bell), 0);
  EXPECT_EQ(TestRecord.BackgroundFrames, 11018);
  EXPECT_LE(TestRecord.BackgroundFrames, ConvertedFrames(2000, 8000, 44100));
  EXPECT_TRUE(TestRecord.PlayBackground.IntervalMode);
  // The thunder of the shipped library.
  Preset thunder = PresetWith(5, "Ambix.dll");
  ASSERT_EQ(LoadBackground(TestRecord, thunder), 0);
  EXPECT_TRUE(TestRecord.PlayBackground.IntervalMode);
  EXPECT_GT(TestRecord.BackgroundFrames, 3 * 44100);
}

TEST_F(LibraryBackgroundLoad, MissingPiecesGiveTheirMessagesAndKeepTheSound) {
  UseOutput(44100, true);
  Preset hum = PresetWith(1, "Example.dll");
  ASSERT_EQ(LoadBackground(TestRecord, hum), 0);
  int32_t frames = TestRecord.BackgroundFrames;
  EXPECT_EQ(LoadBackground(TestRecord, PresetWith(7, "Ambix.dll")), 1446);  // not in the table
  EXPECT_EQ(LoadBackground(TestRecord, PresetWith(1, "Other.dll")), 1331);  // no such file
  fs::remove(Dir / "Ambix.dll");
  EXPECT_EQ(LoadBackground(TestRecord, PresetWith(1, "Ambix.dll")), 1331);  // removed since start-up
  EXPECT_EQ(TestRecord.BackgroundFrames, frames);
  EXPECT_FALSE(TestRecord.PlayBackground.IntervalMode);
  EXPECT_EQ(LoadBackground(TestRecord, hum), 0);
}

}  // namespace

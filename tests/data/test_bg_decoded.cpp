// Background files read through the codec library: FLAC, MP3, WAV with
// 24-bit or float samples; the same sound in any of them plays the same, and
// damaged files give messages.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "bg_wave.h"
#include "data/backgrounds/bgload.h"
#include "data/playback/playback.h"
#include "data/synthesis/options.h"
#include "data/testrecord.h"
#include "platform/rand.h"
#include "testpreset.h"

namespace {

using namespace bgtest;

constexpr int kRate = 22050;

// One second of a stereo sound: a tone on the left, a slower one with a
// step on the right.
std::vector<int16_t> Sound() {
  std::vector<int16_t> s;
  for (int i = 0; i < kRate; ++i) {
    s.push_back(static_cast<int16_t>(9000 * std::sin(2 * M_PI * 440 * i / kRate)));
    s.push_back(static_cast<int16_t>(7000 * std::sin(2 * M_PI * 150 * i / kRate) + (i > kRate / 2 ? 3000 : 0)));
  }
  return s;
}

// Writes the frames through the codec library in `format`.
void WriteSound(const std::string& path, int format, const std::vector<int16_t>& s, int rate = kRate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << path << ": " << sf_strerror(nullptr);
  if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT) {
    std::vector<float> v;
    for (int16_t x : s) v.push_back(static_cast<float>(x) / 32768.0f);
    sf_write_float(f, v.data(), static_cast<sf_count_t>(v.size()));
  } else {
    sf_write_short(f, s.data(), static_cast<sf_count_t>(s.size()));
  }
  sf_close(f);
}

Bytes ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

// The render of 3 s of a steady preset over the background file.
Bytes RenderOver(const std::string& background, const std::string& out) {
  EngineSetUp();
  ForgetLoadedBackground();
  TestPreset t;
  t.P.data.Background = background.empty() ? AMBIX_NONE : AMBIX_OTHER;
  std::strncpy(t.P.data.BackgroundFile, background.c_str(), NAMELEN - 1);
  t.Set2(0, PID_BGVOLUME, {{0, 10000}, {10000, 10000}});
  plat::SeedRandom(3);
  EXPECT_EQ(StartPlaybackToFile(TestRecord, t.P, AdvancedOptions{}, out.c_str(), 5, nullptr), 0) << background;
  return ReadAll(out);
}

TEST(DecodedBackground, TheSameSoundInAnyFormatRendersTheSame) {
  TempDir dir;
  std::vector<int16_t> s = Sound();
  Bytes pcm;
  for (int16_t x : s) Put16(pcm, static_cast<uint16_t>(x));
  WriteFile(dir / "bg.wav", Wave(2, kRate, 16, pcm));
  WriteSound(dir / "bg.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, s);
  WriteSound(dir / "bg24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, s);
  WriteSound(dir / "bgfloat.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, s);
  Bytes want = RenderOver(dir / "bg.wav", dir / "out.wav");
  ASSERT_GT(want.size(), 44u);
  for (const char* name : {"bg.flac", "bg24.wav", "bgfloat.wav"})
    EXPECT_TRUE(RenderOver(dir / name, dir / "out.wav") == want) << name;
  // The background is really heard: without it the render differs.
  EXPECT_FALSE(RenderOver("", dir / "out.wav") == want);
}

TEST(DecodedBackground, Mp3KeepsItsLengthToABlock) {
  TempDir dir;
  std::vector<int16_t> s;
  for (int i = 0; i < 2; ++i) {
    std::vector<int16_t> one = Sound();
    s.insert(s.end(), one.begin(), one.end());
  }
  WriteSound(dir / "bg.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, s);
  EngineSetUp();  // 44100 Hz: 2 s are 88200 frames, the last not converted
  ForgetLoadedBackground();
  Preset p = PresetWith(AMBIX_LONG, dir / "bg.mp3");
  ASSERT_EQ(LoadBackground(TestRecord, p), 0) << BackgroundReadReason();
  EXPECT_NEAR(TestRecord.BackgroundFrames, 88199, 44100 / 5);
}

// Truncated and bit-flipped FLAC and MP3 files, and files that are no sound
// at all: a message from the background list, with a reason when the codec
// library gave up, and never a crash.
TEST(DecodedBackground, DamagedFilesGiveMessages) {
  TempDir dir;
  WriteSound(dir / "ok.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, Sound());
  WriteSound(dir / "ok.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, Sound());
  const std::set<int> allowed = {0, BG_UNREADABLE, 1289, 1290, 1291, 1292, 1293, 1294, 1295, 1296};
  EngineSetUp();
  int unreadable = 0;
  auto check = [&](const Bytes& image, const std::string& what) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[image.size() + 1]);
    if (!image.empty()) std::memcpy(exact.get(), image.data(), image.size());
    int32_t frames = -1;
    int rc = ReadSoundFile(TestRecord.Options, exact.get(), image.size(), &frames);
    EXPECT_TRUE(allowed.count(rc)) << what << ": " << rc;
    if (rc == BG_UNREADABLE) {
      EXPECT_STRNE(BackgroundReadReason(), "") << what;
      unreadable++;
    }
    if (rc == 0) {
      EXPECT_GE(frames, 0) << what;
    }
  };
  for (const char* name : {"ok.flac", "ok.mp3"}) {
    Bytes b = ReadAll(dir / name);
    ASSERT_GT(b.size(), 1000u);
    for (size_t cut : {size_t{0}, size_t{3}, size_t{40}, size_t{200}, b.size() / 2, b.size() - 1})
      check(Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(cut)),
            name + std::string(" cut at ") + std::to_string(cut));
    uint32_t x = 12345;
    for (int flip = 0; flip < 60; ++flip) {
      Bytes d = b;
      // Flips in the header and the first frames, where they matter most.
      for (int k = 0; k < 4; ++k) {
        x = x * 1103515245u + 12345u;
        size_t at = (x >> 8) % std::min<size_t>(d.size(), flip < 30 ? 256 : d.size());
        d[at] = static_cast<unsigned char>(d[at] ^ (1u << ((x >> 4) % 8)));
      }
      check(d, name + std::string(" flip ") + std::to_string(flip));
    }
  }
  const char text[] = "hello, this is no sound";
  check(Bytes(text, text + sizeof text), "text");
  EXPECT_GT(unreadable, 0);
  // A WAV file of a format neither reader takes keeps the WAV message.
  int32_t frames;
  Bytes odd = Wave(2, 44100, 16, Bytes(8, 0), 0x55);
  EXPECT_EQ(ReadSoundFile(TestRecord.Options, odd.data(), odd.size(), &frames), 1292);
  EXPECT_EQ(ReadSoundFile(TestRecord.Options, reinterpret_cast<const unsigned char*>(text), sizeof text, &frames),
            BG_UNREADABLE);
  EXPECT_STREQ(BackgroundReadReason(), "Format not recognised.");
}

// A sound whose conversion would not fit BackgroundData is refused: a very
// low rate converted to 44100 Hz, for its rate.
TEST(DecodedBackground, ConvertedSizeIsBounded) {
  TempDir dir;
  std::vector<int16_t> s(2 * 4000, 1000);  // 4000 frames at 1 Hz: over 700 MB at 44100 Hz
  WriteSound(dir / "slow.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, s, 1);
  EngineSetUp();
  Bytes b = ReadAll(dir / "slow.flac");
  int32_t frames;
  EXPECT_EQ(ReadSoundFile(TestRecord.Options, b.data(), b.size(), &frames), BG_RATE_TOO_LOW);
  WriteSound(dir / "slow.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, std::vector<int16_t>(2 * 100, 1000), 1);
  b = ReadAll(dir / "slow.flac");
  EXPECT_EQ(ReadSoundFile(TestRecord.Options, b.data(), b.size(), &frames), 0);  // 17 MB fit
  EXPECT_LE(frames, ConvertedFrames(100, 1, 44100));
  EXPECT_GT(frames, 98 * 44100);
}

// The codec library's path converts a piece at a time as it decodes (or
// holds a lower-rate source until its end): the pieces must join exactly as
// the WAV reader's conversion of the whole sound, across many pieces, for
// sources above, at and below the engine's rate, in both widths.
TEST(DecodedBackground, PiecesJoinAsTheWholeConverts) {
  TempDir dir;
  struct Case {
    int SourceRate, EngineRate;
    bool Bits16;
  } cases[] = {
      {96000, 44100, true}, {44100, 44100, true}, {22050, 44100, true}, {96000, 11025, false}, {8000, 48000, false},
  };
  for (const Case& c : cases) {
    std::vector<int16_t> s;
    const int frames = 4096 * 3 + 77;  // three whole pieces and a part
    for (int i = 0; i < frames; ++i) {
      s.push_back(static_cast<int16_t>(12000 * std::sin(0.05 * i)));
      s.push_back(static_cast<int16_t>(i * 7 % 30000 - 15000));
    }
    Bytes pcm;
    for (int16_t x : s) Put16(pcm, static_cast<uint16_t>(x));
    WriteSound(dir / "bg.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, s, c.SourceRate);
    Bytes flac = ReadAll(dir / "bg.flac"), wav = Wave(2, static_cast<uint32_t>(c.SourceRate), 16, pcm);
    AdvancedOptions o;
    o.SamplesPerSec = c.EngineRate;
    o.Bits16 = c.Bits16;
    TakeEngineOptions(TestRecord, o);
    int32_t whole = -1, pieces = -1;
    ASSERT_EQ(ReadWave(TestRecord.Options, wav.data(), wav.size(), &whole), 0);
    const size_t bytes = static_cast<size_t>(whole) * (c.Bits16 ? 4 : 2);
    Bytes want(BackgroundData.Base, BackgroundData.Base + bytes);
    ASSERT_EQ(ReadSoundFile(TestRecord.Options, flac.data(), flac.size(), &pieces), 0) << BackgroundReadReason();
    EXPECT_EQ(pieces, whole) << c.SourceRate << " -> " << c.EngineRate;
    EXPECT_TRUE(Bytes(BackgroundData.Base, BackgroundData.Base + bytes) == want)
        << c.SourceRate << " -> " << c.EngineRate;
  }
}

}  // namespace

// Writing a preset into FLAC, Ogg Vorbis, Opus and MP3 files: what decodes
// from them, abort, failures, and the WAV-only length limit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "data/playback/playback.h"
#include "data/testrecord.h"
#include "platform/rand.h"
#include "platform/riff.h"
#include "platform/soundfile.h"
#include "testpreset.h"

namespace {

struct Decoded {
  bool Ok = false;
  plat::DecodedSound Info;
  std::vector<int16_t> Samples;  // interleaved
};

Decoded Decode(const std::string& path) {
  Decoded d;
  std::string reason;
  plat::SoundReader* r = plat::DecoderOpen(path.c_str(), &d.Info, &reason);
  EXPECT_NE(r, nullptr) << path << ": " << reason;
  if (!r) return d;
  std::vector<int16_t> buf(4096 * static_cast<size_t>(d.Info.Channels));
  int64_t n;
  while ((n = plat::DecoderRead(r, buf.data(), 4096, &reason)) > 0)
    d.Samples.insert(d.Samples.end(), buf.begin(), buf.begin() + n * d.Info.Channels);
  plat::DecoderClose(r);
  d.Ok = n == 0;
  EXPECT_TRUE(d.Ok) << path << ": " << reason;
  return d;
}

// The engine's samples of a WAV file the engine wrote, widened to 16 bits.
std::vector<int16_t> WaveSamples(const std::string& path, bool bits16) {
  std::ifstream f(path, std::ios::binary);
  std::vector<unsigned char> b{std::istreambuf_iterator<char>(f), {}};
  plat::RiffChunk data{};
  EXPECT_TRUE(b.size() > 12 && plat::RiffFind(b.data() + 12, b.size() - 12, "data", &data));
  std::vector<int16_t> s;
  if (bits16)
    for (size_t i = 0; i + 1 < data.Size; i += 2) s.push_back(static_cast<int16_t>(plat::GetLE16(data.Data + i)));
  else
    for (size_t i = 0; i < data.Size; ++i) s.push_back(static_cast<int16_t>((data.Data[i] - 128) * 256));
  return s;
}

// Power of frequency `hz` in channel `ch` (Goertzel), over the frames
// [from, from + count).
double Power(const Decoded& d, int ch, double hz, size_t from, size_t count) {
  const double w = 2 * M_PI * hz / d.Info.Rate, c = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (size_t i = from; i < from + count; ++i) {
    double s0 = d.Samples[i * static_cast<size_t>(d.Info.Channels) + static_cast<size_t>(ch)] + c * s1 - s2;
    s2 = s1, s1 = s0;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

// The strongest frequency of a channel between lo and hi, in 0.25 Hz steps.
double Peak(const Decoded& d, int ch, double lo, double hi) {
  size_t frames = d.Samples.size() / static_cast<size_t>(d.Info.Channels);
  size_t count = static_cast<size_t>(d.Info.Rate) * 4;  // 4 s: a quarter hertz apart
  size_t from = frames > count ? (frames - count) / 2 : 0;
  double best = lo, bestPower = -1;
  for (double f = lo; f <= hi; f += 0.25) {
    double p = Power(d, ch, f, from, std::min(count, frames - from));
    if (p > bestPower) bestPower = p, best = f;
  }
  return best;
}

// One voice at 200 Hz with a 10 Hz beat (195 Hz left, 205 Hz right), nothing
// else.
struct BeatPreset : TestPreset {
  BeatPreset() {
    Set(0, VoicePidOf(0, VP_BEAT), {{0, 10000}, {10000, 10000}});
    Set2(0, VoicePidOf(0, VP_PITCH), {{0, 20000}, {10000, 20000}});
    Set2(0, PID_NOISEVOL, {{0, 0}, {10000, 0}});
    Set2(0, PID_BGVOLUME, {{0, 0}, {10000, 0}});
  }
};

std::string Temp(const std::string& name) { return ::testing::TempDir() + name; }

TEST(FileOutput, FlacDecodesToTheWaveSamples) {
  for (int bits16 : {1, 0}) {
    EngineSetUp();
    TestPreset t;  // the default content, its noise included
    AdvancedOptions o;
    o.Bits16 = bits16;
    std::string wav = Temp("fo_same.wav"), flac = Temp("fo_same.flac");
    plat::SeedRandom(7);
    ASSERT_EQ(StartPlaybackToFile(TestRecord, t.P, o, wav.c_str(), 5, nullptr), 0);
    plat::SeedRandom(7);
    ASSERT_EQ(StartPlaybackToFile(TestRecord, t.P, o, flac.c_str(), 5, nullptr, {plat::SOUND_FLAC, 8}), 0);
    std::vector<int16_t> want = WaveSamples(wav, bits16 != 0);
    Decoded got = Decode(flac);
    EXPECT_EQ(got.Info.Rate, 44100);
    EXPECT_EQ(got.Info.Channels, 2);
    ASSERT_EQ(got.Samples.size(), want.size()) << bits16;
    EXPECT_TRUE(got.Samples == want) << bits16;
    std::remove(wav.c_str());
    std::remove(flac.c_str());
  }
}

TEST(FileOutput, LossyFormatsKeepLengthAndBeat) {
  struct Case {
    plat::SoundFormat Format;
    const char* Name;
    int Rate;  // the encoder's rate for the engine's 44100
  } cases[] = {{plat::SOUND_VORBIS, "fo_beat.ogg", 44100},
               {plat::SOUND_OPUS, "fo_beat.opus", 48000},
               {plat::SOUND_MP3, "fo_beat.mp3", 44100}};
  for (const Case& c : cases) {
    EngineSetUp();
    BeatPreset t;
    AdvancedOptions o;
    std::string path = Temp(c.Name);
    ASSERT_EQ(
        StartPlaybackToFile(TestRecord, t.P, o, path.c_str(), 10, nullptr, {c.Format, plat::SOUND_QUALITY_DEFAULT}), 0);
    Decoded d = Decode(path);
    ASSERT_TRUE(d.Ok) << c.Name;
    EXPECT_EQ(d.Info.Rate, c.Rate) << c.Name;
    EXPECT_EQ(d.Info.Channels, 2) << c.Name;
    // 0.1 minute, 30 blocks of 200 ms.
    EXPECT_EQ(d.Samples.size() / 2, static_cast<size_t>(c.Rate) * 6) << c.Name;
    double left = Peak(d, 0, 185, 215), right = Peak(d, 1, 185, 215);
    EXPECT_NEAR(left, 195, 0.25) << c.Name;
    EXPECT_NEAR(right, 205, 0.25) << c.Name;
    EXPECT_NEAR(right - left, 10, 0.25) << c.Name;
    std::remove(path.c_str());
  }
}

struct AbortingUi {
  int Polls = 0, AbortAfter = 7;
  bool Writing = false;
  PlaybackUi Ui() {
    PlaybackUi ui;
    ui.Ctx = this;
    ui.ShowProgress = [](void* c, int caption, int) { static_cast<AbortingUi*>(c)->Writing = caption == 86; };
    ui.Progress = [](void* c, int) {
      auto* self = static_cast<AbortingUi*>(c);
      return self->Writing && ++self->Polls == self->AbortAfter;
    };
    return ui;
  }
};

// An abort leaves a file that decodes to the blocks written; the length
// limit of WAV files does not apply (eight hours start writing).
TEST(FileOutput, AbortLeavesAShorterFileAndOnlyWavHasALimit) {
  for (plat::SoundFormat f : {plat::SOUND_FLAC, plat::SOUND_VORBIS, plat::SOUND_OPUS, plat::SOUND_MP3}) {
    EngineSetUp();
    BeatPreset t;
    AdvancedOptions o;
    std::string path = Temp(std::string("fo_abort") + plat::SoundFormatExtension(f));
    AbortingUi ui;
    PlaybackUi pui = ui.Ui();
    EXPECT_EQ(StartPlaybackToFile(TestRecord, t.P, o, path.c_str(), 48000, &pui, {f, plat::SOUND_QUALITY_DEFAULT}),
              PLAY_WAV_ABORTED)
        << plat::SoundFormatTitle(f);
    Decoded d = Decode(path);
    int rate = plat::EncoderRate(f, 44100);
    // 7 blocks of 200 ms.
    EXPECT_EQ(d.Samples.size() / 2, static_cast<size_t>(rate) * 7 / 5) << plat::SoundFormatTitle(f);
    std::remove(path.c_str());
  }
}

TEST(FileOutput, FailuresNameTheirCause) {
  for (plat::SoundFormat f : {plat::SOUND_FLAC, plat::SOUND_VORBIS, plat::SOUND_OPUS, plat::SOUND_MP3}) {
    EngineSetUp();
    TestPreset t;
    AdvancedOptions o;
    FileOutput out{f, plat::SOUND_QUALITY_DEFAULT};
    EXPECT_EQ(StartPlaybackToFile(TestRecord, t.P, o, "/nonexistent-dir/out.x", 10, nullptr, out), PLAY_WAV_CREATE);
    // Every page of the encoder meets a full disk.
    EXPECT_EQ(StartPlaybackToFile(TestRecord, t.P, o, "/dev/full", 10, nullptr, out), PLAY_WAV_DISKFULL)
        << plat::SoundFormatTitle(f);
  }
}

TEST(FileOutput, FormatsByNameAndRates) {
  struct Case {
    const char* Name;
    plat::SoundFormat Format;
  } names[] = {{"a.wav", plat::SOUND_WAV},     {"a.FLAC", plat::SOUND_FLAC},   {"dir.x/a.ogg", plat::SOUND_VORBIS},
               {"a.oga", plat::SOUND_VORBIS},  {"a.opus", plat::SOUND_OPUS},   {"a.Mp3", plat::SOUND_MP3},
               {"a", plat::SOUND_WAV},         {"dir.mp3/a", plat::SOUND_WAV}, {".mp3", plat::SOUND_WAV},
               {"a.aac", plat::SOUND_UNKNOWN}, {"a.", plat::SOUND_WAV}};
  for (const Case& c : names) EXPECT_EQ(plat::SoundFormatOfName(c.Name), c.Format) << c.Name;
  EXPECT_EQ(plat::EncoderRate(plat::SOUND_OPUS, 44100), 48000);
  EXPECT_EQ(plat::EncoderRate(plat::SOUND_OPUS, 11025), 12000);
  EXPECT_EQ(plat::EncoderRate(plat::SOUND_OPUS, 96000), 48000);
  EXPECT_EQ(plat::EncoderRate(plat::SOUND_MP3, 10000), 11025);
  EXPECT_EQ(plat::EncoderRate(plat::SOUND_MP3, 44100), 44100);
  EXPECT_EQ(plat::EncoderRate(plat::SOUND_VORBIS, 10000), 10000);
  EXPECT_EQ(plat::EncoderRate(plat::SOUND_FLAC, 10000), 10000);
}

}  // namespace

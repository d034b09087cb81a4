// The real ALSA path without a sound card: a file plugin defined in a
// private configuration receives exactly what the device is given, which
// must be what the WAV path writes for the same preset and options.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "main/preset.h"
#include "platform/riff.h"
#include "play_fixture.h"

namespace {

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

std::vector<unsigned char> WavData(const std::string& path) {
  std::vector<unsigned char> b = ReadAll(path);
  plat::RiffChunk c{};
  EXPECT_GE(b.size(), 12u);
  if (b.size() < 12 || !plat::RiffFind(b.data() + 12, b.size() - 12, "data", &c)) return {};
  return {c.Data, c.Data + c.Size};
}

plat::WaveTarget FileTarget(const std::string& tag, const std::string& raw) {
  std::string conf = ::testing::TempDir() + "play_alsa_" + tag + ".conf";
  std::ofstream f(conf);
  f << "pcm.sonavel_capture {\n type file\n slave.pcm { type null }\n file \"" << raw << "\"\n format raw\n}\n";
  plat::WaveTarget t;
  t.Pcm = "sonavel_capture";
  t.AlsaConfig = conf;
  return t;
}

// Plays the preset to its end on the device and returns what reached it.
std::vector<unsigned char> PlayToEnd(RecordingWindow& w, const Preset& p, const AdvancedOptions& o,
                                     const std::string& tag) {
  std::string raw = ::testing::TempDir() + "play_alsa_" + tag + ".raw";
  std::remove(raw.c_str());
  plat::WaveDevice* dev = nullptr;
  int code = 0;
  EXPECT_EQ(OpenWaveDevice(FileTarget(tag, raw), o.SamplesPerSec, o.Bits16 != 0, &dev, &code), 0);
  if (!dev) return {};
  plat::SeedRandom(7);
  EXPECT_EQ(StartPlayback(dev, p, o, nullptr, 0, 0, nullptr), 0);
  EXPECT_TRUE(w.WaitFor(WM_PLAYEND, 10000));
  RequestStop();
  EXPECT_TRUE(w.WaitFor(WM_PLAYSTOPPED, 5000));
  EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
  std::vector<unsigned char> bytes = ReadAll(raw);
  std::remove(raw.c_str());
  return bytes;
}

std::vector<unsigned char> RenderWav(const Preset& p, const AdvancedOptions& o, int32_t minutes,
                                     const std::string& tag) {
  std::string path = ::testing::TempDir() + "play_alsa_" + tag + ".wav";
  plat::SeedRandom(7);
  EXPECT_EQ(StartPlaybackToFile(p, o, path.c_str(), minutes, nullptr), 0);
  std::vector<unsigned char> d = WavData(path);
  std::remove(path.c_str());
  return d;
}

using PlayAlsa = PlayTest;

TEST_F(PlayAlsa, DeviceBytesEqualTheWavDataForASweepingPreset) {
  TestPreset t(2, 2);
  t.Seg(0).Length = 3;  // 1.8 s
  t.Seg(1).Length = 2;  // 1.2 s
  int beat = PARAMID(0, PN_BEAT);
  t.Set(0, beat, {{0, 15000}, {10000, 4000}});
  t.Set(1, beat, {{0, 4000}, {10000, 9000}});
  t.Set2(0, PID_NOISEVOL, {{0, 0}, {10000, 2000}});  // noise too: same seed, same bytes
  AdvancedOptions o;
  o.LenOfBlocks = 100;
  std::vector<unsigned char> dev = PlayToEnd(Window, t.P, o, "sweep16");
  std::vector<unsigned char> wav = RenderWav(t.P, o, 6, "sweep16");
  ASSERT_EQ(wav.size(), 36u * 17640);  // 3.6 s of 100 ms blocks, silence after the end
  // Each ramp ends on a record of 1 block at its end time (18 + 1 + 12 + 1
  // blocks), and the first record of the list is heard one block less.
  ASSERT_EQ(dev.size(), 31u * 17640);
  EXPECT_TRUE(std::equal(dev.begin(), dev.end(), wav.begin()));
  EXPECT_TRUE(
      std::all_of(wav.begin() + static_cast<ptrdiff_t>(dev.size()), wav.end(), [](unsigned char b) { return b == 0; }));
}

TEST_F(PlayAlsa, EightBitInvertedWithAudioStrobe) {
  TestPreset t;
  t.Seg(0).Length = 2;
  t.Set(0, PARAMID(0, PN_BEAT), {{0, 12000}, {10000, 6000}});
  AdvancedOptions o;
  o.Bits16 = 0;
  o.SamplesPerSec = 22050;
  o.InvertSound = 1;
  o.LenOfBlocks = 250;
  o.MemoryBlocks = 3;
  AudioStrobeOn = 1;
  std::vector<unsigned char> dev = PlayToEnd(Window, t.P, o, "strobe8");
  std::vector<unsigned char> wav = RenderWav(t.P, o, 2, "strobe8");
  ASSERT_FALSE(wav.empty());
  ASSERT_EQ(dev.size(), wav.size());
  EXPECT_TRUE(dev == wav);
}

}  // namespace

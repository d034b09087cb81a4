// The real ALSA path without a sound card: a file plugin defined in a
// private configuration receives exactly what the device is given, which
// must be what the WAV path writes for the same preset and options.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "data/playback/fade.h"
#include "data/testrecord.h"
#include "fadecheck.h"
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
                                     const std::string& tag, const PlaybackFades& fades = {}) {
  std::string raw = ::testing::TempDir() + "play_alsa_" + tag + ".raw";
  std::remove(raw.c_str());
  plat::WaveDevice* dev = nullptr;
  int code = 0;
  EXPECT_EQ(OpenWaveDevice(FileTarget(tag, raw), o.SamplesPerSec, o.Bits16 != 0, &dev, &code), 0);
  if (!dev) return {};
  plat::SeedRandom(7);
  EXPECT_EQ(StartPlayback(TestRecord, dev, p, o, fades, nullptr, 0, 0, nullptr), 0);
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
  EXPECT_EQ(StartPlaybackToFile(TestRecord, p, o, path.c_str(), minutes, nullptr), 0);
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
  TestRecord.AudioStrobeOn = 1;
  std::vector<unsigned char> dev = PlayToEnd(Window, t.P, o, "strobe8");
  std::vector<unsigned char> wav = RenderWav(t.P, o, 2, "strobe8");
  ASSERT_FALSE(wav.empty());
  ASSERT_EQ(dev.size(), wav.size());
  EXPECT_TRUE(dev == wav);
}

// A steady tone: the level of every sample before a fade is the same.
void SteadyTone(TestPreset& t, int length) {
  t.Seg(0).Length = length;
  t.Set(0, PARAMID(0, PN_BEAT), {{0, 4000}, {10000, 4000}});
}

TEST_F(PlayAlsa, AStopFadesToSilenceWithoutAStepAndKeepsWhatCameBefore) {
  TestPreset t;
  SteadyTone(t, 1000);
  AdvancedOptions o;
  o.LenOfBlocks = 100;
  PlaybackFades f;
  f.StopFadeMs = SOFT_STOP_MS;
  // The file plugin writes into a pipe read at the pace of a sound card,
  // so the device holds its queue as it would on one.
  std::string fifo = ::testing::TempDir() + "play_alsa_stop.fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<unsigned char> bytes;
  std::thread card([&] {
    int fd = ::open(fifo.c_str(), O_RDONLY);
    unsigned char buf[1764];  // 10 ms
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0;) {
      bytes.insert(bytes.end(), buf, buf + n);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (fd >= 0) ::close(fd);
  });
  plat::WaveDevice* dev = nullptr;
  int code = 0;
  ASSERT_EQ(OpenWaveDevice(FileTarget("stop", fifo), o.SamplesPerSec, true, &dev, &code), 0);
  ASSERT_EQ(StartPlayback(TestRecord, dev, t.P, o, f, nullptr, 0, 0, nullptr), 0);
  // Stopped somewhere inside a block, once a few have been heard.
  ASSERT_TRUE(Window.WaitFor(WM_PLAYSTATUS, 5000, 3));
  std::this_thread::sleep_for(std::chrono::milliseconds(37));
  RequestStop();
  ASSERT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000));
  EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
  card.join();
  std::remove(fifo.c_str());
  std::vector<int32_t> got = Samples(bytes, true);
  ASSERT_GT(got.size(), 2u * 4410);
  int32_t minutes = static_cast<int32_t>(got.size() / 2 * 100 / (44100 * 60)) + 2;
  std::vector<int32_t> ref = Samples(RenderWav(t.P, o, minutes, "stopref"), true);
  // The fade starts where the device stood; its first gains round to the
  // samples as they were.
  size_t first = 0;
  while (2 * first < got.size() && got[2 * first] == ref[2 * first] && got[2 * first + 1] == ref[2 * first + 1])
    ++first;
  const size_t len = SOFT_STOP_MS * 44100 / 1000;
  ASSERT_LT(first, got.size() / 2) << "the stop did not change the sound";
  size_t lastSound = got.size() / 2;
  while (lastSound > 0 && got[2 * lastSound - 2] == 0 && got[2 * lastSound - 1] == 0) --lastSound;
  // The fade took its whole length: the sound lasts until near its end.
  EXPECT_GE(lastSound, first + len - 200);
  EXPECT_LE(lastSound, first + len);
  ExpectFadeOut(got, ref, lastSound > len ? std::min(first, lastSound - len) : first, len, "stop through ALSA");
}

TEST_F(PlayAlsa, TheSleepTimersFadeEndsThePlaybackInSilence) {
  TestPreset t;
  SteadyTone(t, 5);  // 3 s
  AdvancedOptions o;
  o.LenOfBlocks = 100;
  PlaybackFades f;
  f.Sleep = SLEEP_AFTER;
  f.SleepAfterMs = 1500;
  f.SleepFadeMs = 1000;
  std::vector<int32_t> got = Samples(PlayToEnd(Window, t.P, o, "sleep", f), true);
  std::vector<int32_t> ref = Samples(RenderWav(t.P, o, 5, "sleepref"), true);
  ASSERT_EQ(got.size(), 2u * 66150);  // 1.5 s
  ExpectFadeOut(got, ref, 22050, 44100, "sleep timer through ALSA");
}

}  // namespace

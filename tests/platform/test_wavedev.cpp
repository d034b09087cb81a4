// The wave output device: ALSA through a file plugin defined in a private
// configuration (no sound card needed), and the clocked fake device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/wavedev.h"

namespace {

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

// An ALSA configuration defining pcm.capture_file: everything played goes
// into `raw` and on to a null sink.
std::string WriteAlsaConfig(const std::string& name, const std::string& raw) {
  std::string path = ::testing::TempDir() + name + ".conf";
  std::ofstream f(path);
  f << "pcm.capture_file {\n  type file\n  slave { pcm { type null } }\n  file \"" << raw << "\"\n  format raw\n}\n";
  return path;
}

std::vector<plat::Msg> Drain(plat::MsgQueue& q) {
  std::vector<plat::Msg> out;
  plat::Msg m;
  bool timedOut;
  while (plat::GetMsgTimeout(q, &m, 0, &timedOut)) out.push_back(m);
  return out;
}

// Waits for `n` done messages (at most 5 s).
std::vector<plat::WaveHeader*> WaitDone(plat::MsgQueue& q, size_t n) {
  std::vector<plat::WaveHeader*> done;
  plat::Msg m;
  bool timedOut = false;
  while (done.size() < n && plat::GetMsgTimeout(q, &m, 5000, &timedOut))
    if (m.Id == plat::MM_WOM_DONE) done.push_back(reinterpret_cast<plat::WaveHeader*>(m.LParam));
  return done;
}

TEST(WaveAlsa, BlocksReachTheDeviceInOrderAndComeBackDone) {
  std::string raw = ::testing::TempDir() + "wavedev_out.raw";
  std::remove(raw.c_str());
  plat::WaveTarget t;
  t.Pcm = "capture_file";
  t.AlsaConfig = WriteAlsaConfig("wavedev_order", raw);
  plat::WaveFormat f{2, 22050, 16};
  ASSERT_EQ(plat::WaveQuery(t, f), plat::WAVE_OK);
  plat::MsgQueue q;
  plat::WaveDevice* dev = nullptr;
  ASSERT_EQ(plat::WaveOpen(&dev, t, f, &q), plat::WAVE_OK);
  std::vector<plat::Msg> opened = Drain(q);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].Id, plat::MM_WOM_OPEN);

  constexpr size_t N = 5;
  constexpr uint32_t LEN = 4410 * 4;  // 200 ms
  std::vector<std::vector<unsigned char>> data(N, std::vector<unsigned char>(LEN));
  plat::WaveHeader h[N];
  std::vector<unsigned char> expected;
  for (size_t b = 0; b < N; b++) {
    for (uint32_t i = 0; i < LEN; i++) data[b][i] = static_cast<unsigned char>(b * 31 + i * 7);
    expected.insert(expected.end(), data[b].begin(), data[b].end());
    h[b].Data = data[b].data();
    h[b].Length = LEN;
    EXPECT_EQ(plat::WaveWrite(dev, &h[b]), plat::WAVE_UNPREPARED);
    ASSERT_EQ(plat::WavePrepare(dev, &h[b]), plat::WAVE_OK);
  }
  ASSERT_EQ(plat::WavePause(dev), plat::WAVE_OK);
  for (auto& hb : h) ASSERT_EQ(plat::WaveWrite(dev, &hb), plat::WAVE_OK);
  EXPECT_EQ(plat::WaveWrite(dev, &h[0]), plat::WAVE_STILLPLAYING);
  EXPECT_EQ(plat::WaveUnprepare(dev, &h[0]), plat::WAVE_STILLPLAYING);
  // Paused: nothing comes back.
  plat::Msg m;
  bool timedOut = false;
  EXPECT_FALSE(plat::GetMsgTimeout(q, &m, 100, &timedOut));
  EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_STILLPLAYING);
  ASSERT_EQ(plat::WaveRestart(dev), plat::WAVE_OK);
  std::vector<plat::WaveHeader*> done = WaitDone(q, N);
  ASSERT_EQ(done.size(), N);
  for (size_t b = 0; b < N; b++) {
    EXPECT_EQ(done[b], &h[b]);
    EXPECT_TRUE(h[b].Flags & plat::WHDR_DONE);
    EXPECT_FALSE(h[b].Flags & plat::WHDR_INQUEUE);
    EXPECT_EQ(plat::WaveUnprepare(dev, &h[b]), plat::WAVE_OK);
  }
  ASSERT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
  std::vector<plat::Msg> closed = Drain(q);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].Id, plat::MM_WOM_CLOSE);
  EXPECT_EQ(ReadAll(raw), expected);
  std::remove(raw.c_str());
}

TEST(WaveAlsa, ResetReturnsEveryQueuedBlockAtOnceInOrder) {
  std::string raw = ::testing::TempDir() + "wavedev_reset.raw";
  plat::WaveTarget t;
  t.Pcm = "capture_file";
  t.AlsaConfig = WriteAlsaConfig("wavedev_reset", raw);
  plat::WaveFormat f{2, 44100, 8};
  plat::MsgQueue q;
  plat::WaveDevice* dev = nullptr;
  ASSERT_EQ(plat::WaveOpen(&dev, t, f, &q), plat::WAVE_OK);
  Drain(q);
  std::vector<unsigned char> data(8820 * 2, 128);
  plat::WaveHeader h[4];
  plat::WavePause(dev);
  for (auto& hb : h) {
    hb.Data = data.data();
    hb.Length = static_cast<uint32_t>(data.size());
    plat::WavePrepare(dev, &hb);
    ASSERT_EQ(plat::WaveWrite(dev, &hb), plat::WAVE_OK);
  }
  ASSERT_EQ(plat::WaveReset(dev), plat::WAVE_OK);
  // Posted before the reset returned.
  std::vector<plat::Msg> back = Drain(q);
  ASSERT_EQ(back.size(), 4u);
  for (size_t b = 0; b < 4; b++) {
    EXPECT_EQ(back[b].Id, plat::MM_WOM_DONE);
    EXPECT_EQ(reinterpret_cast<plat::WaveHeader*>(back[b].LParam), &h[b]);
    EXPECT_TRUE(h[b].Flags & plat::WHDR_DONE);
  }
  EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
  std::remove(raw.c_str());
}

TEST(WaveAlsa, UnknownDeviceAndBadConfig) {
  plat::WaveTarget t;
  t.Pcm = "sonavel_no_such_pcm";
  plat::WaveFormat f;
  EXPECT_EQ(plat::WaveQuery(t, f), plat::WAVE_BADDEVICE);
  plat::MsgQueue q;
  plat::WaveDevice* dev = nullptr;
  EXPECT_EQ(plat::WaveOpen(&dev, t, f, &q), plat::WAVE_BADDEVICE);
  EXPECT_EQ(dev, nullptr);
  t.AlsaConfig = ::testing::TempDir() + "no_such_config.conf";
  EXPECT_EQ(plat::WaveQuery(t, f), plat::WAVE_BADDEVICE);
  // The null plugin takes any format; a format outside PCM 8/16 is refused.
  plat::WaveTarget n;
  n.Pcm = "null";
  plat::WaveFormat odd{2, 44100, 24};
  EXPECT_EQ(plat::WaveQuery(n, odd), plat::WAVE_BADFORMAT);
}

TEST(WaveFake, PlaysOnItsClockAndCountsUnderruns) {
  plat::FakeWaveConfig c;
  plat::FakeWave* fake = plat::CreateFakeWave(c);
  plat::WaveTarget t;
  t.Fake = fake;
  plat::MsgQueue q;
  plat::WaveDevice* dev = nullptr;
  plat::WaveFormat f{2, 1000, 16};
  ASSERT_EQ(plat::WaveOpen(&dev, t, f, &q), plat::WAVE_OK);
  Drain(q);
  std::vector<unsigned char> a(400, 1), b(400, 2);  // 100 frames each
  plat::WaveHeader ha, hb;
  ha.Data = a.data();
  ha.Length = 400;
  hb.Data = b.data();
  hb.Length = 400;
  plat::WavePrepare(dev, &ha);
  plat::WavePrepare(dev, &hb);
  plat::WaveWrite(dev, &ha);
  plat::WaveWrite(dev, &hb);
  plat::FakeAdvance(fake, 99);
  EXPECT_TRUE(Drain(q).empty());  // one frame of the first block left
  plat::FakeAdvance(fake, 2);
  std::vector<plat::Msg> m = Drain(q);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(reinterpret_cast<plat::WaveHeader*>(m[0].LParam), &ha);
  plat::WavePause(dev);
  plat::FakeAdvance(fake, 1000);  // paused: nothing plays
  EXPECT_EQ(plat::FakePlayedBytes(fake), 101 * 4);
  plat::WaveRestart(dev);
  plat::FakeAdvance(fake, 150);  // runs dry after the second block
  EXPECT_EQ(Drain(q).size(), 1u);
  EXPECT_EQ(plat::WaveUnderruns(dev), 0);
  plat::WaveWrite(dev, &ha);
  EXPECT_EQ(plat::WaveUnderruns(dev), 1);
  plat::FakeAdvance(fake, 100);
  Drain(q);
  std::vector<unsigned char> played = plat::FakePlayed(fake);
  std::vector<unsigned char> expected(a);
  expected.insert(expected.end(), b.begin(), b.end());
  expected.insert(expected.end(), a.begin(), a.end());
  EXPECT_EQ(played, expected);
  EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
  plat::DestroyFakeWave(fake);
}

TEST(WaveFake, FormatLimitsAndOpenErrors) {
  plat::FakeWaveConfig c;
  c.MaxBits = 8;
  c.MaxRate = 40000;
  plat::FakeWave* fake = plat::CreateFakeWave(c);
  plat::WaveTarget t;
  t.Fake = fake;
  EXPECT_EQ(plat::WaveQuery(t, {2, 44100, 8}), plat::WAVE_BADFORMAT);
  EXPECT_EQ(plat::WaveQuery(t, {2, 40000, 16}), plat::WAVE_BADFORMAT);
  EXPECT_EQ(plat::WaveQuery(t, {2, 40000, 8}), plat::WAVE_OK);
  plat::DestroyFakeWave(fake);
  c = plat::FakeWaveConfig{};
  c.OpenError = plat::WAVE_ALLOCATED;
  fake = plat::CreateFakeWave(c);
  t.Fake = fake;
  plat::MsgQueue q;
  plat::WaveDevice* dev = nullptr;
  EXPECT_EQ(plat::WaveQuery(t, {}), plat::WAVE_OK);
  EXPECT_EQ(plat::WaveOpen(&dev, t, {}, &q), plat::WAVE_ALLOCATED);
  EXPECT_TRUE(Drain(q).empty());  // no open notification for a failed open
  plat::DestroyFakeWave(fake);
}

}  // namespace

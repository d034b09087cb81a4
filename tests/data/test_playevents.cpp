// The notice ring between the audio thread and the window: order, dropping
// the oldest status only, the descriptor's readiness, and an audio thread
// that keeps the device fed while the window takes nothing.
#include <poll.h>

#include <vector>

#include "data/playback/playevents.h"
#include "data/testrecord.h"
#include "play_fixture.h"

namespace {

bool Readable() {
  pollfd p{PlayEventFd(), POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

PlayStatus StatusAt(int64_t second) {
  PlayStatus s{};
  s.ElapsedSeconds = second;
  s.Voices = 1;
  s.Lines = 2;
  return s;
}

TEST(PlayEvents, AFullRingDropsTheOldestStatusesButNoNoticeAndKeepsTheOrder) {
  ResetPlayEvents();
  EXPECT_FALSE(Readable());
  // 101 statuses with an end after status 10 and a stop after status 90,
  // into a ring of PLAYSTATUS_RING statuses that nobody reads meanwhile.
  // Two playbacks take turns; each event keeps the record it was posted for.
  auto* dev = reinterpret_cast<plat::WaveDevice*>(0x1000);
  auto* a = reinterpret_cast<const PlaybackState*>(0x2000);
  auto* b = reinterpret_cast<const PlaybackState*>(0x3000);
  auto recordOf = [&](int64_t second) { return second % 3 ? a : b; };
  std::vector<std::string> produced;
  for (int i = 0; i <= 100; i++) {
    PostPlayStatus(recordOf(i), StatusAt(i));
    produced.push_back("S" + std::to_string(i));
    if (i == 10) PostPlayNotice(b, WM_PLAYEND, nullptr), produced.push_back("E");
    if (i == 90) PostPlayNotice(a, WM_PLAYSTOPPED, dev), produced.push_back("X");
  }
  EXPECT_TRUE(Readable());
  const int dropped = 101 - PLAYSTATUS_RING;
  EXPECT_EQ(PlayStatusesDropped(), dropped);

  std::vector<std::string> expected;
  for (const std::string& e : produced) {
    bool droppedStatus = e[0] == 'S' && std::stoi(e.substr(1)) < dropped;
    if (!droppedStatus) expected.push_back(e);
  }
  std::vector<std::string> taken;
  PlayEvent e;
  while (TakePlayEvent(&e)) {
    if (e.Kind == WM_PLAYSTATUS) {
      taken.push_back("S" + std::to_string(e.Status.ElapsedSeconds));
      EXPECT_EQ(e.Playback, recordOf(e.Status.ElapsedSeconds));
    }
    if (e.Kind == WM_PLAYEND) {
      taken.push_back("E");
      EXPECT_EQ(e.Playback, b);
    }
    if (e.Kind == WM_PLAYSTOPPED) {
      taken.push_back("X");
      EXPECT_EQ(e.Device, dev);
      EXPECT_EQ(e.Playback, a);
    }
  }
  EXPECT_EQ(taken, expected);
  EXPECT_FALSE(Readable()) << "an empty ring leaves the descriptor quiet";

  // The next notice wakes the window again.
  PostPlayNotice(nullptr, WM_PLAYEND, nullptr);
  EXPECT_TRUE(Readable());
  ASSERT_TRUE(TakePlayEvent(&e));
  EXPECT_EQ(e.Kind, WM_PLAYEND);
  EXPECT_FALSE(TakePlayEvent(&e));
  EXPECT_FALSE(Readable());
  ResetPlayEvents();
}

// A window busy elsewhere (a dialog loop, a save) takes nothing for a long
// time: the device is refilled all the same, the newest statuses wait, and
// the stop is reported.
TEST_F(PlayTest, AWindowThatTakesNothingDoesNotHoldTheAudioThread) {
  TestPreset t;
  t.Seg(0).Length = 10;  // 300 blocks of 20 ms, a new record with every block
  t.Set(0, PARAMID(0, PN_BEAT), {{0, 15000}, {10000, 1000}});
  AdvancedOptions o;
  o.LenOfBlocks = 20;
  plat::FakeWaveConfig c;
  c.Record = false;
  plat::FakeWave* fake = plat::CreateFakeWave(c);
  plat::WaveTarget target;
  target.Fake = fake;
  plat::WaveDevice* dev = nullptr;
  int code = 0;
  ASSERT_EQ(OpenWaveDevice(target, o.SamplesPerSec, true, &dev, &code), 0);
  ASSERT_EQ(StartPlayback(TestRecord, dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  ASSERT_TRUE(plat::FakeWaitQueued(fake, 4, 5000));
  const int64_t frames = ComputeBlockBytes(o) / 4;
  for (int block = 0; block < 3 * PLAYSTATUS_RING; block++) {
    plat::FakeAdvance(fake, frames);
    ASSERT_TRUE(plat::FakeWaitQueued(fake, 4, 5000)) << "the block heard as block " << block << " was not made again";
  }
  EXPECT_EQ(plat::WaveUnderruns(dev), 0);
  EXPECT_GT(PlayStatusesDropped(), 0);
  RequestStop();
  ASSERT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000));
  EXPECT_EQ(Window.Count(WM_PLAYSTATUS), PLAYSTATUS_RING);
  EXPECT_EQ(Window.Log.back().Msg, WM_PLAYSTOPPED);
  EXPECT_EQ(Window.Log.back().Device, dev);
  EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
  Barrier();
  plat::DestroyFakeWave(fake);
}

}  // namespace

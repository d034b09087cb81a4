// Nothing on the per-block path may allocate: a counting operator new traps
// allocations made while a block is generated, and, on every thread, while
// returned blocks go round the whole playback path.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "data/playback/fade.h"
#include "data/synthesis/generate.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/walk.h"
#include "data/testrecord.h"
#include "play_fixture.h"
#include "testpreset.h"

namespace {
thread_local bool tWatching = false;
std::atomic<bool> gWatchingAll{false};
std::atomic<int> gAllocations{0};
std::atomic<int> gFrees{0};
}  // namespace

// malloc/free back the replaced operators; GCC cannot see that they pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  if (tWatching || gWatchingAll.load(std::memory_order_relaxed)) gAllocations++;
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept {
  if (p && gWatchingAll.load(std::memory_order_relaxed)) gFrees++;
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  if (p && gWatchingAll.load(std::memory_order_relaxed)) gFrees++;
  std::free(p);
}

namespace {

TEST(AudioPath, GeneratingBlocksDoesNotAllocate) {
  for (int wide = 0; wide < 2; wide++) {
    AdvancedOptions o;
    o.Bits16 = wide;
    o.InvertSound = wide;
    EngineSetUp(o);
    ResetWaveformCache(TestRecord);
    ASSERT_TRUE(EnsureSweepData(TestRecord, 2 * MAXSWEEPRECORD));
    auto* r = FirstSweepRecord(TestRecord);
    std::memset(static_cast<void*>(r), 0, MAXSWEEPRECORD);
    r->NumVoices = 3;
    for (int i = 0; i <= 3; i++) {
      VoiceEntry& v = r->Voice[i];
      ASSERT_EQ(GetWaveformTable(TestRecord, TestRecord.Options.Bits16 != 0, ASWAVE_SINE, FILTER_NONE, &v.Table[0]), 0);
      v.Table[1] = v.Table[0];
      v.Frequency[0] = v.Frequency[1] = 200000 + 1000 * i;
      v.Volume[0] = v.Volume[1] = 8000;
      v.Mod1Depth[0] = v.Mod2Depth[1] = 40;
      v.Mod1Rate[0] = v.Mod2Rate[1] = 500000;
    }
    r->NoiseVolume[0] = r->NoiseVolume[1] = 5000;
    r->NoiseModDepth[0] = 30;
    TestRecord.SweepDataVoices = 3;
    TestRecord.NoiseOn = true;
    TestRecord.AudioStrobeOn = 1;
    StartSweepWalk(TestRecord, r);
    std::vector<uint8_t> buf(static_cast<size_t>(TestRecord.BlockBytes));
    gAllocations = 0;
    tWatching = true;
    for (int i = 0; i < 20; i++) GenerateBlock(TestRecord, buf.data());
    tWatching = false;
    EXPECT_EQ(gAllocations.load(), 0);
  }
}

std::atomic<int> gVisualValues{0};

// A block heard and made again, on the fake device: the device's queue, its
// done message, the audio thread's refill with the walk and its record
// changes, the status report and the flashing feed. Every thread counts.
TEST_F(PlayTest, AReturnedBlocksWholePathDoesNotAllocate) {
  EndAudioThread();
  PlaybackWindow w = Window.Hooks();
  w.NewVisualValues = [](void*, const SweepRecord*) { gVisualValues++; };
  ASSERT_TRUE(CreateAudioThread(w, false));
  plat::SetEvent(hWaveEvent);
  ASSERT_TRUE(plat::WaitEvent(hWaveEvent2, 5000));

  TestPreset t(3);
  t.Seg(0).Length = 10;  // a new record with nearly every 20 ms block
  t.Set(0, PARAMID(0, PN_BEAT), {{0, 15000}, {10000, 1000}});
  t.Set2(0, PID_NOISEVOL, {{0, 3000}, {10000, 3000}});
  t.Set2(0, PID_VISFREQ, {{0, 10000}, {10000, 20000}});
  AdvancedOptions o;
  o.LenOfBlocks = 20;
  TestRecord.AudioStrobeOn = 1;
  // The ramps run over the blocks watched: the start's, the sleep timer's
  // and, at the end, the stop's.
  PlaybackFades fades;
  fades.FadeInMs = fades.StopFadeMs = SOFT_STOP_MS;
  fades.Sleep = SLEEP_AFTER;
  fades.SleepAfterMs = 5000;
  fades.SleepFadeMs = 4800;
  plat::FakeWaveConfig c;
  c.Record = false;
  plat::FakeWave* fake = plat::CreateFakeWave(c);
  plat::WaveTarget target;
  target.Fake = fake;
  plat::WaveDevice* dev = nullptr;
  int code = 0;
  ASSERT_EQ(OpenWaveDevice(target, o.SamplesPerSec, true, &dev, &code), 0);
  ASSERT_EQ(StartPlayback(TestRecord, dev, t.P, o, fades, nullptr, 0, 0, nullptr), 0);
  const int64_t frames = ComputeBlockBytes(o) / 4;
  auto playBlocks = [&](int n) {
    for (int i = 0; i < n; i++) {
      plat::FakeAdvance(fake, frames);
      plat::SendMsg(AudioQueue, 0);  // the thread has handled the block
    }
  };
  playBlocks(8);
  Window.Drain();
  int statusesBefore = Window.Count(WM_PLAYSTATUS), visualBefore = gVisualValues.load();

  gAllocations = 0;
  gFrees = 0;
  gWatchingAll = true;
  playBlocks(200);
  int queued = plat::FakeQueued(fake);
  RequestStop();
  Barrier();  // the fade is in place: 40 ms, two blocks, then the reset
  playBlocks(3);
  gWatchingAll = false;
  EXPECT_EQ(gAllocations.load(), 0);
  EXPECT_EQ(gFrees.load(), 0);
  // What was watched did happen.
  EXPECT_EQ(queued, 4);
  EXPECT_GT(gVisualValues.load() - visualBefore, 100);
  EXPECT_GT(Window.Count(WM_PLAYSTATUS) - statusesBefore, 30);
  ASSERT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000));
  EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
  Barrier();
  plat::DestroyFakeWave(fake);
}

}  // namespace

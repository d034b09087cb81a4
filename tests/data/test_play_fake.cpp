// Timing of a playback against the clocked fake device: the end of the
// preset, freezing on the audible record, record changes heard later than
// they are generated, the visual mode change, stopping, the delay, test mode
// and the device diagnosis.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

#include "data/engine.h"
#include "data/playback/playstatus.h"
#include "data/testrecord.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "platform/clock.h"
#include "platform/riff.h"
#include "play_fixture.h"

namespace {

class PlayFake : public PlayTest {
 protected:
  plat::FakeWave* Fake = nullptr;
  plat::WaveDevice* Dev = nullptr;
  int64_t BlockFrames = 0;

  void Open(const AdvancedOptions& o) {
    plat::FakeWaveConfig c;
    Fake = plat::CreateFakeWave(c);
    plat::WaveTarget t;
    t.Fake = Fake;
    int code = 0;
    ASSERT_EQ(OpenWaveDevice(t, o.SamplesPerSec, o.Bits16 != 0, &Dev, &code), 0);
    BlockFrames = ComputeBlockBytes(o) / (o.Bits16 ? 4 : 2);
  }
  void TearDown() override {
    if (Dev) StopAndClose(Dev);
    if (Fake) plat::DestroyFakeWave(Fake);
    PlayTest::TearDown();
  }
  // Plays n blocks of the fake clock, then lets the thread catch up.
  void Play(double blocks) {
    plat::FakeAdvance(Fake, static_cast<int64_t>(blocks * static_cast<double>(BlockFrames)));
    Barrier();
  }
  void SweepAWhile(TestPreset& t, const AdvancedOptions& o);
  static int32_t Beat(const SweepRecord* r) { return r->Voice[0].Frequency[1] - r->Voice[0].Frequency[0]; }
  static std::string BeatText(int32_t mhz) {
    char b[32];
    FormatStatusNumber(mhz, 3, b, sizeof b);
    return std::string("beat frequency: ") + b + "Hz";
  }
};

struct SynchProbe;
SynchProbe*& Probe();

// A preset whose beat moves steadily, so records change every block or two.
void Sweeping(TestPreset& t, int length) {
  t.Seg(0).Length = length;
  t.Set(0, PARAMID(0, PN_BEAT), {{0, 15000}, {10000, 1000}});
}

TEST_F(PlayFake, TheEndIsReportedOnlyWhenTheTailHasBeenHeard) {
  TestPreset t;
  t.Seg(0).Length = 2;  // 1.2 s: one record of 6 blocks of 200 ms
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Barrier();
  EXPECT_EQ(plat::FakeQueued(Fake), 4);
  int blocks = 0;
  while (Window.Count(WM_PLAYEND) == 0 && blocks < 20) {
    EXPECT_GT(plat::FakeQueued(Fake), 0) << "nothing left to hear, but no end after block " << blocks;
    Play(1);
    blocks++;
  }
  // The first record of a list is heard one block less than its count.
  EXPECT_EQ(blocks, 5);
  EXPECT_EQ(plat::FakeQueued(Fake), 0);
  EXPECT_EQ(plat::FakePlayedBytes(Fake), 5 * TestRecord.BlockBytes);
  Play(3);
  EXPECT_EQ(Window.Count(WM_PLAYEND), 1);  // once
}

TEST_F(PlayFake, ImmediateFreezeTakesTheAudibleRecordAndUnfreezeGoesOnFromIt) {
  TestPreset t;
  Sweeping(t, 100);
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  // One advance plays at most the queue it finds: blocks 0-3, then block 4
  // and half of block 5 (header 1).
  Play(4);
  Play(1.5);
  auto* audible = reinterpret_cast<SweepRecord*>(TestRecord.WaveHeaders[5 % 4].User);
  int32_t audibleCounter = TestRecord.HeaderMark[5 % 4].Counter;
  ASSERT_NE(TestRecord.CurrentRecord, audible) << "the walk must be ahead of what is heard";
  RequestFreeze(TestRecord, true, true);
  Barrier();
  EXPECT_EQ(TestRecord.FreezeState.load(), 1);
  EXPECT_EQ(TestRecord.CurrentRecord, audible);
  EXPECT_EQ(plat::FakeResets(Fake), 1);
  EXPECT_EQ(plat::FakeQueued(Fake), 4);  // the dropped blocks were made again
  WindowRecord s = Window.LastStatus();
  EXPECT_TRUE(s.Forced);  // a freeze change
  EXPECT_EQ(s.Text.rfind("(Parameters frozen) Time ", 0), 0u) << s.Text;
  Play(4);
  EXPECT_EQ(TestRecord.CurrentRecord, audible);  // held while frozen
  for (auto& h : TestRecord.WaveHeaders)
    if (h.Flags & plat::WHDR_INQUEUE) {
      EXPECT_EQ(reinterpret_cast<SweepRecord*>(h.User), audible);
    }

  RequestFreeze(TestRecord, false, true);
  Barrier();
  EXPECT_EQ(TestRecord.FreezeState.load(), 0);
  // The walk resumed from the audible block's place: the 4 blocks made
  // since are at most 4 records on from it.
  const SweepRecord* r = audible;
  int steps = 0;
  while (r != TestRecord.CurrentRecord && steps < 8) {
    r = FollowingRecord(const_cast<SweepRecord*>(r));
    steps++;
  }
  EXPECT_LE(steps, 4);
  if (TestRecord.CurrentRecord == audible) {
    EXPECT_GT(TestRecord.BlockCounter, audibleCounter);
  }
  Play(6);
  EXPECT_NE(TestRecord.CurrentRecord, audible);
  EXPECT_EQ(Window.LastStatus().Text.rfind("Time ", 0), 0u);
}

TEST_F(PlayFake, FreezeWithoutImmediatePauseActsOnBlocksGeneratedFromNowOn) {
  TestPreset t;
  Sweeping(t, 100);
  AdvancedOptions o;
  o.ImmediatePause = 0;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Play(5.5);
  SweepRecord* ahead = TestRecord.CurrentRecord;
  RequestFreeze(TestRecord, true, false);
  EXPECT_EQ(TestRecord.FreezeState.load(), 1);
  Barrier();
  EXPECT_EQ(plat::FakeResets(Fake), 0);
  Play(4);
  EXPECT_EQ(TestRecord.CurrentRecord, ahead);
  EXPECT_EQ(TestRecord.FreezeState.load(), 1);
}

TEST_F(PlayFake, ARecordChangeIsShownWhenItIsHeardNotWhenItIsGenerated) {
  TestPreset t(1, 2);
  t.Seg(0).Length = 2;  // 6 blocks at 10 Hz
  t.Seg(1).Length = 2;  // then 4 Hz
  int beat = PARAMID(0, PN_BEAT);
  t.Set(0, beat, {{0, 10000}, {10000, 10000}});
  t.Set(1, beat, {{0, 4000}, {10000, 4000}});
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Barrier();
  bool sawAhead = false;
  const SweepRecord* prev = nullptr;
  for (int i = 0; i < 10; i++) {
    const auto* heard = reinterpret_cast<const SweepRecord*>(TestRecord.WaveHeaders[i % 4].User);
    int32_t heardBeat = Beat(heard);
    size_t before = Window.Size();
    Play(1);
    WindowRecord s = Window.LastStatus();
    EXPECT_NE(s.Text.find(BeatText(heardBeat)), std::string::npos) << "block " << i << ": " << s.Text;
    if (Beat(TestRecord.CurrentRecord) != heardBeat) sawAhead = true;
    if (prev && prev != heard) {
      // A new record: reported at once, as a forced status.
      ASSERT_GT(Window.Size(), before);
      EXPECT_TRUE(s.Forced) << "block " << i;
    }
    prev = heard;
  }
  EXPECT_TRUE(sawAhead) << "the 4 Hz record was generated before it was heard";
}

// The beat of the record each block of a straight render is made from, as
// the WAV output walks the list from the start.
std::vector<int32_t> BeatsOfTheRender(const Preset& p, const AdvancedOptions& o, int blocks) {
  std::vector<int32_t> beats;
  EXPECT_EQ(PreparePlayback(TestRecord, p, o, false, nullptr), 0);
  std::vector<unsigned char> block(static_cast<size_t>(TestRecord.BlockBytes));
  for (int b = 0; b < blocks && GenerateBlock(TestRecord, block.data()) == 0; b++)
    beats.push_back(TestRecord.CurrentRecord->Voice[0].Frequency[1] - TestRecord.CurrentRecord->Voice[0].Frequency[0]);
  return beats;
}

TEST_F(PlayFake, SwitchingAudioStrobeRegeneratesTheQueuedBlocks) {
  TestPreset t;
  t.Seg(0).Length = 10;  // 30 blocks from 15 Hz down to 1 Hz: a new record every block
  t.Set(0, PARAMID(0, PN_BEAT), {{0, 15000}, {10000, 1000}});
  AdvancedOptions o;
  const std::vector<int32_t> render = BeatsOfTheRender(t.P, o, 12);
  ASSERT_EQ(render.size(), 12u);
  ASSERT_NE(std::vector<int32_t>(render.begin() + 3, render.begin() + 7),
            std::vector<int32_t>(render.begin() + 6, render.begin() + 10));
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  // Blocks 0 and 1 heard and made again as 4 and 5; block 2 half heard.
  Play(2.5);
  EXPECT_EQ(Window.LastStatus().Text.find("Visual:"), std::string::npos);
  SetPlaybackAudioStrobe(TestRecord, true);
  Barrier();
  EXPECT_EQ(plat::FakeResets(Fake), 1);
  EXPECT_EQ(plat::FakeQueued(Fake), 4);
  EXPECT_EQ(TestRecord.FreezeState.load(), 0);
  EXPECT_NE(Window.LastStatus().Text.find("Visual: brightness"), std::string::npos);
  // The dropped blocks are made again from the one being heard on: blocks 3
  // to 6 of the render, in the headers of blocks 2, 3, 4 and 5.
  const int headers[] = {2, 3, 0, 1};
  for (int k = 0; k < 4; k++) {
    const auto* r = reinterpret_cast<const SweepRecord*>(TestRecord.WaveHeaders[headers[k]].User);
    EXPECT_EQ(Beat(r), render[static_cast<size_t>(3 + k)]) << "regenerated block " << k;
  }
  // A frozen playback stays frozen through the switch.
  RequestFreeze(TestRecord, true, true);
  Barrier();
  SetPlaybackAudioStrobe(TestRecord, false);
  Barrier();
  EXPECT_EQ(TestRecord.FreezeState.load(), 1);
}

// A request made for another record (the editor's test, the wizard's) acts
// on that record only: the playing one is neither reset, frozen nor
// switched to AudioStrobe, and its walk goes on.
TEST_F(PlayFake, RequestsForAnotherRecordLeaveThePlayingOneAlone) {
  struct Case {
    const char* What;
    void (*Request)(PlaybackState& pb);
  };
  const Case cases[] = {
      {"immediate freeze", [](PlaybackState& pb) { RequestFreeze(pb, true, true); }},
      {"freeze", [](PlaybackState& pb) { RequestFreeze(pb, true, false); }},
      {"AudioStrobe on", [](PlaybackState& pb) { SetPlaybackAudioStrobe(pb, true); }},
  };
  TestPreset t;
  Sweeping(t, 100);
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  auto other = std::make_unique<PlaybackState>();
  for (const Case& c : cases) {
    Play(1);
    const SweepRecord* before = TestRecord.CurrentRecord;
    c.Request(*other);
    Play(3);
    EXPECT_EQ(plat::FakeResets(Fake), 0) << c.What;
    EXPECT_EQ(TestRecord.FreezeState.load(), 0) << c.What;
    EXPECT_EQ(TestRecord.AudioStrobeOn.load(), 0) << c.What;
    EXPECT_NE(TestRecord.CurrentRecord, before) << c.What << ": the walk must go on";
  }
  EXPECT_EQ(other->FreezeState.load(), 1);
  EXPECT_EQ(other->AudioStrobeOn.load(), 1);
}

// The flashing's feed: once per record that becomes current, in the order
// the walk takes them, a segment's repeats included.
struct VisualFeed {
  std::mutex Lock;
  std::vector<int32_t> Frequencies;  // left eye
  std::vector<int32_t> Brightness;
  static VisualFeed*& Current() {
    static VisualFeed* f = nullptr;
    return f;
  }
  static void Take(void*, const SweepRecord* r) {
    VisualFeed* f = Current();
    std::lock_guard<std::mutex> g(f->Lock);
    f->Frequencies.push_back(r->VisualFrequency[0]);
    f->Brightness.push_back(r->VisualBrightness[0]);
  }
};

TEST_F(PlayFake, TheFlashingIsToldEachNewRecordsLeftEyeValuesInWalkOrder) {
  TestPreset t(1, 2);
  // Segment 0 (2 passes): the left eye's frequency climbs 10 -> 12 Hz, the
  // right eye's stays at 30 Hz; segment 1 holds 20 Hz.
  t.Seg(0).Length = 2;  // 6 blocks
  t.Seg(0).Repeat = 2;
  t.Set(0, PID_VISFREQ, {{0, 10000}, {10000, 12000}});
  t.Set(0, PID_VISFREQ + 1, {{0, 30000}, {10000, 30000}});
  t.Set2(0, PID_VISBRIGHT, {{0, 7000}, {10000, 7000}});
  t.Seg(1).Length = 1;
  t.Set2(1, PID_VISFREQ, {{0, 20000}, {10000, 20000}});
  t.Set2(1, PID_VISBRIGHT, {{0, 4000}, {10000, 4000}});
  VisualFeed feed;
  VisualFeed::Current() = &feed;
  EndAudioThread();
  PlaybackWindow w = Window.Hooks();
  w.NewVisualValues = VisualFeed::Take;
  ASSERT_TRUE(CreateAudioThread(w, false));
  plat::SetEvent(hWaveEvent);
  ASSERT_TRUE(plat::WaitEvent(hWaveEvent2, 5000));
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  for (int i = 0; i < 40 && Window.Count(WM_PLAYEND) == 0; i++) Play(1);
  ASSERT_EQ(Window.Count(WM_PLAYEND), 1);
  VisualFeed::Current() = nullptr;

  // The records of one pass of segment 0, as the list holds them.
  std::vector<int32_t> pass;
  const SweepRecord* r = FirstSweepRecord(TestRecord);
  for (;; r = FollowingRecord(const_cast<SweepRecord*>(r))) {
    pass.push_back(r->VisualFrequency[0]);
    if (r->RepeatTarget) break;  // the segment's last record
  }
  ASSERT_GT(pass.size(), 2u) << "the climb makes several records";
  std::vector<int32_t> expected = pass;
  expected.insert(expected.end(), pass.begin(), pass.end());
  expected.push_back(20000);  // segment 1
  expected.push_back(20000);  // the final record, at the last nodes
  EXPECT_EQ(feed.Frequencies, expected);
  EXPECT_EQ(feed.Brightness.front(), 7000);
  EXPECT_EQ(feed.Brightness.back(), 4000);
}

TEST_F(PlayFake, StopResetsGivesTheMemoryBackAndAnswers1037) {
  TestPreset t;
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Play(1.5);
  EXPECT_GT(TestRecord.DataBlockMem.Committed, 0u);
  RequestStop();
  ASSERT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000));
  Barrier();
  EXPECT_EQ(TestRecord.DataBlockMem.Committed, 0u);
  EXPECT_EQ(plat::FakeQueued(Fake), 0);
  for (auto& h : TestRecord.WaveHeaders) EXPECT_FALSE(h.Flags & (plat::WHDR_PREPARED | plat::WHDR_INQUEUE));
  EXPECT_EQ(TestRecord.hWaveOut.load(), nullptr);
  EXPECT_EQ(Window.Count(WM_PLAYEND), 0);
  EXPECT_EQ(plat::WaveClose(Dev), plat::WAVE_OK);
  Dev = nullptr;
}

struct DelayUi {
  std::vector<int> Captions;
  int DelayPolls = 0;
  bool InDelay = false;
  PlaybackUi Ui() {
    PlaybackUi ui;
    ui.Ctx = this;
    ui.ShowProgress = [](void* c, int caption, int) {
      auto* self = static_cast<DelayUi*>(c);
      self->Captions.push_back(caption);
      self->InDelay = caption == 104;
    };
    ui.Progress = [](void* c, int) {
      auto* self = static_cast<DelayUi*>(c);
      return self->InDelay && ++self->DelayPolls == 3;
    };
    return ui;
  }
};

TEST_F(PlayFake, StopDuringTheDelayAbortsBeforeAnyBlock) {
  TestPreset t;
  AdvancedOptions o;
  o.PlayDelayTime = 1000;  // one minute
  Open(o);
  DelayUi d;
  PlaybackUi ui = d.Ui();
  EXPECT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, PlayTickCount(), &ui), -1);
  EXPECT_EQ(d.Captions, (std::vector<int>{87, 104}));
  EXPECT_EQ(d.DelayPolls, 3);
  EXPECT_EQ(TestRecord.DataBlockMem.Committed, 0u);
  EXPECT_EQ(plat::FakeQueued(Fake), 0);
  EXPECT_EQ(Window.Count(WM_PLAYSTATUS), 0);  // nothing started
  EXPECT_EQ(plat::WaveClose(Dev), plat::WAVE_OK);
  Dev = nullptr;
}

// A clock that only moves when told to, or when someone sleeps on it.
struct FakeClock {
  std::atomic<int64_t> Now{5000000};
  plat::ClockHooks Hooks{this, [](void* c) { return static_cast<FakeClock*>(c)->Now.load(); },
                         [](void* c, int ms) { static_cast<FakeClock*>(c)->Now += ms; }};
  FakeClock() { plat::SetClock(&Hooks); }
  ~FakeClock() { plat::SetClock(nullptr); }
};

TEST_F(PlayFake, TheDelayAndTheElapsedTimeFollowTheClock) {
  FakeClock clock;
  TestPreset t;
  AdvancedOptions o;
  o.PlayDelayTime = 50;  // 0.05 minutes: 3 s, waited out in 100 ms naps
  Open(o);
  std::vector<int> positions;
  PlaybackUi ui;
  ui.Ctx = &positions;
  ui.ShowProgress = [](void* c, int caption, int max) {
    if (caption == 104) static_cast<std::vector<int>*>(c)->push_back(-max);
  };
  ui.Progress = [](void* c, int pos) {
    auto* v = static_cast<std::vector<int>*>(c);
    if (!v->empty()) v->push_back(pos);
    return false;
  };
  int64_t asked = clock.Now.load();
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, PlayTickCount(), &ui), 0);
  EXPECT_EQ(clock.Now.load() - asked, 3000);
  // Range 0..50 (k = 1 below a minute), one position per nap.
  ASSERT_EQ(positions.size(), 31u);
  EXPECT_EQ(positions[0], -50);
  EXPECT_EQ(positions[1], 0);
  EXPECT_EQ(positions[30], 48);  // 2900 ms: 48 thousandths of a minute

  Barrier();
  EXPECT_EQ(Window.LastStatus().Text.rfind("Time 0:00", 0), 0u) << Window.LastStatus().Text;
  clock.Now += 65 * 1000 + 400;
  Play(1);
  EXPECT_EQ(Window.LastStatus().Text.rfind("Time 1:05", 0), 0u) << Window.LastStatus().Text;
  clock.Now += 3600 * 1000;
  Play(1);
  EXPECT_EQ(Window.LastStatus().Text.rfind("Time 1:01:05", 0), 0u) << Window.LastStatus().Text;
}

TEST_F(PlayFake, TestModeHoldsOneRecordAndAnUpdateIsHeardAtOnce) {
  TestPreset t;
  t.Set(0, PARAMID(0, PN_BEAT), {{0, 10000}, {10000, 2000}});
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartTestPlayback(TestRecord, Dev, t.P, 0, 5000, o), 0);
  EXPECT_EQ(plat::FakeQueued(Fake), 4);
  ASSERT_NE(TestRecord.CurrentRecord, nullptr);
  EXPECT_EQ(TestRecord.CurrentRecord->Blocks, 0);
  EXPECT_EQ(Beat(TestRecord.CurrentRecord), 6000);
  Play(10);
  EXPECT_EQ(Beat(TestRecord.CurrentRecord), 6000);  // held
  EXPECT_EQ(plat::FakeQueued(Fake), 4);
  ASSERT_EQ(UpdateTestPlayback(TestRecord, t.P, 0, 10000), 0);
  EXPECT_EQ(Beat(TestRecord.CurrentRecord), 2000);
  EXPECT_EQ(plat::FakeResets(Fake), 1);
  Barrier();
  ASSERT_EQ(plat::FakeQueued(Fake), 4);
  for (auto& h : TestRecord.WaveHeaders)
    if (h.Flags & plat::WHDR_INQUEUE) {
      EXPECT_EQ(reinterpret_cast<SweepRecord*>(h.User), TestRecord.CurrentRecord);
    }
}

TEST_F(PlayFake, APresetShorterThanTheQueueEndsAfterItsOwnBlocks) {
  TestPreset t;
  t.Seg(0).Length = 1;  // 0.6 s: a first record of 3 blocks, heard 2 times
  AdvancedOptions o;
  o.MemoryBlocks = 8;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Barrier();
  EXPECT_EQ(plat::FakeQueued(Fake), 2);
  Play(1);
  EXPECT_EQ(Window.Count(WM_PLAYEND), 0);
  Play(1);
  EXPECT_EQ(Window.Count(WM_PLAYEND), 1);
  EXPECT_EQ(plat::FakePlayedBytes(Fake), 2 * TestRecord.BlockBytes);
}

// Plays a sweeping preset for 1.5 blocks, as the start of a stop and a
// quick restart.
void PlayFake::SweepAWhile(TestPreset& t, const AdvancedOptions& o) {
  Sweeping(t, 100);
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Play(1.5);
}

TEST_F(PlayFake, ANewPlaybackIsNotDisturbedByTheLastOnesReturningBlocks) {
  TestPreset t;
  AdvancedOptions o;
  SweepAWhile(t, o);
  // Stop and start again at once: the old device's returned blocks may
  // still wait in the thread's queue when the new device is running.
  RequestStop();
  ASSERT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000));
  ASSERT_EQ(plat::WaveClose(Dev), plat::WAVE_OK);
  plat::DestroyFakeWave(Fake);
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Barrier();
  EXPECT_EQ(TestRecord.hWaveOut.load(), Dev);
  EXPECT_EQ(plat::FakeQueued(Fake), 4);
  for (int i = 0; i < 6; i++) Play(1);
  EXPECT_EQ(plat::FakeQueued(Fake), 4);
  EXPECT_EQ(plat::FakePlayedBytes(Fake), 6 * TestRecord.BlockBytes);
  EXPECT_EQ(plat::WaveUnderruns(Dev), 0);
  EXPECT_EQ(Window.Count(WM_PLAYEND), 0);
}

// Holds the audio thread before it handles the close of a device, until
// released: the close stays queued meanwhile.
struct CloseGate {
  std::mutex Lock;
  std::condition_variable Changed;
  bool Armed = false, Waiting = false;
  static CloseGate*& Current() {
    static CloseGate* g = nullptr;
    return g;
  }
  static void Hook(uint32_t msg, uintptr_t) {
    CloseGate* g = Current();
    if (!g || msg != plat::MM_WOM_CLOSE) return;
    std::unique_lock<std::mutex> l(g->Lock);
    if (!g->Armed) return;
    g->Waiting = true;
    g->Changed.notify_all();
    g->Changed.wait(l, [&] { return !g->Armed; });
    g->Waiting = false;
  }
  void Release() {
    std::lock_guard<std::mutex> l(Lock);
    Armed = false;
    Changed.notify_all();
  }
  bool WaitUntilHeld(int timeoutMs) {
    std::unique_lock<std::mutex> l(Lock);
    return Changed.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return Waiting; });
  }
};

TEST_F(PlayFake, TheClosedDevicesLateMessagesAreNotTakenForTheNextOnes) {
  TestPreset t;
  AdvancedOptions o;
  SweepAWhile(t, o);
  // The audio thread is held before it handles the old device's close, so
  // the close waits in its queue while the next playback starts, on a device
  // that may well have the closed one's address.
  CloseGate gate;
  gate.Armed = true;
  CloseGate::Current() = &gate;
  AudioMessageHook = CloseGate::Hook;
  RequestStop();
  ASSERT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000));
  ASSERT_EQ(plat::WaveClose(Dev), plat::WAVE_OK);
  ASSERT_TRUE(gate.WaitUntilHeld(5000));
  plat::DestroyFakeWave(Fake);
  Open(o);
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    gate.Release();
  });
  int rc = StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr);
  releaser.join();
  AudioMessageHook = nullptr;
  Barrier();  // the thread is past the hook
  CloseGate::Current() = nullptr;
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(TestRecord.hWaveOut.load(), Dev);
  for (int i = 0; i < 3; i++) Play(1);
  EXPECT_EQ(plat::FakeQueued(Fake), 4) << "the returned blocks were not made again";
  EXPECT_EQ(plat::FakePlayedBytes(Fake), 3 * TestRecord.BlockBytes);
}

struct SynchProbe {
  plat::FakeWave* Fake = nullptr;
  std::vector<int> Points;
  std::vector<int> QueuedAt;
  std::vector<int64_t> PlayedAt;
  bool VisualStarted = false;
};

TEST_F(PlayFake, TheSynchronisationPointsWrapTheRestartOfTheLoadedDevice) {
  TestPreset t;
  AdvancedOptions o;
  Open(o);
  SynchProbe probe;
  probe.Fake = Fake;
  PlaybackWindow w = Window.Hooks();
  w.SynchPoint = [](void* c, int which) {
    // The probe rides on the window's context through a static: the
    // recording window stays the context of the other hooks.
    (void)c;
    SynchProbe* p = Probe();
    p->Points.push_back(which);
    p->QueuedAt.push_back(plat::FakeQueued(p->Fake));
    plat::FakeAdvance(p->Fake, 100);  // paused before the restart: nothing plays
    p->PlayedAt.push_back(plat::FakePlayedBytes(p->Fake));
  };
  w.StartVisual = [](void*) { Probe()->VisualStarted = true; };
  Probe() = &probe;
  EndAudioThread();
  ASSERT_TRUE(CreateAudioThread(w, false));
  plat::SetEvent(hWaveEvent);
  ASSERT_TRUE(plat::WaitEvent(hWaveEvent2, 5000));
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  EXPECT_TRUE(probe.VisualStarted);
  EXPECT_EQ(probe.Points, (std::vector<int>{0, 1}));
  EXPECT_EQ(probe.QueuedAt, (std::vector<int>{4, 4}));
  EXPECT_EQ(probe.PlayedAt[0], 0);    // loaded and paused
  EXPECT_EQ(probe.PlayedAt[1], 400);  // running after the restart
  Probe() = nullptr;
}

TEST_F(PlayFake, AGentleStopPlaysOutTheQueueThenReportsTheEnd) {
  TestPreset t;
  Sweeping(t, 100);
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Play(1.5);  // block 0 heard and made again as block 4; block 1 half heard
  RequestFinish();
  Barrier();
  int queued = plat::FakeQueued(Fake);
  EXPECT_EQ(queued, 4);
  for (int i = 0; i < 12 && Window.Count(WM_PLAYEND) == 0; i++) {
    Play(0.5);
    EXPECT_LE(plat::FakeQueued(Fake), queued);  // nothing new is written
    queued = plat::FakeQueued(Fake);
  }
  EXPECT_EQ(Window.Count(WM_PLAYEND), 1);
  EXPECT_EQ(plat::FakePlayedBytes(Fake), 5 * TestRecord.BlockBytes);
}

TEST_F(PlayFake, AFileWrittenMeanwhileLeavesTheQueuedBlocksAlone) {
  TestPreset t;
  Sweeping(t, 100);
  AdvancedOptions o;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, PlaybackFades{}, nullptr, 0, 0, nullptr), 0);
  Barrier();
  const unsigned char* blocks = TestRecord.DataBlockMem.Base;
  const std::vector<unsigned char> queued(blocks, blocks + 4 * TestRecord.BlockBytes);
  // Another record writes a different preset into a file meanwhile.
  TestPreset other;
  other.Set(0, PARAMID(0, PN_BEAT), {{0, 3000}});
  auto writer = std::make_unique<PlaybackState>();
  std::string path = ::testing::TempDir() + "test_play_fake_meanwhile.wav";
  EXPECT_EQ(StartPlaybackToFile(*writer, other.P, o, path.c_str(), 5, nullptr), 0);
  std::remove(path.c_str());
  Play(4);
  EXPECT_TRUE(plat::FakePlayed(Fake) == queued) << "the device played blocks the file output changed";
}

// The WAV data of `minutes` hundredths of a minute of the preset.
std::vector<unsigned char> WavData(const Preset& p, const AdvancedOptions& o, int32_t minutes) {
  std::string path = ::testing::TempDir() + "test_play_fake.wav";
  plat::SeedRandom(3);
  EXPECT_EQ(StartPlaybackToFile(TestRecord, p, o, path.c_str(), minutes, nullptr), 0);
  std::ifstream f(path, std::ios::binary);
  std::vector<unsigned char> b{std::istreambuf_iterator<char>(f), {}};
  std::remove(path.c_str());
  plat::RiffChunk c{};
  if (b.size() < 12 || !plat::RiffFind(b.data() + 12, b.size() - 12, "data", &c)) return {};
  return {c.Data, c.Data + c.Size};
}

TEST_F(PlayFake, TestModeSoundsLikeTheSteadyPresetWithItsOwnStrobeDutyCycle) {
  TestPreset t;  // every curve steady: one record, as test mode builds it
  AdvancedOptions o;
  TestRecord.AudioStrobeOn = 1;
  WavData(t.P, o, 2);  // leaves the carrier shapes at the default duty cycle
  o.AudioStrobeDutyCycle = 25;
  Open(o);
  plat::SeedRandom(3);
  ASSERT_EQ(StartTestPlayback(TestRecord, Dev, t.P, 0, 5000, o), 0);
  for (int i = 0; i < 5; i++) Play(1);
  std::vector<unsigned char> played = plat::FakePlayed(Fake);
  std::vector<unsigned char> wav = WavData(t.P, o, 2);
  ASSERT_EQ(played.size(), 5u * static_cast<uint32_t>(TestRecord.BlockBytes));
  ASSERT_GE(wav.size(), played.size());
  EXPECT_TRUE(std::equal(played.begin(), played.end(), wav.begin()));
}

struct Diagnosis {
  plat::FakeWaveConfig Config;
  bool Bits16;
  int Rate;
  int Expected;
  int Code;
};

TEST_F(PlayFake, OpeningDiagnosesTheFormatThroughFallbacks) {
  auto cfg = [](int bits, int rate, int ch, int query, int open) {
    plat::FakeWaveConfig c;
    c.MaxBits = bits;
    c.MaxRate = rate;
    c.MaxChannels = ch;
    c.QueryError = query;
    c.OpenError = open;
    return c;
  };
  const Diagnosis cases[] = {
      {cfg(16, 192000, 2, 0, 0), true, 44100, 0, 0},
      {cfg(8, 192000, 2, 0, 0), true, 44100, 1264, 0},  // 8-bit would work: not opened
      {cfg(8, 40000, 2, 0, 0), true, 44100, 1265, 0},   // 8-bit and 40000 would work
      {cfg(16, 40000, 2, 0, 0), false, 44100, 1265, 0},
      {cfg(16, 192000, 1, 0, 0), true, 44100, 1266, 0},  // down to mono
      {cfg(16, 192000, 0, 0, 0), true, 44100, 1260, 0},  // nothing fits
      {cfg(16, 192000, 2, plat::WAVE_BADDEVICE, 0), true, 44100, 1263, 0},
      {cfg(16, 192000, 2, plat::WAVE_ALLOCATED, 0), true, 44100, 1259, 0},
      {cfg(16, 192000, 2, plat::WAVE_NOMEM, 0), true, 44100, 1261, 0},
      {cfg(16, 192000, 2, 11, 0), true, 44100, 1262, 11},
      {cfg(16, 192000, 2, 0, plat::WAVE_ALLOCATED), true, 44100, 1259, 0},
      {cfg(16, 192000, 2, 0, 1005), true, 44100, 1262, 1005},
  };
  for (const Diagnosis& d : cases) {
    plat::FakeWave* fake = plat::CreateFakeWave(d.Config);
    plat::WaveTarget t;
    t.Fake = fake;
    plat::WaveDevice* dev = nullptr;
    int code = 0;
    EXPECT_EQ(OpenWaveDevice(t, d.Rate, d.Bits16, &dev, &code), d.Expected);
    EXPECT_EQ(code, d.Code);
    EXPECT_EQ(dev != nullptr, d.Expected == 0);
    if (dev) {
      EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
    }
    plat::DestroyFakeWave(fake);
  }
  EXPECT_EQ(FormatMsg(1262, {11}), "Unable to open wave device (error code 11).");
}

SynchProbe*& Probe() {
  static SynchProbe* p = nullptr;
  return p;
}

}  // namespace

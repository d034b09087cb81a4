// The fades: a start that fades in, a stop that fades what is still to be
// heard, the sleep timer's fade-out after a time or over the end of the
// preset, and a file's fade-out, each checked against the same sound
// without it.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "data/engine.h"
#include "data/playback/fade.h"
#include "data/testrecord.h"
#include "fadecheck.h"
#include "platform/clock.h"
#include "platform/riff.h"
#include "play_fixture.h"

namespace {

std::vector<unsigned char> WavData(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<unsigned char> b{std::istreambuf_iterator<char>(f), {}};
  plat::RiffChunk c{};
  if (b.size() < 12 || !plat::RiffFind(b.data() + 12, b.size() - 12, "data", &c)) return {};
  return {c.Data, c.Data + c.Size};
}

// `minutes` hundredths of the preset into a WAV file, faded out over its
// last fadeMs.
std::vector<int32_t> Render(const Preset& p, const AdvancedOptions& o, int32_t minutes, int32_t fadeMs) {
  // Its own name: the test runner runs this file's tests side by side.
  std::string path = ::testing::TempDir() + "fade_render_" + std::to_string(getpid()) + ".wav";
  FileOutput out;
  out.FadeOutMs = fadeMs;
  EXPECT_EQ(StartPlaybackToFile(TestRecord, p, o, path.c_str(), minutes, nullptr, out), 0);
  std::vector<unsigned char> d = WavData(path);
  std::remove(path.c_str());
  return Samples(d, o.Bits16 != 0);
}

// A steady tone with a slow beat: its envelope is flat, so every change in
// level is the fade's.
void Steady(TestPreset& t, int length) {
  t.Seg(0).Length = length;
  t.Set(0, PARAMID(0, PN_BEAT), {{0, 4000}, {10000, 4000}});
}

TEST(Fade, TheCurveRisesFromSilenceToFullLevel) {
  for (int64_t len : {1, 2, 7, 1764, 44100 * 60}) {
    SCOPED_TRACE(len);
    EXPECT_EQ(FadeCurve(0, len), 0);
    EXPECT_EQ(FadeCurve(len, len), FADE_UNITY);
    if (len % 2 == 0) {
      EXPECT_NEAR(FadeCurve(len / 2, len), 23170, 2);  // sin 45 degrees
    }
    int32_t last = 0;
    for (int64_t p = 0; p <= len; p += std::max<int64_t>(len / 5000, 1)) {
      int32_t g = FadeCurve(p, len);
      ASSERT_GE(g, last) << p;
      last = g;
    }
  }
}

TEST(Fade, AFilesEndFadesOutAndTheBytesBeforeItStay) {
  struct Case {
    bool Wide;
    int32_t FadeMs;
    const char* What;
  };
  for (const Case& c : {Case{true, 1000, "16-bit, 1 s"}, Case{false, 1500, "8-bit, 1.5 s"},
                        Case{true, 60000, "a fade longer than the file"}}) {
    EngineSetUp();
    TestPreset t;
    Steady(t, 10);
    AdvancedOptions o;
    o.Bits16 = c.Wide;
    o.LenOfBlocks = 100;
    std::vector<int32_t> plain = Render(t.P, o, 5, 0);
    std::vector<int32_t> faded = Render(t.P, o, 5, c.FadeMs);
    ASSERT_EQ(plain.size(), faded.size());
    size_t frames = plain.size() / 2, len = std::min<size_t>(frames, static_cast<size_t>(c.FadeMs) * 44100 / 1000);
    ExpectFadeOut(faded, plain, frames - len, len, c.What);
  }
}

TEST(Fade, TheWalksEndIsCountedWithItsRepeats) {
  struct Case {
    int Segments, Repeat;
  };
  for (const Case& c : {Case{1, 1}, Case{1, 3}, Case{3, 2}}) {
    SCOPED_TRACE(testing::Message() << c.Segments << " segments, repeat " << c.Repeat);
    EngineSetUp();
    TestPreset t(1, c.Segments);
    for (int s = 0; s < c.Segments; ++s) {
      t.Seg(s).Length = 1 + s;
      t.Set(s, PARAMID(0, PN_BEAT), {{0, 4000 + 1000 * s}, {10000, 9000}});
    }
    t.Seg(c.Segments - 1).Repeat = static_cast<uint16_t>(c.Repeat);
    AdvancedOptions o;
    o.LenOfBlocks = 50;
    ASSERT_EQ(PreparePlayback(TestRecord, t.P, o, true, nullptr), 0);
    int64_t end = WalkEndStep(FirstSweepRecord(TestRecord));
    std::vector<unsigned char> block(static_cast<size_t>(TestRecord.BlockBytes));
    int64_t blocks = 0;
    while (GenerateBlock(TestRecord, block.data()) == 0) ++blocks;
    EXPECT_EQ(end, blocks + 1);
  }
}

TEST(Fade, EachRecordKeepsItsOwnRamps) {
  struct Case {
    const char* What;
    void (*OnOther)(PlaybackState& other);
  };
  for (const Case& c :
       {Case{"a start without fades", [](PlaybackState& b) { StartPlaybackFades(b, PlaybackFades{}); }},
        Case{"its sleep timer off", [](PlaybackState& b) { ChangePlaybackSleep(b, SLEEP_OFF, 0, 0); }},
        Case{"its sleep timer at the end", [](PlaybackState& b) { ChangePlaybackSleep(b, SLEEP_AT_END, 0, 5000); }}}) {
    SCOPED_TRACE(c.What);
    EngineSetUp();
    TestPreset t;
    Steady(t, 10);
    AdvancedOptions o;
    auto other = std::make_unique<PlaybackState>();
    ASSERT_EQ(PreparePlayback(*other, t.P, o, true, nullptr), 0);
    ASSERT_EQ(PreparePlayback(TestRecord, t.P, o, true, nullptr), 0);
    PlaybackFades f;
    f.StopFadeMs = SOFT_STOP_MS;
    f.Sleep = SLEEP_AFTER;
    f.SleepAfterMs = 2000;
    f.SleepFadeMs = 1000;
    StartPlaybackFades(TestRecord, f);
    StartPlaybackFades(*other, f);
    std::vector<unsigned char> block(static_cast<size_t>(TestRecord.BlockBytes));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(GeneratePlaybackBlock(TestRecord, block.data()), 0);
    bool fading = false;
    const int64_t left = PlaybackSleepLeftMs(TestRecord, &fading);
    c.OnOther(*other);
    EXPECT_EQ(PlaybackSleepMode(TestRecord), SLEEP_AFTER);
    EXPECT_EQ(PlaybackSleepLeftMs(TestRecord, &fading), left);
    EXPECT_EQ(PlaybackStopFadeFrames(TestRecord), SOFT_STOP_MS * 44100 / 1000);
  }
}

class Fades : public PlayTest {
 protected:
  plat::FakeWave* Fake = nullptr;
  plat::WaveDevice* Dev = nullptr;
  int64_t BlockFrames = 0;
  // The statuses' clock moves with the device's.
  std::atomic<int64_t> Now{1000000};
  plat::ClockHooks Clock{this, [](void* c) { return static_cast<Fades*>(c)->Now.load(); },
                         [](void* c, int ms) { static_cast<Fades*>(c)->Now += ms; }};
  void SetUp() override {
    PlayTest::SetUp();
    plat::SetClock(&Clock);
  }

  void Open(const AdvancedOptions& o) {
    Fake = plat::CreateFakeWave(plat::FakeWaveConfig());
    plat::WaveTarget t;
    t.Fake = Fake;
    int code = 0;
    ASSERT_EQ(OpenWaveDevice(t, o.SamplesPerSec, o.Bits16 != 0, &Dev, &code), 0);
    BlockFrames = ComputeBlockBytes(o) / (o.Bits16 ? 4 : 2);
  }
  void Close() {
    if (Dev) {
      EXPECT_EQ(plat::WaveClose(Dev), plat::WAVE_OK);
    }
    Dev = nullptr;
    Barrier();
    if (Fake) plat::DestroyFakeWave(Fake);
    Fake = nullptr;
  }
  void TearDown() override {
    if (Dev) StopAndClose(Dev);
    Dev = nullptr;
    Close();
    plat::SetClock(nullptr);
    PlayTest::TearDown();
  }
  void Play(double blocks) {
    Now += static_cast<int64_t>(blocks * static_cast<double>(BlockFrames) * 1000 / 44100);
    plat::FakeAdvance(Fake, static_cast<int64_t>(blocks * static_cast<double>(BlockFrames)));
    Barrier();
  }
  // Plays until the preset or the sleep timer has ended it, stops, and
  // returns what was heard.
  std::vector<int32_t> PlayToEnd() {
    int ends = Window.Count(WM_PLAYEND), stops = Window.Count(WM_PLAYSTOPPED);
    for (int i = 0; i < 200 && Window.Count(WM_PLAYEND) == ends; ++i) Play(1);
    EXPECT_EQ(Window.Count(WM_PLAYEND), ends + 1);
    RequestStop();
    EXPECT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000, stops + 1));
    std::vector<int32_t> heard = Played(true);
    Close();
    return heard;
  }
  std::vector<int32_t> Played(bool wide) { return Samples(plat::FakePlayed(Fake), wide); }
};

TEST_F(Fades, AStopFadesWhatIsStillToBeHeardAndDropsTheRest) {
  for (bool wide : {true, false}) {
    SCOPED_TRACE(wide ? "16-bit" : "8-bit");
    EngineSetUp();
    TestPreset t;
    Steady(t, 10);
    AdvancedOptions o;
    o.Bits16 = wide;
    std::vector<int32_t> ref = Render(t.P, o, 10, 0);
    PlaybackFades f;
    f.StopFadeMs = SOFT_STOP_MS;
    Open(o);
    ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, f, nullptr, 0, 0, nullptr), 0);
    Play(2.5);
    const int stopped = Window.Count(WM_PLAYSTOPPED);
    RequestStop();
    Barrier();
    // The fade is what is queued first; the blocks after it went back.
    EXPECT_EQ(plat::FakeQueued(Fake), 1);
    EXPECT_EQ(Window.Count(WM_PLAYSTOPPED), stopped);
    Play(1);
    ASSERT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000, stopped + 1));
    std::vector<int32_t> got = Played(wide);
    // Heard: 2.5 blocks as they were, the fade, and the rest of the third
    // block silent.
    EXPECT_EQ(got.size(), static_cast<size_t>(2 * 3 * BlockFrames));
    const size_t from = static_cast<size_t>(2.5 * static_cast<double>(BlockFrames)), len = SOFT_STOP_MS * 44100 / 1000;
    ExpectFadeOut(got, ref, from, len, "stop");
    EXPECT_EQ(got[2 * (from + len - 1)], 0);  // the fade's own last frame is silent
    EXPECT_NE(got[2 * (from + len - 2)] | got[2 * (from + len - 40)], 0);
    Close();
  }
}

TEST_F(Fades, AStartFadesInFromSilence) {
  EngineSetUp();
  TestPreset t;
  Steady(t, 10);
  AdvancedOptions o;
  std::vector<int32_t> ref = Render(t.P, o, 10, 0);
  PlaybackFades f;
  f.FadeInMs = SOFT_STOP_MS;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, f, nullptr, 0, 0, nullptr), 0);
  Play(2);
  std::vector<int32_t> got = Played(true);
  const size_t len = SOFT_STOP_MS * 44100 / 1000;
  ASSERT_EQ(got.size(), static_cast<size_t>(4 * BlockFrames));
  EXPECT_EQ(got[0], 0);
  EXPECT_EQ(got[1], 0);
  EXPECT_TRUE(std::equal(got.begin() + 2 * len, got.end(), ref.begin() + 2 * len)) << "changed after the fade-in";
  // Backwards, the fade-in is a fade-out of the same wave.
  std::vector<int32_t> rgot(got.rbegin() + static_cast<ptrdiff_t>(got.size() - 2 * len), got.rend());
  std::vector<int32_t> rref(ref.rbegin() + static_cast<ptrdiff_t>(ref.size() - 2 * len), ref.rend());
  ExpectFadeOut(rgot, rref, 0, len - 1, "fade-in backwards");
  EXPECT_LE(MaxStep(got, 0, len), MaxStep(ref, 0, len) + 1);
}

TEST_F(Fades, TheSleepTimerFadesOutAndEndsLikeThePresetsEnd) {
  struct Case {
    int32_t Mode;
    int64_t AfterMs;
    const char* What;
    const char* Line;  // the status's sleep line once fading
  };
  for (const Case& c : {Case{SLEEP_AFTER, 2000, "after 2 s", "Sleep timer: fading out"},
                        Case{SLEEP_AT_END, 0, "at the end of 3 s", "Fading out to the end of the preset"}}) {
    SCOPED_TRACE(c.What);
    EngineSetUp();
    TestPreset t;
    Steady(t, 5);  // 3 s
    AdvancedOptions o;
    std::vector<int32_t> ref = Render(t.P, o, 10, 0);
    PlaybackFades f;
    f.Sleep = c.Mode;
    f.SleepAfterMs = c.AfterMs;
    f.SleepFadeMs = 1000;
    Open(o);
    ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, f, nullptr, 0, 0, nullptr), 0);
    Play(1);
    EXPECT_NE(Window.LastStatus().Text.find(c.Mode == SLEEP_AFTER ? "Sleep timer: " : "Fade-out at the end"),
              std::string::npos);
    bool fading = false;
    const int ends = Window.Count(WM_PLAYEND);
    for (int i = 0; i < 20 && !fading && Window.Count(WM_PLAYEND) == ends; ++i) {
      Play(1);
      fading = Window.LastStatus().Text.find(c.Line) != std::string::npos;
    }
    EXPECT_TRUE(fading) << Window.LastStatus().Text;
    std::vector<int32_t> got = PlayToEnd();
    // The first record of a list is heard one block less than its count.
    size_t heard = c.Mode == SLEEP_AFTER ? 2 * 44100 : 3 * 44100 - static_cast<size_t>(BlockFrames);
    ASSERT_EQ(got.size(), 2 * heard);
    ExpectFadeOut(got, ref, heard - 44100, 44100, c.What);
  }
}

TEST_F(Fades, AFreezeDuringTheEndsFadeHoldsTheLevelAndTheEndStaysSilent) {
  EngineSetUp();
  TestPreset t;
  Steady(t, 5);
  AdvancedOptions o;
  PlaybackFades f;
  f.Sleep = SLEEP_AT_END;
  f.SleepFadeMs = 2000;
  Open(o);
  ASSERT_EQ(StartPlayback(TestRecord, Dev, t.P, o, f, nullptr, 0, 0, nullptr), 0);
  Play(7);
  RequestFreeze(TestRecord, true, true);  // the queued blocks are made again, held
  Play(6);
  RequestFreeze(TestRecord, false, true);
  std::vector<int32_t> got = PlayToEnd();
  // The peak of each 10 ms against the full level before the fade: it never
  // rises again (half a percent for the peaks of a sampled sine).
  auto peak = [&](size_t from) {
    int32_t m = 0;
    for (size_t k = from; k < from + 441 && k < got.size() / 2; ++k) m = std::max(m, std::abs(got[2 * k]));
    return static_cast<double>(m);
  };
  const double full = peak(static_cast<size_t>(BlockFrames));
  ASSERT_GT(full, 1000);
  double last = 1.0;
  for (size_t fr = static_cast<size_t>(3 * BlockFrames); fr < got.size() / 2; fr += 441) {
    double level = peak(fr) / full;
    EXPECT_LE(level, last + 0.005) << "the level rose at frame " << fr;
    last = std::min(last, level);
  }
  EXPECT_EQ(got.back(), 0);
  EXPECT_EQ(got[got.size() - 2], 0);
}

}  // namespace

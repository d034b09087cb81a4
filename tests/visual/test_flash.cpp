// Screen flashing: the level and interval arithmetic, and the colours and
// levels the flashing thread draws, and when, against a fake clock.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "data/synthesis/wavetab.h"
#include "main/preset.h"
#include "visual/flash.h"
#include "visual/flashthread.h"

namespace {

class Flash : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    BuildParamTables();
    InitEngineTables();
  }
};

TEST_F(Flash, IntervalRoundsHalfAwayFromZero) {
  struct Case {
    int32_t MilliHz;
    int32_t Ms;
  };
  const Case cases[] = {
      {10000, 100},    // 10 Hz
      {40000, 25},     // 40 Hz
      {3000, 333},     // 333.33
      {6000, 167},     // 166.67
      {80000, 13},     // 12.5 goes up
      {400000, 3},     // 2.5 goes up
      {1, 1000000},    // a thousandth of a hertz
      {0, -1},         // no timer: the colour stays
      {-5, -1},        //
      {INT32_MAX, 1},  // never a zero interval
  };
  for (const Case& c : cases) EXPECT_EQ(FlashInterval(c.MilliHz), c.Ms) << c.MilliHz;
}

TEST_F(Flash, LevelsFromBrightnessAndModulation) {
  struct Case {
    int32_t Brightness, Depth, Rate;
    int64_t At;
    int Level;
  };
  // SineData8 runs -127..127: q is 1 at the lowest point and 63 at the top.
  const Case cases[] = {
      {10000, 0, 1000000, 0, 0},                                       // 100 %: the pure colours
      {0, 0, 1000000, 0, 63},                                          // 0 %: the darkest
      {5000, 0, 1000000, 0, 31},                                       // (100 - 50) * 63 / 100
      {10000, 100, 1000000, 0, 1},                                     // full modulation starts at its lowest point
      {10000, 100, 1000000, 500, 63}, {10000, 100, 1000000, 1000, 1},  // once per period
      {10000, 100, 1000000, 250, 32}, {5000, 100, 1000000, 0, 32},     // (3150 + 50 * 1) / 100
      {5000, 100, 1000000, 500, 63},                                   // (3150 + 50 * 63) / 100
      {10000, 100, 999, 0, 0},                                         // a period under 1 ms: no modulation
      {10000, 100, 0, 700, 0},                                         // a still modulation
      {10000, 100, -2000, 0, 1},                                       // 2 Hz as a frequency: a 500 ms period
      {10000, 100, -2000, 250, 63},                                    //
  };
  for (const Case& c : cases) {
    FlashValues v;
    v.Brightness = c.Brightness;
    v.ModDepth = c.Depth;
    v.ModRate = c.Rate;
    EXPECT_EQ(FlashLevelAt(FlashLevelsOf(v), c.At), c.Level)
        << c.Brightness << " " << c.Depth << " " << c.Rate << " at " << c.At;
  }
}

TEST_F(Flash, LevelColoursDimEachComponent) {
  struct Case {
    uint32_t Colour;
    int Level;
    uint32_t Out;
  };
  const Case cases[] = {
      {0x00FF8040, 0, 0x00FF8040},   // level 0 is the colour
      {0x00FF8040, 32, 0x00804020},  // c - 32c/64
      {0x00FF8040, 63, 0x00040201},  // 1/64 of it, truncated terms
      {0x00FFFFFF, 1, 0x00FCFCFC},   // 255 - 255/64
  };
  for (const Case& c : cases) EXPECT_EQ(FlashLevelColour(c.Colour, c.Level), c.Out) << c.Level;
}

// A clock that stands still until the test lets it run to a time; the
// thread's sleeps then end at once, in order.
struct FakeFlash {
  std::mutex M;
  std::condition_variable Cv;
  int64_t Now = 0, Limit = 0, Blocked = -1;
  bool Woken = false;
  FlashValues Values;
  uint32_t Published = 0;
  struct Drawn {
    int64_t Ms;
    int Colour, Level;
  };
  std::vector<Drawn> Frames;

  FlashHooks Hooks() {
    FlashHooks h;
    h.Ctx = this;
    h.NowNs = [](void* c) {
      auto* f = static_cast<FakeFlash*>(c);
      std::lock_guard<std::mutex> l(f->M);
      return f->Now;
    };
    h.SleepUntilNs = [](void* c, int64_t ns) {
      auto* f = static_cast<FakeFlash*>(c);
      std::unique_lock<std::mutex> l(f->M);
      while (ns > f->Limit && !f->Woken) {
        f->Blocked = ns;
        f->Cv.notify_all();
        f->Cv.wait(l);
      }
      f->Blocked = -1;
      if (f->Woken) return false;
      f->Now = ns;
      return true;
    };
    h.Wake = [](void* c) {
      auto* f = static_cast<FakeFlash*>(c);
      std::lock_guard<std::mutex> l(f->M);
      f->Woken = true;
      f->Cv.notify_all();
    };
    h.Take = [](void* c, FlashValues* out) {
      auto* f = static_cast<FakeFlash*>(c);
      std::lock_guard<std::mutex> l(f->M);
      *out = f->Values;
      return f->Published;
    };
    h.Draw = [](void* c, FlashFrame fr, int64_t due) {
      auto* f = static_cast<FakeFlash*>(c);
      std::lock_guard<std::mutex> l(f->M);
      f->Frames.push_back({due / 1000000, fr.Colour, fr.Level});
    };
    return h;
  }
  void Publish(int32_t milliHz, int32_t brightness = 10000, int32_t depth = 0, int32_t rate = 1000000) {
    std::lock_guard<std::mutex> l(M);
    Values = {milliHz, brightness, depth, rate};
    ++Published;
  }
  // Lets the clock run to `ms` and waits until the thread sleeps beyond it.
  void RunUntil(int64_t ms) {
    std::unique_lock<std::mutex> l(M);
    Limit = ms * 1000000;
    Cv.notify_all();
    Cv.wait(l, [&] { return Blocked > Limit; });
  }
  std::vector<int64_t> TimesFrom(int64_t ms) {
    std::lock_guard<std::mutex> l(M);
    std::vector<int64_t> t;
    for (const Drawn& d : Frames)
      if (d.Ms >= ms) t.push_back(d.Ms);
    return t;
  }
};

TEST_F(Flash, TwoColoursAtTenHertzChangeEvery100ms) {
  FakeFlash f;
  f.Publish(10000);
  FlashThread t;
  t.Start(2, f.Hooks());
  f.RunUntil(1000);
  t.Stop();
  ASSERT_EQ(f.Frames.size(), 11u);
  for (size_t i = 0; i < f.Frames.size(); ++i) {
    EXPECT_EQ(f.Frames[i].Ms, static_cast<int64_t>(i) * 100);
    EXPECT_EQ(f.Frames[i].Colour, static_cast<int>(i % 2));  // the first drawing holds colour 0
    EXPECT_EQ(f.Frames[i].Level, 0);
  }
}

TEST_F(Flash, FullModulationSwingsOncePerPeriodFromTheBrightest) {
  FakeFlash f;
  f.Publish(40000, 10000, 100, 1000000);  // 25 ms steps, a 1 s modulation
  FlashThread t;
  t.Start(1, f.Hooks());
  f.RunUntil(2000);
  t.Stop();
  ASSERT_EQ(f.Frames.size(), 81u);
  int lowest = 63, highest = 0;
  for (size_t i = 0; i <= 40; ++i) {
    lowest = std::min(lowest, f.Frames[i].Level);
    highest = std::max(highest, f.Frames[i].Level);
    EXPECT_EQ(f.Frames[i].Level, f.Frames[i + 40].Level) << i;  // the next period repeats it
    if (i > 0 && i <= 20) {
      EXPECT_GE(f.Frames[i].Level, f.Frames[i - 1].Level) << i;  // darkening
    }
    if (i > 20) {
      EXPECT_LE(f.Frames[i].Level, f.Frames[i - 1].Level) << i;  // and back
    }
  }
  EXPECT_EQ(f.Frames[0].Level, lowest);
  EXPECT_EQ(lowest, 1);
  EXPECT_EQ(f.Frames[20].Level, 63);  // half a period in
  EXPECT_EQ(highest, 63);
}

TEST_F(Flash, FrequencyZeroHoldsTheColourUntilValuesStartIt) {
  FakeFlash f;
  FlashThread t;
  t.Start(3, f.Hooks());
  f.RunUntil(100);
  EXPECT_TRUE(f.Frames.empty());  // nothing before the first values
  f.Publish(0);
  f.RunUntil(1000);
  ASSERT_EQ(f.Frames.size(), 1u);  // drawn once, then held
  EXPECT_EQ(f.Frames[0].Colour, 0);
  int64_t start = f.Frames[0].Ms;
  EXPECT_LE(start, 100 + FLASH_IDLE_POLL_MS);
  f.Publish(10000);
  f.RunUntil(2000);
  t.Stop();
  std::vector<int64_t> times = f.TimesFrom(1000);
  ASSERT_GE(times.size(), 2u);
  EXPECT_LE(times[0], 1000 + FLASH_IDLE_POLL_MS);  // a holding drawing, then every 100 ms
  for (size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], 100);
  EXPECT_EQ(f.Frames[1].Colour, 0);
  EXPECT_EQ(f.Frames[2].Colour, 1);
}

TEST_F(Flash, NewIntervalWaitsForTheNextDrawing) {
  struct Case {
    int32_t NewMilliHz;
    std::vector<int64_t> Times;  // drawings from 500 ms on
  };
  const Case cases[] = {
      {10004, {500, 600, 700, 800}},  // 99.96 ms rounds to the same 100: not re-armed
      {12500, {500, 580, 660, 740}},  // 80 ms, from the drawing after the change
      {0, {500}},                     // stopped after that drawing
  };
  for (const Case& c : cases) {
    FakeFlash f;
    f.Publish(10000);
    FlashThread t;
    t.Start(2, f.Hooks());
    f.RunUntil(450);
    f.Publish(c.NewMilliHz);
    f.RunUntil(800);
    t.Stop();
    EXPECT_EQ(f.TimesFrom(500), c.Times) << c.NewMilliHz;
  }
}

// Two records before the next drawing: the last one's interval holds, even
// when it is the running one.
TEST_F(Flash, ARecordBackToTheRunningIntervalDropsTheWaitingOne) {
  FlashState s;
  FlashReset(s, 2);
  EXPECT_TRUE(FlashNewValues(s, {10000, 10000, 0, 0}));  // not running: draw holding, then 100 ms
  EXPECT_FALSE(FlashNewValues(s, {12500, 10000, 0, 0}));
  EXPECT_FALSE(FlashNewValues(s, {10000, 10000, 0, 0}));
  EXPECT_FALSE(FlashApplyWaiting(s));
  EXPECT_EQ(s.Interval, 100);
}

TEST_F(Flash, StopEndsALongSleepAtOnce) {
  FlashThread t;
  FlashHooks h;
  h.Take = [](void*, FlashValues* v) {
    v->Frequency = 1;  // a colour every 1000 s
    return 1u;
  };
  t.Start(2, h);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto before = std::chrono::steady_clock::now();
  t.Stop();
  EXPECT_FALSE(t.Running());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
}

TEST_F(Flash, SmoothPathOnlyFullScreenAvailableAndChosen) {
  struct Case {
    bool FullScreen, Available;
    int32_t Option;
    bool Smooth;
  };
  const Case cases[] = {
      {true, true, 1, true},   {true, true, 0, false},    // an explicit 0 wins
      {true, false, 1, false}, {false, true, 1, false},   // no OpenGL; a window mode
      {true, true, -1, true},  {false, false, 0, false},  // any non-zero value is on
  };
  for (const Case& c : cases)
    EXPECT_EQ(FlashSmoothPath(c.FullScreen, c.Available, c.Option), c.Smooth)
        << c.FullScreen << c.Available << c.Option;
}

TEST_F(Flash, BeyondHalfTheRefreshRate) {
  struct Case {
    int32_t MilliHz, RefreshMilliHz;
    bool Beyond;
  };
  const Case cases[] = {
      {30000, 60000, false},   // exactly half: one colour every second frame
      {30001, 60000, true},    //
      {29975, 59950, false},   // a 59.95 Hz display
      {30000, 59950, true},    //
      {72000, 144000, false},  // a fast display
      {40000, 0, false},       // rate unknown: no notice
      {INT32_MAX, 60000, true}, {0, 60000, false},
  };
  for (const Case& c : cases) EXPECT_EQ(FlashBeyondRefresh(c.MilliHz, c.RefreshMilliHz), c.Beyond) << c.MilliHz;
}

TEST_F(Flash, RefreshNoticeShowsOncePerPlayback) {
  // Whether each status of one playback is beyond the refresh, and whether
  // the notice shows with it: from the first that is, while they are, and
  // not again after the frequency came back within the rate.
  struct Status {
    bool Beyond, Shown;
  };
  const Status statuses[] = {{false, false}, {false, false}, {true, true},  {true, true},
                             {true, true},   {false, false}, {true, false}, {true, false}};
  FlashRefreshNotice n;
  int i = 0;
  for (const Status& s : statuses) EXPECT_EQ(FlashRefreshNoticeStep(n, s.Beyond), s.Shown) << i++;
  FlashRefreshNotice fresh;  // the next playback
  EXPECT_TRUE(FlashRefreshNoticeStep(fresh, true));
}

}  // namespace

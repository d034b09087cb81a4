// The clock playback timing reads: the play delay, the start time of a
// playback and the elapsed time of its status.
//
// By default a monotonic millisecond clock and a real sleep. Tests install
// their own pair (a fake clock whose sleep only moves the time on), so a
// minute's delay or an hour's elapsed time takes no time to test.
#pragma once
#include <cstdint>

namespace plat {

struct ClockHooks {
  void* Ctx = nullptr;
  // Milliseconds of a clock that never goes back. Called from any thread,
  // the audio thread included: it must not lock or allocate.
  int64_t (*NowMs)(void* ctx) = nullptr;
  // Waits about `ms` milliseconds (the thread that waits out the play
  // delay).
  void (*SleepMs)(void* ctx, int ms) = nullptr;
};

// Current time in milliseconds. Any thread.
int64_t ClockMs();
// Sleeps through the installed clock. Any thread.
void ClockSleep(int ms);
// Installs `hooks` (kept by pointer; it must outlive its use), or with null
// the real clock again. Main thread, while no playback runs.
void SetClock(const ClockHooks* hooks);

}  // namespace plat

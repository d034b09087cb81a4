// The flashing thread: the periodic timer of the screen flashing. It sleeps
// to absolute deadlines on the monotonic clock, so the intervals never
// drift, draws each colour through the sink and takes the visual values the
// audio thread publishes whenever it wakes. Only this thread re-arms its
// timer: a new interval waits for the next drawing, as in FlashNewValues.
//
// While no timer runs (before the first values, or at frequency 0) it looks
// for new values every FLASH_IDLE_POLL_MS.
//
// Start and Stop: main thread. The hooks run on the flashing thread.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "visual/flash.h"

constexpr int FLASH_IDLE_POLL_MS = 5;

struct FlashHooks {
  void* Ctx = nullptr;
  // Monotonic time in ns, and a sleep until such a time that returns false
  // when Wake interrupted it. Null: the real monotonic clock.
  int64_t (*NowNs)(void* ctx) = nullptr;
  bool (*SleepUntilNs)(void* ctx, int64_t ns) = nullptr;
  void (*Wake)(void* ctx) = nullptr;
  // The values published last and how many publications there were (0:
  // none yet). Must not block the publisher.
  uint32_t (*Take)(void* ctx, FlashValues* out) = nullptr;
  // Shows colour index `colour` at `level`; `dueNs` is the deadline of this
  // drawing (the time the values arrived for a holding one).
  void (*Draw)(void* ctx, FlashFrame f, int64_t dueNs) = nullptr;
};

class FlashThread {
 public:
  FlashThread() = default;
  FlashThread(const FlashThread&) = delete;
  FlashThread& operator=(const FlashThread&) = delete;
  ~FlashThread() { Stop(); }

  // Starts flashing `numColors` colours (hooks kept by value).
  void Start(int numColors, const FlashHooks& hooks);
  // Ends the thread; no drawing follows. Harmless when not started.
  void Stop();
  bool Running() const { return Thread.joinable(); }

 private:
  void Run();
  int64_t Now();
  bool SleepUntil(int64_t ns);

  FlashHooks Hooks;
  FlashState State;
  std::thread Thread;
  std::atomic<bool> Stopping{false};
  std::mutex SleepMutex;
  std::condition_variable SleepCv;
};

#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace plat {

namespace {

int64_t RealNow(void*) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void RealSleep(void*, int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

const ClockHooks kReal{nullptr, RealNow, RealSleep};
std::atomic<const ClockHooks*> gClock{&kReal};

}  // namespace

int64_t ClockMs() {
  const ClockHooks* c = gClock.load(std::memory_order_acquire);
  return c->NowMs(c->Ctx);
}

void ClockSleep(int ms) {
  const ClockHooks* c = gClock.load(std::memory_order_acquire);
  c->SleepMs(c->Ctx, ms);
}

void SetClock(const ClockHooks* hooks) {
  gClock.store(hooks && hooks->NowMs && hooks->SleepMs ? hooks : &kReal, std::memory_order_release);
}

}  // namespace plat

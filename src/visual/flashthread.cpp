#include "visual/flashthread.h"

#include <chrono>

#include "platform/threadprio.h"

namespace {

constexpr int64_t kMs = 1000000;

}  // namespace

void FlashThread::Start(int numColors, const FlashHooks& hooks) {
  Stop();
  Hooks = hooks;
  FlashReset(State, numColors);
  Stopping = false;
  Thread = std::thread([this] { Run(); });
}

void FlashThread::Stop() {
  if (!Thread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(SleepMutex);
    Stopping = true;
  }
  SleepCv.notify_all();
  if (Hooks.Wake) Hooks.Wake(Hooks.Ctx);
  Thread.join();
}

int64_t FlashThread::Now() {
  if (Hooks.NowNs) return Hooks.NowNs(Hooks.Ctx);
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool FlashThread::SleepUntil(int64_t ns) {
  if (Hooks.SleepUntilNs) return Hooks.SleepUntilNs(Hooks.Ctx, ns) && !Stopping;
  std::unique_lock<std::mutex> lock(SleepMutex);
  std::chrono::steady_clock::time_point due{std::chrono::nanoseconds(ns)};
  return !SleepCv.wait_until(lock, due, [this] { return Stopping.load(); });
}

void FlashThread::Run() {
  // A late colour shows as a flicker: the thread runs above ordinary work
  // where the system lets it, real-time when permitted (its work per drawing
  // is a few arithmetic steps and a hand-over).
  if (!Hooks.NowNs) plat::RaiseThreadPriority(true);
  uint32_t seen = 0;
  int64_t due = Now();
  auto takeNew = [&](bool* holdDraw) {
    FlashValues v;
    uint32_t n = Hooks.Take ? Hooks.Take(Hooks.Ctx, &v) : 0;
    if (n == seen) return;
    seen = n;
    if (FlashNewValues(State, v)) *holdDraw = true;
  };
  while (!Stopping) {
    if (State.Interval == -1) {
      // No timer: wait for values that start one.
      bool hold = false;
      takeNew(&hold);
      if (hold) {
        due = Now();
        if (Hooks.Draw) Hooks.Draw(Hooks.Ctx, FlashDraw(State, true), due);
        continue;
      }
      if (!SleepUntil(Now() + FLASH_IDLE_POLL_MS * kMs)) break;
      continue;
    }
    if (!SleepUntil(due + State.Interval * kMs)) break;
    due += State.Interval * kMs;
    bool hold = false;
    takeNew(&hold);  // a timer runs: never a holding drawing here
    if (Hooks.Draw) Hooks.Draw(Hooks.Ctx, FlashDraw(State, false), due);
    FlashApplyWaiting(State);  // re-armed from this drawing, or stopped at -1
  }
}

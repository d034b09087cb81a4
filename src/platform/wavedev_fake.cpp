// The fake wave device: plays on a clock the caller advances (or, paced, on
// the real clock) and keeps what it played.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "platform/threadprio.h"
#include "platform/wavedev_impl.h"

namespace plat {

struct FakeWave {
  FakeWaveConfig Config;
  WaveDevice* Dev = nullptr;  // while open
  // Under Dev->Lock while open:
  std::vector<unsigned char> Played;
  int64_t PlayedBytes = 0;
  int64_t LowWater = INT64_MAX;
  int64_t WorstStepUs = 0;
  int Resets = 0;
  std::thread Pacer;
  std::atomic<bool> PacerQuit{false};
};

namespace {

int64_t QueuedBytes(const WaveDevice& d) {
  int64_t n = 0;
  for (const WaveHeader* h = d.Queue.front(); h; h = h->Next) n += h->Length;
  return n - d.Pos;
}

// Caller holds dev.Lock.
void PlayLocked(FakeWave* f, WaveDevice& dev, int64_t frames) {
  if (dev.Paused || frames <= 0) return;
  int64_t bytes = frames * BlockAlign(dev.Format);
  while (bytes > 0) {
    if (dev.Queue.empty()) {
      if (dev.PlayedSinceReset) dev.Starved = true;
      break;
    }
    WaveHeader* h = dev.Queue.front();
    int64_t n = std::min<int64_t>(bytes, h->Length - dev.Pos);
    if (f->Config.Record) f->Played.insert(f->Played.end(), h->Data + dev.Pos, h->Data + dev.Pos + n);
    f->PlayedBytes += n;
    dev.PlayedSinceReset = true;
    dev.Pos += static_cast<uint32_t>(n);
    bytes -= n;
    if (dev.Pos >= h->Length) FinishFront(dev);
  }
  if (dev.PlayedSinceReset) f->LowWater = std::min(f->LowWater, QueuedBytes(dev));
}

// Paced mode: the clock is the real one, advanced every 2 ms. A sound card's
// clock never waits for the scheduler, so this one takes real-time
// scheduling where permitted, else the highest nice value: a pacer woken
// late plays its whole lateness at once and starves a queue that the audio
// thread had no chance to refill.
void PacerThread(FakeWave* f) {
  RaiseThreadPriority(true);
  WaveDevice& dev = *f->Dev;
  auto start = std::chrono::steady_clock::now();
  int64_t done = 0, lastUs = 0;
  while (!f->PacerQuit.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    int64_t due = us * dev.Format.SamplesPerSec / 1000000;
    std::lock_guard<std::mutex> g(dev.Lock);
    f->WorstStepUs = std::max<int64_t>(f->WorstStepUs, us - lastUs);
    lastUs = us;
    // Time passes while paused, but nothing plays.
    PlayLocked(f, dev, due - done);
    done = due;
  }
}

}  // namespace

int FakeQueryFormat(FakeWave* f, const WaveFormat& fmt) {
  if (f->Config.QueryError) return f->Config.QueryError;
  if (fmt.BitsPerSample > f->Config.MaxBits || fmt.SamplesPerSec > f->Config.MaxRate ||
      fmt.Channels > f->Config.MaxChannels)
    return WAVE_BADFORMAT;
  if (fmt.BitsPerSample != 8 && fmt.BitsPerSample != 16) return WAVE_BADFORMAT;
  return WAVE_OK;
}

int FakeOpen(FakeWave* f, WaveDevice* dev) {
  if (f->Config.OpenError) return f->Config.OpenError;
  if (f->Dev) return WAVE_ALLOCATED;
  f->Dev = dev;
  dev->Fake = f;
  if (f->Config.Paced) {
    f->PacerQuit = false;
    f->Pacer = std::thread(PacerThread, f);
  }
  return WAVE_OK;
}

void FakeClose(FakeWave* f) {
  f->PacerQuit = true;
  if (f->Pacer.joinable()) f->Pacer.join();
  f->Dev = nullptr;
}

void FakeOnReset(FakeWave* f) { f->Resets++; }

FakeWave* CreateFakeWave(const FakeWaveConfig& config) {
  auto* f = new FakeWave;
  f->Config = config;
  return f;
}

void DestroyFakeWave(FakeWave* f) { delete f; }

int64_t FakeWorstStepUs(FakeWave* f) {
  if (!f->Dev) return f->WorstStepUs;
  std::lock_guard<std::mutex> g(f->Dev->Lock);
  return f->WorstStepUs;
}

void FakeAdvance(FakeWave* f, int64_t frames) {
  if (!f->Dev) return;
  std::lock_guard<std::mutex> g(f->Dev->Lock);
  PlayLocked(f, *f->Dev, frames);
}

bool FakeWaitQueued(FakeWave* f, int blocks, int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    if (FakeQueued(f) >= blocks) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return FakeQueued(f) >= blocks;
}

int FakeQueued(FakeWave* f) {
  if (!f->Dev) return 0;
  std::lock_guard<std::mutex> g(f->Dev->Lock);
  return static_cast<int>(f->Dev->Queue.size());
}

std::vector<unsigned char> FakePlayed(FakeWave* f) {
  if (!f->Dev) return f->Played;
  std::lock_guard<std::mutex> g(f->Dev->Lock);
  return f->Played;
}

int64_t FakePlayedBytes(FakeWave* f) {
  if (!f->Dev) return f->PlayedBytes;
  std::lock_guard<std::mutex> g(f->Dev->Lock);
  return f->PlayedBytes;
}

int64_t FakeLowWater(FakeWave* f) {
  if (!f->Dev) return f->LowWater;
  std::lock_guard<std::mutex> g(f->Dev->Lock);
  return f->LowWater;
}

int FakeResets(FakeWave* f) {
  if (!f->Dev) return f->Resets;
  std::lock_guard<std::mutex> g(f->Dev->Lock);
  return f->Resets;
}

}  // namespace plat

// Playback tests: the audio thread running against a recording "main
// window", and helpers to drive a device block by block.
#pragma once
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "data/audiothread.h"
#include "data/devplay.h"
#include "platform/rand.h"
#include "testpreset.h"

struct WindowRecord {
  uint32_t Msg;
  uintptr_t WParam;
  std::string Text;  // status texts, copied when they arrive
};

// Handles every message at once in the sender's thread (so a sent status
// text never waits for the test thread) and keeps it.
struct RecordingWindow {
  std::mutex Lock;
  std::condition_variable Arrived;
  std::vector<WindowRecord> Log;
  // While Held is set, the thread that posts 1037 waits in the post until
  // Release(): what it is to handle next stays queued meanwhile.
  std::mutex GateLock;
  std::condition_variable Gate;
  bool Held = false, Waiting = false;

  void Release() {
    std::lock_guard<std::mutex> g(GateLock);
    Held = false;
    Gate.notify_all();
  }
  bool WaitUntilHeld(int timeoutMs) {
    std::unique_lock<std::mutex> g(GateLock);
    return Gate.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return Waiting; });
  }

  static void Keep(void* ctx, uint32_t msg, uintptr_t w, intptr_t l) {
    auto* self = static_cast<RecordingWindow*>(ctx);
    if (msg == WM_PLAYSTOPPED) {
      std::unique_lock<std::mutex> g(self->GateLock);
      if (self->Held) {
        self->Waiting = true;
        self->Gate.notify_all();
        self->Gate.wait(g, [&] { return !self->Held; });
        self->Waiting = false;
      }
    }
    std::lock_guard<std::mutex> g(self->Lock);
    std::string text = msg == WM_PLAYSTATUS && l ? reinterpret_cast<const char*>(l) : "";
    self->Log.push_back({msg, w, text});
    self->Arrived.notify_all();
  }
  static intptr_t KeepSent(void* ctx, uint32_t msg, uintptr_t w, intptr_t l) {
    Keep(ctx, msg, w, l);
    return 0;
  }
  PlaybackWindow Hooks() {
    PlaybackWindow w;
    w.Ctx = this;
    w.Post = Keep;
    w.Send = KeepSent;
    return w;
  }
  size_t Size() {
    std::lock_guard<std::mutex> g(Lock);
    return Log.size();
  }
  int Count(uint32_t msg) {
    std::lock_guard<std::mutex> g(Lock);
    int n = 0;
    for (auto& r : Log) n += r.Msg == msg;
    return n;
  }
  // Waits until `n` messages `msg` have arrived in all.
  bool WaitFor(uint32_t msg, int timeoutMs, int n = 1) {
    std::unique_lock<std::mutex> g(Lock);
    return Arrived.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] {
      int seen = 0;
      for (auto& r : Log) seen += r.Msg == msg;
      return seen >= n;
    });
  }
  WindowRecord LastStatus() {
    std::lock_guard<std::mutex> g(Lock);
    for (auto it = Log.rbegin(); it != Log.rend(); ++it)
      if (it->Msg == WM_PLAYSTATUS) return *it;
    return {};
  }
};

class PlayTest : public ::testing::Test {
 protected:
  RecordingWindow Window;
  void SetUp() override {
    EngineSetUp();
    plat::SeedRandom(1);
    ASSERT_TRUE(CreateAudioThread(Window.Hooks(), false));
    plat::SetEvent(hWaveEvent);
    ASSERT_TRUE(plat::WaitEvent(hWaveEvent2, 5000));
  }
  void TearDown() override {
    EndAudioThread();
    FreezeState = 0;
    AudioStrobeOn = 0;
  }
  // Returns once the audio thread has handled everything queued before.
  static void Barrier() { plat::SendMsg(AudioQueue, 0); }
  // Stops like the main window: request, wait for 1037, close.
  void StopAndClose(plat::WaveDevice* dev) {
    int before = Window.Count(WM_PLAYSTOPPED);
    RequestStop();
    ASSERT_TRUE(Window.WaitFor(WM_PLAYSTOPPED, 5000, before + 1));
    EXPECT_EQ(plat::WaveClose(dev), plat::WAVE_OK);
    Barrier();
  }
};

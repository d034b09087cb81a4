// Playback tests: the audio thread running against a recording "main
// window" that drains the notice ring, and helpers to drive a device block
// by block.
#pragma once
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <vector>

#include "data/playback/audiothread.h"
#include "data/playback/devplay.h"
#include "data/playback/fade.h"
#include "data/playback/playevents.h"
#include "platform/rand.h"
#include "testpreset.h"

struct WindowRecord {
  uint32_t Msg;
  bool Forced;               // statuses: taken at a start, a record or freeze change
  std::string Text;          // statuses, formatted as the window formats them
  plat::WaveDevice* Device;  // WM_PLAYSTOPPED
};

// The main window's side of the notice ring: takes what the audio thread
// reported, on the test thread, whenever the test looks, and keeps it.
struct RecordingWindow {
  std::vector<WindowRecord> Log;

  void Drain() {
    PlayEvent e;
    while (TakePlayEvent(&e)) {
      WindowRecord r{e.Kind, false, "", e.Device};
      if (e.Kind == WM_PLAYSTATUS) {
        char text[1024], sleep[128];
        FormatPlayStatus(e.Status, text, sizeof text);
        r.Text = text;
        if (FormatSleepLine(e.Status, sleep, sizeof sleep)) r.Text += std::string("\n") + sleep;
        r.Forced = e.Status.Forced != 0;
      }
      Log.push_back(r);
    }
  }
  PlaybackWindow Hooks() {
    PlaybackWindow w;
    w.Ctx = this;
    return w;
  }
  size_t Size() {
    Drain();
    return Log.size();
  }
  int Count(uint32_t msg) {
    Drain();
    int n = 0;
    for (auto& r : Log) n += r.Msg == msg;
    return n;
  }
  // Waits on the ring's descriptor until `n` notices `msg` have arrived in
  // all.
  bool WaitFor(uint32_t msg, int timeoutMs, int n = 1) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (Count(msg) >= n) return true;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{PlayEventFd(), POLLIN, 0};
      poll(&p, 1, static_cast<int>(left.count()));
    }
  }
  WindowRecord LastStatus() {
    Drain();
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
    TestRecord.FreezeState = 0;
    TestRecord.AudioStrobeOn = 0;
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

// Inside the wave output layer: the device record shared by the ALSA and the
// fake implementations.
#pragma once
#include <alsa/asoundlib.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/wavedev.h"

namespace plat {

// The queued blocks, linked through their headers' Next field: queueing and
// returning a block allocate nothing.
struct HeaderQueue {
  WaveHeader* Head = nullptr;
  WaveHeader* Tail = nullptr;
  int Size = 0;
  bool empty() const { return Head == nullptr; }
  int size() const { return Size; }
  WaveHeader* front() const { return Head; }
  void push_back(WaveHeader* h) {
    h->Next = nullptr;
    if (Tail)
      Tail->Next = h;
    else
      Head = h;
    Tail = h;
    Size++;
  }
  void pop_front() {
    WaveHeader* h = Head;
    Head = h->Next;
    if (!Head) Tail = nullptr;
    h->Next = nullptr;
    Size--;
  }
};

struct WaveDevice {
  WaveFormat Format;
  MsgQueue* Callback = nullptr;
  std::mutex Lock;  // everything below
  std::condition_variable Wake;
  HeaderQueue Queue;
  uint32_t Pos = 0;      // bytes of the front block already handed on
  uint32_t Sending = 0;  // bytes after Pos copied and being written to ALSA
  bool Paused = false;
  bool Quit = false;
  uint64_t ResetCount = 0;  // bumped by each reset
  bool DrainOnReset = false;
  bool Starved = false;  // played out with nothing queued
  bool PlayedSinceReset = false;
  int64_t Underruns = 0;
  // ALSA
  snd_pcm_t* Pcm = nullptr;
  snd_config_t* Config = nullptr;
  uint32_t ChunkBytes = 0;
  std::thread Thread;
  // Fake
  FakeWave* Fake = nullptr;
};

// Caller holds dev.Lock: the front block is complete.
void FinishFront(WaveDevice& dev);

// Fake device hooks (wavedev_fake.cpp).
int FakeQueryFormat(FakeWave* fake, const WaveFormat& f);
int FakeOpen(FakeWave* fake, WaveDevice* dev);
void FakeClose(FakeWave* fake);
// Caller holds dev.Lock.
void FakeOnReset(FakeWave* fake);

}  // namespace plat

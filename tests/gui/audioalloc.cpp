// Allocations on the audio thread while a window plays: this program's
// operator new counts those made on a thread the audio thread's message hook
// has marked, while a watch is alive.
#include <atomic>
#include <cstdlib>
#include <new>

#include "data/playback/audiothread.h"
#include "gui/guitest.h"

namespace {
thread_local bool tAudioThread = false;
std::atomic<bool> gWatching{false};
std::atomic<int> gAllocations{0};

void MarkAudioThread(uint32_t, uintptr_t) { tAudioThread = true; }
}  // namespace

// malloc/free back the replaced operators; GCC cannot see that they pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  if (tAudioThread && gWatching.load(std::memory_order_relaxed)) gAllocations++;
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
// The nothrow form too, or what it allocated would reach the free below
// from another allocator (the sanitizer's).
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  if (tAudioThread && gWatching.load(std::memory_order_relaxed)) gAllocations++;
  return std::malloc(n ? n : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace gui {

AudioAllocationWatch::AudioAllocationWatch() {
  gAllocations = 0;
  AudioMessageHook.store(MarkAudioThread);
  gWatching = true;
}

AudioAllocationWatch::~AudioAllocationWatch() {
  gWatching = false;
  AudioMessageHook.store(nullptr);
}

int AudioAllocationWatch::count() const { return gAllocations.load(); }

}  // namespace gui

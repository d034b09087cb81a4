// The notice rings between the audio thread and the window.
//
// Two single-producer, single-consumer rings: statuses, whose oldest entry
// the producer may drop when the ring is full, and notices (end, stopped),
// which are never dropped. Each event gets a sequence number from the
// producer, and the consumer hands them out in that order.
//
// Dropping the oldest entry means the producer moves the tail too, so the
// tail is advanced by compare-and-swap on both sides: the consumer copies the
// slot first and keeps the copy only when its swap succeeds; a failed swap
// means the producer dropped that entry (and may be overwriting the slot), so
// the copy is thrown away. Slots are arrays of atomic words so that such a
// discarded copy is no data race.
#include "data/playback/playevents.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <type_traits>

#include "assert/check.h"

namespace {

template <typename T, uint32_t N>
class Ring {
 public:
  static_assert(std::is_trivially_copyable_v<T>);
  // Producer. With dropOldest a full ring loses its oldest entry (counted in
  // *dropped); otherwise a full ring refuses.
  bool Push(const T& v, bool dropOldest, std::atomic<int64_t>* dropped) {
    uint64_t h = Head_.load(std::memory_order_relaxed);
    uint64_t t = Tail_.load(std::memory_order_acquire);
    while (h - t >= N) {
      if (!dropOldest) return false;
      if (Tail_.compare_exchange_weak(t, t + 1, std::memory_order_acq_rel, std::memory_order_acquire)) {
        if (dropped) dropped->fetch_add(1, std::memory_order_relaxed);
        break;
      }
    }
    uint64_t words[kWords] = {};
    std::memcpy(words, &v, sizeof(T));
    Slot& s = Slots_[h % N];
    for (uint32_t i = 0; i < kWords; i++) s.W[i].store(words[i], std::memory_order_relaxed);
    Head_.store(h + 1, std::memory_order_release);
    return true;
  }
  // Consumer.
  bool Pop(T* out) {
    for (;;) {
      uint64_t t = Tail_.load(std::memory_order_acquire);
      uint64_t h = Head_.load(std::memory_order_acquire);
      if (t == h) return false;
      uint64_t words[kWords];
      const Slot& s = Slots_[t % N];
      for (uint32_t i = 0; i < kWords; i++) words[i] = s.W[i].load(std::memory_order_relaxed);
      if (Tail_.compare_exchange_strong(t, t + 1, std::memory_order_acq_rel, std::memory_order_relaxed)) {
        std::memcpy(out, words, sizeof(T));
        return true;
      }
    }
  }
  bool Empty() const { return Tail_.load(std::memory_order_acquire) == Head_.load(std::memory_order_acquire); }
  // Nothing may run on either side.
  void Clear() {
    Head_.store(0);
    Tail_.store(0);
  }

 private:
  static constexpr uint32_t kWords = (sizeof(T) + 7) / 8;
  struct Slot {
    std::atomic<uint64_t> W[kWords];
  };
  std::atomic<uint64_t> Head_{0};
  std::atomic<uint64_t> Tail_{0};
  Slot Slots_[N];
};

struct StatusEntry {
  uint64_t Seq;
  const PlaybackState* Playback;
  PlayStatus Status;
};
struct NoticeEntry {
  uint64_t Seq;
  uint32_t Kind;
  const PlaybackState* Playback;
  plat::WaveDevice* Device;
};

// A playback produces one end and one stopped notice at most, and the next
// cannot start before the window has taken the stopped one: a few slots
// are plenty.
constexpr uint32_t NOTICE_RING = 16;

Ring<StatusEntry, PLAYSTATUS_RING> gStatuses;
Ring<NoticeEntry, NOTICE_RING> gNotices;
std::atomic<uint64_t> gSeq{0};  // producer's
std::atomic<int64_t> gDropped{0};
std::atomic<bool> gSignalled{false};
std::atomic<int> gFd{-1};

// Consumer's look-ahead: taken from a ring, not yet handed out.
StatusEntry gNextStatus;
bool gHaveStatus = false;
NoticeEntry gNextNotice;
bool gHaveNotice = false;

void Wake() {
  // Orders the entry before the flag against the consumer's clear-then-look.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (gSignalled.exchange(true)) return;
  int fd = gFd.load(std::memory_order_acquire);
  if (fd < 0) return;
  uint64_t one = 1;
  // Non-blocking; the counter would have to reach 2^64 - 1 to refuse.
  ssize_t n = ::write(fd, &one, sizeof one);
  (void)n;
}

// Statuses are taken first: every notice produced before a status taken is
// then already visible.
bool Next(PlayEvent* out) {
  if (!gHaveStatus) gHaveStatus = gStatuses.Pop(&gNextStatus);
  if (!gHaveNotice) gHaveNotice = gNotices.Pop(&gNextNotice);
  if (!gHaveStatus && !gHaveNotice) return false;
  if (gHaveNotice && (!gHaveStatus || gNextNotice.Seq < gNextStatus.Seq)) {
    gHaveNotice = false;
    out->Kind = gNextNotice.Kind;
    out->Playback = gNextNotice.Playback;
    out->Device = gNextNotice.Device;
    return true;
  }
  gHaveStatus = false;
  out->Kind = WM_PLAYSTATUS;
  out->Playback = gNextStatus.Playback;
  out->Device = nullptr;
  out->Status = gNextStatus.Status;
  return true;
}

}  // namespace

int PlayEventFd() {
  int fd = gFd.load();
  if (fd < 0) {
    fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    TVK_CHECK(fd >= 0, fd);
    gFd.store(fd);
    // Anything that came before the descriptor must still wake the window.
    if (fd >= 0 && (!gStatuses.Empty() || !gNotices.Empty())) {
      uint64_t one = 1;
      ssize_t n = ::write(fd, &one, sizeof one);
      (void)n;
    }
  }
  return fd;
}

bool TakePlayEvent(PlayEvent* out) {
  if (Next(out)) return true;
  // Empty: clear the readiness, then look once more, so an entry that came
  // in between (whose producer saw the flag still set) is not left behind.
  int fd = gFd.load();
  if (fd >= 0) {
    uint64_t count;
    ssize_t n = ::read(fd, &count, sizeof count);
    (void)n;
  }
  gSignalled.store(false);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  return Next(out);
}

int64_t PlayStatusesDropped() { return gDropped.load(std::memory_order_relaxed); }

void PostPlayStatus(const PlaybackState* pb, const PlayStatus& s) {
  StatusEntry e;
  std::memset(static_cast<void*>(&e), 0, sizeof e);
  e.Seq = gSeq.fetch_add(1, std::memory_order_relaxed);
  e.Playback = pb;
  e.Status = s;
  gStatuses.Push(e, true, &gDropped);
  Wake();
}

void PostPlayNotice(const PlaybackState* pb, uint32_t kind, plat::WaveDevice* device) {
  NoticeEntry e{gSeq.fetch_add(1, std::memory_order_relaxed), kind, pb, device};
  bool pushed = gNotices.Push(e, false, nullptr);
  TVK_CHECK(pushed, kind);
  Wake();
}

void ResetPlayEvents() {
  gStatuses.Clear();
  gNotices.Clear();
  gHaveStatus = gHaveNotice = false;
  gDropped.store(0);
  gSignalled.store(false);
  int fd = gFd.load();
  if (fd >= 0) {
    uint64_t count;
    ssize_t n = ::read(fd, &count, sizeof count);
    (void)n;
  }
}

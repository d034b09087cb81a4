#include "platform/msgqueue.h"

#include <algorithm>
#include <chrono>

namespace plat {

// The sender's side of a sent message; lives on the sender's stack until it
// is answered.
struct SendSlot {
  bool Done = false;
  intptr_t Result = 0;
};

namespace {

// Caller holds q.Lock.
void AnswerPending(MsgQueue& q, intptr_t result) {
  if (!q.Pending) return;
  q.Pending->Result = result;
  q.Pending->Done = true;
  q.Pending = nullptr;
  q.Ready.notify_all();
}

// Caller holds q.Lock.
void PushLocked(MsgQueue& q, const Msg& m) {
  if (q.Count == q.Ring.size()) {
    // Full: unwrap into a ring twice the size (the only allocation).
    std::vector<Msg> bigger(std::max<size_t>(16, 2 * q.Ring.size()));
    for (size_t i = 0; i < q.Count; i++) bigger[i] = q.Ring[(q.First + i) % q.Ring.size()];
    q.Ring.swap(bigger);
    q.First = 0;
  }
  q.Ring[(q.First + q.Count) % q.Ring.size()] = m;
  q.Count++;
}

bool TakeLocked(MsgQueue& q, Msg* out) {
  *out = q.Ring[q.First];
  q.First = (q.First + 1) % q.Ring.size();
  q.Count--;
  if (out->Reply) q.Pending = out->Reply;
  return true;
}

}  // namespace

bool PostMsg(MsgQueue& q, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> g(q.Lock);
  if (q.Quit) return false;
  PushLocked(q, Msg{id, wParam, lParam, nullptr});
  q.Ready.notify_all();
  return true;
}

intptr_t SendMsg(MsgQueue& q, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  SendSlot slot;
  std::unique_lock<std::mutex> g(q.Lock);
  if (q.Quit) return 0;
  PushLocked(q, Msg{id, wParam, lParam, &slot});
  q.Ready.notify_all();
  q.Ready.wait(g, [&] { return slot.Done; });
  return slot.Result;
}

bool GetMsg(MsgQueue& q, Msg* out) {
  std::unique_lock<std::mutex> g(q.Lock);
  AnswerPending(q, 0);
  q.Ready.wait(g, [&] { return q.Count > 0 || q.Quit; });
  if (q.Count == 0) return false;
  return TakeLocked(q, out);
}

bool GetMsgTimeout(MsgQueue& q, Msg* out, int timeoutMs, bool* timedOut) {
  std::unique_lock<std::mutex> g(q.Lock);
  AnswerPending(q, 0);
  bool any = q.Ready.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return q.Count > 0 || q.Quit; });
  if (timedOut) *timedOut = !any;
  if (q.Count == 0) return false;
  return TakeLocked(q, out);
}

void ReplyMsg(MsgQueue& q, intptr_t result) {
  std::lock_guard<std::mutex> g(q.Lock);
  AnswerPending(q, result);
}

void PostQuit(MsgQueue& q) {
  std::lock_guard<std::mutex> g(q.Lock);
  q.Quit = true;
  AnswerPending(q, 0);
  // Senders still queued are released with 0; their slots leave the queue.
  size_t kept = 0;
  for (size_t i = 0; i < q.Count; i++) {
    Msg& m = q.Ring[(q.First + i) % q.Ring.size()];
    if (m.Reply) {
      m.Reply->Done = true;
      m.Reply->Result = 0;
    } else {
      q.Ring[(q.First + kept++) % q.Ring.size()] = m;
    }
  }
  q.Count = kept;
  q.Ready.notify_all();
}

void ResetMsgQueue(MsgQueue& q) {
  std::lock_guard<std::mutex> g(q.Lock);
  AnswerPending(q, 0);
  for (size_t i = 0; i < q.Count; i++) {
    Msg& m = q.Ring[(q.First + i) % q.Ring.size()];
    if (m.Reply) m.Reply->Done = true;
  }
  q.First = q.Count = 0;
  if (q.Ring.size() < MSGQUEUE_RESERVE) q.Ring.assign(MSGQUEUE_RESERVE, Msg{});
  q.Quit = false;
  q.Ready.notify_all();
}

void SetEvent(Event& e) {
  std::lock_guard<std::mutex> g(e.Lock);
  e.Signalled = true;
  e.Changed.notify_all();
}

void ResetEvent(Event& e) {
  std::lock_guard<std::mutex> g(e.Lock);
  e.Signalled = false;
}

bool WaitEvent(Event& e, int timeoutMs) {
  std::unique_lock<std::mutex> g(e.Lock);
  auto ready = [&] { return e.Signalled; };
  bool ok = true;
  if (timeoutMs < 0)
    e.Changed.wait(g, ready);
  else
    ok = e.Changed.wait_for(g, std::chrono::milliseconds(timeoutMs), ready);
  if (ok && !e.ManualReset) e.Signalled = false;
  return ok;
}

}  // namespace plat

#include "platform/msgqueue.h"

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

bool TakeLocked(MsgQueue& q, Msg* out) {
  *out = q.Items.front();
  q.Items.pop_front();
  if (out->Reply) q.Pending = out->Reply;
  return true;
}

}  // namespace

bool PostMsg(MsgQueue& q, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> g(q.Lock);
  if (q.Quit) return false;
  q.Items.push_back(Msg{id, wParam, lParam, nullptr});
  q.Ready.notify_all();
  return true;
}

intptr_t SendMsg(MsgQueue& q, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  SendSlot slot;
  std::unique_lock<std::mutex> g(q.Lock);
  if (q.Quit) return 0;
  q.Items.push_back(Msg{id, wParam, lParam, &slot});
  q.Ready.notify_all();
  q.Ready.wait(g, [&] { return slot.Done; });
  return slot.Result;
}

bool GetMsg(MsgQueue& q, Msg* out) {
  std::unique_lock<std::mutex> g(q.Lock);
  AnswerPending(q, 0);
  q.Ready.wait(g, [&] { return !q.Items.empty() || q.Quit; });
  if (q.Items.empty()) return false;
  return TakeLocked(q, out);
}

bool GetMsgTimeout(MsgQueue& q, Msg* out, int timeoutMs, bool* timedOut) {
  std::unique_lock<std::mutex> g(q.Lock);
  AnswerPending(q, 0);
  bool any = q.Ready.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return !q.Items.empty() || q.Quit; });
  if (timedOut) *timedOut = !any;
  if (q.Items.empty()) return false;
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
  for (auto it = q.Items.begin(); it != q.Items.end();) {
    if (it->Reply) {
      it->Reply->Done = true;
      it->Reply->Result = 0;
      it = q.Items.erase(it);
    } else {
      ++it;
    }
  }
  q.Ready.notify_all();
}

void ResetMsgQueue(MsgQueue& q) {
  std::lock_guard<std::mutex> g(q.Lock);
  AnswerPending(q, 0);
  for (Msg& m : q.Items)
    if (m.Reply) m.Reply->Done = true;
  q.Items.clear();
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

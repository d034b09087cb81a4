// Thread message queues and events: what a thread's message loop reads.
//
// A queue carries messages of (id, wParam, lParam) in the order they were
// posted. PostMsg returns at once; SendMsg waits until the receiving thread
// has taken the message and answered it (ReplyMsg, or its next GetMsg,
// which answers 0). A message sent from the receiving thread to its own queue
// would wait forever, so callers on that thread handle it directly instead.
//
// The queue keeps its messages in a ring that ResetMsgQueue sizes for
// MSGQUEUE_RESERVE messages, so posting and taking allocate nothing while
// fewer wait (the audio thread's queue takes one message per returned
// block); a deeper queue grows once.
//
// Event: a manual- or auto-reset flag threads wait on. Any thread may call
// these functions.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace plat {

struct SendSlot;

struct Msg {
  uint32_t Id = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  SendSlot* Reply = nullptr;  // set for a sent message until it is answered
};

constexpr size_t MSGQUEUE_RESERVE = 2048;

struct MsgQueue {
  std::mutex Lock;
  std::condition_variable Ready;
  std::vector<Msg> Ring;  // Count messages from Ring[First], wrapping
  size_t First = 0;
  size_t Count = 0;
  SendSlot* Pending = nullptr;  // the sent message last handed out, unanswered
  bool Quit = false;
};

// Appends a message; false once the queue has been told to quit.
bool PostMsg(MsgQueue& q, uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0);
// Posts the message and waits for the receiver's answer; 0 when the queue
// quits before answering.
intptr_t SendMsg(MsgQueue& q, uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0);
// Waits for the next message (answering an unanswered sent one with 0
// first). false once PostQuit was called and the queue is empty.
bool GetMsg(MsgQueue& q, Msg* out);
// The same with a time-out in milliseconds; false also on time-out
// (*timedOut tells which).
bool GetMsgTimeout(MsgQueue& q, Msg* out, int timeoutMs, bool* timedOut);
// Answers the sent message last returned by GetMsg.
void ReplyMsg(MsgQueue& q, intptr_t result);
// Ends the loop: GetMsg returns false after the queued messages, waiting
// senders are released.
void PostQuit(MsgQueue& q);
// Clears the quit state and any left-over messages, so the queue can serve a
// new loop, and reserves room for MSGQUEUE_RESERVE messages.
void ResetMsgQueue(MsgQueue& q);

struct Event {
  std::mutex Lock;
  std::condition_variable Changed;
  bool Signalled = false;
  bool ManualReset = true;
};
void SetEvent(Event& e);
void ResetEvent(Event& e);
// true when signalled within timeoutMs (< 0 waits forever); an auto-reset
// event is cleared by the wait that sees it.
bool WaitEvent(Event& e, int timeoutMs = -1);

}  // namespace plat

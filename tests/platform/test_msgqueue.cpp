// Thread message queues: order, synchronous sends, quitting, events.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/msgqueue.h"

namespace {

TEST(MsgQueue, PostedMessagesArriveInOrderAndSendWaitsForTheAnswer) {
  plat::MsgQueue q;
  std::vector<uint32_t> seen;
  std::atomic<bool> sendReturned{false};
  std::thread receiver([&] {
    plat::Msg m;
    while (plat::GetMsg(q, &m)) {
      seen.push_back(m.Id);
      if (m.Id == 3) {
        // The sender is still waiting while the message is handled.
        EXPECT_FALSE(sendReturned.load());
        plat::ReplyMsg(q, static_cast<intptr_t>(m.WParam) * 2);
      }
    }
  });
  plat::PostMsg(q, 1);
  plat::PostMsg(q, 2);
  intptr_t r = plat::SendMsg(q, 3, 21);
  sendReturned = true;
  EXPECT_EQ(r, 42);
  plat::PostMsg(q, 4);
  plat::PostQuit(q);
  receiver.join();
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3, 4}));
  // After quitting nothing more is accepted, and a send does not hang.
  EXPECT_FALSE(plat::PostMsg(q, 5));
  EXPECT_EQ(plat::SendMsg(q, 6), 0);
}

TEST(MsgQueue, UnansweredSendIsAnsweredZeroByTheNextGet) {
  plat::MsgQueue q;
  std::thread receiver([&] {
    plat::Msg m;
    while (plat::GetMsg(q, &m)) {
    }
  });
  EXPECT_EQ(plat::SendMsg(q, 7, 1, 2), 0);
  // A send works as a barrier: everything posted before it has been taken.
  plat::PostMsg(q, 8);
  EXPECT_EQ(plat::SendMsg(q, 9), 0);
  plat::PostQuit(q);
  receiver.join();
}

TEST(MsgQueue, TimeoutAndReset) {
  plat::MsgQueue q;
  plat::Msg m;
  bool timedOut = false;
  EXPECT_FALSE(plat::GetMsgTimeout(q, &m, 10, &timedOut));
  EXPECT_TRUE(timedOut);
  plat::PostMsg(q, 5, 6, 7);
  ASSERT_TRUE(plat::GetMsgTimeout(q, &m, 10, &timedOut));
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(m.Id, 5u);
  EXPECT_EQ(m.WParam, 6u);
  EXPECT_EQ(m.LParam, 7);
  plat::PostQuit(q);
  EXPECT_FALSE(plat::GetMsg(q, &m));
  plat::ResetMsgQueue(q);
  EXPECT_TRUE(plat::PostMsg(q, 1));
  EXPECT_TRUE(plat::GetMsg(q, &m));
}

TEST(Event, ManualAndAutoReset) {
  plat::Event manual;
  EXPECT_FALSE(plat::WaitEvent(manual, 5));
  std::thread t([&] { plat::SetEvent(manual); });
  EXPECT_TRUE(plat::WaitEvent(manual, 2000));
  t.join();
  EXPECT_TRUE(plat::WaitEvent(manual, 0));  // stays set
  plat::ResetEvent(manual);
  EXPECT_FALSE(plat::WaitEvent(manual, 0));

  plat::Event autoEv;
  autoEv.ManualReset = false;
  plat::SetEvent(autoEv);
  EXPECT_TRUE(plat::WaitEvent(autoEv, 0));
  EXPECT_FALSE(plat::WaitEvent(autoEv, 0));  // taken by the first wait
}

}  // namespace

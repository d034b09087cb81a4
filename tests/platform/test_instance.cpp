// The single-instance lock and the hand-over of a second start's command
// line, between two processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/instance.h"

namespace {

std::string Folder(const char* name) {
  std::string dir = ::testing::TempDir() + "inst_" + name + "_" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0700);
  return dir;
}

// A child process that holds the lock; with `serve` it answers each request
// with `answer`, else it never accepts (a hung first instance). It ends when
// its pipe closes.
pid_t HoldLock(const std::string& dir, bool serve, int answer, int* toChild) {
  int ready[2], quit[2];
  if (::pipe(ready) != 0 || ::pipe(quit) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    // Only the parent writes to `quit`: its end closing is the signal.
    ::close(quit[1]);
    ::close(ready[0]);
    plat::InstanceServer s;
    char ok = plat::TakeInstanceLock(s, dir) ? 1 : 0;
    ssize_t w = ::write(ready[1], &ok, 1);
    (void)w;
    for (;;) {
      fd_set fds;
      FD_ZERO(&fds);
      FD_SET(quit[0], &fds);
      if (serve) FD_SET(s.ListenFd, &fds);
      if (::select(64, &fds, nullptr, nullptr, nullptr) < 0) continue;
      if (FD_ISSET(quit[0], &fds)) break;
      int fd;
      std::string line;
      if (plat::AcceptRequest(s, &fd, &line)) plat::AnswerRequest(fd, answer);
    }
    plat::ReleaseInstance(s);
    ::_exit(0);
  }
  ::close(quit[0]);
  ::close(ready[1]);
  char ok = 0;
  EXPECT_EQ(::read(ready[0], &ok, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(ok, 1);
  *toChild = quit[1];
  return pid;
}

void EndChild(pid_t pid, int toChild) {
  ::close(toChild);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

TEST(Instance, FirstHoldsTheLockUntilItEnds) {
  std::string dir = Folder("lock");
  int toChild;
  pid_t pid = HoldLock(dir, true, 0, &toChild);
  plat::InstanceServer s;
  bool usable = false;
  EXPECT_FALSE(plat::TakeInstanceLock(s, dir, &usable));
  EXPECT_TRUE(usable);
  EndChild(pid, toChild);
  EXPECT_TRUE(plat::TakeInstanceLock(s, dir, &usable));
  plat::ReleaseInstance(s);
}

TEST(Instance, HandOverCarriesTheAnswer) {
  std::string dir = Folder("answer");
  for (int answer : {0, 1}) {
    int toChild;
    pid_t pid = HoldLock(dir, true, answer, &toChild);
    EXPECT_EQ(plat::HandOver(dir, "/tmp/x.tvk", 2000), answer == 0 ? plat::HANDOVER_TAKEN : plat::HANDOVER_REFUSED);
    EndChild(pid, toChild);
  }
}

TEST(Instance, HungFirstInstanceTimesOut) {
  std::string dir = Folder("hung");
  int toChild;
  pid_t pid = HoldLock(dir, false, 0, &toChild);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(plat::HandOver(dir, "file.tvk", 300), plat::HANDOVER_BUSY);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EndChild(pid, toChild);
}

TEST(Instance, NobodyListeningIsNoWindow) {
  std::string dir = Folder("none");
  EXPECT_EQ(plat::HandOver(dir, "file.tvk", 300), plat::HANDOVER_NONE);
}

TEST(Instance, FolderOpenToOthersIsRefused) {
  std::string dir = Folder("open");
  ::chmod(dir.c_str(), 0777);
  plat::InstanceServer s;
  bool usable = true;
  EXPECT_FALSE(plat::TakeInstanceLock(s, dir, &usable));
  EXPECT_FALSE(usable);
}

}  // namespace

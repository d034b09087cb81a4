// Crash records: a child process crashes on purpose in each way the
// handlers catch; the record it leaves is taken into the ring.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "assert/crash.h"
#include "assert/debugrec.h"

namespace {

int32_t Word(const std::string& r, size_t off) {
  int32_t v;
  std::memcpy(&v, r.data() + off, 4);
  return v;
}

void Crash(int how) {
  switch (how) {
    case SIGSEGV: {
      volatile uintptr_t where = 16;
      volatile int* p = reinterpret_cast<volatile int*>(where);
      *p = 1;
      break;
    }
    case SIGABRT: std::abort();
    case 0:
      // On a thread of its own: the test framework catches around the body.
      std::thread([] { throw std::runtime_error("nobody catches this"); }).join();
      break;
    default: ::raise(how);
  }
}

TEST(Crash, EachFaultLeavesARecordForTheNextStart) {
  struct Case {
    int How;        // what the child does (0: throws)
    int DiesBy;     // the signal that ends it
    int32_t Value;  // "signal" in the record
  };
  const Case cases[] = {{SIGSEGV, SIGSEGV, SIGSEGV}, {SIGBUS, SIGBUS, SIGBUS},    {SIGFPE, SIGFPE, SIGFPE},
                        {SIGILL, SIGILL, SIGILL},    {SIGABRT, SIGABRT, SIGABRT}, {0, SIGABRT, 0}};
  auto dir = std::filesystem::temp_directory_path() / ("sonavel-crash-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  for (const Case& c : cases) {
    ClearDebugRecords();
    std::string summary;
    ASSERT_FALSE(TakeCrashRecord(dir.string(), &summary));
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      InstallCrashHandlers(dir.string());
      Crash(c.How);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << c.How;
    EXPECT_EQ(WTERMSIG(status), c.DiesBy) << c.How;

    int signal = -1;
    ASSERT_TRUE(TakeCrashRecord(dir.string(), &summary, &signal)) << c.How;
    EXPECT_EQ(signal, c.Value);
    EXPECT_FALSE(std::filesystem::exists(dir / "crash.tvd"));
    EXPECT_NE(summary.find("main 3.1.12: 1361"), std::string::npos) << summary;
    std::vector<KeptDebugRecord> recs = KeptDebugRecords();
    ASSERT_EQ(recs.size(), 1u);
    const std::string& r = recs[0].Bytes;
    EXPECT_EQ(r.size(), 751u);
    EXPECT_NE(Word(r, 0), 0);  // the crashed run's identifier
    EXPECT_EQ(Word(r, 20), 3);
    uint16_t year;
    std::memcpy(&year, r.data() + 4, 2);
    EXPECT_GE(year, 2020);  // a plausible local time
    EXPECT_STREQ(r.data() + 32, "0");
    EXPECT_STREQ(r.data() + 96, "signal");
    EXPECT_EQ(Word(r, 352), c.Value);
    EXPECT_STREQ(r.data() + 372, "main");
    EXPECT_EQ(Word(r, 404), 1361);
    EXPECT_EQ(Word(r, 740), 0);
    EXPECT_EQ(Word(r, 744), 0);
    if (c.How == SIGSEGV) {
      EXPECT_EQ(Word(r, 360), 16);  // the fault address
    }
  }
  ClearDebugRecords();
  std::filesystem::remove_all(dir);
}

TEST(Crash, FolderFollowsXdgStateHome) {
  std::string saved = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
  ::setenv("XDG_STATE_HOME", "/some/state", 1);
  EXPECT_EQ(CrashFolder(), "/some/state/Sonavel");
  ::setenv("XDG_STATE_HOME", "relative", 1);  // not absolute: ignored
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(CrashFolder(), "/home/u/.local/state/Sonavel");
  if (saved.empty())
    ::unsetenv("XDG_STATE_HOME");
  else
    ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
}

// A FIFO put where the record is read: the start passes it by instead of
// waiting for a writer for ever.
TEST(Crash, AFifoInPlaceOfTheRecordIsPassedBy) {
  auto dir = std::filesystem::temp_directory_path() / ("sonavel-crashfifo-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ASSERT_EQ(::mkfifo((dir / "crash.tvd").c_str(), 0600), 0);
  std::string summary;
  EXPECT_FALSE(TakeCrashRecord(dir.string(), &summary));
  EXPECT_EQ(DebugRecordCount(), 0);
  std::filesystem::remove_all(dir);
}

}  // namespace

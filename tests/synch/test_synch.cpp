// Synchronised starts without a window: which sockets take part, the
// request and its answer, the go event across processes, and the two
// synchronisation points with a companion program that follows the
// protocol.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "common/checks.h"
#include "synch/synch.h"

namespace {

struct Folder {
  std::string Path;
  Folder() {
    char tmpl[] = "/tmp/synchtest-XXXXXX";
    Path = ::mkdtemp(tmpl);
  }
  ~Folder() {
    std::string cmd = "rm -rf '" + Path + "'";
    int r = std::system(cmd.c_str());
    (void)r;
  }
  std::string operator/(const std::string& name) const { return Path + "/" + name; }
};

// A socket bound at `path`, listening (listen = false leaves it bound only,
// as an ended process leaves its socket).
int Listen(const std::string& path, bool listen = true) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << path;
  if (listen) {
    EXPECT_EQ(::listen(fd, 4), 0);
  }
  return fd;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// A process id that is certainly unused: a child that has been reaped.
int DeadPid() {
  pid_t p = ::fork();
  if (p == 0) ::_exit(0);
  ::waitpid(p, nullptr, 0);
  return static_cast<int>(p);
}

TEST(SynchNames, InstancesAndCompanionsAreKnownByTheirSocketNames) {
  struct Case {
    const char* Name;
    int Kind;
  } cases[] = {
      {"TAVIK.4711", 1},          {"TAVIK.", -1},        {"TAVIK", -1},         {"TAVIK.47a", -1},
      {"player_TAVIK_Synch", 0},  {"_TAVIK_Synch", 0},   {"TAVIK_Synch", -1},   {"x_TAVIK_Synch.old", -1},
      {"TAVIK_SynchGoEvent", -1}, {"instance.sock", -1}, {"instance.lock", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(SynchParticipantKind(c.Name), c.Kind) << c.Name;
}

TEST(SynchDiscovery, LiveSocketsOfOursInNameOrderWithoutTheOwnOne) {
  Folder dir;
  std::string own = dir / SynchSocketName(static_cast<int>(::getpid()));
  int dead = DeadPid();
  std::vector<int> fds = {
      Listen(own),
      Listen(dir / "TAVIK.99999999"),
      Listen(dir / "b_TAVIK_Synch"),
      Listen(dir / "a_TAVIK_Synch"),
      Listen(dir / "instance.sock"),
      Listen(dir / ("TAVIK." + std::to_string(dead)), false),  // its process ended
      Listen(dir / "c_TAVIK_Synch", false),                    // a companion that stopped listening
  };
  // Not a socket.
  std::FILE* f = std::fopen((dir / "d_TAVIK_Synch").c_str(), "w");
  std::fclose(f);

  std::vector<SynchParticipant> found = FindSynchParticipants(dir.Path, own);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].Path, dir / "TAVIK.99999999");
  EXPECT_TRUE(found[0].IsMainWindow);
  EXPECT_EQ(found[1].Path, dir / "a_TAVIK_Synch");
  EXPECT_FALSE(found[1].IsMainWindow);
  EXPECT_EQ(found[2].Path, dir / "b_TAVIK_Synch");
  // The ended instance's socket is tidied away; a companion's is its own.
  EXPECT_FALSE(Exists(dir / ("TAVIK." + std::to_string(dead))));
  EXPECT_TRUE(Exists(dir / "c_TAVIK_Synch"));
  EXPECT_TRUE(FindSynchParticipants("", own).empty());
  for (int fd : fds) ::close(fd);
}

TEST(SynchDiscovery, OnlyTheFirst32TakePart) {
  Folder dir;
  std::vector<int> fds;
  char name[32];
  for (int i = 0; i < MAXSYNCHPARTICIPANTS + 2; ++i) {
    std::snprintf(name, sizeof name, "p%02d_TAVIK_Synch", i);
    fds.push_back(Listen(dir / name));
  }
  std::vector<SynchParticipant> found = FindSynchParticipants(dir.Path, "");
  ASSERT_EQ(found.size(), size_t(MAXSYNCHPARTICIPANTS));
  EXPECT_EQ(found.front().Path, dir / "p00_TAVIK_Synch");
  EXPECT_EQ(found.back().Path, dir / "p31_TAVIK_Synch");
  for (int fd : fds) ::close(fd);
}

// A participant's server answering one request as `how` says: "answer N",
// or "close" (it goes away without answering).
TEST(SynchRequest, TheLeaderGetsTheAnswerOrMinusOne) {
  struct Case {
    const char* How;
    int Answer;
    int Expected;
  } cases[] = {{"answer", 0, 0}, {"answer", 1, 1}, {"answer", 1258, 1258}, {"close", 0, -1}};
  for (const Case& c : cases) {
    Folder dir;
    SynchServer server;
    ASSERT_TRUE(StartSynchServer(server, dir.Path));
    SynchParticipant p{server.Path, true};
    std::atomic<int> got{-99};
    std::thread leader([&] { got = SendSynchRequest(p, nullptr, nullptr); });
    int fd = -1;
    for (int i = 0; i < 500 && !TakeSynchRequest(server, &fd); ++i) ::poll(nullptr, 0, 10);
    ASSERT_GE(fd, 0);
    if (std::string(c.How) == "close")
      ::close(fd);
    else
      AnswerSynchRequest(fd, c.Answer);
    leader.join();
    EXPECT_EQ(got.load(), c.Expected) << c.How << " " << c.Answer;
    StopSynchServer(server);
    EXPECT_FALSE(Exists(p.Path));
  }
}

TEST(SynchRequest, AWaitTheUserGivesUpOnEndsTheRequest) {
  Folder dir;
  SynchServer server;
  ASSERT_TRUE(StartSynchServer(server, dir.Path));
  int calls = 0;
  auto pump = [](void* c) { return ++*static_cast<int*>(c) >= 3; };
  EXPECT_EQ(SendSynchRequest({server.Path, true}, pump, &calls), -1);
  EXPECT_EQ(calls, 3);
  // A socket nobody listens on any more.
  EXPECT_EQ(SendSynchRequest({dir / "gone_TAVIK_Synch", false}, nullptr, nullptr), -1);
  StopSynchServer(server);
}

TEST(SynchGoEvent, OneLeaderAtATimeAndADeadLeadersEventIsTakenOver) {
  Folder dir;
  GoEvent a, b;
  GoEvent none;
  EXPECT_FALSE(OpenGoEvent(dir.Path, &none));
  ASSERT_EQ(CreateGoEvent(dir.Path, &a), GO_CREATED);
  EXPECT_EQ(CreateGoEvent(dir.Path, &b), GO_EXISTS);
  EXPECT_EQ(b.Fd, -1);
  SignalGoEvent(dir.Path, &a);
  EXPECT_FALSE(Exists(dir / "TAVIK_SynchGoEvent"));
  ASSERT_EQ(CreateGoEvent(dir.Path, &b), GO_CREATED);
  CloseGoEvent(&b);  // as a leader that died between its two points
  ASSERT_TRUE(Exists(dir / "TAVIK_SynchGoEvent"));
  ASSERT_EQ(CreateGoEvent(dir.Path, &a), GO_CREATED);
  EXPECT_EQ(CreateGoEvent(dir.Path, &b), GO_EXISTS);
  SignalGoEvent(dir.Path, &a);
  EXPECT_EQ(CreateGoEvent("", &a), GO_FAILED);
  // Nothing else is left in the folder.
  EXPECT_EQ(std::system(("test -z \"$(ls -A '" + dir.Path + "')\"").c_str()), 0);
}

int64_t NowNs() {
  timespec t;
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

TEST(SynchGoEvent, EveryWaitingProcessIsReleasedByTheOneSignal) {
  Folder dir;
  GoEvent go;
  ASSERT_EQ(CreateGoEvent(dir.Path, &go), GO_CREATED);
  constexpr int kFollowers = 3;
  int ready[2], done[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(done), 0);
  std::vector<pid_t> kids;
  for (int i = 0; i < kFollowers; ++i) {
    pid_t p = ::fork();
    if (p == 0) {
      GoEvent ev;
      if (!OpenGoEvent(dir.Path, &ev)) ::_exit(1);
      char c = 'r';
      if (::write(ready[1], &c, 1) != 1) ::_exit(1);
      WaitGoEvent(&ev);
      int64_t t = NowNs();
      if (::write(done[1], &t, sizeof t) != sizeof t) ::_exit(1);
      ::_exit(0);
    }
    kids.push_back(p);
  }
  for (int i = 0; i < kFollowers; ++i) {
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
  }
  // Prepared and waiting: nobody goes before the signal.
  pollfd pf{done[0], POLLIN, 0};
  EXPECT_EQ(::poll(&pf, 1, 200), 0);
  int64_t signalled = NowNs();
  SignalGoEvent(dir.Path, &go);
  for (int i = 0; i < kFollowers; ++i) {
    int64_t t = 0;
    ASSERT_EQ(::read(done[0], &t, sizeof t), ssize_t(sizeof t));
    EXPECT_GE(t, signalled);
  }
  for (pid_t p : kids) {
    int status = 0;
    ::waitpid(p, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

// A companion program as the protocol asks of it: on a request it opens the
// go event, answers 0 and waits; it notes when it was released.
struct Companion {
  SynchServer Server;
  std::thread Thread;
  std::atomic<int> Requests{0};
  std::atomic<bool> Released{false};
  Companion(const std::string& folder) {
    EXPECT_TRUE(StartSynchServer(Server, folder));
    // Listening under a companion's name.
    std::string path = folder + "/player_TAVIK_Synch";
    EXPECT_EQ(::rename(Server.Path.c_str(), path.c_str()), 0);
    Server.Path = path;
    Thread = std::thread([this, folder] {
      int fd = -1;
      for (int i = 0; i < 300 && !TakeSynchRequest(Server, &fd); ++i) ::poll(nullptr, 0, 10);
      if (fd < 0) return;
      ++Requests;
      GoEvent ev;
      bool opened = OpenGoEvent(folder, &ev);
      AnswerSynchRequest(fd, 0);
      if (opened) WaitGoEvent(&ev);
      Released = true;
    });
  }
  ~Companion() {
    Thread.join();
    ::unlink(Server.Path.c_str());
    ::close(Server.ListenFd);
  }
};

struct UiLog {
  std::vector<std::string> Calls;
  SynchUi Ui() {
    SynchUi ui;
    ui.Ctx = this;
    ui.ShowProgress = [](void* c, int id, int max) {
      static_cast<UiLog*>(c)->Calls.push_back("show " + std::to_string(id) + " " + std::to_string(max));
    };
    ui.Progress = [](void* c, int pos) {
      static_cast<UiLog*>(c)->Calls.push_back("pos " + std::to_string(pos));
      return false;
    };
    ui.Message = [](void* c, int id) { static_cast<UiLog*>(c)->Calls.push_back("msg " + std::to_string(id)); };
    return ui;
  }
  bool Saw(const std::string& call) const {
    for (const std::string& c : Calls)
      if (c == call) return true;
    return false;
  }
};

TEST(SynchPoints, TheCompanionWaitsUntilTheLeaderRestarted) {
  Folder dir;
  Companion companion(dir.Path);
  SynchState s;
  s.Mode = SYNCH_LEADER;
  s.Folder = dir.Path;
  s.Participants = FindSynchParticipants(dir.Path, "");
  ASSERT_EQ(s.Participants.size(), 1u);
  UiLog log;
  SynchHookA(s, log.Ui());
  EXPECT_EQ(companion.Requests.load(), 1);
  EXPECT_TRUE(log.Saw("show 88 3"));
  EXPECT_TRUE(log.Saw("pos 2"));
  EXPECT_FALSE(log.Saw("msg 1337"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(companion.Released.load());
  SynchHookB(s, log.Ui());
  for (int i = 0; i < 300 && !companion.Released; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(companion.Released.load());
}

TEST(SynchPoints, ASecondLeaderGets1337AndAsksNobody) {
  Folder dir;
  GoEvent pending;
  ASSERT_EQ(CreateGoEvent(dir.Path, &pending), GO_CREATED);
  int fd = Listen(dir / "player_TAVIK_Synch");
  SynchState s;
  s.Mode = SYNCH_LEADER;
  s.Folder = dir.Path;
  s.Participants = FindSynchParticipants(dir.Path, "");
  ASSERT_EQ(s.Participants.size(), 1u);
  UiLog log;
  SynchHookA(s, log.Ui());
  SynchHookB(s, log.Ui());
  EXPECT_TRUE(log.Saw("msg 1337"));
  // Nothing but the discovery's probe reached the participant.
  int conn = ::accept(fd, nullptr, nullptr);
  ASSERT_GE(conn, 0);
  char c;
  EXPECT_EQ(::recv(conn, &c, 1, MSG_DONTWAIT), 0);
  ::close(conn);
  EXPECT_LT(::accept(fd, nullptr, nullptr), 0);
  // The pending leader's event is still its own.
  GoEvent other;
  EXPECT_EQ(CreateGoEvent(dir.Path, &other), GO_EXISTS);
  SignalGoEvent(dir.Path, &pending);
  ::close(fd);
}

// A request from no leader (or from one that gave up meanwhile), and a
// leader that never signals: the follower answers, starts alone and says
// why, and no internal error comes up on the user's screen.
TEST(SynchPoints, AFollowerWithoutItsLeaderStartsAloneAndStillAnswers) {
  for (bool leaderHolds : {false, true}) {
    Folder dir;
    GoEvent held;
    if (leaderHolds) {
      ASSERT_EQ(CreateGoEvent(dir.Path, &held), GO_CREATED);
    }
    SynchServer server;
    ASSERT_TRUE(StartSynchServer(server, dir.Path));
    std::atomic<int> got{-99};
    std::thread leader([&] { got = SendSynchRequest({server.Path, true}, nullptr, nullptr); });
    SynchState s;
    s.Mode = SYNCH_FOLLOWER;
    s.Folder = dir.Path;
    s.GoWaitMs = 100;
    for (int i = 0; i < 500 && !TakeSynchRequest(server, &s.ReplyFd); ++i) ::poll(nullptr, 0, 10);
    ASSERT_GE(s.ReplyFd, 0);
    UiLog log;
    {
      ExpectCheckFailures checks;
      SynchHookA(s, log.Ui());
      EXPECT_TRUE(checks.Failures().empty()) << leaderHolds;
    }
    leader.join();
    EXPECT_EQ(got.load(), 0) << leaderHolds;
    EXPECT_EQ(s.ReplyFd, -1);
    EXPECT_TRUE(log.Saw("show 88 2"));
    EXPECT_TRUE(log.Saw("msg 1337")) << leaderHolds;
    StopSynchServer(server);
    if (leaderHolds) SignalGoEvent(dir.Path, &held);
  }
}

// flock has no time-out of its own: the wait ends at its deadline, when the
// caller gives up (the session ends), or when the leader signals.
TEST(SynchGoEvent, AWaitEndsAtItsDeadlineWhenAskedOrWhenSignalled) {
  struct Case {
    const char* What;
    int TimeoutMs;
    int StopAfterCalls;  // 0: never asked to stop
    int SignalAfterMs;   // -1: the leader never signals
    bool Released;
  } cases[] = {
      {"deadline", 150, 0, -1, false},
      {"asked to stop", 60000, 2, -1, false},
      {"signalled", 60000, 0, 100, true},
  };
  for (const Case& c : cases) {
    Folder dir;
    GoEvent leader, follower;
    ASSERT_EQ(CreateGoEvent(dir.Path, &leader), GO_CREATED);
    ASSERT_TRUE(OpenGoEvent(dir.Path, &follower));
    std::thread signaller;
    if (c.SignalAfterMs >= 0)
      signaller = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(c.SignalAfterMs));
        SignalGoEvent(dir.Path, &leader);
      });
    int calls = 0;
    struct Stop {
      int* Calls;
      int After;
    } stop{&calls, c.StopAfterCalls};
    auto asked = [](void* ctx) {
      auto* st = static_cast<Stop*>(ctx);
      return st->After > 0 && ++*st->Calls >= st->After;
    };
    int64_t t0 = NowNs();
    EXPECT_EQ(WaitGoEvent(&follower, c.TimeoutMs, asked, &stop), c.Released) << c.What;
    int64_t waitedMs = (NowNs() - t0) / 1000000;
    EXPECT_EQ(follower.Fd, -1) << c.What;
    if (c.TimeoutMs < 1000) {
      EXPECT_GE(waitedMs, c.TimeoutMs) << c.What;
    }
    EXPECT_LT(waitedMs, 20000) << c.What;
    if (signaller.joinable()) signaller.join();
    if (!c.Released) SignalGoEvent(dir.Path, &leader);
  }
}

// What a neighbour can send the synchronisation socket: nothing here waits.
TEST(SynchRequest, IsReadWithoutWaiting) {
  Folder dir;
  SynchServer server;
  ASSERT_TRUE(StartSynchServer(server, dir.Path));
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", server.Path.c_str());
  struct Case {
    const char* What;
    std::string Bytes;
    bool CloseAfter;
    int Expect;
  } cases[] = {
      {"silent", "", false, 0},
      {"half a message", std::string("\x64\x04", 2), false, 0},
      {"1124", std::string("\x64\x04\x00\x00", 4), false, 1},
      {"another message", std::string("\x65\x04\x00\x00", 4), false, -1},
      {"the discovery's probe", "", true, -1},
  };
  for (const Case& c : cases) {
    int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << c.What;
    if (!c.Bytes.empty()) {
      ASSERT_EQ(::send(client, c.Bytes.data(), c.Bytes.size(), 0), ssize_t(c.Bytes.size()));
    }
    if (c.CloseAfter) ::close(client);
    SynchPending p;
    for (int i = 0; i < 100 && !AcceptSynchConnection(server, &p); ++i) ::poll(nullptr, 0, 5);
    ASSERT_GE(p.Fd, 0) << c.What;
    EXPECT_EQ(ReadSynchRequest(&p), c.Expect) << c.What;
    if (c.Expect >= 0) ::close(p.Fd);
    if (!c.CloseAfter) ::close(client);
  }
  StopSynchServer(server);
}

}  // namespace

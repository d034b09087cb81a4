// Files and folders another user or a mistake can put in the way: a FIFO or
// a device where a file is read, an endless stream, a folder in /tmp made by
// someone else, and a request that never comes.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/instance.h"
#include "platform/regfile.h"
#include "platform/userdirs.h"

namespace {

namespace fs = std::filesystem;

struct Scratch {
  std::string Path;
  Scratch() {
    char t[] = "/tmp/sonavel-userfiles-XXXXXX";
    Path = ::mkdtemp(t);
  }
  ~Scratch() { fs::remove_all(Path); }
  std::string operator/(const std::string& name) const { return Path + "/" + name; }
};

// A user id that is not ours, for folders someone else made.
constexpr uid_t kOtherUser = 65534;

TEST(RegularFile, OnlyARegularFileOpensAndNothingWaits) {
  Scratch s;
  std::ofstream(s / "file") << "data";
  ASSERT_EQ(::mkfifo((s / "fifo").c_str(), 0600), 0);
  ::mkdir((s / "folder").c_str(), 0700);
  struct Case {
    std::string Path;
    int Err;  // 0: opens
  } cases[] = {
      {s / "file", 0},
      {s / "fifo", plat::ENOTREGULAR},  // an open without O_NONBLOCK would wait for a writer
      {"/dev/zero", plat::ENOTREGULAR},
      {s / "folder", plat::ENOTREGULAR},
      {s / "missing", ENOENT},
  };
  for (const Case& c : cases) {
    errno = 0;
    int fd = plat::OpenRegularFile(c.Path.c_str());
    EXPECT_EQ(fd >= 0 ? 0 : errno, c.Err) << c.Path;
    if (fd < 0) continue;
    // Reads block again as usual.
    char buf[8];
    EXPECT_EQ(::read(fd, buf, sizeof buf), 4);
    ::close(fd);
  }
  EXPECT_STREQ(plat::ErrorText(plat::ENOTREGULAR), "It is not a regular file");
}

TEST(RegularFile, AStreamIsReadUpToTheLimit) {
  for (size_t have : {size_t{10}, size_t{100}, size_t{101}, size_t{200000}}) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    std::string data(have, 'x');
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(p[0]);
      ssize_t w = ::write(p[1], data.data(), data.size());
      ::_exit(w == static_cast<ssize_t>(data.size()) ? 0 : 1);
    }
    ::close(p[1]);
    std::string out;
    bool ok = plat::ReadAllLimited(p[0], 100000, &out);
    int err = errno;
    ::close(p[0]);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(ok, have <= 100000) << have;
    if (ok) {
      EXPECT_EQ(out, data);
    }
    if (!ok) {
      EXPECT_EQ(err, E2BIG);
    }
    EXPECT_LE(out.size(), 100000u);
  }
}

TEST(UserFolder, FallbacksInASharedFolderMustBeTheUsersOwn) {
  Scratch s;
  const std::string uid = std::to_string(::getuid());
  const std::string shared = s / ("tmp/Sub-" + uid);
  struct Case {
    const char* What;
    const char* Var;  // the XDG variable's value
    bool Home;        // a home is known
    int Before;       // the shared fallback exists: 0 no, 1 another user's, 2 ours but open to all
    bool Private;
    std::string Expect;  // "*": a new folder of our own beside the fallback
  } cases[] = {
      {"the variable", "/var/x", true, 0, false, "/var/x/Sub"},
      {"the home", nullptr, true, 0, false, s / "home/.local/x/Sub"},
      {"a relative variable is no variable", "rel", true, 0, false, s / "home/.local/x/Sub"},
      {"no home: the shared folder, made here", nullptr, false, 0, true, shared},
      {"another user's shared folder", nullptr, false, 1, true, "*"},
      {"another user's shared folder (not private)", nullptr, false, 1, false, "*"},
      {"ours, but open to everybody", nullptr, false, 2, false, "*"},
  };
  for (const Case& c : cases) {
    fs::remove_all(s / "tmp");
    fs::create_directories(s / "tmp");
    if (c.Before) {
      ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
      ::chmod(shared.c_str(), 0777);
      if (c.Before == 1) {
        ASSERT_EQ(::chown(shared.c_str(), kOtherUser, kOtherUser), 0) << "needs root";
      }
    }
    std::string got = plat::UserFolderFrom(c.Var, c.Home ? s / "home" : "", s / "tmp", ".local/x", "Sub", c.Private);
    if (c.Expect == "*")
      EXPECT_EQ(got.rfind(shared + "-", 0), 0u) << c.What << ": " << got;
    else
      EXPECT_EQ(got, c.Expect) << c.What;
    if (c.Var || c.Home) continue;
    struct stat st;
    ASSERT_EQ(::lstat(got.c_str(), &st), 0) << c.What;
    EXPECT_TRUE(S_ISDIR(st.st_mode)) << c.What;
    EXPECT_EQ(st.st_uid, ::getuid()) << c.What;
    EXPECT_EQ(st.st_mode & (c.Private ? 077 : 022), 0u) << c.What;
  }
  // A link where the folder should be is no folder of ours.
  fs::create_directories(s / "real");
  ::symlink((s / "real").c_str(), (s / "link").c_str());
  EXPECT_FALSE(plat::OwnFolder(s / "link", 0700, true));
  EXPECT_TRUE(plat::OwnFolder(s / "real", 0700, false));
}

// What a neighbour can send the hand-over socket: nothing here ever waits.
TEST(HandOverRequest, IsReadWithoutWaiting) {
  Scratch s;
  ::chmod(s.Path.c_str(), 0700);
  plat::InstanceServer server;
  ASSERT_TRUE(plat::TakeInstanceLock(server, s.Path));
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s/instance.sock", s.Path.c_str());
  struct Case {
    const char* What;
    std::string Bytes;
    bool CloseAfter;
    int Expect;
  } cases[] = {
      {"silent", "", false, 0},
      {"half a length", std::string("\x03\x00", 2), false, 0},
      {"length, half the text",
       std::string("\x03\x00\x00\x00"
                   "a",
                   5),
       false, 0},
      {"whole",
       std::string("\x03\x00\x00\x00"
                   "abc",
                   7),
       false, 1},
      {"empty command line", std::string("\x00\x00\x00\x00", 4), false, 1},
      {"closed at once", "", true, -1},
      {"too long", std::string("\xff\xff\xff\x7f", 4), false, -1},
  };
  for (const Case& c : cases) {
    int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << c.What;
    if (!c.Bytes.empty()) {
      ASSERT_EQ(::send(client, c.Bytes.data(), c.Bytes.size(), 0), ssize_t(c.Bytes.size()));
    }
    if (c.CloseAfter) ::close(client);
    plat::PendingRequest p;
    ASSERT_TRUE(plat::AcceptConnection(server, &p)) << c.What;
    std::string line = "unchanged";
    EXPECT_EQ(plat::ReadRequest(&p, &line), c.Expect) << c.What;
    if (c.Expect == 1) {
      EXPECT_EQ(line, c.Bytes.substr(4)) << c.What;
    }
    if (c.Expect >= 0) ::close(p.Fd);
    if (!c.CloseAfter) ::close(client);
  }
  plat::PendingRequest none;
  EXPECT_FALSE(plat::AcceptConnection(server, &none));
  plat::ReleaseInstance(server);
}

}  // namespace

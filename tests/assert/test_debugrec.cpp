// Debug records: the head's bytes, the images, the ring of 99, the bug file
// and the upload to a report server on the loopback address.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "assert/bugfile.h"
#include "assert/debugrec.h"
#include "inet/upload.h"
#include "platform/filesync.h"

namespace {

std::string gSelected, gEdited;

void FakeState(DebugRecordHead* h) {
  h->SelProgram = 7;
  h->NumPrograms = 42;
  h->DirectDraw = 1;
  h->Options[0] = 4;
  h->VisualMode[0] = 12;
  h->VisOpt[0] = 2;
}
void FakeImages(std::string* s, std::string* e) {
  *s = gSelected;
  *e = gEdited;
}

int32_t RecordWord(const std::string& r, size_t off) {
  int32_t v;
  std::memcpy(&v, r.data() + off, 4);
  return v;
}

class DebugRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearDebugRecords();
    SetDebugSources({FakeState, FakeImages});
    gSelected.clear();
    gEdited.clear();
  }
  void TearDown() override {
    ClearDebugRecords();
    SetDebugSources({});
  }
  std::vector<std::string> Take() {
    std::vector<std::string> v;
    for (const KeptDebugRecord& r : KeptDebugRecords()) {
      v.push_back(r.Bytes);
      ReleaseDebugRecord(r);
    }
    return v;
  }
};

TEST_F(DebugRecords, HeadBytesAndImageLengths) {
  struct Case {
    std::string Sel, Ed;
    int32_t S1, S2;
    size_t Len;
  };
  const Case cases[] = {
      {"", "", 0, 0, 751},                   // nothing loaded
      {"SELECTED", "SELECTED", 8, -1, 758},  // unchanged copy: left out
      {"SELECTED", "EDITED!", 8, 7, 766},    // changed copy: both kept
      {"SELECTED", "", 8, 0, 759},           // no editor open
  };
  for (const Case& c : cases) {
    gSelected = c.Sel;
    gEdited = c.Ed;
    AddDebugRecord(true, "data", 321, "a < b", 5, {{"value", -3}, {"two", 2}});
    auto recs = Take();
    ASSERT_EQ(recs.size(), 1u);
    const std::string& r = recs[0];
    EXPECT_EQ(r.size(), c.Len) << c.Sel << "/" << c.Ed;
    EXPECT_NE(RecordWord(r, 0), 0);
    EXPECT_EQ(RecordWord(r, 20), 3);
    EXPECT_EQ(RecordWord(r, 24), 1);
    EXPECT_EQ(RecordWord(r, 28), 12);
    EXPECT_STREQ(r.data() + 32, "a < b");
    EXPECT_STREQ(r.data() + 96, "value");
    EXPECT_STREQ(r.data() + 160, "two");
    EXPECT_EQ(r[224], '\0');
    EXPECT_EQ(RecordWord(r, 352), -3);
    EXPECT_EQ(RecordWord(r, 356), 2);
    EXPECT_EQ(RecordWord(r, 368), 5);
    EXPECT_STREQ(r.data() + 372, "data");
    EXPECT_EQ(RecordWord(r, 404), 321);
    EXPECT_EQ(RecordWord(r, 408), 7);
    EXPECT_EQ(RecordWord(r, 412), 42);
    EXPECT_EQ(RecordWord(r, 424), 1);
    EXPECT_EQ(RecordWord(r, 428), 4);
    EXPECT_EQ(RecordWord(r, 544), 12);
    EXPECT_EQ(static_cast<unsigned char>(r[556]), 2);
    EXPECT_EQ(RecordWord(r, 740), c.S1);
    EXPECT_EQ(RecordWord(r, 744), c.S2);
    EXPECT_EQ(r.substr(748, c.Sel.size()), c.Sel);
    if (c.S2 > 0) {
      EXPECT_EQ(r.substr(748 + c.Sel.size(), c.Ed.size()), c.Ed);
    }
  }
}

TEST_F(DebugRecords, TextsAreCutToTheirFieldsAndRunIdStays) {
  std::string longText(200, 'x');
  AddDebugRecord(false, longText.c_str(), 1, longText.c_str(), 0, {{longText.c_str(), 1}});
  AddDebugRecord(false, "m", 2, "e", 0);
  auto recs = Take();
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(std::strlen(recs[1].data() + 32), 63u);
  EXPECT_EQ(std::strlen(recs[1].data() + 96), 63u);
  EXPECT_EQ(std::strlen(recs[1].data() + 372), 31u);
  EXPECT_EQ(RecordWord(recs[0], 0), RecordWord(recs[1], 0));
  EXPECT_EQ(recs[1].size(), 751u);  // the presets were not asked for
}

TEST_F(DebugRecords, RingKeepsTheNewest99) {
  for (int i = 0; i < 150; ++i) AddDebugRecord(false, "m", i, "", 0);
  EXPECT_EQ(DebugRecordCount(), 99);
  auto recs = Take();
  ASSERT_EQ(recs.size(), 99u);
  for (int i = 0; i < 99; ++i) EXPECT_EQ(RecordWord(recs[static_cast<size_t>(i)], 404), 149 - i);
  EXPECT_EQ(DebugRecordCount(), 0);
}

// A record delivered while the ring went round once must not free the
// newer record that took its slot.
TEST_F(DebugRecords, ReleaseFreesOnlyTheRecordCopied) {
  AddDebugRecord(false, "m", 1, "", 0);
  std::vector<KeptDebugRecord> kept = KeptDebugRecords();
  ASSERT_EQ(kept.size(), 1u);
  for (int i = 0; i < DEBUG_RING_SLOTS; ++i) AddDebugRecord(false, "m", 2, "", 0);
  ReleaseDebugRecord(kept[0]);
  EXPECT_EQ(DebugRecordCount(), 99);
}

TEST_F(DebugRecords, BugFileHoldsTheRecordsNewestFirst) {
  auto dir = std::filesystem::temp_directory_path() / ("sonavel-bug-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  // Where only the user may look: the state folder, never the shared /tmp.
  const char* was = getenv("XDG_STATE_HOME");
  std::string saved = was ? was : "";
  setenv("XDG_STATE_HOME", dir.c_str(), 1);
  EXPECT_EQ(BugFilePath(), dir.string() + "/Sonavel/Bug.tvd");
  if (was)
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_STATE_HOME");

  for (int i = 0; i < 150; ++i) AddDebugRecord(false, "m", i, "", 0);
  std::string path = (dir / "Bug.tvd").string();
  BugFileResult r = SaveDebugRecords(path);
  EXPECT_EQ(r.Message, 0);
  std::ifstream in(path, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(all.size(), 99u * 751u);
  EXPECT_EQ(RecordWord(all, 404), 149);
  EXPECT_EQ(RecordWord(all, 98 * 751 + 404), 51);
  EXPECT_EQ(DebugRecordCount(), 0);
  std::filesystem::remove_all(dir);
}

// What may lie where the file goes: it is written for the user's eyes only,
// never through a link, and never into a file someone else made.
TEST_F(DebugRecords, BugFileIsTheUsersOwn) {
  auto dir = std::filesystem::temp_directory_path() / ("sonavel-bugown-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "Bug.tvd").string(), victim = (dir / "victim").string();
  struct Case {
    const char* What;
    int Before;  // 0 nothing, 1 a link to another file, 2 a file open to everybody
  } cases[] = {{"nothing there", 0}, {"a link", 1}, {"a file of mode 0666", 2}};
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    std::ofstream(victim) << "untouched";
    if (c.Before == 1) std::filesystem::create_symlink(victim, path);
    if (c.Before == 2) {
      std::ofstream(path) << "old";
      ::chmod(path.c_str(), 0666);
    }
    AddDebugRecord(false, "m", 1, "", 0);
    ASSERT_EQ(SaveDebugRecords(path).Message, 0) << c.What;
    struct stat st;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << c.What;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << c.What;
    EXPECT_EQ(st.st_size, 751) << c.What;
    std::ifstream v(victim);
    std::string text((std::istreambuf_iterator<char>(v)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "untouched") << c.What;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);  // no temporary file left
  std::filesystem::remove_all(dir);
}

TEST_F(DebugRecords, BugFileFailuresKeepTheRecords) {
  struct Case {
    const char* Path;
    int Message;
    int LineAdded;
  };
  const Case cases[] = {
      {"/nonexistent-sonavel-dir/Bug.tvd", 1450, 95},  // folder missing or unwritable
      {"/dev/full", 1451, 142},                        // the device is full
  };
  for (const Case& c : cases) {
    ClearDebugRecords();
    AddDebugRecord(false, "m", 1, "", 0);
    BugFileResult r = SaveDebugRecords(c.Path);
    EXPECT_EQ(r.Message, c.Message) << c.Path;
    EXPECT_NE(r.Err, 0);
    auto recs = Take();
    ASSERT_EQ(recs.size(), 2u) << c.Path;  // the unsaved record and the failure's own
    EXPECT_EQ(RecordWord(recs[0], 404), c.LineAdded);
    EXPECT_EQ(RecordWord(recs[1], 404), 1);
  }
}

// The data of a full device may be refused only when it is synced: the
// records written before must still be there to save again or send.
TEST_F(DebugRecords, BugFileSyncFailureKeepsTheRecords) {
  auto dir = std::filesystem::temp_directory_path() / ("sonavel-bugsync-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "Bug.tvd").string();
  for (int i = 0; i < 3; ++i) AddDebugRecord(false, "m", i, "", 0);
  plat::SetSyncFileFailure(ENOSPC);
  BugFileResult r = SaveDebugRecords(path);
  plat::SetSyncFileFailure(0);
  EXPECT_EQ(r.Message, 1451);
  EXPECT_EQ(r.Err, ENOSPC);
  EXPECT_EQ(DebugRecordCount(), 4);  // the three and the failure's own

  // Saved again once the device has room: every record, the failure's first.
  r = SaveDebugRecords(path);
  EXPECT_EQ(r.Message, 0);
  EXPECT_EQ(DebugRecordCount(), 0);
  std::ifstream in(path, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(all.size(), 4u * 751u);
  EXPECT_EQ(RecordWord(all, 404), 142);
  EXPECT_EQ(RecordWord(all, 3 * 751 + 404), 0);
  std::filesystem::remove_all(dir);
}

// A report server on the loopback address: answers each request with the
// given status and body, and keeps what it received.
class Server {
 public:
  Server(int status, std::string reply, int requests) : Status(status), Reply(std::move(reply)) {
    Fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(Fd, reinterpret_cast<sockaddr*>(&a), &len);
    Port = ntohs(a.sin_port);
    ::listen(Fd, 8);
    Thread = std::thread([this, requests] {
      for (int i = 0; i < requests; ++i) Serve();
    });
  }
  ~Server() {
    Thread.join();
    ::close(Fd);
  }
  int Port = 0;
  std::vector<std::string> Heads, Bodies;

 private:
  void Serve() {
    int c = ::accept(Fd, nullptr, nullptr);
    if (c < 0) return;
    std::string in;
    char buf[4096];
    size_t headEnd = std::string::npos;
    size_t want = 0;
    for (;;) {
      if (headEnd == std::string::npos && (headEnd = in.find("\r\n\r\n")) != std::string::npos) {
        headEnd += 4;
        auto p = in.find("Content-Length: ");
        want = p == std::string::npos ? 0 : std::stoul(in.substr(p + 16));
      }
      if (headEnd != std::string::npos && in.size() >= headEnd + want) break;
      ssize_t n = ::read(c, buf, sizeof buf);
      if (n <= 0) break;
      in.append(buf, static_cast<size_t>(n));
    }
    Heads.push_back(in.substr(0, headEnd));
    Bodies.push_back(in.substr(headEnd));
    std::string out = "HTTP/1.0 " + std::to_string(Status) +
                      " X\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(Reply.size()) + "\r\n\r\n" +
                      Reply;
    ssize_t w = ::write(c, out.data(), out.size());
    (void)w;
    ::close(c);
  }
  int Fd;
  int Status;
  std::string Reply;
  std::thread Thread;
};

TEST_F(DebugRecords, UploadSendsEachRecordNewestFirst) {
  AddDebugRecord(false, "m", 1, "", 0);
  AddDebugRecord(false, "m", 2, "", 0);
  std::vector<std::string> sent;
  {
    Server s(200, "Assert data was received successfully.\nthanks", 2);
    UploadResult r = SendDebugRecords("127.0.0.1", s.Port);
    EXPECT_EQ(r.Code, 0);
    sent = s.Bodies;
    ASSERT_EQ(s.Heads.size(), 2u);
    const std::string& h = s.Heads[0];
    EXPECT_EQ(h.rfind("POST /online/assert.php HTTP/1.0\r\n", 0), 0u) << h;
    EXPECT_NE(h.find("\r\nContent-Type: application/octet-stream\r\n"), std::string::npos) << h;
    EXPECT_NE(h.find("\r\nUser-Agent: Tavik 3.1.12\r\n"), std::string::npos) << h;
    EXPECT_NE(h.find("\r\nContent-Length: 751\r\n"), std::string::npos) << h;
    EXPECT_NE(h.find("\r\nAccept: text/*\r\n"), std::string::npos) << h;
  }
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].size(), 751u);
  EXPECT_EQ(RecordWord(sent[0], 404), 2);
  EXPECT_EQ(RecordWord(sent[1], 404), 1);
  EXPECT_EQ(DebugRecordCount(), 0);
}

TEST_F(DebugRecords, UploadReplies) {
  struct Case {
    int Status;
    const char* Reply;
    int Code, Second;
  };
  const Case cases[] = {
      {200, "assert data was received successfully.", 0, 0},  // case does not matter
      {404, "Not here", 'z', 404},
      {200, "OK", '|', 'O' + 128 * 'K'},
  };
  for (const Case& c : cases) {
    ClearDebugRecords();
    AddDebugRecord(false, "m", 1, "", 0);
    Server s(c.Status, c.Reply, 1);
    UploadResult r = SendDebugRecords("127.0.0.1", s.Port);
    EXPECT_EQ(r.Code, c.Code) << c.Reply;
    EXPECT_EQ(r.Second, c.Second) << c.Reply;
    // A failure keeps the record and adds its own.
    EXPECT_EQ(DebugRecordCount(), c.Code ? 2 : 0) << c.Reply;
  }
}

TEST_F(DebugRecords, UploadToAClosedPortIsAConnectFailure) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  int port = ntohs(a.sin_port);
  ::close(fd);  // bound, never listened: nothing answers there
  AddDebugRecord(false, "m", 1, "", 0);
  UploadResult r = SendDebugRecords("127.0.0.1", port);
  EXPECT_EQ(r.Code, 'q');
  auto recs = Take();
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_STREQ(recs[0].data() + 96, "ErrorCode");
  EXPECT_EQ(RecordWord(recs[0], 352), 'q');
  EXPECT_STREQ(recs[0].data() + 372, "inet");
}

}  // namespace

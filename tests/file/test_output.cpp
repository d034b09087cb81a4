// Replacing a file whole: what the path names (a link, a device, a FIFO, a
// file with its own mode) survives the replacement.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "file/fileformat.h"
#include "file/storefile.h"

namespace {

std::string OutputTempDir() {
  std::string tmpl = ::testing::TempDir() + "outXXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  EXPECT_NE(mkdtemp(buf.data()), nullptr);
  return buf.data();
}

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

int Replace(const std::string& path, const std::string& text) {
  return ReplaceFileWith(path, text.data(), text.size());
}

// Names in the folder other than the ones given (leftover temporary files).
std::vector<std::string> Others(const std::string& dir, const std::vector<std::string>& known) {
  std::vector<std::string> out;
  DIR* d = ::opendir(dir.c_str());
  while (dirent* e = d ? ::readdir(d) : nullptr) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    bool k = false;
    for (const std::string& s : known) k = k || s == n;
    if (!k) out.push_back(n);
  }
  if (d) ::closedir(d);
  return out;
}

TEST(Output, LinksAreFollowedAndModesKept) {
  std::string dir = OutputTempDir();
  std::string target = dir + "/real.tvk", link = dir + "/link.tvk", chain = dir + "/chain.tvk";
  ASSERT_EQ(Replace(target, "old"), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("real.tvk", link.c_str()), 0);  // relative, beside its target
  ASSERT_EQ(::symlink(link.c_str(), chain.c_str()), 0);

  ASSERT_EQ(Replace(chain, "new"), 0);
  struct stat st;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::lstat(chain.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadText(target), "new");
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // A link to a file not there yet creates the file where the link points.
  std::string dangling = dir + "/later.tvk";
  ASSERT_EQ(::symlink("made.tvk", dangling.c_str()), 0);
  ASSERT_EQ(Replace(dangling, "made"), 0);
  EXPECT_EQ(ReadText(dir + "/made.tvk"), "made");
  ASSERT_EQ(::lstat(dangling.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // A new file gets the mode any created file gets.
  mode_t mask = ::umask(022);
  ASSERT_EQ(Replace(dir + "/fresh.tvk", "x"), 0);
  ::umask(mask);
  ASSERT_EQ(::stat((dir + "/fresh.tvk").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_TRUE(Others(dir, {"real.tvk", "link.tvk", "chain.tvk", "later.tvk", "made.tvk", "fresh.tvk"}).empty());
}

TEST(Output, AFifoIsWrittenInPlace) {
  std::string dir = OutputTempDir();
  std::string fifo = dir + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string got;
  bool opened = false;
  std::thread reader([&] {
    // Gives up after two seconds rather than hang when nobody writes.
    int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return;
    opened = true;
    bool writerSeen = false;
    for (int waited = 0; waited < 2000;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) {
        waited += 10;
        continue;
      }
      char buf[64];
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) {
        got.append(buf, static_cast<size_t>(n));
        writerSeen = true;
      } else if (writerSeen) {
        break;  // the writer closed its end
      } else {
        waited += 10;
        ::usleep(10000);
      }
    }
    ::close(fd);
  });
  int rc = Replace(fifo, "through the pipe");
  reader.join();
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(opened);
  struct stat st;
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(got, "through the pipe");
  EXPECT_TRUE(Others(dir, {"pipe"}).empty());
}

TEST(Output, ADeviceIsWrittenInPlace) {
  std::string dir = OutputTempDir();
  std::string null = dir + "/null", full = dir + "/full";
  // Device nodes of our own (null 1:3, full 1:7) where the system lets us
  // make them, so that no test ever writes the real /dev entries.
  if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      ::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make device nodes here";
  int probe = ::open(null.c_str(), O_WRONLY);
  if (probe < 0) GTEST_SKIP() << "device nodes cannot be opened here (nodev)";
  ::close(probe);
  EXPECT_EQ(Replace(null, "gone"), 0);
  EXPECT_EQ(Replace(full, "no room"), FMSG_DISK_FULL);
  struct stat st;
  for (const std::string& d : {null, full}) {
    ASSERT_EQ(::lstat(d.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << d;
  }
  EXPECT_TRUE(Others(dir, {"null", "full"}).empty());
}

TEST(Output, AFolderIsRefusedAndLeftAlone) {
  std::string dir = OutputTempDir();
  std::string sub = dir + "/sub";
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  EXPECT_EQ(Replace(sub, "x"), FMSG_CREATE_FAILED);
  EXPECT_EQ(FileMessageText(FMSG_CREATE_FAILED, sub), "Unable to create file '" + sub + "'. Is a directory.");
  struct stat st;
  ASSERT_EQ(::stat(sub.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_TRUE(Others(dir, {"sub"}).empty());
}

}  // namespace

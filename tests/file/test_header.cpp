// The byte devices and the file header.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "file/fileformat.h"
#include "file/presetfixtures.h"

namespace {

std::string HeaderTempDir() {
  char tmpl[] = "/tmp/sonavel-file-XXXXXX";
  const char* d = mkdtemp(tmpl);
  return d ? d : "/tmp";
}

TEST(ByteDev, MemoryReadsSeeksAndEnds) {
  const unsigned char data[] = {1, 2, 3, 4, 5};
  ByteDev dev = DevFromMemory(data, sizeof data);
  unsigned char buf[8] = {};
  EXPECT_EQ(DevRead(dev, buf, 3), 3);
  EXPECT_EQ(buf[2], 3);
  EXPECT_EQ(DevRead(dev, buf, 8), 2);  // short at the end
  EXPECT_EQ(buf[0], 4);
  EXPECT_EQ(DevRead(dev, buf, 8), 0);
  EXPECT_EQ(DevSeek(dev, -4, SEEK_CUR), 1);
  EXPECT_EQ(DevRead(dev, buf, 1), 1);
  EXPECT_EQ(buf[0], 2);
  EXPECT_EQ(DevSeek(dev, 100, SEEK_SET), 100);  // beyond the end: reads deliver nothing
  EXPECT_EQ(DevRead(dev, buf, 1), 0);
  EXPECT_EQ(DevSeek(dev, -1, SEEK_SET), -1);
  EXPECT_EQ(DevTell(dev), 100);
  EXPECT_EQ(DevSize(dev), 5);
  EXPECT_EQ(DevWrite(dev, buf, 1), DEV_WRITE_FAILED);  // a view of memory is read only
}

TEST(ByteDev, BufferGrowsFillsGapsAndTruncates) {
  Bytes b;
  ByteDev dev = DevFromBuffer(b);
  EXPECT_EQ(DevWrite(dev, "abc", 3), DEV_WRITE_OK);
  EXPECT_EQ(DevSeek(dev, 5, SEEK_SET), 5);
  EXPECT_EQ(DevWrite(dev, "z", 1), DEV_WRITE_OK);
  EXPECT_EQ(b, (Bytes{'a', 'b', 'c', 0, 0, 'z'}));
  DevSeek(dev, 2, SEEK_SET);
  EXPECT_TRUE(DevTruncate(dev));
  EXPECT_EQ(b, (Bytes{'a', 'b'}));
}

TEST(ByteDev, WriteBudgetWritesWhatFitsThenFails) {
  Bytes b;
  ByteDev dev = DevFromBuffer(b);
  dev.WriteBudget = 4;
  dev.WriteErr = ENOSPC;
  EXPECT_EQ(DevWrite(dev, "ab", 2), DEV_WRITE_OK);
  EXPECT_EQ(DevWrite(dev, "cdef", 4), DEV_WRITE_DISKFULL);
  EXPECT_EQ(b, (Bytes{'a', 'b', 'c', 'd'}));
  dev.WriteErr = EIO;
  EXPECT_EQ(DevWrite(dev, "g", 1), DEV_WRITE_FAILED);
}

TEST(ByteDev, PosixFileRoundTripAndFullDisk) {
  std::string dir = HeaderTempDir();
  std::string path = dir + "/dev.bin";
  ByteDev dev;
  ASSERT_TRUE(DevOpenFile(dev, path.c_str(), DEV_CREATE_ALWAYS));
  EXPECT_EQ(DevWrite(dev, "hello", 5), DEV_WRITE_OK);
  EXPECT_EQ(DevSeek(dev, 1, SEEK_SET), 1);
  EXPECT_TRUE(DevTruncate(dev));
  EXPECT_EQ(DevSize(dev), 1);
  DevClose(dev);
  ASSERT_TRUE(DevOpenFile(dev, path.c_str(), DEV_OPEN_READ));
  char c = 0;
  EXPECT_EQ(DevRead(dev, &c, 4), 1);
  EXPECT_EQ(c, 'h');
  EXPECT_EQ(DevWrite(dev, "x", 1), DEV_WRITE_FAILED);  // opened read only
  DevClose(dev);
  EXPECT_FALSE(DevOpenFile(dev, (path + ".missing").c_str(), DEV_OPEN_READ));

  // The system's full disk.
  if (DevOpenFile(dev, "/dev/full", DEV_OPEN_ALWAYS)) {
    EXPECT_EQ(WriteMessage(DevWrite(dev, "x", 1)), FMSG_DISK_FULL);
    DevClose(dev);
  }
  unlink(path.c_str());
  rmdir(dir.c_str());
}

TEST(FileHeader, WrittenBytes) {
  Bytes b;
  ByteDev dev = DevFromBuffer(b);
  ASSERT_EQ(WriteFileHeader(dev, 1), 0);
  ASSERT_EQ(b.size(), 136u);
  const char text[] = "Sonavel File, created with version 3.1\r\n\x1a";
  EXPECT_EQ(std::memcmp(b.data(), text, sizeof text - 1), 0);
  for (size_t i = sizeof text - 1; i < 124; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(GetLE32(b.data() + 124), 1);
  EXPECT_EQ(GetLE32(b.data() + 128), 3);
  EXPECT_EQ(static_cast<uint32_t>(GetLE32(b.data() + 132)), 0x0003010Cu);
  // Byte order on disk is little-endian whatever the field.
  EXPECT_EQ(b[132], 0x0C);
  EXPECT_EQ(b[133], 0x01);
  EXPECT_EQ(b[134], 0x03);
}

TEST(FileHeader, VersionDispatch) {
  struct Case {
    int32_t Version;
    int Expect;
  } cases[] = {{3, 0},
               {2, FMSG_OLD_VERSION},
               {4, FMSG_NEWER_VERSION},
               {13, FMSG_NEWER_VERSION},
               {14, FMSG_NOT_VALID},
               {1, FMSG_NOT_VALID},
               {0, FMSG_NOT_VALID},
               {-1, FMSG_NOT_VALID},
               {0x7fffffff, FMSG_NOT_VALID}};
  for (const Case& c : cases) {
    Bytes b = HeaderOnly(c.Version);
    ByteDev dev = DevFromMemory(b.data(), b.size());
    FileHeader h;
    EXPECT_EQ(ReadFileHeader(dev, &h), c.Expect) << c.Version;
    EXPECT_EQ(h.Version, c.Version);
    EXPECT_EQ(ReadImage(b), c.Expect) << c.Version;
  }
}

TEST(FileHeader, AnyTextWithVersionThreeIsAccepted) {
  Bytes b = HeaderOnly();
  for (size_t i = 0; i < 124; ++i) b[i] = static_cast<unsigned char>(0xA5 ^ i);
  PutLE32(b.data() + 124, 7);                                 // store flag is not checked either
  PutLE32(b.data() + 132, static_cast<int32_t>(0xFFFFFFFF));  // nor the program version
  EXPECT_EQ(ReadImage(b), 0);
}

TEST(FileHeader, HeaderAloneIsAnEmptyFileAndShorterIsUnreadable) {
  Bytes b = HeaderOnly();
  OwnedPresets got;
  EXPECT_EQ(ReadImage(b, &got), 0);
  EXPECT_TRUE(got.P.empty());
  for (size_t n = 0; n < b.size(); ++n) {
    Bytes cut(b.begin(), b.begin() + static_cast<long>(n));
    EXPECT_EQ(ReadImage(cut), FMSG_READ_FAILED) << n;
  }
  // A failed read is a read failure too.
  ByteDev dev = DevFromMemory(b.data(), b.size());
  dev.ReadBudget = 10;
  EXPECT_EQ(ReadFileHeader(dev, nullptr), FMSG_READ_FAILED);
}

TEST(FileHeader, OpenPresetFile) {
  std::string dir = HeaderTempDir();
  std::string path = dir + "/export.tvk";
  ByteDev dev;
  EXPECT_EQ(OpenPresetFile(dev, path.c_str(), DEV_OPEN_READ, -1, nullptr), FMSG_OPEN_FAILED);

  FileHeader h;
  ASSERT_EQ(OpenPresetFile(dev, path.c_str(), DEV_CREATE_ALWAYS, 0, &h), 0);
  EXPECT_EQ(h.StoreFlag, 0);
  EXPECT_EQ(DevTell(dev), FILE_HEADER_SIZE);
  DevClose(dev);
  ASSERT_EQ(OpenPresetFile(dev, path.c_str(), DEV_OPEN_ALWAYS, -1, &h), 0);  // the store: header kept
  EXPECT_EQ(DevSize(dev), FILE_HEADER_SIZE);
  DevClose(dev);

  // An old file is reported as such, and the device is closed.
  Bytes old = HeaderOnly(OLD_FILE_VERSION);
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(old.data(), 1, old.size(), f);
  std::fclose(f);
  EXPECT_EQ(OpenPresetFile(dev, path.c_str(), DEV_OPEN_READ, -1, &h), FMSG_OLD_VERSION);
  EXPECT_EQ(dev.Kind, DEV_NONE);
  // An empty file cannot be read as a preset file.
  EXPECT_EQ(truncate(path.c_str(), 0), 0);
  EXPECT_EQ(OpenPresetFile(dev, path.c_str(), DEV_OPEN_ALWAYS, -1, &h), FMSG_READ_FAILED);
  unlink(path.c_str());
  rmdir(dir.c_str());
}

}  // namespace

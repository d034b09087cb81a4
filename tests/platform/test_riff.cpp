// RIFF chunk writing and walking.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/riff.h"

namespace {

std::vector<unsigned char> ReadAllBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

std::string TempPath(const char* name) { return ::testing::TempDir() + name; }

TEST(Riff, NestedChunksGetTheirSizesAndPadding) {
  std::string path = TempPath("riff_nested.wav");
  plat::RiffWriter w;
  ASSERT_TRUE(plat::RiffCreate(w, path.c_str()));
  ASSERT_EQ(plat::RiffCreateChunk(w, "RIFF", "WAVE"), plat::RIFF_OK);
  ASSERT_EQ(plat::RiffCreateChunk(w, "odd "), plat::RIFF_OK);
  ASSERT_EQ(plat::RiffWrite(w, "abc", 3), plat::RIFF_OK);
  ASSERT_EQ(plat::RiffAscend(w), plat::RIFF_OK);
  ASSERT_EQ(plat::RiffCreateChunk(w, "data"), plat::RIFF_OK);
  ASSERT_EQ(plat::RiffWrite(w, "wxyz", 4), plat::RIFF_OK);
  ASSERT_EQ(plat::RiffAscend(w), plat::RIFF_OK);
  ASSERT_EQ(plat::RiffAscend(w), plat::RIFF_OK);
  ASSERT_EQ(plat::RiffClose(w), plat::RIFF_OK);
  std::vector<unsigned char> b = ReadAllBytes(path);
  ASSERT_EQ(b.size(), 12u + 8 + 4 + 8 + 4);
  EXPECT_EQ(plat::GetLE32(b.data() + 4), b.size() - 8);
  EXPECT_EQ(plat::GetLE32(b.data() + 16), 3u);  // declared length excludes the pad
  EXPECT_EQ(b[23], 0);                          // pad byte
  plat::RiffChunk c;
  ASSERT_TRUE(plat::RiffFind(b.data() + 12, b.size() - 12, "data", &c));
  EXPECT_EQ(c.Size, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.Data), 4), "wxyz");
  EXPECT_FALSE(c.Truncated);
  std::remove(path.c_str());
}

TEST(Riff, FindNeverReadsPastTheImage) {
  // A chunk whose declared size runs past the end is cut at the end.
  unsigned char img[16] = {'f', 'm', 't', ' ', 100, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
  plat::RiffChunk c;
  ASSERT_TRUE(plat::RiffFind(img, sizeof img, "fmt ", &c));
  EXPECT_TRUE(c.Truncated);
  EXPECT_EQ(c.Size, 8u);
  EXPECT_FALSE(plat::RiffFind(img, sizeof img, "data", &c));
  // Huge sizes do not wrap the walk around.
  unsigned char wrap[12] = {'L', 'I', 'S', 'T', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  EXPECT_FALSE(plat::RiffFind(wrap, sizeof wrap, "data", &c));
  // Fewer than 8 bytes hold no chunk.
  EXPECT_FALSE(plat::RiffFind(img, 7, "fmt ", &c));
}

TEST(Riff, FullDiskIsToldApartFromOtherFailures) {
  plat::RiffWriter w;
  // /dev/full fails every write with ENOSPC.
  ASSERT_TRUE(plat::RiffCreate(w, "/dev/full"));
  EXPECT_EQ(plat::RiffCreateChunk(w, "RIFF", "WAVE"), plat::RIFF_DISKFULL);
  plat::RiffClose(w);
  EXPECT_FALSE(plat::RiffCreate(w, "/nonexistent-dir/x.wav"));
  plat::RiffWriter closed;
  EXPECT_EQ(plat::RiffWrite(closed, "x", 1), plat::RIFF_FAILED);
  EXPECT_EQ(plat::RiffAscend(closed), plat::RIFF_FAILED);
}

}  // namespace

// A write device that fails after N bytes, for every N.
#include <gtest/gtest.h>

#include <cerrno>

#include "file/presetfixtures.h"

namespace {

TEST(WriteFailure, EveryCutIsReported) {
  OwnedPresets in;
  MakePreset(in.Add(), "w1", 2, 1);
  in.Add().Deleted = 1;
  MakePreset(in.Add(), "w2");
  const Bytes reference = FileImage(in.P.data(), 3);
  ASSERT_GT(reference.size(), 136u + 2 * FIXED_SIZE);

  for (int err : {EIO, ENOSPC}) {
    int expect = err == ENOSPC ? FMSG_DISK_FULL : FMSG_WRITE_FAILED;
    for (size_t n = 0; n < reference.size(); ++n) {
      Bytes out;
      ByteDev dev = DevFromBuffer(out);
      dev.WriteBudget = static_cast<int64_t>(n);
      dev.WriteErr = err;
      ASSERT_EQ(WritePresetFile(dev, 0, in.P.data(), 3), expect) << n;
      // What reached the device is exactly what fitted.
      ASSERT_EQ(out.size(), n);
      ASSERT_TRUE(std::equal(out.begin(), out.end(), reference.begin())) << n;
    }
    Bytes out;
    ByteDev dev = DevFromBuffer(out);
    dev.WriteBudget = static_cast<int64_t>(reference.size());
    dev.WriteErr = err;
    EXPECT_EQ(WritePresetFile(dev, 0, in.P.data(), 3), 0);
    EXPECT_EQ(out, reference);
  }
}

TEST(WriteFailure, SingleRecordAndHeader) {
  OwnedPresets in;
  Preset& p = in.Add();
  MakePreset(p, "one");
  Bytes out;
  ByteDev dev = DevFromBuffer(out);
  dev.WriteBudget = 10;
  dev.WriteErr = ENOSPC;
  EXPECT_EQ(WriteFileHeader(dev, 0), FMSG_DISK_FULL);
  dev.WriteBudget = 0;
  dev.WriteErr = EACCES;
  EXPECT_EQ(WritePresetRecord(dev, p), FMSG_WRITE_FAILED);
  dev.WriteBudget = -1;
  DevSeek(dev, 0, SEEK_SET);
  EXPECT_EQ(WritePresetRecord(dev, p), 0);
  EXPECT_EQ(out.size(), static_cast<size_t>(p.RecordSize));
}

}  // namespace

// Walking records: size limits, deleted records, list fields, finding record
// n and compaction.
#include <gtest/gtest.h>

#include <string>

#include "common/checks.h"
#include "file/filewalk.h"
#include "file/presetfixtures.h"

namespace {

// A file with one raw record of `bytes` bytes whose size field says `size`.
Bytes RawRecordFile(int32_t size, size_t bytes, uint8_t deleted = 0) {
  Bytes b = HeaderOnly();
  size_t at = b.size();
  b.resize(at + bytes, 0);
  if (bytes >= 4) Put32(b, at, size);
  if (bytes >= 5) b[at + 4] = deleted;
  return b;
}

int Walk(const Bytes& b, WalkCounts* counts = nullptr) {
  ByteDev dev = DevFromMemory(b.data(), b.size());
  return WalkPresetList(dev, WalkHooks{}, counts);
}

TEST(Walk, RecordSizeLimits) {
  WalkCounts c;
  // The largest record the writer builds passes; one byte more does not.
  EXPECT_EQ(Walk(RawRecordFile(MAX_RECORD_SIZE, MAX_RECORD_SIZE), &c), 0);
  EXPECT_EQ(c.Records, 1);
  EXPECT_EQ(Walk(RawRecordFile(MAX_RECORD_SIZE - 1, MAX_RECORD_SIZE - 1)), 0);
  EXPECT_EQ(Walk(RawRecordFile(MAX_RECORD_SIZE + 1, MAX_RECORD_SIZE + 1)), FMSG_NOT_VALID);
  EXPECT_EQ(Walk(RawRecordFile(0, 8)), FMSG_NOT_VALID);
  EXPECT_EQ(Walk(RawRecordFile(-2, 8)), FMSG_NOT_VALID);
  EXPECT_EQ(Walk(RawRecordFile(INT32_MIN, 8)), FMSG_NOT_VALID);
  for (int32_t s = 1; s < 5; ++s) EXPECT_EQ(Walk(RawRecordFile(s, 8, 1)), FMSG_NOT_VALID) << s;
  EXPECT_EQ(Walk(RawRecordFile(5, 5, 1), &c), 0);
  EXPECT_EQ(c.Records, 1);
  // A live record is never shorter than its fixed part and a NUL.
  EXPECT_EQ(Walk(RawRecordFile(FIXED_SIZE, FIXED_SIZE)), FMSG_NOT_VALID);
  // -1 ends the list, whatever follows.
  EXPECT_EQ(Walk(RawRecordFile(-1, 40), &c), 0);
  EXPECT_EQ(c.Records, 0);
  // A size field cut short, and a record running past the end of the file.
  for (size_t n = 1; n < 4; ++n) EXPECT_EQ(Walk(RawRecordFile(5, n)), FMSG_READ_FAILED) << n;
  EXPECT_EQ(Walk(RawRecordFile(2000, 1999)), FMSG_READ_FAILED);

  // The reader applies the same limits (the raw records hold no preset).
  Bytes b = RawRecordFile(MAX_RECORD_SIZE + 1, 2000);
  ByteDev dev = DevFromMemory(b.data(), b.size());
  DevSeek(dev, FILE_HEADER_SIZE, SEEK_SET);
  Preset p{};
  bool end = false;
  EXPECT_EQ(ReadPresetRecord(dev, p, &end), FMSG_NOT_VALID);
  EXPECT_EQ(p.Description, nullptr);
}

TEST(Walk, ListFields) {
  OwnedPresets in;
  MakePreset(in.Add(), "first");
  Preset& second = in.Add();
  MakePreset(second, "second");
  second.IsSchedule = 1;
  second.BuiltIn = 1;
  Bytes b = FileImage(in.P.data(), 2);
  size_t rec1 = FILE_HEADER_SIZE + static_cast<size_t>(in.P[0].RecordSize);
  // A name that fills all 256 bytes.
  std::memset(b.data() + rec1 + 5, 'n', NAMELEN);

  PresetFixed entries[2];
  std::memset(entries, 0x55, sizeof entries);
  WalkHooks hooks;
  hooks.Ctx = entries;
  hooks.Entry = [](void* ctx, int i) { return static_cast<PresetFixed*>(ctx) + i; };
  ByteDev dev = DevFromMemory(b.data(), b.size());
  WalkCounts c;
  ASSERT_EQ(WalkPresetList(dev, hooks, &c), 0);
  EXPECT_EQ(c.Records, 2);
  EXPECT_EQ(c.Deleted, 0);
  EXPECT_STREQ(entries[0].Name, "first");
  EXPECT_EQ(entries[0].RecordSize, in.P[0].RecordSize);
  EXPECT_EQ(entries[0].Deleted, 0);
  EXPECT_EQ(entries[0].IsSchedule, 0);
  EXPECT_EQ(entries[1].IsSchedule, 1);
  EXPECT_EQ(entries[1].BuiltIn, 1);
  EXPECT_EQ(entries[1].Loaded, 0);
  EXPECT_EQ(entries[1].LastUse, 0);
  EXPECT_EQ(std::string(entries[1].Name), std::string(255, 'n'));

  // Flags above 10 make the file invalid; 10 is accepted.
  for (size_t field :
       {offsetof(PresetFixed, IsSchedule), offsetof(PresetFixed, BuiltIn), offsetof(PresetFixed, Deleted)}) {
    Bytes bad = b;
    bad[rec1 + field] = 10;
    EXPECT_EQ(Walk(bad), 0) << field;
    bad[rec1 + field] = 11;
    EXPECT_EQ(Walk(bad), FMSG_NOT_VALID) << field;
  }
}

TEST(Walk, DeletedRecordsKeepTheirIndex) {
  OwnedPresets in;
  for (int i = 0; i < 5; ++i) MakePreset(in.Add(), ("P" + std::to_string(i)).c_str());
  in.P[3].Deleted = 1;
  Bytes b = FileImage(in.P.data(), 5);
  EXPECT_EQ(in.P[3].RecordSize, 5);

  std::vector<PresetFixed> entries(5);
  WalkHooks hooks;
  hooks.Ctx = entries.data();
  hooks.Entry = [](void* ctx, int i) { return static_cast<PresetFixed*>(ctx) + i; };
  ByteDev dev = DevFromMemory(b.data(), b.size());
  WalkCounts c;
  ASSERT_EQ(WalkPresetList(dev, hooks, &c), 0);
  EXPECT_EQ(c.Records, 5);
  EXPECT_EQ(c.Deleted, 1);
  EXPECT_EQ(entries[3].Deleted, 1);
  EXPECT_EQ(entries[3].RecordSize, 5);
  EXPECT_STREQ(entries[4].Name, "P4");

  int32_t size;
  ASSERT_EQ(FindRecord(dev, 4, &size), 0);
  EXPECT_EQ(size, in.P[4].RecordSize);
  int64_t at4 = FILE_HEADER_SIZE + in.P[0].RecordSize + in.P[1].RecordSize + in.P[2].RecordSize + 5;
  EXPECT_EQ(DevTell(dev), at4);
  ASSERT_EQ(FindRecord(dev, 3, &size), 0);
  EXPECT_EQ(size, 5);

  // Reading one after another skips the deleted record.
  OwnedPresets out;
  ASSERT_EQ(ReadImage(b, &out), 0);
  ASSERT_EQ(out.P.size(), 4u);
  EXPECT_STREQ(out.P[2].Name, "P2");
  EXPECT_STREQ(out.P[3].Name, "P4");
  // Reading record 4 from where the walk left the device.
  DevSeek(dev, at4, SEEK_SET);
  Preset p{};
  bool end = false;
  ASSERT_EQ(ReadPresetRecord(dev, p, &end), 0);
  EXPECT_FALSE(end);
  EXPECT_STREQ(p.Name, "P4");
  ASSERT_EQ(ReadPresetRecord(dev, p, &end), 0);
  EXPECT_TRUE(end);
  FreePreset(p);
}

TEST(Walk, FindRecordAtTheEnd) {
  OwnedPresets in;
  for (int i = 0; i < 3; ++i) MakePreset(in.Add(), "x");
  Bytes b = FileImage(in.P.data(), 3);
  ByteDev dev = DevFromMemory(b.data(), b.size());
  int32_t size = 0;
  ASSERT_EQ(FindRecord(dev, 3, &size), 0);  // the place to append
  EXPECT_EQ(size, -1);
  EXPECT_EQ(DevTell(dev), static_cast<int64_t>(b.size()));
  EXPECT_EQ(FindRecord(dev, 4, &size), FMSG_READ_FAILED);
  ASSERT_EQ(FindRecord(dev, 0, &size), 0);
  EXPECT_EQ(DevTell(dev), FILE_HEADER_SIZE);

  // With an end mark, the mark is where the next record goes.
  Bytes marked = b;
  marked.insert(marked.end(), {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});
  ByteDev mdev = DevFromMemory(marked.data(), marked.size());
  ASSERT_EQ(FindRecord(mdev, 3, &size), 0);
  EXPECT_EQ(size, -1);
  EXPECT_EQ(DevTell(mdev), static_cast<int64_t>(b.size()));

  // An empty file: record 0 is appended right after the header.
  Bytes empty = HeaderOnly();
  ByteDev edev = DevFromMemory(empty.data(), empty.size());
  ASSERT_EQ(FindRecord(edev, 0, &size), 0);
  EXPECT_EQ(size, -1);
  EXPECT_EQ(DevTell(edev), FILE_HEADER_SIZE);
  EXPECT_EQ(FindRecord(edev, 1, &size), FMSG_READ_FAILED);
}

TEST(Walk, AtMostOneThousandRecords) {
  Bytes b = HeaderOnly();
  for (int i = 0; i < MAXPROGRAMS; ++i) b.insert(b.end(), {5, 0, 0, 0, 1});
  WalkCounts c;
  EXPECT_EQ(Walk(b, &c), 0);
  EXPECT_EQ(c.Records, MAXPROGRAMS);
  EXPECT_EQ(c.Deleted, MAXPROGRAMS);
  b.insert(b.end(), {5, 0, 0, 0, 1});
  EXPECT_EQ(Walk(b), FMSG_NOT_VALID);
}

// Removes a record from a buffer device, as the store's tail move does.
int EraseRecord(void* ctx, ByteDev& dev, int64_t start, int32_t size) {
  auto* buf = static_cast<Bytes*>(ctx);
  buf->erase(buf->begin() + start, buf->begin() + start + size);
  DevSeek(dev, start, SEEK_SET);
  return 0;
}

TEST(Walk, CompactionRemovesDeletedRecords) {
  OwnedPresets in;
  for (int i = 0; i < 6; ++i) MakePreset(in.Add(), ("C" + std::to_string(i)).c_str());
  in.P[0].Deleted = 1;
  in.P[2].Deleted = 1;
  in.P[3].Deleted = 1;
  Bytes b = FileImage(in.P.data(), 6);

  std::vector<PresetFixed> entries(6);
  WalkHooks hooks;
  hooks.Ctx = &b;
  hooks.RemoveDeleted = EraseRecord;
  ByteDev dev = DevFromBuffer(b);
  WalkCounts c;
  ASSERT_EQ(WalkPresetList(dev, hooks, &c), 0);
  EXPECT_EQ(c.Records, 3);
  EXPECT_EQ(c.Deleted, 3);

  // The live presets moved up to indexes 0, 1 and 2.
  OwnedPresets out;
  ASSERT_EQ(ReadImage(b, &out), 0);
  ASSERT_EQ(out.P.size(), 3u);
  EXPECT_STREQ(out.P[0].Name, "C1");
  EXPECT_STREQ(out.P[2].Name, "C5");
  ASSERT_EQ(Walk(b, &c), 0);
  EXPECT_EQ(c.Records, 3);
  EXPECT_EQ(c.Deleted, 0);

  // A hook that removes nothing would never let the walk end.
  in.P[1].Deleted = 1;
  Bytes again = FileImage(in.P.data(), 2);
  ByteDev adev = DevFromBuffer(again);
  hooks.RemoveDeleted = [](void*, ByteDev&, int64_t, int32_t) { return 0; };
  ExpectCheckFailures checks;
  EXPECT_EQ(WalkPresetList(adev, hooks, &c), FMSG_WRITE_FAILED);
  EXPECT_FALSE(checks.Failures().empty());
  // A hook's own failure is passed on.
  hooks.RemoveDeleted = [](void*, ByteDev&, int64_t, int32_t) { return static_cast<int>(FMSG_DISK_FULL); };
  EXPECT_EQ(WalkPresetList(adev, hooks, &c), FMSG_DISK_FULL);
}

}  // namespace

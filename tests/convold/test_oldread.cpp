// Reading old files: header versions, record framing, every range check,
// truncation at every byte, failed reads and random damage.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

#include "common/checks.h"
#include "convold/convtest.h"

namespace {

// Two presets: two segments of two voices, then one segment of four voices
// with a description.
std::vector<OldPresetSpec> BaseSpecs() {
  OldPresetSpec a = OldTypicalPreset("first", 2, 2);
  OldPresetSpec b = OldTypicalPreset("second", 1, 4);
  b.Description = "a description";
  b.Segments[0].Params[8].Nodes = {{10, 0}, {20, 2500, 3, 0}, {30, 2500, 17, 1}, {40, 10000}};
  return {a, b};
}

TEST(OldRead, HeaderVersions) {
  struct {
    int32_t Version;
    int Expect;
  } cases[] = {{2, 0}, {3, 1307}, {12, 1307}, {13, 1316}, {1, 1316}, {0, 1316}, {-1, 1316}, {0x7fffffff, 1316}};
  for (auto c : cases) EXPECT_EQ(ConvertImage(OldFile({}, c.Version)), c.Expect) << c.Version;
  // Only the version word counts: a header of any text is read.
  Bytes b = OldFile({OldTypicalPreset("x")});
  std::fill(b.begin(), b.begin() + 128, 0xEE);
  OwnedPresets out;
  EXPECT_EQ(ConvertImage(b, &out), 0);
  EXPECT_EQ(out.P.size(), 1u);
}

TEST(OldRead, ShortHeaderAndEmptyFile) {
  Bytes header = OldFile({});
  ASSERT_EQ(header.size(), 136u);
  OwnedPresets out;
  EXPECT_EQ(ConvertImage(header, &out), 0);
  EXPECT_TRUE(out.P.empty());
  header.pop_back();
  EXPECT_EQ(ConvertImage(header), 1298);
  EXPECT_EQ(ConvertImage(Bytes{}), 1298);
}

TEST(OldRead, DeletedRecordsAreSkipped) {
  std::vector<OldPresetSpec> specs;
  for (int i = 0; i < 5; ++i) specs.push_back(OldTypicalPreset("p" + std::to_string(i)));
  specs[1].Deleted = true;
  specs[3].Deleted = true;
  OwnedPresets out;
  ASSERT_EQ(ConvertImage(OldFile(specs), &out), 0);
  ASSERT_EQ(out.P.size(), 3u);
  EXPECT_STREQ(out.P[0].Name, "p0");
  EXPECT_STREQ(out.P[1].Name, "p2");
  EXPECT_STREQ(out.P[2].Name, "p4");
}

struct Case {
  const char* Name;
  std::function<void(Bytes&, const OldImage&)> Damage;
  int Expect;
};

void Append32(Bytes& b, int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i)));
}
void Put32At(Bytes& b, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<size_t>(i)] = static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i));
}

const std::vector<Case>& Corpus() {
  // clang-format off
  static const std::vector<Case> cases = {
      // Framing.
      {"size -1 ends the list", [](Bytes& b, const OldImage&) { Append32(b, -1); b.push_back(7); }, 0},
      {"1 byte after the last record", [](Bytes& b, const OldImage&) { b.push_back(1); }, 1298},
      {"3 bytes after the last record", [](Bytes& b, const OldImage&) { b.insert(b.end(), {1, 2, 3}); }, 1298},
      {"size 0", [](Bytes& b, const OldImage&) { Append32(b, 0); }, 1316},
      {"size -2", [](Bytes& b, const OldImage&) { Append32(b, -2); }, 1316},
      {"size 4", [](Bytes& b, const OldImage&) { Append32(b, 4); }, 1316},
      {"size beyond the largest record", [](Bytes& b, const OldImage& m) { Put32At(b, m.Records[0], 241685); }, 1316},
      {"size one byte short", [](Bytes& b, const OldImage& m) { Put32At(b, m.Records[1], static_cast<int32_t>(b.size() - m.Records[1] - 1)); }, 1316},
      {"size one byte long", [](Bytes& b, const OldImage& m) { Put32At(b, m.Records[1], static_cast<int32_t>(b.size() - m.Records[1] + 1)); }, 1298},
      {"live record of 1300 bytes", [](Bytes& b, const OldImage& m) { Put32At(b, m.Records[0], 1300); }, 1316},
      {"deleted flag 11", [](Bytes& b, const OldImage& m) { b[m.Records[1] + 4] = 11; }, 1316},
      {"deleted flag 10 skips the record", [](Bytes& b, const OldImage& m) { b[m.Records[1] + 4] = 10; }, 0},
      {"longer deleted record", [](Bytes& b, const OldImage&) { Append32(b, 9); b.insert(b.end(), {1, 0, 0, 0, 0}); }, 0},
      // Fixed part.
      {"flag byte 261 = 11", [](Bytes& b, const OldImage& m) { b[m.Records[0] + 261] = 11; }, 1316},
      {"flag byte 262 = 11", [](Bytes& b, const OldImage& m) { b[m.Records[0] + 262] = 11; }, 1316},
      {"flag bytes 10", [](Bytes& b, const OldImage& m) { b[m.Records[0] + 261] = 10; b[m.Records[0] + 262] = 10; }, 0},
      {"0 segments", [](Bytes& b, const OldImage& m) { b[m.Records[0] + OLD_REC_NUMSEGS] = 0; }, 1316},
      {"17 segments", [](Bytes& b, const OldImage& m) { b[m.Records[0] + OLD_REC_NUMSEGS] = 17; }, 1316},
      {"0 voices", [](Bytes& b, const OldImage& m) { b[OldSegField(m.Records[0], 1, 4)] = 0; }, 1316},
      {"5 voices", [](Bytes& b, const OldImage& m) { b[OldSegField(m.Records[1], 0, 4)] = 5; }, 1316},
      {"length 0", [](Bytes& b, const OldImage& m) { Put32At(b, OldSegField(m.Records[0], 0, 20), 0); }, 1316},
      {"length -5", [](Bytes& b, const OldImage& m) { Put32At(b, OldSegField(m.Records[0], 1, 20), -5); }, 1316},
      {"length 10001 minutes", [](Bytes& b, const OldImage& m) { Put32At(b, OldSegField(m.Records[0], 0, 20), 10001); }, 1316},
      {"length 10000 minutes", [](Bytes& b, const OldImage& m) { Put32At(b, OldSegField(m.Records[0], 0, 20), 10000); }, 0},
      {"repeat 0", [](Bytes& b, const OldImage& m) { Put32At(b, OldSegField(m.Records[1], 0, 24), 0); }, 1316},
      {"repeat 10001", [](Bytes& b, const OldImage& m) { Put32At(b, OldSegField(m.Records[1], 0, 24), 10001); }, 1316},
      {"segment entry beyond NumSegments is ignored", [](Bytes& b, const OldImage& m) { b[OldSegField(m.Records[1], 5, 4)] = 99; }, 0},
      // Parameter header.
      {"1 node", [](Bytes& b, const OldImage& m) { b[m.Params[0][3]] = 1; }, 1316},
      {"33 nodes", [](Bytes& b, const OldImage& m) { b[m.Params[1][7]] = 33; }, 1316},
      {"Tracking 11", [](Bytes& b, const OldImage& m) { b[m.Params[0][2] + 1] = 11; }, 1316},
      {"Tracking 10", [](Bytes& b, const OldImage& m) { b[m.Params[0][2] + 1] = 10; }, 0},
      {"type 93", [](Bytes& b, const OldImage& m) { b[m.Params[0][20] + 2] = 93; }, 1316},
      {"type 92", [](Bytes& b, const OldImage& m) { b[m.Params[0][20] + 2] = 92; }, 0},
      {"mode 11", [](Bytes& b, const OldImage& m) { b[m.Params[1][0] + 180] = 11; }, 1316},
      // Nodes.
      {"weight 21", [](Bytes& b, const OldImage& m) { b[OldNodeAt(m.Params[1][8], 1) + 8] = 21; }, 1316},
      {"weight 20", [](Bytes& b, const OldImage& m) { b[OldNodeAt(m.Params[1][8], 1) + 8] = 20; }, 0},
      {"symmetric 11", [](Bytes& b, const OldImage& m) { b[OldNodeAt(m.Params[0][9], 0) + 9] = 11; }, 1316},
      {"position 10001", [](Bytes& b, const OldImage& m) { b[OldNodeAt(m.Params[0][9], 1) + 4] = 0x11; b[OldNodeAt(m.Params[0][9], 1) + 5] = 0x27; }, 1316},
      {"position negative", [](Bytes& b, const OldImage& m) { b[OldNodeAt(m.Params[1][8], 1) + 5] = 0xFF; }, 1316},
      {"first node after 0", [](Bytes& b, const OldImage& m) { b[OldNodeAt(m.Params[0][4], 0) + 4] = 1; }, 1316},
      {"positions going back", [](Bytes& b, const OldImage& m) { b[OldNodeAt(m.Params[1][8], 2) + 4] = 0; b[OldNodeAt(m.Params[1][8], 2) + 5] = 0; }, 1316},
  };
  // clang-format on
  return cases;
}

TEST(OldRead, DamagedFilesGiveTheirMessages) {
  OldImage base = WriteOldImage(BaseSpecs());
  ASSERT_EQ(ConvertImage(base.Data), 0);
  for (const Case& c : Corpus()) {
    Bytes b = base.Data;
    c.Damage(b, base);
    OwnedPresets out;
    int rc = ConvertImage(b, &out);
    EXPECT_EQ(rc, c.Expect) << c.Name;
    // A fault yields no preset at all, not the records before it.
    if (rc) {
      EXPECT_TRUE(out.P.empty()) << c.Name;
    }
  }
}

TEST(OldRead, DescriptionOfFullLength) {
  OldPresetSpec p = OldTypicalPreset("long");
  p.Description = std::string(4095, 'd');
  OwnedPresets out;
  ASSERT_EQ(ConvertImage(OldFile({p}), &out), 0);
  EXPECT_EQ(std::strlen(out.P[0].Description), 4095u);
  // 4096 characters without their NUL: the last byte is the terminator's
  // place and the curves follow it.
  p.Description = std::string(4096, 'e');
  p.DescriptionNul = false;
  OwnedPresets cut;
  ASSERT_EQ(ConvertImage(OldFile({p}), &cut), 0);
  EXPECT_EQ(std::string(cut.P[0].Description), std::string(4095, 'e'));
  EXPECT_EQ(SegParams(cut.P[0], 0)[36].Node[0].Value, 15000);
  // A text whose NUL would lie beyond the end of its record.
  OldImage img = WriteOldImage({OldTypicalPreset("short")});
  ASSERT_LT(img.Data.size() - img.Records[0] - OLD_REC_DESC, 4096u);
  std::fill(img.Data.begin() + static_cast<long>(img.Records[0] + OLD_REC_DESC), img.Data.end(), 'x');
  EXPECT_EQ(ConvertImage(img.Data), 1316);
}

TEST(OldRead, AtMostAThousandLivePresets) {
  OldPresetSpec small = OldTypicalPreset("n");
  std::vector<OldPresetSpec> specs(1000, small);
  OldPresetSpec gone;
  gone.Deleted = true;
  specs.push_back(gone);
  int count = 0;
  Bytes thousand = OldFile(specs);
  auto counting = [](void* ctx, int, const Preset&) { ++*static_cast<int*>(ctx); };
  EXPECT_EQ(ConvertOldFromMemory(thousand.data(), thousand.size(), counting, &count), 0);
  EXPECT_EQ(count, 1000);
  specs.push_back(small);
  count = 0;
  Bytes more = OldFile(specs);
  EXPECT_EQ(ConvertOldFromMemory(more.data(), more.size(), counting, &count), 1316);
  EXPECT_EQ(count, 0);
}

// Cut after every byte: the file either ends exactly between records, and
// then holds the records before the cut, or the cut is a read failure.
TEST(OldRead, TruncationAtEveryByte) {
  std::vector<OldPresetSpec> specs = BaseSpecs();
  OldPresetSpec gone;
  gone.Deleted = true;
  specs.insert(specs.begin() + 1, gone);
  OldImage img = WriteOldImage(specs);
  std::set<size_t> ends = {136};
  for (size_t r = 1; r < img.Records.size(); ++r) ends.insert(img.Records[r]);
  OwnedPresets out;
  for (size_t len = 0; len < img.Data.size(); ++len) {
    Bytes b(img.Data.begin(), img.Data.begin() + static_cast<long>(len));
    out.Clear();
    int rc = ConvertImage(b, &out);
    if (ends.count(len)) {
      EXPECT_EQ(rc, 0) << len;
    } else {
      ASSERT_EQ(rc, 1298) << len;
      EXPECT_TRUE(out.P.empty());
    }
  }
}

TEST(OldRead, FailedReadAtEveryPoint) {
  Bytes b = OldFile(BaseSpecs());
  // The last read asks for a size field beyond the end.
  for (int64_t budget = 0; budget < static_cast<int64_t>(b.size()) + 4; budget += 7) {
    ByteDev dev = DevFromMemory(b.data(), b.size());
    dev.ReadBudget = budget;
    int count = -1;
    EXPECT_EQ(ConvertOldDevice(dev, nullptr, nullptr, nullptr, &count), 1298) << budget;
    EXPECT_EQ(count, 0);
  }
  ByteDev dev = DevFromMemory(b.data(), b.size());
  dev.ReadBudget = static_cast<int64_t>(b.size()) + 4;
  int count = 0;
  EXPECT_EQ(ConvertOldDevice(dev, nullptr, nullptr, nullptr, &count), 0);
  EXPECT_EQ(count, 2);
}

// Random damage: any result may come out, but never a crash, an internal
// error, or a converted preset that the current reader would refuse.
TEST(OldRead, RandomDamageConvertsToReadablePresetsOrFails) {
  OldImage base = WriteOldImage(BaseSpecs());
  std::mt19937 rng(20240611);
  int converted = 0;
  OwnedPresets out, back;
  for (int round = 0; round < 1500; ++round) {
    Bytes b = base.Data;
    int hits = 1 + static_cast<int>(rng() % 4);
    for (int h = 0; h < hits; ++h) {
      // Aim most hits at the records' headers and node bytes.
      size_t at = 136 + rng() % (b.size() - 136);
      b[at] = static_cast<unsigned char>(rng() % 3 == 0 ? rng() : b[at] ^ (1u << (rng() % 8)));
    }
    out.Clear();
    int rc = ConvertImage(b, &out);
    ASSERT_TRUE(rc == 0 || rc == 1298 || rc == 1316 || rc == 1307) << rc;
    if (rc != 0) continue;
    ++converted;
    Bytes image = FileImage(out.P.data(), static_cast<int>(out.P.size()));
    back.Clear();
    ASSERT_EQ(ReadPresetsFromMemory(image.data(), image.size(), CollectPreset, &back), 0) << round;
    ASSERT_EQ(back.P.size(), out.P.size());
  }
  EXPECT_GT(converted, 100);
}

}  // namespace

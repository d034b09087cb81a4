// Broken files: each with the message it must produce, truncation at every
// byte, and random damage.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "file/filewalk.h"
#include "file/presetfixtures.h"

namespace {

// One preset of two segments with two voices each, description "abc"; the
// curves of segment 1 have 5 nodes (times 0, 2500, 5000, 7500, 10000).
Bytes BaseImage() {
  OwnedPresets in;
  Preset& p = in.Add();
  MakePreset(p, "base", 2, 2);
  SetNodeCount(p, 1, 5);
  std::strcpy(p.Description, "abc");
  return FileImage(&p, 1);
}

struct DamagedFile {
  const char* Name;
  std::function<void(Bytes&, const RecordMap&)> Damage;
  int Expect;
};

constexpr int kSegTwoVoicesParams = NSPAR + NVPAR * 2;  // 64

size_t HeaderField(const RecordMap& m, int s, int j, size_t field) { return m.Param(s, j) + field; }

const std::vector<DamagedFile>& Corpus() {
  static const std::vector<DamagedFile> cases = {
      // Parameter header.
      {"one node", [](Bytes& b, const RecordMap& m) { b[m.Param(0, 0)] = 1; }, FMSG_NOT_VALID},
      {"no nodes", [](Bytes& b, const RecordMap& m) { b[m.Param(1, 20)] = 0; }, FMSG_NOT_VALID},
      {"101 nodes", [](Bytes& b, const RecordMap& m) { b[m.Param(0, 40)] = 101; }, FMSG_NOT_VALID},
      {"Tracking 11", [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 0, 3, 1)] = 11; }, FMSG_NOT_VALID},
      {"Tracking 10", [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 0, 6, 1)] = 10; }, 0},
      {"TrackSource 176", [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 0, 3, 2)] = 176; }, FMSG_NOT_VALID},
      {"TrackSource 175 not tracking", [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 0, 0, 2)] = 175; }, 0},
      {"TrackingMode 11", [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 1, 2, 20)] = 11; }, FMSG_NOT_VALID},
      {"ChannelMode 3", [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 0, 37, 21)] = 3; }, FMSG_NOT_VALID},
      {"ChannelMode 2", [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 0, 37, 21)] = 2; }, 0},
      {"EasySel 255", [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 0, 0, 22)] = 255; }, 0},
      // Tracking that later code could not follow.
      {"tracking loop",
       [](Bytes& b, const RecordMap& m) {
         // pid 6 tracks pid 5 (second channel); make 5 track 6.
         b[HeaderField(m, 0, 5, 1)] = 1;
         b[HeaderField(m, 0, 5, 2)] = 6;
       },
       FMSG_NOT_VALID},
      {"tracks itself",
       [](Bytes& b, const RecordMap& m) {
         b[HeaderField(m, 1, 9, 1)] = 1;
         b[HeaderField(m, 1, 9, 2)] = 9;
       },
       FMSG_NOT_VALID},
      {"tracks an absent voice",
       [](Bytes& b, const RecordMap& m) {
         b[HeaderField(m, 0, 0, 1)] = 1;
         b[HeaderField(m, 0, 0, 2)] = kSegTwoVoicesParams;
       },
       FMSG_NOT_VALID},
      {"names an absent voice without tracking",
       [](Bytes& b, const RecordMap& m) { b[HeaderField(m, 0, 0, 2)] = kSegTwoVoicesParams; }, 0},
      // Nodes.
      {"Weight 21", [](Bytes& b, const RecordMap& m) { b[m.Node(0, 1, 0) + 6] = 21; }, FMSG_NOT_VALID},
      {"Weight 20", [](Bytes& b, const RecordMap& m) { b[m.Node(0, 1, 0) + 6] = 20; }, 0},
      {"Symmetric 11", [](Bytes& b, const RecordMap& m) { b[m.Node(1, 50, 2) + 7] = 11; }, FMSG_NOT_VALID},
      {"first node after 0", [](Bytes& b, const RecordMap& m) { Put16(b, m.Node(0, 2, 0) + 4, 1); }, FMSG_NOT_VALID},
      {"last node before 10000", [](Bytes& b, const RecordMap& m) { Put16(b, m.Node(0, 2, 2) + 4, 9999); },
       FMSG_NOT_VALID},
      {"last node after 10000", [](Bytes& b, const RecordMap& m) { Put16(b, m.Node(0, 2, 2) + 4, 10001); },
       FMSG_NOT_VALID},
      {"time going back", [](Bytes& b, const RecordMap& m) { Put16(b, m.Node(1, 0, 2) + 4, 2000); }, FMSG_NOT_VALID},
      {"negative time", [](Bytes& b, const RecordMap& m) { Put16(b, m.Node(0, 36, 1) + 4, -5); }, FMSG_NOT_VALID},
      {"vertical step", [](Bytes& b, const RecordMap& m) { Put16(b, m.Node(0, 36, 1) + 4, 10000); }, 0},
      // Fixed part.
      {"NumSegments 0", [](Bytes& b, const RecordMap& m) { b[m.Fixed(offsetof(PresetFixed, data.NumSegments))] = 0; },
       FMSG_NOT_VALID},
      {"NumSegments 26", [](Bytes& b, const RecordMap& m) { b[m.Fixed(offsetof(PresetFixed, data.NumSegments))] = 26; },
       FMSG_NOT_VALID},
      {"NumVoices 0", [](Bytes& b, const RecordMap& m) { b[m.Segment(1, offsetof(Segment, NumVoices))] = 0; },
       FMSG_NOT_VALID},
      {"NumVoices 11", [](Bytes& b, const RecordMap& m) { b[m.Segment(0, offsetof(Segment, NumVoices))] = 11; },
       FMSG_NOT_VALID},
      {"unused segment", [](Bytes& b, const RecordMap& m) { b[m.Segment(5, offsetof(Segment, NumVoices))] = 200; }, 0},
      {"Length 0", [](Bytes& b, const RecordMap& m) { Put32(b, m.Segment(0, offsetof(Segment, Length)), 0); },
       FMSG_NOT_VALID},
      {"Length negative",
       [](Bytes& b, const RecordMap& m) { Put32(b, m.Segment(1, offsetof(Segment, Length)), -1000); }, FMSG_NOT_VALID},
      {"Length 1000001",
       [](Bytes& b, const RecordMap& m) { Put32(b, m.Segment(0, offsetof(Segment, Length)), MAXSEGLENGTH + 1); },
       FMSG_NOT_VALID},
      {"Length 1000000",
       [](Bytes& b, const RecordMap& m) { Put32(b, m.Segment(0, offsetof(Segment, Length)), MAXSEGLENGTH); }, 0},
      {"Repeat 0", [](Bytes& b, const RecordMap& m) { Put32(b, m.Segment(0, offsetof(Segment, Repeat)), 0); },
       FMSG_NOT_VALID},
      {"Repeat 10001",
       [](Bytes& b, const RecordMap& m) { Put32(b, m.Segment(1, offsetof(Segment, Repeat)), MAXREPEAT + 1); },
       FMSG_NOT_VALID},
      {"33 colours", [](Bytes& b, const RecordMap& m) { b[m.Fixed(offsetof(PresetFixed, data.VisOpt))] = 33; },
       FMSG_NOT_VALID},
      {"IsSchedule 11", [](Bytes& b, const RecordMap& m) { b[m.Fixed(offsetof(PresetFixed, IsSchedule))] = 11; },
       FMSG_NOT_VALID},
      {"Deleted 11", [](Bytes& b, const RecordMap& m) { b[m.Fixed(offsetof(PresetFixed, Deleted))] = 11; },
       FMSG_NOT_VALID},
      {"texts without NUL",
       [](Bytes& b, const RecordMap& m) {
         std::memset(b.data() + m.Fixed(offsetof(PresetFixed, Name)), 'n', NAMELEN);
         std::memset(b.data() + m.Fixed(offsetof(PresetFixed, data.BackgroundFile)), 'f', NAMELEN);
         std::memset(b.data() + m.Segment(0, offsetof(Segment, Name)), 's', 3);
       },
       0},
      // Framing.
      {"record longer than its content",
       [](Bytes& b, const RecordMap& m) {
         Put32(b, m.Rec, GetLE32(b.data() + m.Rec) + 1);
         b.push_back(0);
       },
       FMSG_NOT_VALID},
      {"record size 0", [](Bytes& b, const RecordMap& m) { Put32(b, m.Rec, 0); }, FMSG_NOT_VALID},
      {"record size -2", [](Bytes& b, const RecordMap& m) { Put32(b, m.Rec, -2); }, FMSG_NOT_VALID},
      {"record size -1 ends the list", [](Bytes& b, const RecordMap& m) { Put32(b, m.Rec, -1); }, 0},
  };
  return cases;
}

TEST(CorruptFiles, EachGivesItsMessage) {
  const Bytes base = BaseImage();
  ASSERT_EQ(ReadImage(base), 0);
  for (const DamagedFile& c : Corpus()) {
    Bytes b = base;
    RecordMap m{&b, FILE_HEADER_SIZE};
    c.Damage(b, m);
    ASSERT_NE(b, base) << c.Name;
    EXPECT_EQ(ReadImage(b), c.Expect) << c.Name;

    // Reading the record directly leaves nothing allocated on a refusal.
    ByteDev dev = DevFromMemory(b.data(), b.size());
    DevSeek(dev, FILE_HEADER_SIZE, SEEK_SET);
    Preset p{};
    bool end = false;
    int r = ReadPresetRecord(dev, p, &end);
    if (r) {
      EXPECT_EQ(p.Description, nullptr) << c.Name;
      EXPECT_EQ(p.ParamMem, nullptr) << c.Name;
      EXPECT_EQ(p.data.NumSegments, 0) << c.Name;
    }
    FreePreset(p);
  }
}

TEST(CorruptFiles, TextsAreEndedOnRead) {
  Bytes b = BaseImage();
  RecordMap m{&b, FILE_HEADER_SIZE};
  std::memset(b.data() + m.Fixed(offsetof(PresetFixed, Name)), 'n', NAMELEN);
  std::memset(b.data() + m.Fixed(offsetof(PresetFixed, data.BackgroundFile)), 'f', NAMELEN);
  std::memset(b.data() + m.Segment(0, offsetof(Segment, Name)), 's', 3);
  OwnedPresets out;
  ASSERT_EQ(ReadImage(b, &out), 0);
  ASSERT_EQ(out.P.size(), 1u);
  EXPECT_EQ(std::string(out.P[0].Name), std::string(255, 'n'));
  EXPECT_EQ(std::string(out.P[0].data.BackgroundFile), std::string(255, 'f'));
  EXPECT_STREQ(out.P[0].data.Segment[0].Name, "ss");
}

TEST(CorruptFiles, DescriptionRunningOffTheEnd) {
  Bytes b = HeaderOnly();
  Bytes rec(FIXED_SIZE + 10, 'd');
  std::memset(rec.data(), 0, FIXED_SIZE);
  PutLE32(rec.data(), FIXED_SIZE + 10);
  rec[offsetof(PresetFixed, data.NumSegments)] = 1;
  rec[offsetof(PresetFixed, data.Segment) + offsetof(Segment, NumVoices)] = 1;
  PutLE32(rec.data() + offsetof(PresetFixed, data.Segment) + offsetof(Segment, Length), 1000);
  PutLE32(rec.data() + offsetof(PresetFixed, data.Segment) + offsetof(Segment, Repeat), 1);
  b.insert(b.end(), rec.begin(), rec.end());
  EXPECT_EQ(ReadImage(b), FMSG_READ_FAILED);
}

TEST(CorruptFiles, TruncatedAtEveryByte) {
  OwnedPresets in;
  MakePreset(in.Add(), "one");
  in.Add().Deleted = 1;
  MakePreset(in.Add(), "two", 1, 2);
  Bytes full = FileImage(in.P.data(), 3);
  size_t end0 = FILE_HEADER_SIZE + static_cast<size_t>(in.P[0].RecordSize);
  size_t end1 = end0 + 5;
  OwnedPresets out;
  for (size_t n = 0; n < full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + static_cast<long>(n));
    out.Clear();
    int r = ReadImage(cut, &out);
    size_t expectCount = n == FILE_HEADER_SIZE ? 0 : (n == end0 || n == end1) ? 1 : 99;
    if (expectCount == 99) {
      EXPECT_EQ(r, FMSG_READ_FAILED) << n;
    } else {
      EXPECT_EQ(r, 0) << n;
      EXPECT_EQ(out.P.size(), expectCount) << n;
    }
  }
}

TEST(CorruptFiles, FailedReadsAreReadFailures) {
  Bytes b = BaseImage();
  // The walk and the reader read the file once each.
  for (int64_t budget = 0; budget < static_cast<int64_t>(2 * b.size()); budget += 7) {
    ByteDev dev = DevFromMemory(b.data(), b.size());
    dev.ReadBudget = budget;
    int r = ReadPresetFile(dev, nullptr, nullptr);
    EXPECT_TRUE(r == FMSG_READ_FAILED || r == 0) << budget << " " << r;
  }
  ByteDev dev = DevFromMemory(b.data(), b.size());
  dev.ReadBudget = static_cast<int64_t>(2 * b.size());
  EXPECT_EQ(ReadPresetFile(dev, nullptr, nullptr), 0);
}

// Random damage never crashes the reader and only ever gives a file message.
TEST(CorruptFiles, RandomDamage) {
  OwnedPresets in;
  MakePreset(in.Add(), "r1", 2, 1);
  in.Add().Deleted = 1;
  MakePreset(in.Add(), "r2", 1, 3);
  const Bytes base = FileImage(in.P.data(), 3);
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  int accepted = 0;
  for (int iter = 0; iter < 4000; ++iter) {
    Bytes b = base;
    int flips = 1 + static_cast<int>(next() % 4);
    for (int k = 0; k < flips; ++k) {
      size_t at = next() % b.size();
      // Bias towards the framing and the parameter headers.
      if (k == 0 && iter % 3 == 0) at = FILE_HEADER_SIZE + next() % 8;
      b[at] = static_cast<unsigned char>(next());
    }
    if (iter % 5 == 0) b.resize(next() % b.size());
    int r = ReadImage(b);
    EXPECT_TRUE(r == 0 || r == FMSG_READ_FAILED || r == FMSG_NOT_VALID || r == FMSG_NEWER_VERSION ||
                r == FMSG_OLD_VERSION)
        << iter << " " << r;
    if (r == 0) ++accepted;
  }
  // Damage to node values and names keeps a file readable.
  EXPECT_GT(accepted, 0);
}

}  // namespace

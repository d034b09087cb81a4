// Writing records and reading them back.
#include <gtest/gtest.h>

#include <string>

#include "common/checks.h"
#include "file/presetfixtures.h"

namespace {

// Every field of the fixed part and of the parameter settings set to
// something other than its default.
void Decorate(Preset& p) {
  p.IsSchedule = 1;
  p.BuiltIn = 1;
  p.Reserved1[0] = 11;
  p.Reserved1[1] = -12;
  p.data.Background = 5;
  std::strcpy(p.data.BackgroundFile, "Ambix.dll");
  p.data.VisOpt.NumColors = 3;
  p.data.VisOpt.Colors[2] = 0x00123456;
  p.data.VisOpt.Override = 1;
  p.data.ContinuePlaying = 0;
  p.data.Reserved[0] = 21;
  p.data.Reserved[1] = 22;
  for (int s = 0; s < p.data.NumSegments; ++s) {
    Segment& seg = p.data.Segment[s];
    seg.Length = 1234 + s;
    seg.Repeat = 7;
    seg.NoiseInsideHead = 1;
    seg.Reserved[3] = 9;
    Param* params = SegParams(p, s);
    for (int j = 0; j < SegParamCount(seg); ++j) {
      params[j].Intercept = -j;
      params[j].Slope = 1000 + j;
      params[j].MinLimit = -5 - j;
      params[j].MaxLimit = 5 + j;
      params[j].TrackingMode = 1;
      params[j].ChannelMode = static_cast<uint8_t>(j % 3);
      params[j].EasySel = static_cast<uint8_t>(j % 51);
      params[j].Reserved1 = 3;
      params[j].Reserved2 = 4;
    }
    // Both halves of a waveform value: shape 29.1 %, Z 100.0 %.
    Param& wave = params[VoicePidOf(0, VP_WAVEFORM)];
    wave.Node[1].Value = static_cast<int32_t>((1000u << 16) | 291u);
  }
}

// What a read gives back, compared with the original: everything but the
// use counter.
void ExpectSame(const Preset& read, const Preset& orig) {
  Preset copy = read;
  copy.LastUse = orig.LastUse;
  EXPECT_EQ(ComparePresets(copy, orig), 0) << orig.Name;
  EXPECT_EQ(read.Loaded, 1);
}

TEST(RoundTrip, EveryFieldAndByteIdenticalImage) {
  OwnedPresets in;
  MakePreset(in.Add(), "plain");
  MakePreset(in.Add(), "three segments", 3, 2);
  MakePreset(in.Add(), "decorated", 2, 4);
  Decorate(in.P[2]);
  std::strcpy(in.P[1].Description, "line one\r\nline two");
  SetNodeCount(in.P[1], 2, 17);

  Bytes image = FileImage(in.P.data(), 3);
  OwnedPresets out;
  ASSERT_EQ(ReadImage(image, &out), 0);
  ASSERT_EQ(out.P.size(), 3u);
  for (size_t i = 0; i < 3; ++i) ExpectSame(out.P[i], in.P[i]);
  const Param& wave = SegParams(out.P[2], 1)[VoicePidOf(0, VP_WAVEFORM)];
  EXPECT_EQ(wave.Node[1].Value & 0xFFFF, 291);
  EXPECT_EQ(static_cast<uint32_t>(wave.Node[1].Value) >> 16, 1000u);
  EXPECT_STREQ(out.P[1].Description, "line one\r\nline two");
  EXPECT_STREQ(out.P[2].data.BackgroundFile, "Ambix.dll");

  EXPECT_EQ(FileImage(out.P.data(), 3), image);
}

TEST(RoundTrip, RecordSizeAndPlaceholders) {
  OwnedPresets in;
  Preset& p = in.Add();
  MakePreset(p, "sizes", 2, 3);
  p.DescriptionPlace = 0xDEADBEEF;
  p.data.Segment[0].ParamPlace = 0x12345678;
  p.data.Segment[24].ParamPlace = 0x9ABCDEF0;
  p.Loaded = 1;
  p.LastUse = 99;
  p.RecordSize = 0;
  std::strcpy(p.Description, "12345");
  const unsigned char* image;
  ASSERT_EQ(SerialisePreset(p, &image), 0);
  // fixed + description + 2 segments of 36 + 42 parameters with 3 nodes
  int32_t expect = FIXED_SIZE + 6 + 2 * (36 + 14 * 3) * (24 + 3 * 8);
  EXPECT_EQ(p.RecordSize, expect);
  EXPECT_EQ(GetLE32(image), expect);
  EXPECT_EQ(GetLE32(image + offsetof(PresetFixed, DescriptionPlace)), 0);
  EXPECT_EQ(GetLE32(image + offsetof(PresetFixed, data.Segment)), 0);
  EXPECT_EQ(GetLE32(image + offsetof(PresetFixed, data.Segment) + 24 * sizeof(Segment)), 0);
  EXPECT_EQ(image[offsetof(PresetFixed, Loaded)], 0);
  EXPECT_EQ(GetLE32(image + offsetof(PresetFixed, LastUse)), 0);
  EXPECT_EQ(std::memcmp(image + FIXED_SIZE, "12345", 6), 0);
  // Parameter 0 of segment 0: its header, then its nodes.
  const Param& first = SegParams(p, 0)[0];
  EXPECT_EQ(std::memcmp(image + FIXED_SIZE + 6, HeaderOf(&first), 24), 0);
  EXPECT_EQ(std::memcmp(image + FIXED_SIZE + 30, first.Node, 24), 0);
}

TEST(RoundTrip, Descriptions) {
  OwnedPresets in;
  for (int i = 0; i < 4; ++i) MakePreset(in.Add(), ("d" + std::to_string(i)).c_str());
  in.P[0].Description[0] = 0;                   // empty
  ReleaseDescription(in.P[1]);                  // none at all
  std::memset(in.P[2].Description, 'x', 4095);  // exactly 4095 characters
  in.P[2].Description[4095] = 0;
  std::memset(in.P[3].Description, 'y', DESCLEN);  // no terminator in memory
  int32_t base = 0;
  {
    Preset& p = in.P[0];
    const unsigned char* image;
    ASSERT_EQ(SerialisePreset(p, &image), 0);
    base = p.RecordSize - 1;  // everything but the description
  }
  const unsigned char* image;
  ASSERT_EQ(SerialisePreset(in.P[1], &image), 0);
  EXPECT_EQ(in.P[1].RecordSize, base + 1);
  EXPECT_EQ(image[FIXED_SIZE], 0);
  ASSERT_EQ(SerialisePreset(in.P[2], &image), 0);
  EXPECT_EQ(in.P[2].RecordSize, base + 4096);
  ASSERT_EQ(SerialisePreset(in.P[3], &image), 0);
  EXPECT_EQ(in.P[3].RecordSize, base + 4096);  // cut at 4095 characters
  EXPECT_EQ(in.P[3].Description[4095], 0);

  OwnedPresets out;
  ASSERT_EQ(ReadImage(FileImage(in.P.data(), 4), &out), 0);
  ASSERT_EQ(out.P.size(), 4u);
  EXPECT_STREQ(out.P[0].Description, "");
  EXPECT_STREQ(out.P[1].Description, "");
  EXPECT_EQ(std::strlen(out.P[2].Description), 4095u);
  EXPECT_EQ(std::string(out.P[3].Description), std::string(4095, 'y'));
}

TEST(RoundTrip, DescriptionOf4096BytesWithoutNulIsCutSafely) {
  OwnedPresets in;
  Preset& p = in.Add();
  MakePreset(p, "long");
  std::memset(p.Description, 'x', 4095);
  p.Description[4095] = 0;
  Bytes image = FileImage(&p, 1);
  // Another writer's file: the 4096th byte of the description is not NUL.
  ASSERT_EQ(image[FILE_HEADER_SIZE + FIXED_SIZE + 4095], 0);
  image[FILE_HEADER_SIZE + FIXED_SIZE + 4095] = 'z';
  OwnedPresets out;
  ASSERT_EQ(ReadImage(image, &out), 0);
  ASSERT_EQ(out.P.size(), 1u);
  EXPECT_EQ(std::string(out.P[0].Description), std::string(4095, 'x'));
  // The curves after it were read from the right place.
  Preset copy = out.P[0];
  copy.LastUse = p.LastUse;
  EXPECT_EQ(ComparePresets(copy, p), 0);
}

TEST(RoundTrip, LargestRecord) {
  OwnedPresets in;
  Preset& p = in.Add();
  MakePreset(p, "largest", MAXSEGMENTS, MAXVOICES);
  for (int s = 0; s < MAXSEGMENTS; ++s) SetNodeCount(p, s, MAXNODES);
  std::memset(p.Description, 'L', 4095);
  p.Description[4095] = 0;
  Preset& small = in.Add();
  MakePreset(small, "after it");

  Bytes image = FileImage(in.P.data(), 2);
  EXPECT_EQ(p.RecordSize, MAX_RECORD_SIZE);
  EXPECT_GE(SaveTempMem.Reserved, static_cast<size_t>(MAX_RECORD_SIZE));
  EXPECT_GE(SaveTempMem.Committed, static_cast<size_t>(MAX_RECORD_SIZE));
  EXPECT_EQ(image.size(), static_cast<size_t>(FILE_HEADER_SIZE + MAX_RECORD_SIZE + small.RecordSize));

  OwnedPresets out;
  ASSERT_EQ(ReadImage(image, &out), 0);
  ASSERT_EQ(out.P.size(), 2u);
  ExpectSame(out.P[0], p);
  ExpectSame(out.P[1], small);
  EXPECT_EQ(FileImage(out.P.data(), 2), image);
}

TEST(RoundTrip, DeletedRecordIsFiveBytes) {
  OwnedPresets in;
  Preset& p = in.Add();
  MakePreset(p, "gone");
  p.Deleted = 1;
  const unsigned char* image;
  ASSERT_EQ(SerialisePreset(p, &image), 0);
  EXPECT_EQ(p.RecordSize, 5);
  EXPECT_EQ(Bytes(image, image + 5), (Bytes{5, 0, 0, 0, 1}));
}

TEST(RoundTrip, InconsistentRecordIsNotWritten) {
  OwnedPresets in;
  Preset& p = in.Add();
  MakePreset(p, "bad");
  SegParams(p, 0)[3].NumNodes = 101;
  const unsigned char* image;
  ExpectCheckFailures checks;
  EXPECT_EQ(SerialisePreset(p, &image), FMSG_WRITE_FAILED);
  EXPECT_EQ(image, nullptr);
  EXPECT_FALSE(checks.Failures().empty());
  SegParams(p, 0)[3].NumNodes = 3;
  p.data.Segment[0].NumVoices = 11;
  EXPECT_EQ(SerialisePreset(p, &image), FMSG_WRITE_FAILED);
}

}  // namespace

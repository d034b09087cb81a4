// The status text: time, voice lines, the AudioStrobe line, the number
// format taken for the audio thread.
#include <gtest/gtest.h>

#include <cstring>

#include "data/playback/playstatus.h"
#include "data/synthesis/state.h"
#include "data/testrecord.h"
#include "platform/numfmt.h"

namespace {

struct StatusRecord {
  alignas(8) unsigned char Bytes[sizeof(SweepRecord)] = {};
  SweepRecord* R = reinterpret_cast<SweepRecord*>(Bytes);
  explicit StatusRecord(int voices) { R->NumVoices = static_cast<uint8_t>(voices); }
  void Voice(int i, int volL, int volR, int32_t fL, int32_t fR) {
    R->Voice[i].Volume[0] = static_cast<int16_t>(volL);
    R->Voice[i].Volume[1] = static_cast<int16_t>(volR);
    R->Voice[i].Frequency[0] = fL;
    R->Voice[i].Frequency[1] = fR;
  }
};

std::string Text(const SweepRecord* r, int64_t s, bool frozen, bool strobe, int* lines = nullptr) {
  char buf[1024];
  int n = BuildStatusText(TestRecord, r, s, frozen, strobe, buf, sizeof buf);
  if (lines) *lines = n;
  return buf;
}

class StatusText : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::NumberSettings s{".", ",", 3, plat::NEG_LEADING, 1};
    plat::SetNumberSettings(s);
    TakeStatusNumberFormat();
  }
  void TearDown() override {
    plat::UseLocaleNumberSettings();
    TestRecord.SweepDataVoices = 1;
  }
};

TEST_F(StatusText, OneVoiceStaysOnTheTimeLine) {
  TestRecord.SweepDataVoices = 1;
  StatusRecord r(1);
  r.Voice(0, 5000, 5000, 200000, 210500);
  int lines = 0;
  EXPECT_EQ(Text(r.R, 65, false, false, &lines), "Time 1:05    Voice 1: volume 50%, beat frequency: 10.5Hz\n");
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(Text(r.R, 0, true, false),
            "(Parameters frozen) Time 0:00    Voice 1: volume 50%, beat frequency: 10.5Hz\n");
}

TEST_F(StatusText, SeveralVoicesHoursAndVoicesTheRecordLacks) {
  TestRecord.SweepDataVoices = 3;
  StatusRecord r(2);
  r.Voice(0, 10000, 2500, 100000, 96000);  // negative beat
  r.Voice(1, 0, -1, 100000, 100000);
  int lines = 0;
  EXPECT_EQ(Text(r.R, 3723, true, false, &lines),
            "(Parameters frozen) Time 1:02:03\n"
            "Voice 1: volume 100%/25%, beat frequency: -4.0Hz\n"
            "Voice 2: volume 0%\n"
            "Voice 3: volume 0%\n");
  EXPECT_EQ(lines, 4);
}

TEST_F(StatusText, AudioStrobeLineAndLocalNumbers) {
  TestRecord.SweepDataVoices = 1;
  StatusRecord r(1);
  r.Voice(0, 7000, 7000, 100000, 101234);
  r.R->VisualBrightness[0] = r.R->VisualBrightness[1] = 8000;
  r.R->VisualFrequency[0] = r.R->VisualFrequency[1] = 12000;
  int lines = 0;
  EXPECT_EQ(Text(r.R, 5, false, true, &lines),
            "Time 0:05    Voice 1: volume 70%, beat frequency: 1.2Hz\nVisual: brightness 80%, frequency: 12.0Hz\n");
  EXPECT_EQ(lines, 3);
  r.R->VisualBrightness[1] = 6000;
  r.R->VisualFrequency[1] = 1234567;
  plat::NumberSettings de{",", ".", 3, plat::NEG_LEADING, 1};
  plat::SetNumberSettings(de);
  TakeStatusNumberFormat();
  EXPECT_EQ(Text(r.R, 5, false, true),
            "Time 0:05    Voice 1: volume 70%, beat frequency: 1,2Hz\n"
            "Visual: brightness 80%/60%, frequency: 12,0/1.234,6Hz\n");
}

TEST_F(StatusText, ATooSmallBufferIsCutNotOverrun) {
  TestRecord.SweepDataVoices = 10;
  StatusRecord r(10);
  for (int i = 0; i < 10; i++) r.Voice(i, 1000 * i, 500 * i, 100000, 107000);
  char buf[40];
  std::memset(buf, 'x', sizeof buf);
  BuildStatusText(TestRecord, r.R, 1, false, true, buf, 30);
  EXPECT_EQ(std::strlen(buf), 29u);
  EXPECT_EQ(buf[31], 'x');
}

}  // namespace

TEST(StatusNumber, OneDecimalRoundedHalvesAwayFromZero) {
  plat::NumberSettings en{".", ",", 3, plat::NEG_LEADING, 1};
  plat::SetNumberSettings(en);
  TakeStatusNumberFormat();
  char buf[32];
  struct Case {
    int32_t Value;
    const char* Text;
  } cases[] = {{10050, "10.1"}, {10049, "10.0"}, {-10050, "-10.1"}, {-40, "0.0"}, {15000, "15.0"}, {999950, "1,000.0"}};
  for (const Case& c : cases) {
    FormatStatusNumber(c.Value, 3, buf, sizeof buf);
    EXPECT_STREQ(buf, c.Text) << c.Value;
  }
  plat::UseLocaleNumberSettings();
  TakeStatusNumberFormat();
}

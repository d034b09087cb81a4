// Stored values as text: FormatNumber in the user's number format and
// ParseNumber with either separator and note names.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "common/checks.h"
#include "main/arith.h"
#include "platform/numfmt.h"

namespace {

plat::NumberSettings Settings(const char* dec, const char* thou, int neg = plat::NEG_LEADING, int lz = 1) {
  plat::NumberSettings s{};
  std::strcpy(s.DecimalSep, dec);
  std::strcpy(s.ThousandSep, thou);
  s.Grouping = 3;
  s.NegativeOrder = neg;
  s.LeadingZero = lz;
  return s;
}

// English number settings unless a test sets others; the locale's afterwards.
class FormatNumberTest : public testing::Test {
 protected:
  void SetUp() override { plat::SetNumberSettings(Settings(".", ",")); }
  void TearDown() override { plat::UseLocaleNumberSettings(); }
};

std::string F(int32_t v, int d, int w, int c, bool g = false) { return FormatNumber(v, d, w, c, g); }

TEST_F(FormatNumberTest, DropsTrailingZeroDecimalsDownToTheMinimum) {
  // Segment lengths: d 2, w 2, c 0.
  EXPECT_EQ(F(1000, 2, 2, 0), "10");
  EXPECT_EQ(F(1050, 2, 2, 0), "10.5");
  EXPECT_EQ(F(1234, 2, 2, 0), "12.34");
  EXPECT_EQ(F(1500, 2, 2, 1), "15.0");
  EXPECT_EQ(F(1500, 2, 2, 2), "15.00");
  EXPECT_EQ(F(0, 2, 2, 0), "0");
  EXPECT_EQ(F(50, 2, 2, 0), "0.5");
}

TEST_F(FormatNumberTest, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(F(15250, 3, 1, 1), "15.3");
  EXPECT_EQ(F(15249, 3, 1, 1), "15.2");
  EXPECT_EQ(F(-15250, 3, 1, 1), "-15.3");
  EXPECT_EQ(F(-15249, 3, 1, 1), "-15.2");
  EXPECT_EQ(F(999, 3, 1, 1), "1.0");
  EXPECT_EQ(F(1499, 3, 0, 0), "1");
  // Rounded to zero: no sign.
  EXPECT_EQ(F(-4, 2, 1, 1), "0.0");
}

TEST_F(FormatNumberTest, GroupsThousandsOnRequest) {
  EXPECT_EQ(F(123456789, 3, 1, 1, true), "123,456.8");
  EXPECT_EQ(F(123456789, 3, 1, 1, false), "123456.8");
  EXPECT_EQ(F(INT32_MIN, 0, 0, 0, true), "-2,147,483,648");
  EXPECT_EQ(F(INT32_MAX, 2, 2, 0, true), "21,474,836.47");
  EXPECT_EQ(F(99999, 2, 0, 0, true), "1,000");
}

TEST_F(FormatNumberTest, FollowsTheUsersSettings) {
  plat::SetNumberSettings(Settings(",", "."));
  EXPECT_EQ(F(123456789, 3, 1, 1, true), "123.456,8");
  EXPECT_EQ(F(1050, 2, 2, 0), "10,5");
  EXPECT_EQ(F(-2500, 2, 2, 0, true), "-25");
  plat::SetNumberSettings(Settings(".", ",", plat::NEG_PARENS, 0));
  EXPECT_EQ(F(-1234, 2, 2, 0), "(12.34)");
  EXPECT_EQ(F(-50, 2, 2, 0), "(.5)");
  plat::SetNumberSettings(Settings(".", "\xE2\x80\xAF", plat::NEG_TRAILING_SPACE));  // narrow no-break space
  EXPECT_EQ(F(-1234567, 0, 0, 0, true),
            "1\xE2\x80\xAF"
            "234\xE2\x80\xAF"
            "567 -");
}

TEST_F(FormatNumberTest, DecimalsBeyondTheStoredOnesArePadded) {
  EXPECT_EQ(F(15, 0, 2, 2), "15.00");
  EXPECT_EQ(F(15, 0, 2, 0), "15");
  EXPECT_EQ(F(155, 1, 3, 2), "15.50");
}

TEST_F(FormatNumberTest, EightResultsCanBeUsedTogether) {
  const char* r[9];
  for (int i = 0; i < 9; ++i) r[i] = FormatNumber(100 * (i + 1), 2, 2, 0, false);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(std::string(r[i + 1]), std::to_string(i + 2)) << i;
    for (int j = i + 1; j < 8; ++j) EXPECT_NE(r[i], r[j]);
  }
  EXPECT_EQ(r[8], r[0]);  // the ninth reuses the first buffer
}

TEST_F(FormatNumberTest, FormatterFailureIsAnInternalErrorWithThePlainText) {
  plat::NumberSettings bad = Settings(".", ",");
  bad.NegativeOrder = 7;
  plat::SetNumberSettings(bad);
  ExpectCheckFailures checks;
  EXPECT_EQ(F(-1234, 2, 2, 0), "-12.34");
  EXPECT_TRUE(checks.Saw("error!=0"));
}

TEST_F(FormatNumberTest, DigitsOutsideTheScaleTableAreAnInternalError) {
  ExpectCheckFailures checks;
  EXPECT_EQ(F(1234, 9, 2, 2), "0.00");  // taken as 7 digits: 0.0001234
  EXPECT_TRUE(checks.Saw("Digits>=0 && Digits<8"));
}

// --- ParseNumber ------------------------------------------------------------

int32_t P(const char* text, int d = 2, bool notes = false, bool* err = nullptr) {
  bool e = true;
  int32_t v = ParseNumber(text, d, notes, &e);
  if (err) *err = e;
  EXPECT_FALSE(e) << text;
  return v;
}

bool Fails(const char* text, int d = 2, bool notes = false) {
  bool e = false;
  int32_t v = ParseNumber(text, d, notes, &e);
  EXPECT_EQ(v, 0) << text;
  return e;
}

TEST(ParseNumber, AcceptsEitherDecimalSeparator) {
  EXPECT_EQ(P("0.5"), 50);
  EXPECT_EQ(P("-0,25"), -25);
  EXPECT_EQ(P("12,5"), 1250);
  EXPECT_EQ(P("-5.5"), -550);
  EXPECT_EQ(P(".5"), 50);
  EXPECT_EQ(P("-.5"), -50);
  EXPECT_EQ(P("  12"), 1200);
  EXPECT_EQ(P("5."), 500);
  EXPECT_EQ(P("0"), 0);
  EXPECT_EQ(P("1.5", 3), 1500);
  EXPECT_EQ(P("7.9", 0), 7);
}

TEST(ParseNumber, ReadsOnlyTheStoredDecimalsWithoutRounding) {
  EXPECT_EQ(P("1.234"), 123);
  EXPECT_EQ(P("1.239"), 123);
  EXPECT_EQ(P("-1.239"), -123);
  EXPECT_EQ(P("1.2x9"), 120);
  EXPECT_EQ(P("12abc"), 1200);  // trailing characters are ignored
}

TEST(ParseNumber, TextsNotStartingLikeANumberFail) {
  EXPECT_TRUE(Fails("abc"));
  EXPECT_TRUE(Fails("x1"));
  EXPECT_TRUE(Fails(""));
  EXPECT_TRUE(Fails("-"));
  EXPECT_TRUE(Fails("-x"));
  EXPECT_TRUE(Fails("A#"));  // a note name only where notes are allowed
  EXPECT_TRUE(Fails("Hz", 2, true));
}

TEST(ParseNumber, HugeNumbersSaturateInsteadOfWrapping) {
  EXPECT_EQ(P("99999999999"), INT32_MAX);
  EXPECT_EQ(P("-99999999999"), INT32_MIN);
  EXPECT_EQ(P("42949673"), INT32_MAX);  // x 100 wraps to 4 in 32 bits
  EXPECT_EQ(P("21474836.47"), INT32_MAX);
  EXPECT_EQ(P("-21474836.48"), INT32_MIN);
}

TEST(ParseNumber, NoteNamesGiveTheirFrequency) {
  EXPECT_EQ(P("A#", 2, true), 46616);
  EXPECT_EQ(P("Bb", 2, true), 46616);
  EXPECT_EQ(P("A", 2, true), 44000);
  EXPECT_EQ(P("A4", 2, true), 44000);
  EXPECT_EQ(P("a5", 2, true), 88000);
  EXPECT_EQ(P("A3", 2, true), 22000);
  EXPECT_EQ(P("C4", 2, true), 52325);  // the octave number changes at A
  EXPECT_EQ(P(" c", 2, true), 52325);
  EXPECT_EQ(P("Ab3", 2, true), 20765);
  EXPECT_EQ(P("G#", 2, true), 83061);
  EXPECT_EQ(P("A0", 3, true), 27500);
  // Accidentals a letter does not take are not part of the name.
  EXPECT_EQ(P("Cb", 2, true), 52325);
  EXPECT_EQ(P("B#", 2, true), 49388);
  EXPECT_EQ(P("E#5", 2, true), P("E", 2, true));
}

TEST(ParseNumber, NoteBeyondTheRangeSaturates) { EXPECT_EQ(P("G#9", 7, true), INT32_MAX); }

}  // namespace

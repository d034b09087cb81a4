// The one text rule: UTF-8 when valid, else Windows-1252; names one line.
#include <gtest/gtest.h>

#include <string>

#include "main/strtab.h"
#include "main/text.h"

namespace {

TEST(Text, BytesAreReadByOneRule) {
  struct Case {
    std::string Bytes;
    bool Utf8;
    const char* AsUtf8;
    const char* Line;
  } cases[] = {
      {"plain", true, "plain", "plain"},
      {"Caf\xC3\xA9", true, "Caf\xC3\xA9", "Caf\xC3\xA9"},  // UTF-8 stays
      {"Caf\xE9", false, "Caf\xC3\xA9", "Caf\xC3\xA9"},     // Windows-1252 é
      {"\x80 \x9F \x8A", false, "\xE2\x82\xAC \xC5\xB8 \xC5\xA0", "\xE2\x82\xAC \xC5\xB8 \xC5\xA0"},
      {"a\x81z", false, "a\xC2\x81z", "a\\u0081z"},                 // unassigned: C1, escaped
      {"\xC0\xAF", false, "\xC3\x80\xC2\xAF", "\xC3\x80\xC2\xAF"},  // overlong '/'
      {"\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xE2\x82\xAC", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // surrogate
      {"\xF4\x90\x80\x80", false, "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC",
       "\xC3\xB4\\u0090\xE2\x82\xAC\xE2\x82\xAC"},
      {"cut \xE2\x82", false, "cut \xC3\xA2\xE2\x80\x9A", "cut \xC3\xA2\xE2\x80\x9A"},  // sequence cut short
      {"two\nlines\tand\r\x1b", true, "two\nlines\tand\r\x1b", "two\\nlines\\tand\\r\\x1B"},
      {"del\x7F", true, "del\x7F", "del\\x7F"},
      {"\xF0\x9F\x8E\xB5", true, "\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"},  // beyond the BMP
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUtf8(c.Bytes), c.Utf8) << c.Bytes;
    EXPECT_EQ(TextToUtf8(c.Bytes), c.AsUtf8) << c.Bytes;
    EXPECT_TRUE(IsUtf8(TextToUtf8(c.Bytes))) << c.Bytes;
    EXPECT_EQ(TextForLine(c.Bytes), c.Line) << c.Bytes;
  }
}

TEST(Text, BlocksKeepTheirLines) {
  EXPECT_EQ(TextForBlock("one\r\ntwo\rthree\nfour\tfive"), "one\ntwo\nthree\nfour\tfive");
  EXPECT_EQ(TextForBlock("bell\x07 \xE9t\xE9"), "bell\\x07 \xC3\xA9t\xC3\xA9");
}

TEST(Text, EnteredNamesAreOneLine) {
  EXPECT_EQ(CheckEnteredName("Relaxation 1 (general)"), 0);
  EXPECT_EQ(CheckEnteredName("Caf\xC3\xA9 \xE2\x80\x94 d\xC3\xA9j\xC3\xA0"), 0);
  for (const char* bad : {"two\nlines", "tab\there", "cr\r", "esc\x1b", "c1 \xC2\x85", "Caf\xE9"})
    EXPECT_EQ(CheckEnteredName(bad), 1482) << bad;
}

TEST(Text, NamesCompareWithoutRegardToCase) {
  struct Case {
    const char* A;
    const char* B;
    bool Same;
  } cases[] = {
      {"Alpha", "ALPHA", true},
      {"Caf\xE9", "CAF\xC3\x89", true},                // Windows-1252 against UTF-8
      {"\xC5\x92uvre", "\xC5\x93UVRE", true},          // Œ œ
      {"\xC5\xB8", "\xC3\xBF", true},                  // Ÿ ÿ
      {"\xD0\x96\xD0\x81", "\xD0\xB6\xD1\x91", true},  // Cyrillic Ж Ё
      {"Beta", "Betas", false},
      {"\xC3\x97", "\xC3\xB7", false},  // × is not ÷
      {"a", "\xC3\xA1", false},
  };
  for (const Case& c : cases) EXPECT_EQ(SameTextNoCase(c.A, c.B), c.Same) << c.A << " / " << c.B;
}

// A name in a message box: one line, and long ones shortened in the middle
// so the box fits a screen; the whole text stays for the box's details.
TEST(Text, MessageInsertsAreOneLineAndShortened) {
  const std::string longName = "/home/u/" + std::string(100000, 'a') + "/bg.flac";
  struct Case {
    const char* What;
    std::string Insert;
    const char* Shown;  // the insert as the text shows it
    bool Whole;         // the whole text equals the shown one
  } cases[] = {
      {"short", "/tmp/x.tvk", "/tmp/x.tvk", true},
      {"exactly the limit", std::string(20, 'b'), "bbbbbbbbbbbbbbbbbbbb", true},
      {"one more", std::string(21, 'b'),
       "bbbbbbbbb\xE2\x80\xA6"
       "bbbbbbbbbb",
       false},
      {"control characters", "a\nb\x1b", "a\\nb\\x1B", true},
      {"100 KB", longName,
       "/home/u/a\xE2\x80\xA6"
       "aa/bg.flac",
       false},
      {"whole characters", std::string(15, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9" + std::string(15, 'y'),
       "xxxxxxxxx\xE2\x80\xA6yyyyyyyyyy", false},
  };
  for (const Case& c : cases) {
    std::string whole;
    // 1287: "Unable to open the background file '%1'."
    std::string shown = FormatMsgShown(1287, {c.Insert, 5}, 20, &whole);
    EXPECT_EQ(shown, std::string("Unable to open the background file '") + c.Shown + "'.") << c.What;
    EXPECT_TRUE(IsUtf8(shown)) << c.What;
    EXPECT_EQ(whole == shown, c.Whole) << c.What;
    EXPECT_EQ(whole, FormatMsg(1287, {TextForLine(c.Insert)})) << c.What;
  }
}

}  // namespace

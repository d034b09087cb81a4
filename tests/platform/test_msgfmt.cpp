#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/msgfmt.h"

TEST(MsgFmt, PlainInsertsTakeArgumentsByNumber) {
  EXPECT_EQ(FormatMsgText("%1 and %2", {"a", 5}), "a and 5");
  EXPECT_EQ(FormatMsgText("%2 before %1", {"x", "y"}), "y before x");
  EXPECT_EQ(FormatMsgText("%1-%1", {7}), "7-7");
  EXPECT_EQ(FormatMsgText("range %1-%2.", {-1000, 1000}), "range -1000-1000.");
  EXPECT_EQ(FormatMsgText("%1", {std::string("std")}), "std");
  EXPECT_EQ(FormatMsgText("%1", {std::string_view("view")}), "view");
  EXPECT_EQ(FormatMsgText("[%1]", {static_cast<const char*>(nullptr)}), "[]");
  EXPECT_EQ(FormatMsgText("%1", {INT64_MIN}), "-9223372036854775808");
  EXPECT_EQ(FormatMsgText(nullptr, {1}), "");
  EXPECT_EQ(FormatMsgText("", {1}), "");
}

TEST(MsgFmt, TwoDigitInsertNumbers) {
  std::vector<MsgArg> args;
  for (int i = 1; i <= 12; ++i) args.emplace_back(i * 100);
  EXPECT_EQ(FormatMsgText("%10 %12 %1", args), "1000 1200 100");
  // At most two digits belong to the number.
  EXPECT_EQ(FormatMsgText("%100", args), "10000");
  EXPECT_EQ(FormatMsgText("%2x", args), "200x");
}

TEST(MsgFmt, PrintfConversionsOnIntegers) {
  EXPECT_EQ(FormatMsgText("%1!d!", {1000}), "1000");
  EXPECT_EQ(FormatMsgText("<%1!3d!>", {7}), "<  7>");
  EXPECT_EQ(FormatMsgText("<%1!-4d!>", {7}), "<7   >");
  EXPECT_EQ(FormatMsgText("%1!05d!", {-42}), "-0042");
  EXPECT_EQ(FormatMsgText("%1!+d!", {5}), "+5");
  EXPECT_EQ(FormatMsgText("%1!.3d!", {5}), "005");
  EXPECT_EQ(FormatMsgText("%1!x! %1!X! %1!#x! %1!o!", {255}), "ff FF 0xff 377");
  EXPECT_EQ(FormatMsgText("%1!i!", {-3}), "-3");
  EXPECT_EQ(FormatMsgText("%1!c!%2!c!", {'O', 'K'}), "OK");
}

TEST(MsgFmt, IntegerWidthFollowsTheLengthModifier) {
  // Without a 64-bit length the argument is taken as 32 bits.
  EXPECT_EQ(FormatMsgText("%1!u!", {-1}), "4294967295");
  EXPECT_EQ(FormatMsgText("%1!lu!", {-1}), "4294967295");
  EXPECT_EQ(FormatMsgText("%1!d!", {int64_t{1} << 40}), "0");
  EXPECT_EQ(FormatMsgText("%1!d!", {4294967295u}), "-1");
  EXPECT_EQ(FormatMsgText("%1!llu!", {-1}), "18446744073709551615");
  EXPECT_EQ(FormatMsgText("%1!I64d!", {int64_t{1} << 40}), "1099511627776");
  EXPECT_EQ(FormatMsgText("%1!lld!", {INT64_MIN}), "-9223372036854775808");
  EXPECT_EQ(FormatMsgText("%1!hd!", {70000}), "4464");
  EXPECT_EQ(FormatMsgText("%1!hhu!", {258}), "2");
  EXPECT_EQ(FormatMsgText("%1!zu!", {UINT64_MAX}), "18446744073709551615");
}

TEST(MsgFmt, StringConversionsAndMixedKinds) {
  EXPECT_EQ(FormatMsgText("%1!s!", {"abc"}), "abc");
  EXPECT_EQ(FormatMsgText("%1!.2s!", {"abc"}), "ab");
  EXPECT_EQ(FormatMsgText("<%1!5s!>", {"abc"}), "<  abc>");
  EXPECT_EQ(FormatMsgText("<%1!-5s!>", {"abc"}), "<abc  >");
  EXPECT_EQ(FormatMsgText("<%1!2s!>", {"abcdef"}), "<abcdef>");
  // An integer through %s is decimal text; a string through %d is its text.
  EXPECT_EQ(FormatMsgText("<%1!4s!>", {12}), "<  12>");
  EXPECT_EQ(FormatMsgText("<%1!4d!>", {"x"}), "<   x>");
  EXPECT_EQ(FormatMsgText("<%1!-3x!>", {"y"}), "<y  >");
}

TEST(MsgFmt, EscapesAndEnd) {
  EXPECT_EQ(FormatMsgText("100%% done%n", {}), "100% done\n");
  EXPECT_EQ(FormatMsgText("a%rb%tc%.%!% d", {}), "a\rb\tc.! d");
  EXPECT_EQ(FormatMsgText("shown%0hidden %1", {"x"}), "shown");
  EXPECT_EQ(FormatMsgText("%q%s", {}), "qs");
  EXPECT_EQ(FormatMsgText("ends with %", {}), "ends with %");
  EXPECT_EQ(FormatMsgText("%", {}), "%");
  // Ordinary text passes byte for byte, UTF-8 included.
  EXPECT_EQ(FormatMsgText("90\xc2\xb0 !x! \\", {}), "90\xc2\xb0 !x! \\");
}

TEST(MsgFmt, MissingArgumentsStayAsWritten) {
  EXPECT_EQ(FormatMsgText("%1 %2 %3!d!.", {"a"}), "a %2 %3!d!.");
  EXPECT_EQ(FormatMsgText("You can not add more than %1!d! nodes.", {}), "You can not add more than %1!d! nodes.");
  EXPECT_EQ(FormatMsgText("%99", {1}), "%99");
}

TEST(MsgFmt, MalformedConversionsStayAsWritten) {
  EXPECT_EQ(FormatMsgText("%1!q!", {5}), "%1!q!");
  EXPECT_EQ(FormatMsgText("%1!!", {5}), "%1!!");
  EXPECT_EQ(FormatMsgText("%1!dd!", {5}), "%1!dd!");
  EXPECT_EQ(FormatMsgText("%1!*d!", {5}), "%1!*d!");
  EXPECT_EQ(FormatMsgText("%1!f!", {5}), "%1!f!");
  EXPECT_EQ(FormatMsgText("%1!n!", {5}), "%1!n!");
  EXPECT_EQ(FormatMsgText("%1!256d!", {5}), "%1!256d!");
  EXPECT_EQ(FormatMsgText("%1!1000d!", {5}), "%1!1000d!");
  EXPECT_EQ(FormatMsgText("%1!.256s!", {"a"}), "%1!.256s!");
  // No closing '!': a plain insert followed by the text.
  EXPECT_EQ(FormatMsgText("%1!d", {5}), "5!d");
  EXPECT_EQ(FormatMsgText("%1!", {5}), "5!");
}

TEST(MsgFmt, LongArgumentsAndFields) {
  std::string big(100000, 'z');
  std::string out = FormatMsgText("<%1> <%1!.3s!> <%2>", {big, "b"});
  EXPECT_EQ(out, "<" + big + "> <zzz> <b>");
  EXPECT_EQ(FormatMsgText("%1!255d!", {1}).size(), 255u);
  EXPECT_EQ(FormatMsgText("%1!.255llu!", {UINT64_MAX}).size(), 255u);
  EXPECT_EQ(FormatMsgText("%1!#255.255llo!", {UINT64_MAX}).size(), 255u);
  EXPECT_EQ(FormatMsgText("%1!-255s!", {"a"}).size(), 255u);
}

TEST(MsgFmt, PrintfPath) {
  EXPECT_EQ(FormatPrintf("%d.%d", 3, 1), "3.1");
  EXPECT_EQ(FormatPrintf("%s%s, %s%s", "15.0", "Hz", "1.00", "min"), "15.0Hz, 1.00min");
  EXPECT_EQ(FormatPrintf("volume %d%%", 50), "volume 50%");
  EXPECT_EQ(FormatPrintf("%lu:%02lu", 3ul, 7ul), "3:07");
  EXPECT_EQ(FormatPrintf("%s", ""), "");
  std::string big(5000, 'q');
  EXPECT_EQ(FormatPrintf("[%s]", big.c_str()), "[" + big + "]");
  // The NUL byte written by "%c" with 0 is part of the result.
  EXPECT_EQ(FormatPrintf("a%cb", 0), std::string("a\0b", 3));
}

// Random format texts over the characters the parser cares about: the
// formatter must stay within its arguments and produce bounded output, and
// texts without inserts must not depend on the arguments at all.
TEST(MsgFmt, RandomTextsStayBounded) {
  std::mt19937 rng(12345);
  const std::string alphabet = "%%%%!!0123456789dxXuscoilhIjz.-+ #0nrt6ab\n";
  const std::vector<std::string> strs = {"", "s", "a longer argument text", std::string(300, 'w')};
  for (int iter = 0; iter < 20000; ++iter) {
    std::string text;
    int len = static_cast<int>(rng() % 40);
    for (int k = 0; k < len; ++k) text.push_back(alphabet[rng() % alphabet.size()]);
    std::vector<MsgArg> args;
    size_t maxArg = 0;
    int nargs = static_cast<int>(rng() % 4);
    for (int a = 0; a < nargs; ++a) {
      if (rng() % 2) {
        uint64_t v = static_cast<uint64_t>(rng()) << (rng() % 32);
        args.emplace_back(static_cast<int64_t>(rng() % 2 ? ~v : v));
        maxArg = std::max<size_t>(maxArg, 20);
      } else {
        const std::string& s = strs[rng() % strs.size()];
        args.emplace_back(s);
        maxArg = std::max(maxArg, s.size());
      }
    }
    std::string out = FormatMsgText(text.c_str(), args);
    // Each insert consumes at least two characters and yields at most the
    // longest argument or a 255-wide field.
    ASSERT_LE(out.size(), text.size() * (std::max<size_t>(maxArg, 260) + 1)) << text;
    bool hasInsert = false;
    for (size_t k = 0; k + 1 < text.size(); ++k) {
      if (text[k] == '%') {
        if (text[k + 1] >= '1' && text[k + 1] <= '9') hasInsert = true;
        ++k;  // the escaped character
      }
    }
    if (!hasInsert) {
      ASSERT_EQ(out, FormatMsgText(text.c_str(), {})) << text;
    }
    if (text.find('%') == std::string::npos) {
      ASSERT_EQ(out, text);
    }
  }
}

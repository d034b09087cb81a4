// Number-format settings and the locale number formatter.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/numfmt.h"

namespace {

using plat::NumberFormatOptions;

NumberFormatOptions Opt(int digits, int grouping = 3, int neg = plat::NEG_LEADING, int lz = 1, const char* dec = ".",
                        const char* thou = ",") {
  return NumberFormatOptions{digits, lz, grouping, dec, thou, neg};
}

// The formatted text, or "<fail>".
std::string Fmt(const char* number, const NumberFormatOptions& o, size_t size = 64) {
  char buf[64];
  return plat::FormatNumberText(number, o, buf, size) ? std::string(buf) : std::string("<fail>");
}

TEST(FormatNumberText, GroupsTheIntegerPart) {
  EXPECT_EQ(Fmt("1234567.891", Opt(2)), "1,234,567.89");
  EXPECT_EQ(Fmt("123", Opt(0)), "123");
  EXPECT_EQ(Fmt("1234", Opt(0)), "1,234");
  EXPECT_EQ(Fmt("123456", Opt(0)), "123,456");
  EXPECT_EQ(Fmt("1234567", Opt(0, 0)), "1234567");
  EXPECT_EQ(Fmt("1234567", Opt(0, 2)), "1,23,45,67");
  EXPECT_EQ(Fmt("1234567", Opt(0, plat::GROUPING_THREE_TWO)), "12,34,567");
  EXPECT_EQ(Fmt("1234567.5", Opt(1, 3, plat::NEG_LEADING, 1, ",", ".")), "1.234.567,5");
  EXPECT_EQ(Fmt("0001234", Opt(0)), "1,234");
}

TEST(FormatNumberText, RoundsHalfUpOrPadsToTheDecimalsAsked) {
  EXPECT_EQ(Fmt("0.995", Opt(2)), "1.00");
  EXPECT_EQ(Fmt("0.994", Opt(2)), "0.99");
  EXPECT_EQ(Fmt("999.5", Opt(0)), "1,000");
  EXPECT_EQ(Fmt("-999.5", Opt(0)), "-1,000");
  EXPECT_EQ(Fmt("12", Opt(3)), "12.000");
  EXPECT_EQ(Fmt("12.3", Opt(3)), "12.300");
  EXPECT_EQ(Fmt("1.25", Opt(1)), "1.3");
  // Zero once rounded carries no sign.
  EXPECT_EQ(Fmt("-0.001", Opt(2)), "0.00");
  EXPECT_EQ(Fmt("-0", Opt(0)), "0");
}

TEST(FormatNumberText, NegativeFormatsAndLeadingZero) {
  EXPECT_EQ(Fmt("-1.1", Opt(1, 3, plat::NEG_PARENS)), "(1.1)");
  EXPECT_EQ(Fmt("-1.1", Opt(1, 3, plat::NEG_LEADING)), "-1.1");
  EXPECT_EQ(Fmt("-1.1", Opt(1, 3, plat::NEG_LEADING_SPACE)), "- 1.1");
  EXPECT_EQ(Fmt("-1.1", Opt(1, 3, plat::NEG_TRAILING)), "1.1-");
  EXPECT_EQ(Fmt("-1.1", Opt(1, 3, plat::NEG_TRAILING_SPACE)), "1.1 -");
  EXPECT_EQ(Fmt("1.1", Opt(1, 3, plat::NEG_PARENS)), "1.1");
  EXPECT_EQ(Fmt("0.5", Opt(1, 3, plat::NEG_LEADING, 0)), ".5");
  EXPECT_EQ(Fmt("-0.5", Opt(1, 3, plat::NEG_PARENS, 0)), "(.5)");
  EXPECT_EQ(Fmt(".5", Opt(1)), "0.5");
  EXPECT_EQ(Fmt("0", Opt(0, 3, plat::NEG_LEADING, 0)), "0");  // nothing to drop without decimals
}

TEST(FormatNumberText, RefusesMalformedTextsAndOptions) {
  for (const char* bad : {"", "-", ".", "-.", "1.2.3", "1e5", " 1", "1 ", "--1", "+1", "12a", "1,5", "0x10"})
    EXPECT_EQ(Fmt(bad, Opt(2)), "<fail>") << '"' << bad << '"';
  EXPECT_EQ(Fmt("1", Opt(10)), "<fail>");
  EXPECT_EQ(Fmt("1", Opt(-1)), "<fail>");
  EXPECT_EQ(Fmt("-1", Opt(0, 3, 5)), "<fail>");
  EXPECT_EQ(Fmt("1", Opt(0, 10)), "<fail>");
  char buf[8];
  EXPECT_FALSE(plat::FormatNumberText(nullptr, Opt(0), buf, sizeof buf));
  NumberFormatOptions noSep = Opt(0);
  noSep.DecimalSep = nullptr;
  EXPECT_FALSE(plat::FormatNumberText("1", noSep, buf, sizeof buf));
  std::string longInt(191, '7');
  EXPECT_EQ(Fmt(longInt.c_str(), Opt(0, 0)), "<fail>");
}

TEST(FormatNumberText, FailsWhenTheResultDoesNotFit) {
  EXPECT_EQ(Fmt("12345", Opt(0), 6), "<fail>");
  EXPECT_EQ(Fmt("12345", Opt(0), 7), "12,345");
  EXPECT_EQ(Fmt("-12345", Opt(0, 3, plat::NEG_PARENS), 8), "<fail>");
  EXPECT_EQ(Fmt("-12345", Opt(0, 3, plat::NEG_PARENS), 9), "(12,345)");
}

TEST(NumberSettings, ReplacedSettingsApplyUntilTheLocaleIsUsedAgain) {
  plat::NumberSettings german{};
  std::strcpy(german.DecimalSep, ",");
  std::strcpy(german.ThousandSep, ".");
  german.Grouping = 3;
  german.NegativeOrder = plat::NEG_LEADING;
  german.LeadingZero = 1;
  plat::SetNumberSettings(german);
  plat::NumberSettings s{};
  ASSERT_TRUE(plat::GetNumberSettings(&s));
  EXPECT_STREQ(s.DecimalSep, ",");
  EXPECT_STREQ(s.ThousandSep, ".");
  plat::UseLocaleNumberSettings();
  ASSERT_TRUE(plat::GetNumberSettings(&s));
  EXPECT_STREQ(s.DecimalSep, std::localeconv()->decimal_point);
}

// Runs f with LC_NUMERIC set to the first of the names the system has;
// false when it has none of them.
template <typename F>
bool WithNumericLocale(std::initializer_list<const char*> names, F f) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  bool found = false;
  for (const char* n : names)
    if (std::setlocale(LC_NUMERIC, n)) {
      found = true;
      break;
    }
  if (found) f();
  std::setlocale(LC_NUMERIC, saved.c_str());
  return found;
}

TEST(NumberSettings, DefaultsComeFromTheProcessLocale) {
  plat::UseLocaleNumberSettings();
  ASSERT_TRUE(WithNumericLocale({"C"}, [] {
    plat::NumberSettings s{};
    ASSERT_TRUE(plat::GetNumberSettings(&s));
    EXPECT_STREQ(s.DecimalSep, ".");
    EXPECT_STREQ(s.ThousandSep, "");
    EXPECT_EQ(s.Grouping, 0);
    EXPECT_EQ(s.NegativeOrder, plat::NEG_LEADING);
    EXPECT_EQ(s.LeadingZero, 1);
  }));
}

TEST(NumberSettings, GermanLocaleGivesDecimalComma) {
  plat::UseLocaleNumberSettings();
  auto german = [] {
    plat::NumberSettings s{};
    ASSERT_TRUE(plat::GetNumberSettings(&s));
    EXPECT_STREQ(s.DecimalSep, ",");
    EXPECT_STREQ(s.ThousandSep, ".");
    EXPECT_EQ(s.Grouping, 3);
  };
  bool found = WithNumericLocale({"de_DE.UTF-8", "de_DE.utf8", "de_DE"}, german);
  if (!found) {
    // Machines without it installed use the copy the build compiles.
    const char* old = std::getenv("LOCPATH");
    std::string saved = old ? old : "";
    setenv("LOCPATH", SONAVEL_LOCALE_DIR, 1);
    found = WithNumericLocale({"de_DE.UTF-8"}, german);
    if (old)
      setenv("LOCPATH", saved.c_str(), 1);
    else
      unsetenv("LOCPATH");
  }
  if (!found) GTEST_SKIP() << "no German locale installed or built";
}

}  // namespace

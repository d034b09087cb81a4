// The field validator's rule: all or nothing, the first failing field, and
// its range message with the field's decimals.
#include <gtest/gtest.h>

#include <cstring>

#include "dialog/fieldval.h"
#include "platform/numfmt.h"

namespace {

TEST(FieldValidator, AllFieldsOrNone) {
  int32_t minutes = -5, rate = -5;
  std::vector<FieldCheck> fields = {{"12.5", &minutes, 349, 0, 60000, 2}, {"44100", &rate, 152, 10000, 100000, 0}};
  EXPECT_EQ(ValidateFieldTexts(fields), -1);
  EXPECT_EQ(minutes, 1250);
  EXPECT_EQ(rate, 44100);

  struct Case {
    const char* Minutes;
    const char* Rate;
    int Failed;
  };
  const Case cases[] = {
      {"600.01", "44100", 0},  // above the range
      {"-1", "44100", 0},      // below
      {"abc", "44100", 0},     // no number
      {"600", "9999", 1},      // the second field
      {"", "44100", 0},        // empty
  };
  for (const Case& c : cases) {
    minutes = rate = -5;
    fields[0].Text = c.Minutes;
    fields[1].Text = c.Rate;
    EXPECT_EQ(ValidateFieldTexts(fields), c.Failed) << c.Minutes << " " << c.Rate;
    EXPECT_EQ(minutes, -5);  // nothing is stored
    EXPECT_EQ(rate, -5);
  }
}

TEST(FieldValidator, MessageNamesTheRangeWithTheFieldsDecimals) {
  plat::NumberSettings saved;
  plat::GetNumberSettings(&saved);
  plat::NumberSettings en = saved;
  std::strcpy(en.DecimalSep, ".");
  std::strcpy(en.ThousandSep, ",");
  en.Grouping = 3;
  plat::SetNumberSettings(en);
  EXPECT_EQ(FieldRangeMessage({"", nullptr, 376, 0, 1440000, 3}), "The time value must be in range 0.000-1,440.000.");
  EXPECT_EQ(FieldRangeMessage({"", nullptr, 152, 10000, 100000, 0}),
            "The number of samples per second must be in range 10,000-100,000.");
  plat::SetNumberSettings(saved);
}

}  // namespace

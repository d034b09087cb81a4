#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/checks.h"
#include "main/model.h"
#include "main/strtab.h"

namespace {

// True when the text has a numbered insert (%1..%9...), i.e. it is meant for
// FormatMsg rather than printf.
bool HasNumberedInsert(const char* s) {
  for (const char* p = s; *p; ++p) {
    if (*p != '%') continue;
    if (p[1] >= '1' && p[1] <= '9') return true;
    if (p[1]) ++p;
  }
  return false;
}

// Every '%' of a printf text starts one of the conversions the program uses
// (%s, %d, %lu, %02lu, %%), so no printf call can read a wrong argument.
bool PrintfConversionsValid(const char* s) {
  for (const char* p = s; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == 'l') ++p;
    if (!*p || !std::strchr("sdu", *p)) return false;
  }
  return true;
}

}  // namespace

TEST(StrTab, IdsAreUniqueAndAscending) {
  auto table = StringTable();
  ASSERT_GE(table.size(), 250u);
  for (size_t i = 1; i < table.size(); ++i) EXPECT_LT(table[i - 1].Id, table[i].Id) << "at " << table[i].Id;
  for (const StrEntry& e : table) {
    ASSERT_NE(e.Text, nullptr) << e.Id;
    EXPECT_TRUE(HasStr(e.Id));
    EXPECT_EQ(GetStr(e.Id), e.Text);
  }
}

TEST(StrTab, EachTextIsOneKindOfFormat) {
  for (const StrEntry& e : StringTable()) {
    // Labels shown as they are: the unit "%" and the easy-selection texts
    // ("25% smoothed rectangular wave").
    if (e.Id == 159 || (e.Id >= 4001 && e.Id <= 4050)) continue;
    if (HasNumberedInsert(e.Text)) {
      // A numbered text must not also carry printf conversions.
      EXPECT_EQ(std::strstr(e.Text, "%s"), nullptr) << e.Id;
      EXPECT_EQ(std::strstr(e.Text, "%d"), nullptr) << e.Id;
    } else {
      EXPECT_TRUE(PrintfConversionsValid(e.Text)) << e.Id << " " << e.Text;
    }
  }
}

TEST(StrTab, SampleTexts) {
  EXPECT_STREQ(GetStr(1), "BUILTIN: Relaxation 1 (general)");
  EXPECT_STREQ(GetStr(64), "Sonavel");
  EXPECT_STREQ(GetStr(72), "<new>");
  EXPECT_STREQ(GetStr(73), "Presets.tvk");
  EXPECT_STREQ(GetStr(158), "Hz");
  EXPECT_STREQ(GetStr(162), "min");
  EXPECT_STREQ(GetStr(271), "\xc2\xb0");
  EXPECT_STREQ(GetStr(165), "Binaural Beat Frequency");
  EXPECT_STREQ(GetStr(171), "(Background Param not in use)");
  EXPECT_STREQ(GetStr(355), "Background Interval");
  EXPECT_STREQ(GetStr(37), "Time %s    ");
  EXPECT_STREQ(GetStr(40), "(Parameters frozen) Time %s\n");
  EXPECT_STREQ(GetStr(164), "%s%s (Z: %s%s), %s%s    Hold down CTRL to change the Z value.");
  EXPECT_STREQ(GetStr(251), "Sonavel Files|*.tvk|All Files|*.*|");
  EXPECT_STREQ(
      GetStr(1331),
      "The file '%1' containing the background of this preset was not found.\n\nThe background is set to None.");
  // The filter row's unit id exists and is empty.
  EXPECT_TRUE(HasStr(339));
  EXPECT_STREQ(GetStr(339), "");
  // Texts that start with the quoted words of a longer message.
  EXPECT_EQ(std::string(GetStr(264))
                .rfind("The node you moved was restored back to its original value, because the "
                       "adjacent segment does not contain a corresponding voice. ",
                       0),
            0u);
  EXPECT_EQ(std::string(GetStr(332)).rfind("This preset does not end at the end of the last segment, ", 0), 0u);
  EXPECT_NE(std::string(GetStr(332)).find("(%s continues playing)"), std::string::npos);
  EXPECT_TRUE(std::string(GetStr(383)).ends_with("Do you want to continue?"));
  EXPECT_TRUE(std::string(GetStr(391)).ends_with("Your help in fine-tuning Sonavel is greatly appreciated!"));
}

// Every entry of the EasyMode table names a text, and the text fits its
// EasySel value.
TEST(StrTab, EasySelectionTexts) {
  // clang-format off
  const std::map<int, std::string> byEasySel = {
      {0, "User-defined..."}, {1, "Sine wave"}, {2, "Sine^2 wave"}, {31, "Sine^3 wave"}, {3, "Triangular wave"},
      {4, "Filtered triangular wave"}, {5, "Rectangular wave"}, {6, "25% smoothed rectangular wave"},
      {7, "50% smoothed rectangular wave"}, {8, "No filtering"}, {9, "First harmonic"}, {10, "Two harmonics"},
      {11, "Three harmonics"}, {12, "In phase"}, {13, "90 degrees out of phase"},
      {14, "-90 degrees out of phase"}, {15, "180 degrees out of phase"}, {16, "No modulation"},
      {17, "Half of volume range"}, {18, "Full volume range"}, {19, "No modulation"}, {20, "Slow ocean waves"},
      {21, "Normal ocean waves"}, {22, "Fast ocean waves"}, {23, "No modulation"},
      {24, "Half of brightness range"}, {25, "Full brightness range"}, {26, "White noise"}, {27, "Pink noise"},
      {28, "Brown noise"}, {29, "Every 10 seconds"}, {30, "At random intervals"}, {32, "No phase shift"},
      {33, "Left 100ms ahead"}, {34, "Right 100ms ahead"}, {35, "Left 250ms ahead"}, {36, "Right 250ms ahead"},
      {37, "Continuous"}, {38, "Every 5 seconds"}, {39, "Every 10 seconds"}, {40, "Every 15 seconds"},
      {41, "Every 20 seconds"}, {42, "Full volume"}, {43, "Half volume"}, {44, "Noise with full volume"},
      {45, "Noise with half volume"}, {46, "No noise background"}, {47, "Full brightness"},
      {48, "Half brightness"}, {49, "Visual off"}, {50, "Zero volume"},
  };
  // clang-format on
  ASSERT_EQ(byEasySel.size(), 51u);
  std::set<int> seen;
  for (const EasyModeType& e : EasyMode) {
    ASSERT_TRUE(HasStr(e.Text)) << "EasySel " << e.EasySel << " text " << e.Text;
    ASSERT_TRUE(byEasySel.count(e.EasySel)) << e.EasySel;
    EXPECT_EQ(GetStr(e.Text), byEasySel.at(e.EasySel)) << "EasySel " << e.EasySel;
    seen.insert(e.EasySel);
  }
  EXPECT_EQ(seen.size(), 51u);
  EXPECT_STREQ(GetStr(314), "User-defined...");
}

TEST(StrTab, ParameterNamesAndUnitsResolve) {
  for (int row = 0; row < PDBK; ++row) {
    if (row == PN_BGPARAM) continue;  // follows the background; its spares are checked below
    EXPECT_TRUE(HasStr(ParamDef[row].Name)) << row;
    EXPECT_TRUE(HasStr(ParamDef[row].Unit)) << row;
  }
  for (const ParamDefType& r : ParamDefSpare) {
    EXPECT_TRUE(HasStr(r.Name)) << r.Name;
    EXPECT_TRUE(HasStr(r.Unit)) << r.Unit;
  }
  EXPECT_STREQ(GetStr(ParamDef[PN_BEAT].Name), "Binaural Beat Frequency");
  EXPECT_STREQ(GetStr(ParamDef[PN_BEAT].Unit), "Hz");
  EXPECT_STREQ(GetStr(ParamDefSpare[1].Name), "Background Interval");
  EXPECT_STREQ(GetStr(ParamDefSpare[1].Unit), "s");
}

TEST(StrTab, FormattedMessages) {
  EXPECT_EQ(FormatMsg(1302, {1000}), "You can not create any more presets. The maximum number of presets is 1000.");
  EXPECT_EQ(FormatMsg(1283, {25}), "You can not add more than 25 segments to the preset.");
  EXPECT_EQ(FormatMsg(1316, {"/home/user/Presets.tvk"}),
            "The file '/home/user/Presets.tvk' is not a Sonavel file, or it is corrupt.");
  EXPECT_EQ(FormatMsg(1332, {"Ambix.dll", 7}),
            "The file 'Ambix.dll' does not contain the background #7 specified in this preset. You may have a wrong "
            "version of the background file.\n\nThe background is set to None.");
  EXPECT_EQ(FormatMsg(1280, {"Audible Pitch", "Sound Volume"}),
            "You can not set Audible Pitch to track Sound Volume, because Sound Volume already tracks Audible Pitch. "
            "This tracking may be direct or via a chain of tracking parameters.");
  EXPECT_EQ(FormatMsg(1449, {122, 404}), "Unable to send the debug data via Internet (error code 122/404).");
  // The WAV messages name the output file as the second argument.
  EXPECT_EQ(FormatMsg(1314, {"Ambix.dll#5", "out.wav"}), "Unable to create the export file 'out.wav'.");
  EXPECT_EQ(FormatMsg(231, {"0", "100"}), "The value must be in range 0-100.");
  EXPECT_EQ(FormatMsg(1303), "You can not delete the last preset.");
}

TEST(StrTab, PrintfTexts) {
  std::string header = FormatPrintf(GetStr(79), 3, 1);
  EXPECT_EQ(header, "Sonavel File, created with version 3.1\r\n\x1a");
  EXPECT_LT(header.size(), 124u);  // fits the file header's text field
  EXPECT_EQ(FormatPrintf(GetStr(74), 2), "2 presets were successfully imported.");
  EXPECT_EQ(FormatPrintf(GetStr(1304), "Ambix.dll", 5), "Ambix.dll#5");
  EXPECT_EQ(FormatPrintf(GetStr(34), 2, 50, 75, "10.0"), "Voice 2: volume 50%/75%, beat frequency: 10.0Hz\n");
  EXPECT_EQ(FormatPrintf(GetStr(68), "New name", "Old name"),
            "Do you want to save changes to the preset 'New name'?\nIf you select No, the preset name is reverted back "
            "to 'Old name'.");
}

TEST(StrTab, UnknownIdFailsTheCheck) {
  ExpectCheckFailures expect;
  EXPECT_FALSE(HasStr(99999));
  EXPECT_FALSE(HasStr(0));
  EXPECT_STREQ(GetStr(99999), "");
  EXPECT_EQ(FormatMsg(-5, {1}), "");
  ASSERT_EQ(expect.Failures().size(), 2u);
  EXPECT_EQ(expect.Failures()[0].VarName, "id");
  EXPECT_EQ(expect.Failures()[0].Value, 99999);
  EXPECT_EQ(expect.Failures()[1].Value, -5);
}

TEST(StrTab, PrintedTableEscapesControlCharacters) {
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  PrintStringTable(f);
  std::rewind(f);
  std::vector<std::string> lines;
  char buf[4096];
  std::string cur;
  while (std::fgets(buf, sizeof buf, f)) {
    cur += buf;
    if (!cur.empty() && cur.back() == '\n') {
      cur.pop_back();
      lines.push_back(cur);
      cur.clear();
    }
  }
  std::fclose(f);
  EXPECT_TRUE(cur.empty());
  ASSERT_EQ(lines.size(), StringTable().size());
  std::set<std::string> all(lines.begin(), lines.end());
  EXPECT_TRUE(all.count("79\tSonavel File, created with version %d.%d\\r\\n\\x1a"));
  EXPECT_TRUE(all.count("38\tTime %s\\n"));
  EXPECT_TRUE(all.count("339\t"));
  EXPECT_TRUE(all.count("72\t<new>"));
  for (const std::string& l : lines) {
    size_t tab = l.find('\t');
    ASSERT_NE(tab, std::string::npos) << l;
    EXPECT_EQ(l.find('\t', tab + 1), std::string::npos) << l;
    for (char c : l.substr(tab + 1)) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20) << l;
  }
}

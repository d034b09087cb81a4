// Start-up helpers: the command-line forms, the check of the saved main
// window placement, and the case-insensitive search.
#include <gtest/gtest.h>

#include <vector>

#include "main/startup.h"

namespace {

TEST(CommandLine, FormsAreTold) {
  struct Case {
    const char* Line;
    bool Another, Load;
    const char* Name;
    const char* Import;
  };
  const Case cases[] = {
      {"", false, false, "", ""},
      {"-anotherinstance", true, false, "", ""},
      {"-AnotherInstance", true, false, "", ""},
      {"-p Relax", false, true, "Relax", ""},
      {"-p \"Relax\"", false, true, "Relax", ""},
      {"-p \"Rel", false, true, "Rel", ""},  // an opening quote alone goes
      {"-p Relaxation 1", false, true, "Relaxation 1", ""},
      {"-P Relax", false, false, "", "-P Relax"},  // "-p " is case-sensitive
      {"-pRelax", false, false, "", "-pRelax"},
      {"/home/u/My presets.tvk", false, false, "", "/home/u/My presets.tvk"},
  };
  for (const Case& c : cases) {
    CmdLine cmd = ParseCommandLine(c.Line);
    EXPECT_EQ(cmd.AnotherInstance, c.Another) << c.Line;
    EXPECT_EQ(cmd.HasLoadName, c.Load) << c.Line;
    EXPECT_EQ(cmd.LoadName, c.Name) << c.Line;
    EXPECT_EQ(cmd.ImportFile, c.Import) << c.Line;
  }
}

TEST(CommandLine, ArgumentsJoinIntoOneLine) {
  const char* argv[] = {"sonavel", "-p", "Relax now"};
  EXPECT_EQ(JoinArguments(3, argv), "-p Relax now");
  EXPECT_EQ(ParseCommandLine(JoinArguments(3, argv)).LoadName, "Relax now");
  EXPECT_EQ(JoinArguments(1, argv), "");
}

TEST(CommandLine, HelpVersionAndUnknownOptionsAreToldBeforeTheWindow) {
  struct Case {
    std::vector<const char*> Args;
    ArgsVerdict Verdict;
    const char* Option;
  };
  const Case cases[] = {
      {{}, ARGS_RUN, ""},
      {{"--help"}, ARGS_HELP, "--help"},
      {{"--version"}, ARGS_VERSION, "--version"},
      {{"/home/u/a.tvk", "--help"}, ARGS_HELP, "--help"},
      {{"--bogus", "--version"}, ARGS_VERSION, "--version"},  // asked for, it wins
      {{"--bogus"}, ARGS_UNKNOWN, "--bogus"},
      {{"--"}, ARGS_UNKNOWN, "--"},
      {{"-anotherinstance"}, ARGS_RUN, ""},
      {{"-p", "--help"}, ARGS_RUN, ""},  // a preset's name, whatever it reads
      {{"-p", "Relax", "--bogus"}, ARGS_RUN, ""},
      // Qt's own options and their values pass, with one dash or two.
      {{"-platform", "offscreen", "-p", "Relax"}, ARGS_RUN, ""},
      {{"--platform", "offscreen"}, ARGS_RUN, ""},
      {{"--style=fusion", "-reverse"}, ARGS_RUN, ""},
      {{"-qwindowtitle", "--title--"}, ARGS_RUN, ""},
      {{"--stylesheet=a.qss", "--styles"}, ARGS_UNKNOWN, "--styles"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"sonavel"};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    ArgsCheck a = CheckArguments(static_cast<int>(argv.size()), argv.data());
    std::string line = JoinArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(a.Verdict, c.Verdict) << line;
    if (c.Verdict != ARGS_RUN) {
      EXPECT_EQ(a.Option, c.Option) << line;
    }
  }
}

TEST(Placement, SavedPlacementIsCheckedAgainstTheScreen) {
  struct Case {
    Placement Saved;
    bool Another;
    Placement Want;
  };
  const Placement def{CW_USEDEFAULT, 0, 528, 150};
  const Case cases[] = {
      {{100, 100, 600, 300}, false, {100, 100, 600, 300}},
      {{100, 100, 600, 300}, true, def},    // a second instance
      {{1261, 100, 600, 300}, false, def},  // off the right edge
      {{100, 781, 600, 300}, false, def},   // off the bottom
      {{-550, 100, 600, 300}, false, def},  // ends left of x = 100
      {{100, 100, 600, 49}, false, def},    // lower than 50
      {{100, 100, 600, 50}, false, {100, 100, 600, 50}},
      {{0, 0, 5000, 5000}, false, {0, 0, 1280, 800}},      // clamped to the screen
      {{CW_USEDEFAULT, 0, 0, 0}, false, def},              // a fresh user
      {{100, -400, 600, 300}, false, {100, 0, 600, 300}},  // above the top comes down
      {{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, false, def},
  };
  for (const Case& c : cases) {
    Placement p = CheckMainPlacement(c.Saved, 1280, 800, c.Another);
    EXPECT_EQ(p.X, c.Want.X) << c.Saved.X << "," << c.Saved.Y;
    EXPECT_EQ(p.Y, c.Want.Y) << c.Saved.X << "," << c.Saved.Y;
    EXPECT_EQ(p.Width, c.Want.Width) << c.Saved.X << "," << c.Saved.Y;
    EXPECT_EQ(p.Height, c.Want.Height) << c.Saved.X << "," << c.Saved.Y;
  }
}

TEST(Search, CaseInsensitiveSubstringAndPrefix) {
  EXPECT_EQ(FindNoCase("BUILTIN: Relaxation 1", "relax"), 9);
  EXPECT_EQ(FindNoCase("abc", ""), 0);
  EXPECT_EQ(FindNoCase("abc", "abcd"), -1);
  EXPECT_EQ(FindNoCase("Übung", "übu"), 0);  // Latin-1 letters fold too
  EXPECT_EQ(FindNoCase("xÉcole", "école"), 1);
  EXPECT_TRUE(StartsWithNoCase("Relaxation", "RELAX"));
  EXPECT_FALSE(StartsWithNoCase("Relax", "Relaxation"));
}

TEST(Search, FilterStringsSplitAtTheirLastCharacter) {
  auto f = SplitFilterString("Wave Files|*.wav|All Files|*.*|");
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].first, "Wave Files");
  EXPECT_EQ(f[0].second, "*.wav");
  EXPECT_EQ(f[1].second, "*.*");
  EXPECT_TRUE(SplitFilterString("").empty());
}

}  // namespace

// The command-line tool end to end: exit codes, messages, file round trips.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "file/fileformat.h"

namespace {

struct CliRun {
  int Code;
  std::string Out;
  std::string Err;
};

std::string Dir() { return ::testing::TempDir(); }

CliRun Cli(const std::string& args) {
  // ctest runs the cases in parallel: one stderr file per case.
  std::string errPath = Dir() + "cli_stderr_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::string cmd = std::string(SONAVEL_BIN_DIR) + "/sonavel-cli " + args + " 2>" + errPath;
  CliRun r{-1, {}, {}};
  FILE* f = popen(cmd.c_str(), "r");
  if (!f) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) r.Out.append(buf, n);
  int status = pclose(f);
  r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream e(errPath);
  r.Err.assign(std::istreambuf_iterator<char>(e), {});
  return r;
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}
bool Exists(const std::string& path) { return std::ifstream(path).good(); }

TEST(Cli, NewShowBuildRoundTripIsExact) {
  std::string a = Dir() + "cli_a.tvk", b = Dir() + "cli_b.tvk", j = Dir() + "cli_a.json";
  ASSERT_EQ(Cli("new -o " + a).Code, 0);
  CliRun list = Cli("list " + a);
  EXPECT_EQ(list.Code, 0);
  EXPECT_EQ(list.Out, "0\t---\t<new>\n");
  CliRun json = Cli("show " + a + " --index 0 --json");
  ASSERT_EQ(json.Code, 0);
  EXPECT_NE(json.Out.find("\"Name\": \"<new>\""), std::string::npos);
  WriteText(j, json.Out);
  ASSERT_EQ(Cli("build " + j + " -o " + b).Code, 0);
  EXPECT_EQ(Cli("show " + b + " --index 0 --json").Out, json.Out);
  EXPECT_EQ(ReadBytes(a), ReadBytes(b));
  std::vector<unsigned char> bytes = ReadBytes(a);
  ASSERT_GE(bytes.size(), 136u);
  EXPECT_EQ(GetLE32(bytes.data() + 124), 0);  // export files carry store flag 0
  EXPECT_EQ(GetLE32(bytes.data() + 128), 3);
}

TEST(Cli, AuthoringFormTakesDefaultsAndRecomputesTracking) {
  std::string j = Dir() + "cli_auth.json", out = Dir() + "cli_auth.tvk";
  WriteText(j, R"([{"Name": "One", "Segment": [{"Length": 1500,
      "Voice": [{"Binaural Beat Frequency": {"Curve": [[0, 8], [100, 4]]}}]}]},
    {"Name": "Two", "ContinuePlaying": 0}])");
  ASSERT_EQ(Cli("build " + j + " -o " + out).Code, 0);
  EXPECT_EQ(Cli("list " + out).Out, "0\t---\tOne\n1\t---\tTwo\n");
  CliRun show = Cli("show " + out + " --name One --json");
  ASSERT_EQ(show.Code, 0);
  // The pitch tracks the beat at 50 x: 8 Hz gives 400.00 Hz.
  EXPECT_NE(show.Out.find("\"Value\": 40000"), std::string::npos);
  EXPECT_NE(show.Out.find("\"Length\": 1500"), std::string::npos);
  CliRun two = Cli("show " + out + " --name Two");
  EXPECT_EQ(two.Code, 0);
  EXPECT_NE(two.Out.find("After the last segment: stop"), std::string::npos);
}

TEST(Cli, BadJsonNamesTheFieldAndLeavesNoFile) {
  struct Case {
    const char* Json;
    const char* Field;
  } cases[] = {
      {R"({"Segment": [{"Repeat": 0}]})", "Segment[0].Repeat"},
      {R"({"Segment": [{"Voice": [{"Waveform": {"Easy": "Pink noise"}}]}]})", "Waveform.Easy"},
      {R"({"Name": 5})", "Name"},
      {R"({"Segment": [{"NumVoices": 11}]})", "NumVoices"},
      {R"({"Colour": 1})", "Colour"},
      {R"({"Segment": [{"Voice": [{"Sound Volume": {"Node": [{"SweepTime": 0}, {"SweepTime": 10000, "Weight": 21}]}}]}]})",
       "Weight"},
      {R"({"Segment": [)", "parse error"},
  };
  for (const Case& c : cases) {
    std::string j = Dir() + "cli_bad.json", out = Dir() + "cli_bad.tvk";
    std::remove(out.c_str());
    WriteText(j, c.Json);
    CliRun r = Cli("build " + j + " -o " + out);
    EXPECT_EQ(r.Code, 1) << c.Json;
    EXPECT_NE(r.Err.find(c.Field), std::string::npos) << r.Err;
    EXPECT_FALSE(Exists(out)) << c.Json;
    EXPECT_FALSE(Exists(out + ".new")) << c.Json;
  }
}

TEST(Cli, RefusalsAndUsageErrors) {
  EXPECT_EQ(Cli("").Code, 2);
  EXPECT_EQ(Cli("show x.tvk").Code, 2);  // no selection
  EXPECT_EQ(Cli("show x.tvk --index 0 --name y").Code, 2);
  CliRun missing = Cli("list " + Dir() + "does-not-exist.tvk");
  EXPECT_EQ(missing.Code, 1);
  EXPECT_NE(missing.Err.find("Unable to open file '"), std::string::npos);
  std::string shortFile = Dir() + "cli_short.tvk";
  WriteText(shortFile, "too short");
  CliRun s = Cli("list " + shortFile);
  EXPECT_EQ(s.Code, 1);
  EXPECT_EQ(s.Err, "Reading file '" + shortFile + "' failed.\n");
  std::string a = Dir() + "cli_c.tvk";
  ASSERT_EQ(Cli("new -o " + a).Code, 0);
  EXPECT_EQ(Cli("show " + a + " --index 3").Code, 1);
  EXPECT_EQ(Cli("show " + a + " --name nobody").Code, 1);
}

TEST(Cli, StringsEscapeControlCharacters) {
  CliRun r = Cli("strings");
  ASSERT_EQ(r.Code, 0);
  EXPECT_NE(r.Out.find("\n1302\tYou can not create any more presets. The maximum number of presets is %1!d!.\n"),
            std::string::npos);
  EXPECT_NE(r.Out.find("\n79\tSonavel File, created with version %d.%d\\r\\n\\x1a\n"), std::string::npos);
}

}  // namespace

// The command-line tool end to end: exit codes, messages, file round trips.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "file/fileformat.h"
#include "file/filewrite.h"
#include "main/preset.h"

namespace {

struct CliRun {
  int Code;
  std::string Out;
  std::string Err;
};

// A folder of this process's own: a store left by an earlier run, or by a
// run in another checkout at the same time, must not change what a case sees.
struct OwnDir {
  std::string Path = ::testing::TempDir() + "sonavel_cli_" + std::to_string(::getpid()) + "/";
  OwnDir() { std::filesystem::create_directories(Path); }
  ~OwnDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
};

std::string Dir() {
  static OwnDir dir;
  return dir.Path;
}

// Runs the tool of the build, or the copy in `programDir`.
CliRun Cli(const std::string& args, const std::string& programDir = SONAVEL_BIN_DIR) {
  // ctest runs the cases in parallel: one stderr file per case.
  std::string errPath =
      Dir() + "cli_stderr_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  // A command that hangs fails the test instead of stopping the run.
  std::string cmd = "timeout 120 " + programDir + "/sonavel-cli " + args + " 2>" + errPath;
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
  EXPECT_EQ(list.Out, "0\t---\t10.00\t1\t<new>\n");
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
  EXPECT_EQ(Cli("list " + out).Out, "0\t---\t15.00\t1\tOne\n1\t---\t10.00\t1\tTwo\n");
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
      {R"({"Segment": [)", "line 1, column 14: not valid JSON: syntax error while parsing value"},
  };
  for (const Case& c : cases) {
    std::string j = Dir() + "cli_bad.json", out = Dir() + "cli_bad.tvk";
    std::remove(out.c_str());
    WriteText(j, c.Json);
    CliRun r = Cli("build " + j + " -o " + out);
    EXPECT_EQ(r.Code, 1) << c.Json;
    EXPECT_NE(r.Err.find(c.Field), std::string::npos) << r.Err;
    EXPECT_FALSE(Exists(out)) << c.Json;
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

// Writes a file of presets whose names and texts are given as raw bytes.
void WriteRawNames(const std::string& path, const std::vector<std::string>& names, const std::string& description) {
  std::vector<Preset> ps(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    NewDefaultPreset(ps[i]);
    std::snprintf(ps[i].Name, sizeof ps[i].Name, "%s", names[i].c_str());
    std::snprintf(ps[i].Description, DESCLEN, "%s", description.c_str());
    std::snprintf(ps[i].data.Segment[0].Name, 3, "\xC4");
  }
  std::vector<unsigned char> img;
  ByteDev dev = DevFromBuffer(img);
  ASSERT_EQ(WritePresetFile(dev, 0, ps.data(), static_cast<int>(ps.size())), 0);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(img.size()));
  for (Preset& p : ps) FreePreset(p);
}

// Text from files made on Windows, or damaged, is shown and never aborts.
TEST(Cli, TextOfAnyBytesIsShown) {
  std::string f = Dir() + "cli_text.tvk";
  WriteRawNames(f, {"Caf\xE9", "two\nlines\tand a tab"}, "first line\r\nsecond \xE9t\xE9 \x81");
  CliRun json = Cli("show " + f + " --index 0 --json");
  ASSERT_EQ(json.Code, 0) << json.Err;
  EXPECT_NE(json.Out.find("\"Name\": \"Caf\xC3\xA9\""), std::string::npos) << json.Out;
  EXPECT_NE(json.Out.find("\"Description\": \"first line\\r\\nsecond \xC3\xA9t\xC3\xA9 \xC2\x81\""), std::string::npos)
      << json.Out;
  EXPECT_NE(json.Out.find("\"Name\": \"\xC3\x84\""), std::string::npos);  // the segment's name
  CliRun text = Cli("show " + f + " --name \"Caf\xC3\xA9\"");
  ASSERT_EQ(text.Code, 0) << text.Err;
  EXPECT_NE(text.Out.find("Name: Caf\xC3\xA9\n"), std::string::npos);
  EXPECT_NE(text.Out.find("Description:\nfirst line\nsecond \xC3\xA9t\xC3\xA9 \\u0081\n"), std::string::npos);
  CliRun list = Cli("list " + f);
  EXPECT_NE(list.Out.find("\tCaf\xC3\xA9\n"), std::string::npos) << list.Out;
  EXPECT_NE(list.Out.find("\ttwo\\nlines\\tand a tab\n"), std::string::npos) << list.Out;

  // Text entered for a name is one line.
  std::string j = Dir() + "cli_tab.json", out = Dir() + "cli_tab.tvk";
  WriteText(j, R"({"Name": "tab\there"})");
  CliRun tab = Cli("build " + j + " -o " + out);
  EXPECT_EQ(tab.Code, 1);
  EXPECT_NE(tab.Err.find("Name: The entered name is not valid. The name may not contain line breaks, tabs or other "
                         "control characters."),
            std::string::npos)
      << tab.Err;
}

// A listing shows the live presets, with their minutes and segments; --all
// the deleted records too.
TEST(Cli, ListShowsLivePresetsUnlessAll) {
  std::string store = Dir() + "cli_list_store";
  CliRun fresh = Cli("store list --dir " + store);
  ASSERT_EQ(fresh.Code, 0) << fresh.Err;
  EXPECT_EQ(fresh.Out.find("D--"), std::string::npos);
  EXPECT_NE(fresh.Out.find("\t-B-\t"), std::string::npos);
  CliRun all = Cli("store list --all --dir " + store);
  EXPECT_NE(all.Out.find("\tD--\t\t\t\n"), std::string::npos) << all.Out;
  // The built-in presets' store: "Creativity increase 2 (varying)" has three
  // segments.
  EXPECT_NE(fresh.Out.find("\t3\tBUILTIN: Creativity increase 2 (varying)\n"), std::string::npos) << fresh.Out;
}

// A number is read whole or refused, never read up to where it stops making
// sense.
TEST(Cli, NumbersAreReadWhole) {
  std::string file = Dir() + "cli_minutes.tvk", wav = Dir() + "cli_minutes.wav";
  ASSERT_EQ(Cli("new -o " + file).Code, 0);
  struct Case {
    const char* Args;
    const char* Message;
  } cases[] = {
      {"render --minutes 1:30",
       "--minutes: '1:30' is not a positive number of minutes (write 1.5 for a minute and a "
       "half).\n"},
      {"render --minutes 1e9", "--minutes: '1e9' is not a positive number of minutes"},
      {"render --minutes 0.5e1", "--minutes: '0.5e1' is not a positive number of minutes"},
      {"render --minutes 0.005", "--minutes: '0.005' has more than 2 decimals.\n"},
      {"render --minutes 0", "--minutes: '0' is not a positive number of minutes.\n"},
      {"render --minutes 99999999", "--minutes: '99999999' is too long.\n"},
      {"play --device fake --delay 1:00", "--delay: '1:00' is not a number of minutes"},
      {"play --device fake --minutes ,", "--minutes: ',' is not a number of minutes"},
  };
  for (const Case& c : cases) {
    CliRun r = Cli(std::string(c.Args) + " " + file + " --index 0 -o " + wav);
    if (std::string(c.Args).rfind("play", 0) == 0) r = Cli(std::string(c.Args) + " " + file + " --index 0");
    EXPECT_EQ(r.Code, 2) << c.Args;
    EXPECT_NE(r.Err.find(c.Message), std::string::npos) << c.Args << ": " << r.Err;
  }
  CliRun ok = Cli("render " + file + " --index 0 --minutes 0,02 -o " + wav);
  EXPECT_EQ(ok.Code, 0) << ok.Err;
  // Whole numbers: digits only, in range.
  const std::pair<const char*, const char*> whole[] = {
      {"--index 1e0", "--index: '1e0' is not a whole number.\n"},
      {"--index 0x1", "--index: '0x1' is not a whole number.\n"},
      {"--index 0 --rate 1e4", "--rate: '1e4' is not a whole number.\n"},
      {"--index 0 --rate 500", "--rate: '500' is not in 10000..100000.\n"},
      {"--index 0 --bits 16.0", "--bits: '16.0' is not a whole number.\n"},
      {"--index 0 --seed 1.5", "--seed: '1.5' is not a whole number.\n"},
  };
  for (const auto& [args, message] : whole) {
    CliRun r = Cli("render " + file + " " + args + " --minutes 0.01 -o " + wav);
    EXPECT_EQ(r.Code, 2) << args;
    EXPECT_NE(r.Err.find(message), std::string::npos) << args << ": " << r.Err;
  }
}

// A question with no terminal to answer it says how to answer it, and the
// command changes nothing.
TEST(Cli, QuestionsWithoutATerminalSayHowToAnswer) {
  std::string store = Dir() + "cli_ask_store";
  const std::string name = "\"BUILTIN: Relaxation 1 (general)\"";
  ASSERT_EQ(Cli("store list --dir " + store).Code, 0);
  CliRun ask = Cli("store delete " + name + " --dir " + store + " </dev/null");
  EXPECT_EQ(ask.Code, 2);
  EXPECT_EQ(ask.Err,
            "Are you sure you want to delete the built-in preset 'BUILTIN: Relaxation 1 (general)'?\n"
            "There is no terminal to answer this on: give --yes or --no.\n");
  EXPECT_NE(Cli("store list --dir " + store).Out.find("\tBUILTIN: Relaxation 1 (general)\n"), std::string::npos);
  EXPECT_EQ(Cli("store delete " + name + " --dir " + store + " --no").Code, 1);
  CliRun yes = Cli("store delete " + name + " --yes --dir " + store + " </dev/null");
  EXPECT_EQ(yes.Code, 0) << yes.Err;
  EXPECT_EQ(Cli("store list --dir " + store).Out.find("Relaxation 1 (general)"), std::string::npos);
}

// Authoring help and errors in the program's own words.
TEST(Cli, AuthoringHelpAndJsonErrors) {
  CliRun params = Cli("params");
  ASSERT_EQ(params.Code, 0);
  for (const char* line :
       {"Binaural Beat Frequency\n    -1000..1000 Hz, 3 decimals\n",
        "Waveform\n    shape 0..100 % (a curve), or an easy choice\n    left and right: \"Waveform\" "
        "(or \"Waveform (Left)\") and \"Waveform (Right)\"\n    easy choices: \"Sine wave\", ",
        "Noise Smoothness\n    0..100 %, 2 decimals\n"})
    EXPECT_NE(params.Out.find(line), std::string::npos) << line;

  struct Case {
    const char* Json;
    int Code;
    const char* Err;  // a part of stderr
  } cases[] = {
      {R"({"Segment": [{"Voice": [{"Waveform": {"Easy": "sine^2 WAVE"}}]}]})", 0, ""},
      {R"({"Segment": [{"Voice": [{"Waveform": {"Easy": "sinus"}}]}]})", 1,
       "Segment[0].Voice[0].Waveform.Easy: 'sinus' is not an easy choice of this parameter; its choices are \"Sine "
       "wave\", \"Sine^2 wave\""},
      {"{\"Name\": \"x\",\n \"Segment\": [\n  ,]}", 1,
       ", line 3, column 3: not valid JSON: syntax error while parsing value - unexpected ','"},
      {R"({"Name": "x", "Background": 99, "BackgroundFile": "Ambix.dll"})", 0,
       "Warning: preset 'x': 'Ambix.dll' has no background #99; it plays without its background.\n"},
      {R"({"Name": "y", "Background": 2, "BackgroundFile": "Nowhere.dll"})", 0,
       "Warning: preset 'y': no background library 'Nowhere.dll' is here; it plays without its background.\n"},
  };
  std::string j = Dir() + "cli_help.json", out = Dir() + "cli_help.tvk";
  for (const Case& c : cases) {
    WriteText(j, c.Json);
    CliRun r = Cli("build " + j + " -o " + out);
    EXPECT_EQ(r.Code, c.Code) << c.Json << ": " << r.Err;
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << c.Json << ": " << r.Err;
    EXPECT_EQ(r.Err.find("json.exception"), std::string::npos) << r.Err;
  }
  // ... and so it does, from a file or from the store, after the message.
  std::string wav = Dir() + "cli_help.wav", store = Dir() + "cli_help_store";
  ASSERT_EQ(Cli("store add " + out + " --dir " + store).Code, 0);
  for (const std::string& from : {out + " --index 0", "--store " + store + " --name y"}) {
    std::remove(wav.c_str());
    CliRun r = Cli("render " + from + " --minutes 0.01 -o " + wav);
    EXPECT_EQ(r.Code, 0) << from << ": " << r.Err;
    EXPECT_NE(r.Err.find("The file 'Nowhere.dll' containing the background of this preset was not found.\n\nThe "
                         "background is set to None.\n"),
              std::string::npos)
        << from << ": " << r.Err;
    EXPECT_TRUE(Exists(wav)) << from;
  }
}

// What went wrong is said: which file, and why it could not be opened;
// formats the command cannot write are refused; "-" is standard output.
TEST(Cli, MessagesSayWhatWentWrong) {
  std::string file = Dir() + "cli_msg.tvk";
  ASSERT_EQ(Cli("new -o " + file).Code, 0);
  struct Case {
    std::string Args;
    int Code;
    std::string Err;
  } cases[] = {
      {"list " + Dir() + "cli_none.tvk", 1,
       "Unable to open file '" + Dir() + "cli_none.tvk'. No such file or directory.\n"},
      {"new -o " + file + "/x.tvk", 1, "Unable to create file '" + file + "/x.tvk'. Not a directory.\n"},
      {"render " + file + " --index 0 -o " + Dir() + "cli_msg.aac", 2,
       "-o: '" + Dir() +
           "cli_msg.aac' names a format render cannot write; it writes .wav, .flac, .ogg, .opus and "
           ".mp3 files (or --format).\n"},
      {"render " + file + " --index 0 -o " + Dir() + "cli_msg.mp3 --format flac", 2,
       "-o: '" + Dir() + "cli_msg.mp3' names a MP3 file, but --format says FLAC.\n"},
      {"render " + file + " --index 0 -o " + Dir() + "cli_msg.aac --format aac", 2,
       "--format: 'aac' is not one of wav, flac, vorbis, opus, mp3.\n"},
      {"render " + file + " --index 0 -o " + Dir() + "cli_msg.wav --quality 3", 2,
       "--quality: WAV files have no quality setting.\n"},
      {"render " + file + " --index 0 -o " + Dir() + "cli_msg.flac --quality 9", 2, "--quality: FLAC takes 0 to 8.\n"},
      {"render " + file + " --index 0 -o " + Dir() + "cli_msg.wav --fade-out soon", 2,
       "--fade-out: 'soon' is not a length of time (write 60s, 2m or 90 for seconds).\n"},
      {"play " + file + " --index 0 --device fake --sleep 1h30", 2,
       "--sleep: '1h30' is not a length of time (write 30m, 90s or 1h30m).\n"},
      {"play " + file + " --index 0 --device cli-no-such-device", 1,
       "No ALSA device 'cli-no-such-device' could be opened: --device picks another one (aplay -L lists them).\n"},
  };
  for (const Case& c : cases) {
    CliRun r = Cli(c.Args);
    EXPECT_EQ(r.Code, c.Code) << c.Args;
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << c.Args << ": " << r.Err;
  }
  for (const char* refused : {"cli_msg.aac", "cli_msg.mp3", "cli_msg.wav", "cli_msg.flac"})
    EXPECT_FALSE(Exists(Dir() + refused)) << refused;
  CliRun piped = Cli("new -o -");
  EXPECT_EQ(piped.Code, 0);
  EXPECT_EQ(std::vector<unsigned char>(piped.Out.begin(), piped.Out.end()), ReadBytes(file));
  // Standard output is WAV unless --format says otherwise; the extension or
  // --format choose the encoder, which may take another rate.
  CliRun wav = Cli("render " + file + " --index 0 --minutes 0.01 -o -");
  EXPECT_EQ(wav.Out.substr(0, 4), "RIFF");
  CliRun flac = Cli("render " + file + " --index 0 --minutes 0.01 -o - --format flac");
  EXPECT_EQ(flac.Code, 0) << flac.Err;
  EXPECT_EQ(flac.Out.substr(0, 4), "fLaC");
  CliRun opus = Cli("render " + file + " --index 0 --minutes 0.01 --quality 2 -o " + Dir() + "cli_msg.opus");
  EXPECT_EQ(opus.Code, 0) << opus.Err;
  EXPECT_NE(opus.Err.find("Opus files take other sample rates: rendering at 48000 samples per second.\n"),
            std::string::npos)
      << opus.Err;
  EXPECT_NE(opus.Err.find("0.01 minutes of output were written to the Opus file '" + Dir() + "cli_msg.opus'.\n"),
            std::string::npos)
      << opus.Err;
  std::vector<unsigned char> ogg = ReadBytes(Dir() + "cli_msg.opus");
  EXPECT_EQ(std::string(ogg.begin(), ogg.begin() + std::min<std::ptrdiff_t>(4, std::ssize(ogg))), "OggS");
  // Any sound file is a background, for render and play alike; one the codec
  // library cannot read is named with the library's reason.
  CliRun bg = Cli("render " + file + " --index 0 --minutes 0.01 --background " + Dir() + "cli_msg.opus -o " + Dir() +
                  "cli_msg_bg.wav");
  EXPECT_EQ(bg.Code, 0) << bg.Err;
  const std::string unreadable = "Unable to read the background file '" + file + "'.\n\nFormat not recognised.\n";
  for (const std::string& cmd :
       {"render " + file + " --index 0 --minutes 0.01 --background " + file + " -o " + Dir() + "cli_msg_bg.wav",
        "play " + file + " --index 0 --minutes 0.01 --device fake --background " + file}) {
    CliRun bad = Cli(cmd);
    EXPECT_EQ(bad.Code, 1) << cmd << ": " << bad.Err;
    EXPECT_NE(bad.Err.find(unreadable), std::string::npos) << cmd << ": " << bad.Err;
  }
}

TEST(Cli, StringsEscapeControlCharacters) {
  CliRun r = Cli("strings");
  ASSERT_EQ(r.Code, 0);
  EXPECT_NE(r.Out.find("\n1302\tYou can not create any more presets. The maximum number of presets is %1!d!.\n"),
            std::string::npos);
  EXPECT_NE(r.Out.find("\n79\tSonavel File, created with version %d.%d\\r\\n\\x1a\n"), std::string::npos);
}

}  // namespace

namespace {

// Bytes of the "data" chunk a rendered WAV file declares.
uint32_t DataBytes(const std::vector<unsigned char>& wav) {
  for (size_t i = 12; i + 8 <= wav.size();) {
    uint32_t size = static_cast<uint32_t>(wav[i + 4]) | static_cast<uint32_t>(wav[i + 5]) << 8 |
                    static_cast<uint32_t>(wav[i + 6]) << 16 | static_cast<uint32_t>(wav[i + 7]) << 24;
    if (std::memcmp(wav.data() + i, "data", 4) == 0) return size;
    i += 8 + size + (size & 1);
  }
  return 0;
}

}  // namespace

TEST(Cli, RenderAndPlayTakeThePresetFromAFileOrTheStore) {
  std::string file = Dir() + "cli_src.tvk", store = Dir() + "cli_src_store", wav = Dir() + "cli_src.wav";
  ASSERT_EQ(Cli("new -o " + file).Code, 0);

  // From a file, by index and by name. 0.05 minutes are 15 blocks of 200 ms,
  // 8820 frames of 16-bit stereo each.
  ASSERT_EQ(Cli("render " + file + " --index 0 --minutes 0.05 -o " + wav).Code, 0);
  EXPECT_EQ(DataBytes(ReadBytes(wav)), 15u * 8820 * 4);
  std::remove(wav.c_str());
  EXPECT_EQ(Cli("render " + file + " --name \"<new>\" --minutes 0.02 -o " + wav).Code, 0);
  EXPECT_TRUE(Exists(wav));

  // From the store: a fresh store folder holds the built-in presets.
  std::string wav2 = Dir() + "cli_src2.wav";
  CliRun s = Cli("render --store " + store + " --name \"BUILTIN: Relaxation 1 (general)\" --minutes 0.02 -o " + wav2);
  EXPECT_EQ(s.Code, 0) << s.Err;
  EXPECT_EQ(DataBytes(ReadBytes(wav2)), 6u * 8820 * 4);
  CliRun p = Cli("play --device fake --store " + store + " --index 0 --minutes 0.01");
  EXPECT_EQ(p.Code, 0) << p.Err;

  // The sleep timer ends a preset of minutes after a second and a half,
  // and a render's end fades to silence with what came before unchanged.
  auto started = std::chrono::steady_clock::now();
  CliRun sleep = Cli("play --device fake " + file + " --index 0 --sleep 1.5s --fade 500ms");
  EXPECT_EQ(sleep.Code, 0) << sleep.Err;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  std::string plain = Dir() + "cli_plain.wav", faded = Dir() + "cli_faded.wav";
  ASSERT_EQ(Cli("render " + file + " --index 0 --minutes 0.05 -o " + plain).Code, 0);
  ASSERT_EQ(Cli("render " + file + " --index 0 --minutes 0.05 --fade-out 1s -o " + faded).Code, 0);
  std::vector<unsigned char> a = ReadBytes(plain), b = ReadBytes(faded);
  ASSERT_EQ(a.size(), b.size());
  size_t fadeBytes = 44100 * 4;
  EXPECT_TRUE(std::equal(a.begin(), a.end() - static_cast<ptrdiff_t>(fadeBytes), b.begin()));
  EXPECT_FALSE(
      std::equal(a.end() - static_cast<ptrdiff_t>(fadeBytes), a.end(), b.end() - static_cast<ptrdiff_t>(fadeBytes)));
  EXPECT_EQ(b[b.size() - 1] | b[b.size() - 2] | b[b.size() - 3] | b[b.size() - 4], 0);

  // What is missing is told apart from what is not there.
  CliRun noSel = Cli("render " + file + " -o " + wav);
  EXPECT_EQ(noSel.Code, 2);
  EXPECT_EQ(noSel.Err, "Give --index N or --name NAME.\n");
  CliRun noName = Cli("render " + file + " --name nobody -o " + wav);
  EXPECT_EQ(noName.Code, 1);
  EXPECT_EQ(noName.Err, "The file '" + file + "' has no such preset.\n");
  CliRun noStored = Cli("play --device fake --store " + store + " --name nobody");
  EXPECT_EQ(noStored.Code, 1);
  EXPECT_NE(noStored.Err.find("The store has no such preset."), std::string::npos);
}

namespace {

// A 3-second preset whose light flashes at 10 Hz with 60 % brightness.
std::string LightPresetFile() {
  std::string json = Dir() + "cli_light.json", file = Dir() + "cli_light.tvk";
  WriteText(json, R"({"Name": "Light", "ContinuePlaying": 0, "Segment": [{"Length": 5, "Param": {
      "Visual Frequency": {"Value": 10}, "Visual Brightness": {"Value": 60}}}]})");
  EXPECT_EQ(Cli("build " + json + " -o " + file).Code, 0);
  return file;
}

}  // namespace

// lightcheck: 0 when a light signal is found, 1 when none, 2 when the file
// cannot be read; --json gives each whole second per eye.
TEST(Cli, LightcheckTellsFoundNoneAndUnreadable) {
  std::string preset = LightPresetFile(), lit = Dir() + "cli_lit.wav", dark = Dir() + "cli_dark.wav",
              junk = Dir() + "cli_junk.wav";
  ASSERT_EQ(Cli("render " + preset + " --index 0 --audiostrobe -o " + lit).Code, 0);
  ASSERT_EQ(Cli("render " + preset + " --index 0 -o " + dark).Code, 0);
  WriteText(junk, "no sound in here");
  struct Case {
    std::string Args;
    int Code;
    std::string Out, Err;
  } cases[] = {
      {lit, 0, "Carrier from 0:00 to 0:03, lowest carrier level -15.4 dBFS, no gaps.\n", ""},
      {dark, 1, "No light signal: the file has no 19.2 kHz carrier.\n", ""},
      {junk, 2, "", "The file '" + junk + "' cannot be read: "},
      {lit + " --zero-level 101", 2, "", "--zero-level"},
  };
  for (const Case& c : cases) {
    CliRun r = Cli("lightcheck " + c.Args);
    EXPECT_EQ(r.Code, c.Code) << c.Args << ": " << r.Err;
    EXPECT_NE(r.Out.find(c.Out), std::string::npos) << c.Args << ": " << r.Out;
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << c.Args << ": " << r.Err;
  }
  CliRun json = Cli("lightcheck --json " + lit);
  ASSERT_EQ(json.Code, 0) << json.Err;
  nlohmann::json j = nlohmann::json::parse(json.Out);
  EXPECT_EQ(j["carrier"], true);
  ASSERT_EQ(j["seconds"].size(), 3u);
  for (size_t t = 0; t < 3; ++t) {
    const nlohmann::json& s = j["seconds"][t];
    EXPECT_EQ(s["t"], t);
    for (const char* eye : {"left", "right"}) {
      EXPECT_NEAR(s[eye]["frequency"].get<double>(), 10.0, 0.1) << t << eye;
      EXPECT_NEAR(s[eye]["brightness"].get<double>(), 60, 5) << t << eye;
    }
  }
}

// A render with AudioStrobe into a lossy format reads the file back: the
// light came through, or the render says plainly that it did not and fails.
TEST(Cli, RenderChecksTheLightOfLossyFiles) {
  std::string preset = LightPresetFile();
  struct Case {
    const char* File;
    const char* Args;
    int Code;
    const char* Err;
  } cases[] = {
      {"cli_light.ogg", "", 0, "The AudioStrobe light signal came through the Ogg Vorbis encoding"},
      {"cli_light.opus", "", 0, "The AudioStrobe light signal came through the Opus encoding"},
      {"cli_light.mp3", "", 1, "The AudioStrobe light signal did not survive the MP3 encoding: "},
      {"cli_light_q0.ogg", "--quality 0", 1, "write a FLAC or WAV file to keep it."},
  };
  for (const Case& c : cases) {
    CliRun r = Cli("render " + preset + " --index 0 --audiostrobe " + c.Args + " -o " + Dir() + c.File);
    EXPECT_EQ(r.Code, c.Code) << c.File << ": " << r.Err;
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << c.File << ": " << r.Err;
  }
}

namespace {

std::string Session(const std::string& file) { return std::string(SONAVEL_SOURCE_DIR) + "/tests/data/sbg/" + file; }

}  // namespace

// A .sbg session is one preset: rendered (at its own -r unless --rate says
// otherwise), converted both ways and imported into the store, warnings on
// stderr in the FILE:LINE:COLUMN form.
TEST(Cli, SessionsRenderConvertAndImport) {
  std::string wav = Dir() + "cli_sbg.wav", tvk = Dir() + "cli_sbg.tvk", back = Dir() + "cli_sbg_back.sbg";
  std::string store = Dir() + "cli_sbg_store";
  CliRun r = Cli("render " + Session("options.sbg") + " --minutes 0.02 -o " + wav);
  ASSERT_EQ(r.Code, 0) << r.Err;
  std::vector<unsigned char> bytes = ReadBytes(wav);
  ASSERT_GT(bytes.size(), 28u);
  EXPECT_EQ(GetLE32(bytes.data() + 24), 22050u);
  EXPECT_NE(r.Err.find("options.sbg:2:6: warning: the option -Q has no counterpart in a preset; ignored\n"),
            std::string::npos)
      << r.Err;
  ASSERT_EQ(Cli("render " + Session("options.sbg") + " --rate 11025 --minutes 0.02 -o " + wav).Code, 0);
  EXPECT_EQ(GetLE32(ReadBytes(wav).data() + 24), 11025u);

  CliRun c = Cli("convert " + Session("basic.sbg") + " -o " + tvk);
  ASSERT_EQ(c.Code, 0) << c.Err;
  EXPECT_NE(Cli("list " + tvk).Out.find("\tbasic\n"), std::string::npos);
  CliRun e = Cli("convert " + tvk + " --index 0 -o " + back);
  ASSERT_EQ(e.Code, 0) << e.Err;
  std::ifstream in(back);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "## Basic session: pink noise under one binaural tone that steps from");

  CliRun s = Cli("store import " + Session("leftout.sbg") + " --dir " + store);
  ASSERT_EQ(s.Code, 0) << s.Err;
  EXPECT_NE(s.Err.find("leftout.sbg:3:8: warning: the bell 'bell+880/20'"), std::string::npos) << s.Err;
  EXPECT_NE(s.Err.find("1 preset was successfully imported."), std::string::npos) << s.Err;
  EXPECT_NE(Cli("store list --dir " + store).Out.find("\tleftout\n"), std::string::npos);
}

// A malformed session: exit code 1, the place and what was expected, no
// output file and nothing in the store.
TEST(Cli, MalformedSessionsLeaveNothingBehind) {
  std::string store = Dir() + "cli_sbg_bad_store";
  ASSERT_EQ(Cli("store list --dir " + store).Code, 0);
  std::vector<unsigned char> before = ReadBytes(store + "/Presets.tvk");
  const std::pair<const char*, const char*> cases[] = {
      {"bad/undefined.sbg", ":3:8: a defined tone-set or block expected"},
      {"bad/bad-time.sbg", ":4:5: minutes 0-59 expected"},
      {"bad/eleven-tones.sbg", ":1:87: the end of the tone-set expected"},
      {"bad/unterminated.sbg", ":3:1: '}' expected"},
  };
  for (auto [file, place] : cases) {
    std::string path = Session(file), out = Dir() + "cli_sbg_bad.wav", tvk = Dir() + "cli_sbg_bad.tvk";
    for (const std::string& cmd : {"render " + path + " -o " + out, "convert " + path + " -o " + tvk,
                                   "store import " + path + " --dir " + store}) {
      CliRun r = Cli(cmd);
      EXPECT_EQ(r.Code, 1) << cmd;
      EXPECT_EQ(r.Err.rfind(path + place, 0), 0u) << cmd << ": " << r.Err;
    }
    EXPECT_FALSE(Exists(out)) << file;
    EXPECT_FALSE(Exists(tvk)) << file;
    EXPECT_EQ(ReadBytes(store + "/Presets.tvk"), before) << file;
  }
}

// Without FILE and without --store, list, show, render and play take the
// user's own store, the one the desktop program uses (beside the program
// when its folder is writable); `store show` selects by --name and --index
// as well as by NAME.
TEST(Cli, WithoutAFileTheUsersOwnStoreIsUsed) {
  std::string prog = Dir() + "own_program";
  std::filesystem::create_directories(prog);
  for (const char* f : {"sonavel-cli", "Ambix.dll"})
    std::filesystem::copy_file(std::string(SONAVEL_BIN_DIR) + "/" + f, prog + "/" + f,
                               std::filesystem::copy_options::overwrite_existing);
  const std::string relax = "\"BUILTIN: Relaxation 1 (general)\"";
  struct Case {
    std::string Plain, Store;
  } cases[] = {
      {"list", "store list"},
      {"list --all", "store list --all"},
      {"show --name " + relax, "store show " + relax},
      {"show --index 3 --json", "store show --index 3 --json"},
      {"store show --name " + relax + " --json", "store show " + relax + " --json"},
  };
  for (const Case& c : cases) {
    CliRun plain = Cli(c.Plain, prog), store = Cli(c.Store + " --dir " + prog, prog);
    EXPECT_EQ(plain.Code, 0) << c.Plain << ": " << plain.Err;
    EXPECT_EQ(store.Code, 0) << c.Store << ": " << store.Err;
    EXPECT_FALSE(plain.Out.empty()) << c.Plain;
    EXPECT_EQ(plain.Out, store.Out) << c.Plain;
  }
  EXPECT_TRUE(Exists(prog + "/Presets.tvk"));
  EXPECT_NE(Cli("list", prog).Out.find("\tBUILTIN: Relaxation 1 (general)\n"), std::string::npos);
  EXPECT_EQ(Cli("store show --index 0 --name x --dir " + prog, prog).Code, 2);
  EXPECT_EQ(Cli("store show --index 999 --dir " + prog, prog).Code, 1);

  // Render takes the same preset as from the store, sample for sample.
  std::string a = Dir() + "own_a.wav", b = Dir() + "own_b.wav";
  ASSERT_EQ(Cli("render --name " + relax + " --minutes 0.02 --seed 7 -o " + a, prog).Code, 0);
  ASSERT_EQ(Cli("render --store " + prog + " --name " + relax + " --minutes 0.02 --seed 7 -o " + b, prog).Code, 0);
  EXPECT_EQ(ReadBytes(a), ReadBytes(b));
  EXPECT_FALSE(ReadBytes(a).empty());
  CliRun play = Cli("play --device fake --index 0 --minutes 0.01", prog);
  EXPECT_EQ(play.Code, 0) << play.Err;
}

TEST(Cli, VersionIsPrinted) {
  CliRun v = Cli("--version");
  EXPECT_EQ(v.Code, 0);
  EXPECT_EQ(v.Out, "sonavel-cli 3.1.12\n");
}

// Colours are stored blue-green-red; shown and written as a person names
// them (#RRGGBB), while the stored form of older JSON files still reads.
TEST(Cli, ColoursAreShownAsAPersonNamesThem) {
  struct Case {
    const char* Json;  // the first colour, blue in every form
  } cases[] = {{"\"#0000FF\""}, {"\"#0000ff\""}, {"\"0x00FF0000\""}, {"16711680"}};
  for (const Case& c : cases) {
    std::string j = Dir() + "cli_col.json", out = Dir() + "cli_col.tvk", again = Dir() + "cli_col2.tvk";
    WriteText(j, std::string(R"({"Name": "C", "VisOpt": {"Colors": [)") + c.Json + R"(, "#FF8000"]}})");
    CliRun build = Cli("build " + j + " -o " + out);
    ASSERT_EQ(build.Code, 0) << c.Json << ": " << build.Err;
    EXPECT_NE(Cli("show " + out + " --index 0").Out.find("Colors: #0000FF #FF8000\n"), std::string::npos) << c.Json;
    CliRun json = Cli("show " + out + " --index 0 --json");
    EXPECT_NE(json.Out.find("\"Colors\": [\n   \"#0000FF\",\n   \"#FF8000\""), std::string::npos) << json.Out;
    // What is printed builds the same file.
    WriteText(j, json.Out);
    ASSERT_EQ(Cli("build " + j + " -o " + again).Code, 0);
    EXPECT_EQ(ReadBytes(out), ReadBytes(again)) << c.Json;
  }
  // A stored word with bits above a colour's keeps its exact stored form.
  std::string j = Dir() + "cli_colhigh.json", out = Dir() + "cli_colhigh.tvk";
  WriteText(j, R"({"VisOpt": {"Colors": ["0x01FF0000"]}})");
  ASSERT_EQ(Cli("build " + j + " -o " + out).Code, 0);
  EXPECT_NE(Cli("show " + out + " --index 0 --json").Out.find("\"0x01FF0000\""), std::string::npos);
  for (const char* bad : {"\"#00FF\"", "\"#00GG00\"", "\"blue\"", "\"0x\""}) {
    std::string badJson = Dir() + "cli_colbad.json";
    WriteText(badJson, std::string(R"({"VisOpt": {"Colors": [)") + bad + "]}}");
    CliRun r = Cli("build " + badJson + " -o " + Dir() + "cli_colbad.tvk");
    EXPECT_EQ(r.Code, 1) << bad;
    EXPECT_NE(r.Err.find("VisOpt.Colors[0]: is not a colour (#RRGGBB"), std::string::npos) << r.Err;
  }
}

#include "cli/cmd_lightcheck.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/cliutil.h"
#include "cli/playargs.h"
#include "cli/progress.h"

namespace {

struct LightArgs {
  std::string File;
  bool Json = false, Blocks = false;
  LightLevels Levels;
  CLI::App* Cmd = nullptr;
} gLight;

struct Bar {
  bool Tty = false;
  int Shown = -1;
};

bool ShowCheckProgress(void* ctx, int pos) {
  auto* b = static_cast<Bar*>(ctx);
  int pct = pos / 100;
  if (b->Tty && pct != b->Shown) {
    b->Shown = pct;
    std::fprintf(stderr, "\rChecking the light signal %3d%%", pct);
  }
  return AbortRequested();
}

// To `per` steps of a unit; the division leaves the nearest double, so
// 0.3 prints as 0.3.
double Round(double v, int per) { return std::round(v * per) / per; }

nlohmann::ordered_json EyeJson(const LightEye& e) {
  nlohmann::ordered_json j;
  j["carrier"] = e.Carrier;
  j["brightness"] = e.Carrier ? static_cast<int>(std::lround(e.Brightness)) : 0;
  j["frequency"] = e.Carrier ? Round(e.Frequency, 100) : 0.0;
  j["depth"] = e.Carrier ? static_cast<int>(std::lround(e.Depth)) : 0;
  if (e.Carrier)
    j["level"] = Round(e.Level, 10);
  else
    j["level"] = nullptr;
  return j;
}

void PrintJson(const LightArgs& a, const LightReport& r, const std::string& error) {
  nlohmann::ordered_json j;
  j["file"] = a.File;
  j["rate"] = r.Rate;
  j["channels"] = r.Channels;
  j["duration"] = r.Rate > 0 ? Round(static_cast<double>(r.Frames) / r.Rate, 100) : 0.0;
  j["zero_level"] = a.Levels.ZeroLevel;
  j["max_level"] = a.Levels.MaxLevel;
  j["carrier"] = r.Carrier;
  if (r.Carrier) {
    j["from"] = Round(r.From, 20);
    j["to"] = Round(r.To, 20);
    j["lowest_level"] = Round(r.LowestLevel, 10);
  }
  auto gaps = nlohmann::ordered_json::array();
  for (const LightGap& g : r.Gaps) gaps.push_back({{"from", Round(g.From, 20)}, {"to", Round(g.To, 20)}});
  j["gaps"] = gaps;
  auto secs = nlohmann::ordered_json::array();
  for (const LightSecond& s : r.Seconds)
    secs.push_back({{"t", s.T}, {"left", EyeJson(s.Eye[0])}, {"right", EyeJson(s.Eye[1])}});
  j["seconds"] = secs;
  if (r.Cut) j["checked_seconds"] = LIGHT_MAX_SECONDS;
  if (!LightEndsEarlyText(r, false).empty())
    j["declared_duration"] = Round(static_cast<double>(r.DeclaredFrames) / r.Rate, 100);
  if (!error.empty()) j["error"] = error;
  std::printf("%s\n", j.dump(2).c_str());
}

std::string EyeCells(const LightEye& e) {
  char buf[64];
  if (!e.Carrier) return "          no carrier";
  if (e.Frequency > 0)
    std::snprintf(buf, sizeof buf, "%9.0f %%  %6.2f Hz", static_cast<double>(e.Brightness),
                  static_cast<double>(e.Frequency));
  else
    std::snprintf(buf, sizeof buf, "%9.0f %%    steady", static_cast<double>(e.Brightness));
  return buf;
}

void PrintTable(const LightArgs& a, const LightReport& r) {
  std::printf(
      "Light signal of '%s' (%d Hz, %d channel%s, %s), read against the zero level %d %% and the "
      "maximum level %d %%:\n\n",
      a.File.c_str(), r.Rate, r.Channels, r.Channels == 1 ? "" : "s",
      LightTimeText(r.Rate > 0 ? static_cast<double>(r.Frames) / r.Rate : 0).c_str(), a.Levels.ZeroLevel,
      a.Levels.MaxLevel);
  std::printf("    time   left: brightness     flash  right: brightness     flash\n");
  if (a.Blocks) {
    for (size_t b = 0; b < r.Blocks.size(); ++b)
      std::printf("%8.2f %22s %22s %6.1f %6.1f\n", static_cast<double>(b) / LIGHT_BLOCKS_PER_SECOND,
                  EyeCells(r.Blocks[b].Eye[0]).c_str(), EyeCells(r.Blocks[b].Eye[1]).c_str(),
                  static_cast<double>(r.Blocks[b].Eye[0].Level), static_cast<double>(r.Blocks[b].Eye[1].Level));
  } else {
    for (const LightSecond& s : r.Seconds)
      std::printf("%8s %22s %22s\n", LightTimeText(s.T).c_str(), EyeCells(s.Eye[0]).c_str(),
                  EyeCells(s.Eye[1]).c_str());
  }
  std::printf("\n%s\n", LightSummaryText(r).c_str());
}

int RunLightCheck() {
  LightArgs& a = gLight;
  TerminalProgress();  // Ctrl+C stops the check
  Bar bar;
  bar.Tty = isatty(STDERR_FILENO) != 0;
  ProgressSink sink{ShowCheckProgress, &bar};
  LightReport r;
  std::string reason;
  int rc = CheckLightFile(a.File.c_str(), a.Levels, &sink, &r, &reason);
  if (bar.Shown >= 0) std::fprintf(stderr, "\r%40s\r", "");
  if (rc == LIGHT_ABORTED) {
    std::fprintf(stderr, "The check of '%s' was stopped.\n", a.File.c_str());
    return EXIT_USAGE;
  }
  if (rc == LIGHT_UNREADABLE) {
    std::string text = "The file '" + a.File + "' cannot be read: " + reason;
    std::fprintf(stderr, "%s\n", text.c_str());
    if (a.Json) PrintJson(a, r, reason);
    return EXIT_USAGE;
  }
  if (a.Json)
    PrintJson(a, r, r.Error);
  else
    PrintTable(a, r);
  if (std::string early = LightEndsEarlyText(r, false); !early.empty())
    std::fprintf(stderr, "'%s': %s\n", a.File.c_str(), early.c_str());
  if (!r.Error.empty()) {
    std::fprintf(stderr, "The file '%s' cannot be read to its end (%s): the check covers the first %s.\n",
                 a.File.c_str(), r.Error.c_str(), LightTimeText(static_cast<double>(r.Frames) / r.Rate).c_str());
    return EXIT_USAGE;
  }
  return r.Carrier ? EXIT_OK : EXIT_REFUSED;
}

}  // namespace

int CheckRenderedLight(const std::string& file, plat::SoundFormat format, LightDecoder* written,
                       const LightLevels& levels) {
  LightDecoderFinish(written);
  LightReport before;
  SummarizeLight(written, &before);
  Bar bar;
  bar.Tty = isatty(STDERR_FILENO) != 0;
  ProgressSink sink{ShowCheckProgress, &bar};
  LightReport after;
  std::string reason;
  int rc = CheckLightFile(file.c_str(), levels, &sink, &after, &reason);
  if (bar.Shown >= 0) std::fprintf(stderr, "\r%40s\r", "");
  if (rc == LIGHT_ABORTED) {
    std::fprintf(stderr, "The check of the light signal in '%s' was stopped.\n", file.c_str());
    return EXIT_REFUSED;
  }
  if (rc != 0) {
    std::fprintf(stderr, "The file '%s' cannot be read back to check its light signal: %s\n", file.c_str(),
                 reason.c_str());
    return EXIT_REFUSED;
  }
  LightSurvival s = CompareLight(before, after);
  std::fprintf(stderr, "%s\n", LightSurvivalText(s, format).c_str());
  return s.Survived ? EXIT_OK : EXIT_REFUSED;
}

void RegisterLightCheckCommand(CLI::App& app) {
  LightArgs& a = gLight;
  CLI::App* c = app.add_subcommand(
      "lightcheck", "the light signal (AudioStrobe carrier) of a sound file; exit 0 found, 1 none, 2 unreadable");
  a.Cmd = c;
  c->add_option("FILE", a.File, "sound file (WAV, FLAC, Ogg Vorbis, Opus, MP3)")->required();
  c->add_flag("--json", a.Json, "print one JSON object");
  WholeNumber(c->add_option("--zero-level", a.Levels.ZeroLevel, "AudioStrobe zero level to read against, percent"), 0,
              100);
  WholeNumber(c->add_option("--max-level", a.Levels.MaxLevel, "AudioStrobe maximum level to read against, percent"), 0,
              100);
  // Every 50 ms block with its levels, for a close look at a file.
  c->add_flag("--blocks", a.Blocks, "print every 50 ms block with the levels in dBFS")->group("");
}

int RunLightCheckCommand() {
  if (!gLight.Cmd || !*gLight.Cmd) return -1;
  return RunLightCheck();
}

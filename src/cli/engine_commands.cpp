// Subcommands that drive the synthesis engine: render.
#include <strings.h>

#include <CLI/CLI.hpp>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "cli/cliutil.h"
#include "cli/commands.h"
#include "cli/playargs.h"
#include "cli/progress.h"
#include "data/playback.h"
#include "data/state.h"
#include "data/wavetab.h"
#include "main/arith.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "platform/rand.h"

namespace {

struct RenderArgs {
  PresetSource Src;
  std::string Out, Minutes, Background;
  OutputFormat Format;
  int ZeroLevel = 50, MaxLevel = 100, Duty = 50;
  int32_t Waveform = 32769000;
  long long Seed = -1;
  CLI::App* Cmd = nullptr;
} gRender;

int ReportPlayResult(int rc, const std::string& out, const std::string& background, const AdvancedOptions& o) {
  if (rc == 0) return EXIT_OK;
  if (rc == -1) rc = 85;
  // Background messages name the background's file as %1, the WAV-file
  // messages the output file as %2; %3 is the most minutes a WAV file takes.
  std::string most = FormatNumber(MaxWavMinutes(ComputeBlockBytes(o), o.LenOfBlocks), 2, 2, 0, true);
  std::fprintf(stderr, "%s\n", FormatMsg(rc, {background, out, most}).c_str());
  return EXIT_REFUSED;
}

// The formats render writes: WAV only, so a name that says another format
// is refused rather than filled with WAV data.
bool WritableExtension(const std::string& out) {
  if (out == "-") return true;
  size_t slash = out.find_last_of('/');
  size_t dot = out.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == out.size() ||
      dot == (slash == std::string::npos ? 0 : slash + 1))
    return true;  // no extension (a dot file is a name, not a format)
  return ::strcasecmp(out.c_str() + dot, ".wav") == 0;
}

int RunRender() {
  RenderArgs& a = gRender;
  if (!WritableExtension(a.Out)) {
    std::fprintf(stderr, "-o: '%s' names a format render cannot write; it writes WAV files (.wav).\n", a.Out.c_str());
    return EXIT_USAGE;
  }
  Preset p{};
  if (int rc = LoadPresetFromSource(a.Src, p)) return rc;
  int32_t minutes = PresetLength(p);
  if (!a.Minutes.empty() && (minutes = ParseMinutesOption(a.Minutes, 2, "--minutes", true)) < 0) {
    FreePreset(p);
    return EXIT_USAGE;
  }

  if (!a.Background.empty()) {
    // A quick try of a user's sound: it replaces the preset's background as a
    // looped wave file.
    if (a.Background.size() >= NAMELEN) {
      FreePreset(p);
      return ReportError("--background: the path is too long.");
    }
    p.data.Background = AMBIX_OTHER;
    std::snprintf(p.data.BackgroundFile, NAMELEN, "%s", a.Background.c_str());
  }
  std::string background = p.data.BackgroundFile;
  AdvancedOptions o;
  ApplyOutputFormat(a.Format, o);
  o.AudioStrobeZeroLevel = a.ZeroLevel;
  o.AudioStrobeMaxLevel = a.MaxLevel;
  o.AudioStrobeWaveform = a.Waveform;
  o.AudioStrobeDutyCycle = a.Duty;
  plat::SeedRandom(a.Seed >= 0 ? static_cast<uint32_t>(a.Seed) : static_cast<uint32_t>(std::time(nullptr)));

  PlaybackUi ui = TerminalProgress();
  int rc = StartPlaybackToFile(p, o, a.Out.c_str(), minutes, &ui);
  FinishProgress();
  FreePreset(p);
  if (rc == 0 && a.Out != "-")
    std::fprintf(stderr, "%s\n", FormatPrintf(GetStr(82), FormatNumber(minutes, 2, 2, 0, true)).c_str());
  return ReportPlayResult(rc, a.Out, background, o);
}

}  // namespace

void RegisterEngineCommands(CLI::App& app) {
  RenderArgs& a = gRender;
  CLI::App* r = app.add_subcommand("render", "write a preset into a WAV file");
  a.Cmd = r;
  AddPresetSource(r, a.Src);
  r->add_option("-o,--output", a.Out, "WAV file to write, - for standard output")->required();
  r->add_option("--minutes", a.Minutes, "length in minutes (default: the preset's length)");
  AddOutputFormat(r, a.Format, 10000);
  WholeNumber(r->add_option("--as-zero-level", a.ZeroLevel, "AudioStrobe zero level, percent"), 0, 100);
  WholeNumber(r->add_option("--as-max-level", a.MaxLevel, "AudioStrobe maximum level, percent"), 0, 100);
  WholeNumber(r->add_option("--as-waveform", a.Waveform, "AudioStrobe waveform (packed waveform value)"), INT32_MIN,
              INT32_MAX);
  WholeNumber(r->add_option("--as-duty-cycle", a.Duty, "AudioStrobe duty cycle, percent"), 0, 100);
  r->add_option("--background", a.Background, "a WAV file to play as the background instead of the preset's");
  WholeNumber(r->add_option("--seed", a.Seed, "seed of the noise generator (default: the time)"), 0, LLONG_MAX);
}

int RunEngineCommands(CLI::App&) {
  if (*gRender.Cmd) return RunRender();
  return EXIT_USAGE;
}

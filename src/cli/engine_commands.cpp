// Subcommands that drive the synthesis engine: render.
#include <CLI/CLI.hpp>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>

#include "cli/cliutil.h"
#include "cli/cmd_lightcheck.h"
#include "cli/commands.h"
#include "cli/playargs.h"
#include "cli/progress.h"
#include "data/playback/playback.h"
#include "data/synthesis/state.h"
#include "data/synthesis/wavetab.h"
#include "main/arith.h"
#include "main/duration.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "platform/rand.h"

namespace {

struct RenderArgs {
  PresetSource Src;
  std::string Out, Minutes, Background, FormatWord, FadeOut;
  int Quality = plat::SOUND_QUALITY_DEFAULT;
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
  std::fprintf(stderr, "%s\n", PlayResultText(rc, background, out, most).c_str());
  return EXIT_REFUSED;
}

bool HasExtension(const std::string& name) {
  size_t slash = name.find_last_of('/');
  size_t base = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.find_last_of('.');
  return dot != std::string::npos && dot > base && dot + 1 < name.size();
}

// The file format: --format, else the name's extension, else WAV. A name
// whose extension says another format than --format, or a format render
// cannot write, is refused before anything is written. SOUND_UNKNOWN after
// the reason has been printed.
plat::SoundFormat ChooseFormat(const RenderArgs& a) {
  plat::SoundFormat named = a.Out == "-" ? plat::SOUND_WAV : plat::SoundFormatOfName(a.Out.c_str());
  if (a.FormatWord.empty()) {
    if (named == plat::SOUND_UNKNOWN)
      std::fprintf(stderr,
                   "-o: '%s' names a format render cannot write; it writes .wav, .flac, .ogg, .opus and .mp3 files "
                   "(or --format).\n",
                   Shown(a.Out).c_str());
    return named;
  }
  plat::SoundFormat f = plat::SoundFormatOfKeyword(a.FormatWord);
  if (f == plat::SOUND_UNKNOWN) {
    std::fprintf(stderr, "--format: '%s' is not one of wav, flac, vorbis, opus, mp3.\n", Shown(a.FormatWord).c_str());
    return f;
  }
  // "-o -", names without an extension and unknown extensions take --format.
  if (HasExtension(a.Out) && named != plat::SOUND_UNKNOWN && named != f) {
    std::fprintf(stderr, "-o: '%s' names a %s file, but --format says %s.\n", Shown(a.Out).c_str(),
                 plat::SoundFormatTitle(named), plat::SoundFormatTitle(f));
    return plat::SOUND_UNKNOWN;
  }
  return f;
}

// --quality within the format's range; false after printing why not.
bool QualityFits(plat::SoundFormat f, int quality) {
  if (quality == plat::SOUND_QUALITY_DEFAULT) return true;
  if (plat::MaxQuality(f) == 0) {
    std::fprintf(stderr, "--quality: %s files have no quality setting.\n", plat::SoundFormatTitle(f));
    return false;
  }
  if (quality > plat::MaxQuality(f)) {
    std::fprintf(stderr, "--quality: %s takes 0 to %d.\n", plat::SoundFormatTitle(f), plat::MaxQuality(f));
    return false;
  }
  return true;
}

int RunRender() {
  RenderArgs& a = gRender;
  FileOutput out;
  out.Format = ChooseFormat(a);
  out.Quality = a.Quality;
  if (out.Format == plat::SOUND_UNKNOWN || !QualityFits(out.Format, out.Quality)) return EXIT_USAGE;
  if (!a.FadeOut.empty()) {
    int64_t fade = ParseDuration(a.FadeOut, 1000);
    if (fade < 0 || fade > INT32_MAX) {
      std::fprintf(stderr, "--fade-out: '%s' is not a length of time (write 60s, 2m or 90 for seconds).\n",
                   a.FadeOut.c_str());
      return EXIT_USAGE;
    }
    out.FadeOutMs = static_cast<int32_t>(fade);
  }
  Preset p{};
  int sessionRate = 0;
  if (int rc = LoadPresetFromSource(a.Src, p, &sessionRate)) return rc;
  int32_t minutes = PresetLength(p);
  if (!a.Minutes.empty() && (minutes = ParseMinutesOption(a.Minutes, 2, "--minutes", true)) < 0) {
    FreePreset(p);
    return EXIT_USAGE;
  }

  // A quick try of a user's sound: it replaces the preset's background.
  if (int rc = ApplyBackgroundOption(a.Background, p)) {
    FreePreset(p);
    return rc;
  }
  std::string background = p.data.BackgroundFile;
  AdvancedOptions o;
  // A session's own rate (-r) unless --rate says otherwise.
  if (sessionRate >= 10000 && sessionRate <= 100000 && a.Cmd->get_option("--rate")->count() == 0)
    a.Format.Rate = sessionRate;
  ApplyOutputFormat(a.Format, o);
  o.AudioStrobeZeroLevel = a.ZeroLevel;
  o.AudioStrobeMaxLevel = a.MaxLevel;
  o.AudioStrobeWaveform = a.Waveform;
  o.AudioStrobeDutyCycle = a.Duty;
  plat::SeedRandom(a.Seed >= 0 ? static_cast<uint32_t>(a.Seed) : static_cast<uint32_t>(std::time(nullptr)));

  int rate = plat::EncoderRate(out.Format, o.SamplesPerSec);
  if (rate != o.SamplesPerSec)
    std::fprintf(stderr, "%s files take other sample rates: rendering at %d samples per second.\n",
                 plat::SoundFormatTitle(out.Format), rate);

  // A lossy encoder may cut the 19.2 kHz carrier: it gets the settings
  // that keep it, unless --quality says otherwise, and the written file is
  // read back and compared with what went into it.
  LightDecoder* written = nullptr;
  const LightLevels levels{a.ZeroLevel, a.MaxLevel};
  if (a.Format.Strobe && LosesCarrier(out.Format)) {
    if (out.Quality == plat::SOUND_QUALITY_DEFAULT) {
      out.Quality = CarrierQuality(out.Format);
      std::fprintf(stderr, "With AudioStrobe, %s files are written at quality %d.\n",
                   plat::SoundFormatTitle(out.Format), out.Quality);
    }
    if (a.Out != "-") {
      written = LightDecoderCreate(rate, 2, levels);
      out.BlockWritten = LightFeedBlock;
      out.BlockCtx = written;
    }
  }

  PlaybackUi ui = TerminalProgress();
  // The record on the heap: it holds the device's block headers.
  auto playbackOwned = std::make_unique<PlaybackState>();
  PlaybackState& playback = *playbackOwned;
  playback.AudioStrobeOn.store(a.Format.Strobe ? 1 : 0);
  int rc = StartPlaybackToFile(playback, p, o, a.Out.c_str(), minutes, &ui, out);
  FinishProgress();
  FreePreset(p);
  if (rc == 0 && a.Out != "-") {
    std::string done = FormatNumber(minutes, 2, 2, 0, true);
    if (out.Format == plat::SOUND_WAV)
      std::fprintf(stderr, "%s\n", FormatPrintf(GetStr(82), done.c_str()).c_str());
    else
      std::fprintf(stderr, "%s minutes of output were written to the %s file '%s'.\n", done.c_str(),
                   plat::SoundFormatTitle(out.Format), Shown(a.Out).c_str());
  }
  int result = ReportPlayResult(rc, a.Out, background, o);
  if (written) {
    if (rc == 0) result = CheckRenderedLight(a.Out, out.Format, written, levels);
    LightDecoderFree(written);
  }
  return result;
}

}  // namespace

void RegisterEngineCommands(CLI::App& app) {
  RenderArgs& a = gRender;
  CLI::App* r = app.add_subcommand("render", "write a preset into a sound file (WAV, FLAC, Ogg Vorbis, Opus, MP3)");
  a.Cmd = r;
  AddPresetSource(r, a.Src);
  r->add_option("-o,--output", a.Out,
                "file to write, its format by the extension (.wav, .flac, .ogg, .opus, .mp3); - for standard output "
                "(WAV unless --format)")
      ->required();
  r->add_option("--format", a.FormatWord, "file format: wav, flac, vorbis, opus or mp3 (default: by the extension)");
  WholeNumber(
      r->add_option("--quality", a.Quality,
                    "FLAC: compression level 0-8 (default 5); Vorbis, Opus, MP3: quality 0-10 (defaults 5, 3, 4)"),
      0, 10);
  r->add_option("--minutes", a.Minutes, "length in minutes (default: the preset's length)");
  r->add_option("--fade-out", a.FadeOut, "the file's end fades out to silence over this long (60s, 2m, 90 = seconds)");
  AddOutputFormat(r, a.Format, 10000);
  WholeNumber(r->add_option("--as-zero-level", a.ZeroLevel, "AudioStrobe zero level, percent"), 0, 100);
  WholeNumber(r->add_option("--as-max-level", a.MaxLevel, "AudioStrobe maximum level, percent"), 0, 100);
  WholeNumber(r->add_option("--as-waveform", a.Waveform, "AudioStrobe waveform (packed waveform value)"), INT32_MIN,
              INT32_MAX);
  WholeNumber(r->add_option("--as-duty-cycle", a.Duty, "AudioStrobe duty cycle, percent"), 0, 100);
  r->add_option("--background", a.Background,
                "a sound file (WAV, FLAC, Ogg Vorbis, Opus, MP3) to play as the background instead of the preset's");
  WholeNumber(r->add_option("--seed", a.Seed, "seed of the noise generator (default: the time)"), 0, LLONG_MAX);
}

int RunEngineCommands(CLI::App&) {
  if (*gRender.Cmd) return RunRender();
  return EXIT_USAGE;
}

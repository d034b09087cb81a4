#include "cli/playargs.h"

#include <CLI/CLI.hpp>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cliutil.h"
#include "cli/cmd_store.h"
#include "data/backgrounds/bgload.h"
#include "data/backgrounds/bgprobe.h"
#include "data/synthesis/state.h"
#include "file/store.h"
#include "main/arith.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "sbg/sbg.h"

namespace {

void PrintNotice(void*, int, const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

// A library background that is not here is told, and the preset plays
// without it, as when the store reads a preset.
void DropMissingBackground(Preset& p) {
  if (p.data.Background >= AMBIX_NONE) return;
  int rc = ProbeLibraryBackground(p.data.BackgroundFile, p.data.Background);
  if (rc == 0) return;
  std::string file = TextForLine({p.data.BackgroundFile, strnlen(p.data.BackgroundFile, NAMELEN)});
  PrintNotice(nullptr, 0, FormatMsg(rc, {file, p.data.Background}));
  p.data.Background = AMBIX_NONE;
}

}  // namespace

void AddPresetSource(CLI::App* cmd, PresetSource& src) {
  cmd->add_option(
      "FILE", src.File,
      "preset file or a .sbg session, - for standard input (default: the preset store the desktop program uses)");
  src.Store =
      cmd->add_option("--store", src.StoreDir, "take the preset from the preset store (of folder DIR)")->expected(0, 1);
  auto* idx = WholeNumber(cmd->add_option("--index", src.Index, "record index"), 0, INT_MAX);
  auto* name = cmd->add_option("--name", src.Name, "preset name");
  idx->excludes(name);
}

int ApplyBackgroundOption(const std::string& file, Preset& p) {
  if (file.empty()) return EXIT_OK;
  if (file.size() >= NAMELEN) return ReportError("--background: the path is too long.");
  p.data.Background = AMBIX_OTHER;
  std::snprintf(p.data.BackgroundFile, NAMELEN, "%s", file.c_str());
  return EXIT_OK;
}

std::string PlayResultText(int rc, const std::string& background, const std::string& out, const std::string& most) {
  return FormatMsg(rc, {Shown(background), Shown(out), most, BackgroundReadReason()});
}

int ImportSessionForCli(const std::string& file, Preset& p, int* sessionRate) {
  SbgImport info;
  bool ok = ImportSessionFile(file, p, &info);
  for (const SbgMessage& w : info.Warnings) std::fprintf(stderr, "%s\n", SbgMessageText(file, w, true).c_str());
  if (!ok) return ReportError(SbgMessageText(file, info.Error));
  if (sessionRate) *sessionRate = info.Rate;
  return EXIT_OK;
}

int LoadPresetFromSource(const PresetSource& src, Preset& p, int* sessionRate) {
  bool fromStore = src.Store && src.Store->count() > 0;
  if (!fromStore && IsSequenceFileName(src.File)) return ImportSessionForCli(src.File, p, sessionRate);
  if (src.Index < 0 && src.Name.empty()) {
    std::fprintf(stderr, "Give --index N or --name NAME.\n");
    return EXIT_USAGE;
  }
  // Without a FILE the preset comes from the user's own store, the one the
  // desktop program uses.
  if ((src.Store && src.Store->count() > 0) || src.File.empty()) {
    if (int rc = OpenStoreForCli(src.StoreDir)) return ReportFileMessage(rc, StoreMessagePath());
    int i = src.Index >= 0 ? src.Index : FindPresetByName(src.Name);
    if (i < 0 || i >= NumPrograms || Program[i].Deleted) return ReportError("The store has no such preset.");
    StoreUi ui;
    ui.Inform = PrintNotice;
    if (int rc = EnsureLoaded(i, &ui)) return ReportFileMessage(rc, StoreMessagePath());
    CopyPreset(p, Program[i]);
    return EXIT_OK;
  }
  bool notFound = false;
  if (int rc = LoadPresetAt(src.File, src.Index, src.Name, p, &notFound)) return ReportFileMessage(rc, src.File);
  if (notFound) {
    FreePreset(p);
    return ReportError("The file '" + Shown(src.File) + "' has no such preset.");
  }
  DropMissingBackground(p);
  return EXIT_OK;
}

CLI::Option* WholeNumber(CLI::Option* opt, long long lo, long long hi) {
  return opt->check(CLI::Validator(
      [lo, hi](std::string& text) -> std::string {
        size_t digits = text.size() > 1 && text[0] == '-' ? 1 : 0;
        if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos)
          return "'" + Shown(text) + "' is not a whole number.";
        // More digits than any value in range cannot be read, nor is it in range.
        long long v = text.size() - digits <= 18 ? std::stoll(text) : (digits ? LLONG_MIN : LLONG_MAX);
        if (v < lo || v > hi)
          return "'" + Shown(text) + "' is not in " + std::to_string(lo) + ".." + std::to_string(hi) + ".";
        return "";
      },
      ""));
}

int32_t ParseMinutesOption(const std::string& text, int digits, const char* option, bool positive) {
  size_t i = 0, whole = 0, decimals = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++whole;
  bool sep = i < text.size() && (text[i] == '.' || text[i] == ',');
  if (sep)
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++decimals;
  const char* what = positive ? "a positive number of minutes" : "a number of minutes";
  if (i != text.size() || whole + decimals == 0) {
    std::fprintf(stderr, "%s: '%s' is not %s (write 1.5 for a minute and a half).\n", option, Shown(text).c_str(),
                 what);
    return -1;
  }
  if (static_cast<int>(decimals) > digits) {
    std::fprintf(stderr, "%s: '%s' has more than %d decimals.\n", option, Shown(text).c_str(), digits);
    return -1;
  }
  // The whole part must leave room for the decimals in 32 bits.
  std::string dotted = text;
  for (char& c : dotted)
    if (c == ',') c = '.';
  double value = std::strtod(dotted.c_str(), nullptr);
  if (value * PowerOfTen[digits] > INT32_MAX) {
    std::fprintf(stderr, "%s: '%s' is too long.\n", option, Shown(text).c_str());
    return -1;
  }
  bool error = false;
  int32_t v = ParseNumber(text.c_str(), digits, false, &error);
  if (error || v < 0 || (positive && v == 0)) {
    std::fprintf(stderr, "%s: '%s' is not %s.\n", option, Shown(text).c_str(), what);
    return -1;
  }
  return v;
}

void AddOutputFormat(CLI::App* cmd, OutputFormat& f, int minRate) {
  WholeNumber(cmd->add_option("--rate", f.Rate, "samples per second"), minRate, 100000);
  WholeNumber(cmd->add_option("--bits", f.Bits, "8 or 16 bits per sample"), 8, 16)->check(CLI::IsMember({8, 16}));
  WholeNumber(cmd->add_option("--block-ms", f.BlockMs, "block length in milliseconds"), 10, 1000);
  cmd->add_flag("--invert", f.Invert, "invert the sound");
  cmd->add_flag("--audiostrobe", f.Strobe, "include the AudioStrobe light signal");
}

void ApplyOutputFormat(const OutputFormat& f, AdvancedOptions& o) {
  o.SamplesPerSec = f.Rate;
  o.Bits16 = f.Bits == 16;
  o.LenOfBlocks = f.BlockMs;
  o.InvertSound = f.Invert;
}

// What `play` and `render` share on their command line: where the preset
// comes from (a preset file, or the preset store, by record index or by
// name) and the output format.
#pragma once
#include <string>

#include "data/synthesis/options.h"
#include "main/model.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

struct PresetSource {
  std::string File, Name, StoreDir;
  CLI::Option* Store = nullptr;
  int Index = -1;
};

// Adds FILE, --store [DIR], --index and --name to cmd.
void AddPresetSource(CLI::App* cmd, PresetSource& src);
// Loads the chosen preset into p, which must be empty: a .sbg session file
// is one preset (no --index needed), its sample rate (-r) in *sessionRate
// when it names one. EXIT_OK, or the exit code after the reason has been
// printed.
int LoadPresetFromSource(const PresetSource& src, Preset& p, int* sessionRate = nullptr);

// Reads a .sbg session into p (empty), its warnings and its refusal
// ("FILE:LINE:COLUMN: ...") on stderr. EXIT_OK or EXIT_REFUSED.
int ImportSessionForCli(const std::string& file, Preset& p, int* sessionRate = nullptr);

// Refuses anything but a whole number in lo..hi on opt ("1e4", "0x1" and
// "16.0" are not whole numbers), with the option's name and the reason.
CLI::Option* WholeNumber(CLI::Option* opt, long long lo, long long hi);

// Reads a number of minutes with at most `digits` decimals ('.' or ','),
// the whole text and nothing else ("1:30", "1e9" and "0.5e1" are refused);
// -1 after printing why not. `positive`: 0 is refused too.
int32_t ParseMinutesOption(const std::string& text, int digits, const char* option, bool positive);

// --background FILE: the file replaces the preset's background as a looped
// sound file (any format the background loader reads). EXIT_OK, or the exit
// code after the reason has been printed.
int ApplyBackgroundOption(const std::string& file, Preset& p);
// The message of a playback's result id, with the background's name (%1),
// the output file (%2), the most minutes of a WAV file (%3) and why a
// background file could not be read (%4).
std::string PlayResultText(int rc, const std::string& background, const std::string& out, const std::string& most);

struct OutputFormat {
  int Rate = 44100, Bits = 16, BlockMs = 200;
  bool Invert = false, Strobe = false;
};
// Adds --rate (from minRate), --bits, --block-ms, --invert and --audiostrobe.
void AddOutputFormat(CLI::App* cmd, OutputFormat& f, int minRate);
// Puts the format into o; the AudioStrobe switch belongs to the playback's
// record (PlaybackState::AudioStrobeOn), which the caller sets from f.Strobe.
void ApplyOutputFormat(const OutputFormat& f, AdvancedOptions& o);

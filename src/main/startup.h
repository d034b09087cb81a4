// Start-up helpers without any user interface: the command-line forms, the
// check of the saved main-window placement, and the general helpers the
// dialogs share (case-insensitive substring search, filter strings).
//
// Main thread (start-up and dialogs); nothing here keeps state.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The whole command line as one string: the arguments after the program
// name joined by single blanks, so `sonavel -p "Relax"` reads "-p Relax" and
// a single path with blanks stays one path.
std::string JoinArguments(int argc, const char* const* argv);

// What the command line asks for.
struct CmdLine {
  bool AnotherInstance = false;  // "-anotherinstance" (any case)
  bool HasLoadName = false;      // "-p " (case-sensitive) with a preset name
  std::string LoadName;          // without its surrounding double quotes
  std::string ImportFile;        // anything else: a file to import
  // The command line as given, for the hand-over to a running instance.
  std::string Text;
};
CmdLine ParseCommandLine(const std::string& line);

// The program's version as `--version` prints it.
extern const char* const PROGRAM_VERSION_TEXT;  // "3.1.12"

// What the arguments ask for before anything needs a display, as every
// program on Linux does: --help and --version print and end the program, and
// any other argument beginning with "--" that the program does not know is
// refused. Qt's own options ("-platform NAME", "--style=NAME", ...) and their
// values pass; "-p" ends the look (a preset name follows, whatever it reads).
enum ArgsVerdict { ARGS_RUN, ARGS_HELP, ARGS_VERSION, ARGS_UNKNOWN };
struct ArgsCheck {
  ArgsVerdict Verdict = ARGS_RUN;
  std::string Option;  // the refused argument
};
ArgsCheck CheckArguments(int argc, const char* const* argv);
// The desktop program's usage text, ending in a newline.
std::string DesktopUsage();

// Window placements use this for "let the system choose" (0x80000000).
constexpr int32_t CW_USEDEFAULT = INT32_MIN;
// The main window's size when its saved placement is not used.
constexpr int32_t MAINWND_DEFAULT_WIDTH = 528;
constexpr int32_t MAINWND_DEFAULT_HEIGHT = 150;

struct Placement {
  int32_t X = CW_USEDEFAULT, Y = 0, Width = 0, Height = 0;
};
// The saved main-window placement checked against the screen: the default
// (CW_USEDEFAULT, 528 x 150) for a second instance, a window whose left or
// top edge lies within 20 pixels of the screen's right or bottom, one that
// ends left of x = 100, or one lower than 50; otherwise the size is clamped to
// the screen.
Placement CheckMainPlacement(const Placement& saved, int32_t screenWidth, int32_t screenHeight, bool anotherInstance);

// Position of the first case-insensitive match of pattern in text (UTF-8;
// ASCII letters and the Latin-1 letters fold), or -1. An empty pattern
// matches at 0.
int FindNoCase(const std::string& text, const std::string& pattern);
// Whether text begins with prefix, case-insensitively.
bool StartsWithNoCase(const std::string& text, const std::string& prefix);

// A filter string ("Wave Files|*.wav|All Files|*.*|"; its last character is
// the separator) as pairs of description and pattern.
std::vector<std::pair<std::string, std::string>> SplitFilterString(const std::string& filter);

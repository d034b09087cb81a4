// Start-up helpers: command line, placement check, substring search and
// filter strings.
#include "main/startup.h"

#include <algorithm>
#include <cstring>

std::string JoinArguments(int argc, const char* const* argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

namespace {

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Folds one UTF-8 character starting at s[i] to a comparable code point and
// advances i past it. ASCII and the Latin-1 Supplement letters fold to upper
// case; other characters compare as they are; a broken sequence is one byte.
uint32_t FoldNext(const std::string& s, size_t& i) {
  auto b = static_cast<unsigned char>(s[i]);
  uint32_t cp = b;
  size_t len = 1;
  if (b >= 0xC0 && b < 0xE0 && i + 1 < s.size())
    cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu), len = 2;
  else if (b >= 0xE0 && b < 0xF0 && i + 2 < s.size())
    cp = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
         (static_cast<unsigned char>(s[i + 2]) & 0x3Fu),
    len = 3;
  else if (b >= 0xF0 && i + 3 < s.size())
    cp = ((b & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
         ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) | (static_cast<unsigned char>(s[i + 3]) & 0x3Fu),
    len = 4;
  i += len;
  if (cp >= 'a' && cp <= 'z') return cp - 32;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;  // à-þ to À-Þ, not ÷
  return cp;
}

bool MatchAt(const std::string& text, size_t at, const std::string& pattern) {
  size_t i = at, j = 0;
  while (j < pattern.size()) {
    if (i >= text.size()) return false;
    if (FoldNext(text, i) != FoldNext(pattern, j)) return false;
  }
  return true;
}

}  // namespace

const char* const PROGRAM_VERSION_TEXT = "3.1.12";

namespace {

// Qt's own command-line options (taken with one dash or two), and whether a
// value follows as the next argument ("-style fusion"; "-style=fusion" is
// one argument).
struct QtOption {
  const char* Name;
  bool Value;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowtitle", true},
    {"qwindowicon", true},
    {"geometry", true},
    {"title", true},
    {"icon", true},
    {"display", true},
    {"session", true},
    {"style", true},
    {"stylesheet", true},
    {"name", true},
    {"reverse", false},
    {"widgetcount", false},
    {"testability", false},
    {"nograb", false},
    {"dograb", false},
    {"sync", false},
    {"qmljsdebugger", false},
};

// The Qt option `arg` names (without its dashes and any "=value"), or null.
const QtOption* FindQtOption(const std::string& arg) {
  size_t start = arg.compare(0, 2, "--") == 0 ? 2 : 1;
  std::string name = arg.substr(start, arg.find('=') == std::string::npos ? std::string::npos : arg.find('=') - start);
  for (const QtOption& o : kQtOptions)
    if (name == o.Name) return &o;
  return nullptr;
}

}  // namespace

ArgsCheck CheckArguments(int argc, const char* const* argv) {
  ArgsCheck c;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-p") break;
    if (a == "--help") return {ARGS_HELP, a};
    if (a == "--version") return {ARGS_VERSION, a};
    if (a.size() < 2 || a[0] != '-') continue;
    if (const QtOption* q = FindQtOption(a)) {
      if (q->Value && a.find('=') == std::string::npos) ++i;  // its value
      continue;
    }
    if (a.compare(0, 2, "--") == 0 && c.Verdict == ARGS_RUN) c = {ARGS_UNKNOWN, a};
  }
  return c;
}

std::string DesktopUsage() {
  return "Usage: sonavel [-p NAME | FILE.tvk | -anotherinstance]\n"
         "Plays binaural-beat presets; with no argument the window opens.\n"
         "\n"
         "  -p NAME            select the preset NAME and play it (a running\n"
         "                     Sonavel takes the request over)\n"
         "  FILE.tvk           import the presets of a preset file\n"
         "  -anotherinstance   start although Sonavel is already running\n"
         "  --help             print this help and exit\n"
         "  --version          print the version and exit\n";
}

CmdLine ParseCommandLine(const std::string& line) {
  CmdLine c;
  c.Text = line;
  if (EqualsNoCase(line, "-anotherinstance")) {
    c.AnotherInstance = true;
    return c;
  }
  if (line.compare(0, 3, "-p ") == 0) {
    std::string name = line.substr(3);
    if (!name.empty() && name.front() == '"') {
      name.erase(0, 1);
      if (!name.empty() && name.back() == '"') name.pop_back();
    }
    c.HasLoadName = true;
    c.LoadName = name;
    return c;
  }
  c.ImportFile = line;
  return c;
}

Placement CheckMainPlacement(const Placement& saved, int32_t screenWidth, int32_t screenHeight, bool anotherInstance) {
  Placement def;
  def.X = CW_USEDEFAULT;
  def.Width = MAINWND_DEFAULT_WIDTH;
  def.Height = MAINWND_DEFAULT_HEIGHT;
  // 64-bit sums: saved values are whatever the settings file held.
  int64_t x = saved.X, y = saved.Y, w = saved.Width, h = saved.Height;
  if (anotherInstance || x > int64_t(screenWidth) - 20 || y > int64_t(screenHeight) - 20 || x + w < 100 || 2 * h < 100)
    return def;
  if (saved.X == CW_USEDEFAULT) return def;
  Placement p = saved;
  // A window above the screen would have its title bar out of reach.
  if (p.Y < 0) p.Y = 0;
  p.Width = static_cast<int32_t>(std::min<int64_t>(w, screenWidth));
  p.Height = static_cast<int32_t>(std::min<int64_t>(h, screenHeight));
  return p;
}

int FindNoCase(const std::string& text, const std::string& pattern) {
  if (pattern.empty()) return 0;
  for (size_t at = 0; at < text.size();) {
    if (MatchAt(text, at, pattern)) return static_cast<int>(at);
    FoldNext(text, at);
  }
  return -1;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) { return MatchAt(text, 0, prefix); }

std::vector<std::pair<std::string, std::string>> SplitFilterString(const std::string& filter) {
  std::vector<std::pair<std::string, std::string>> out;
  if (filter.empty()) return out;
  char sep = filter.back();
  std::vector<std::string> parts;
  std::string cur;
  for (char ch : filter) {
    if (ch == sep) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += ch;
    }
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
  return out;
}

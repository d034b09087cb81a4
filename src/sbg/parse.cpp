// The reader of sequence files: lines, tone-sets, time lines and blocks.
//
// Blank lines and white space around entries are ignored; '#' starts a
// comment, and the first block of lines starting "##" is the description.
// Option lines ("-SE", "-F 2000", "-m rain.ogg") may stand anywhere; tone-set
// and block names may be used before their definition. Clock times advance
// through midnight (23:59 then 00:01 is two minutes later) but a session
// spans at most 24 hours; relative times count from the last absolute time
// (NOW or a clock time), block lines from the time of the line that calls the
// block.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "sbg/session.h"

namespace sbg {
namespace {

constexpr int MAX_TONES = 10;     // tones of one set (noise and the mix aside)
constexpr int MAX_CHANNELS = 16;  // entries of one set
constexpr size_t MAX_EXPANDED = 100000;
constexpr int MAX_BLOCK_DEPTH = 32;
constexpr double DAY_MS = 24.0 * 3600 * 1000;

struct Failure {
  SbgMessage M;
};

[[noreturn]] void Fail(int line, int column, const std::string& text) { throw Failure{{line, column, text}}; }

struct Tok {
  std::string_view S;
  int Col = 1;  // characters from the start of the line, 1 first
};

struct SrcLine {
  int No = 0;
  std::vector<Tok> Toks;
};

int ColumnOf(std::string_view line, size_t byte) {
  int col = 1;
  for (size_t i = 0; i < byte && i < line.size(); ++i)
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++col;
  return col;
}

std::vector<Tok> Tokens(std::string_view line) {
  std::vector<Tok> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) out.push_back({line.substr(start, i - start), ColumnOf(line, start)});
  }
  return out;
}

std::string Quote(std::string_view s) { return "'" + std::string(s) + "'"; }

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'; }

// Length of the name at the start of s (0 when it does not start with one).
size_t NameLength(std::string_view s) {
  if (s.empty() || !IsNameStart(s[0])) return 0;
  size_t n = 1;
  while (n < s.size() && IsNameChar(s[n])) ++n;
  return n;
}

// A decimal number at s[*i] (digits, an optional fraction); false when there
// is none.
bool Number(std::string_view s, size_t* i, double* v) {
  size_t start = *i, j = *i;
  while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
  size_t whole = j - start;
  size_t frac = 0;
  if (j < s.size() && s[j] == '.') {
    size_t k = j + 1;
    while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
    frac = k - j - 1;
    if (whole + frac > 0) j = k;
  }
  if (whole + frac == 0 || j - start > 40) return false;
  *v = std::strtod(std::string(s.substr(start, j - start)).c_str(), nullptr);
  *i = j;
  return true;
}

// --- Options -----------------------------------------------------------------

class Reader {
 public:
  Reader(Session* s, std::vector<SbgMessage>* w) : S(s), W(w) {}
  void Read(std::string_view text);

 private:
  Session* S;
  std::vector<SbgMessage>* W;
  std::map<std::string, int, std::less<>> SetIndex;  // name -> Sets
  struct Block {
    std::string Name;
    int Line = 0, Column = 0;
    std::vector<SrcLine> Lines;
  };
  std::map<std::string, Block, std::less<>> Blocks;
  std::map<std::string, int, std::less<>> DefinedAt;  // name -> line
  std::vector<SrcLine> TimeLines;
  bool UsesNow = false, UsesClock = false;

  void Warn(int line, int col, const std::string& text) { W->push_back({line, col, text}); }
  void Options(const SrcLine& l);
  void Define(const SrcLine& l, size_t nameLen);
  Tone ToneSpec(const Tok& t, int line);
  void Timeline(int lastLine);
  struct Time {
    bool HasAbs = false, Now = false;
    double Abs = 0, Rel = 0;  // ms
  };
  Time ParseTime(const Tok& t, int line);
  double Clock(std::string_view s, size_t* i, const Tok& t, int line, bool relative);
  void Expand(const SrcLine& l, double base, int depth, int callLine, double* prev);
  void Place(const SrcLine& l, size_t first, double ms, int callLine, double* prev, int depth);
};

void Reader::Options(const SrcLine& l) {
  const auto& t = l.Toks;
  for (size_t k = 0; k < t.size(); ++k) {
    std::string_view tok = t[k].S;
    if (tok.size() < 2 || tok[0] != '-' || !std::isalpha(static_cast<unsigned char>(tok[1])))
      Fail(l.No, t[k].Col, "an option (-S, -E, -F ms, -m file, ...) expected, not " + Quote(tok));
    for (size_t c = 1; c < tok.size(); ++c) {
      char o = tok[c];
      int col = t[k].Col + static_cast<int>(c);
      // The argument: the rest of this word, else the next word.
      auto arg = [&](const char* what) -> Tok {
        if (c + 1 < tok.size()) {
          Tok a{tok.substr(c + 1), col + 1};
          c = tok.size();
          return a;
        }
        if (k + 1 >= t.size()) Fail(l.No, col + 1, std::string(what) + " expected after -" + o);
        c = tok.size();
        return t[++k];
      };
      auto whole = [&](const Tok& a, const char* what, double lo, double hi) {
        size_t i = 0;
        double v = 0;
        if (!Number(a.S, &i, &v) || i != a.S.size() || v < lo || v > hi)
          Fail(l.No, a.Col, std::string(what) + " expected after -" + o + ", not " + Quote(a.S));
        return v;
      };
      switch (o) {
        case 'S':
        case 'E': break;  // a session is always played from its first time line to its last
        case 'F': S->FadeMs = whole(arg("a fade time in milliseconds"), "a fade time in milliseconds", 0, 3.6e6); break;
        case 'N': S->Normalize = false; break;
        case 'r': S->Rate = static_cast<int>(whole(arg("a sample rate"), "a sample rate", 1000, 1000000)); break;
        case 'w': {
          Tok a = arg("a waveform");
          static const std::pair<const char*, Wave> kWaves[] = {{"sine", Wave::Sine},
                                                                {"square", Wave::Square},
                                                                {"triangle", Wave::Triangle},
                                                                {"sawtooth", Wave::Sawtooth}};
          bool found = false;
          for (auto& [n, w] : kWaves)
            if (a.S == n) S->DefaultShape = w, found = true;
          if (!found) Fail(l.No, a.Col, "sine, square, triangle or sawtooth expected after -w, not " + Quote(a.S));
          break;
        }
        case 'm': {
          Tok a = arg("a sound file");
          S->MixFile = std::string(a.S);
          S->MixLine = l.No;
          S->MixColumn = a.Col;
          break;
        }
        case 'i':
        case 'p':
          Warn(l.No, col, std::string("-") + o + " plays tones given on its line, not a sequence; the line is ignored");
          return;
        case 'A':
        case 'I':
        case 'H': {
          // Optional settings ("-I s=0.05:d=0.4"): the next word when it is one.
          if (c + 1 < tok.size()) {
            c = tok.size();
          } else if (k + 1 < t.size() && t[k + 1].S.find('=') != std::string_view::npos) {
            ++k;
          }
          Warn(l.No, col, std::string("the option -") + o + " has no counterpart in a preset; ignored");
          break;
        }
        case 'T':
        case 'L':
        case 'V':
        case 'R':
        case 'b':
        case 'c':
        case 'o':
        case 'q':
        case 'K':
        case 'J':
        case 'X':
        case 'U':
        case 'Z':
          arg("a value");
          Warn(l.No, col, std::string("the option -") + o + " has no counterpart in a preset; ignored");
          break;
        default: Warn(l.No, col, std::string("the option -") + o + " has no counterpart in a preset; ignored"); break;
      }
    }
  }
}

// --- Tone-sets -------------------------------------------------------------------

Tone Reader::ToneSpec(const Tok& t, int line) {
  Tone tone;
  tone.Line = line;
  tone.Column = t.Col;
  tone.Shape = S->DefaultShape;
  std::string_view s = t.S;
  auto at = [&](size_t i) { return t.Col + static_cast<int>(i); };
  if (s == "-") return tone;
  size_t i = 0;
  // Prefixes: a waveform, or an effect with no counterpart.
  bool leftOut = false;
  std::string what;
  for (;;) {
    size_t n = NameLength(s.substr(i));
    if (n == 0 || i + n >= s.size() || s[i + n] != ':') break;
    std::string word(s.substr(i, n));
    if (word == "sine")
      tone.Shape = Wave::Sine;
    else if (word == "square")
      tone.Shape = Wave::Square;
    else if (word == "triangle")
      tone.Shape = Wave::Triangle;
    else if (word == "sawtooth")
      tone.Shape = Wave::Sawtooth;
    else if ((word.rfind("wave", 0) == 0 || word.rfind("custom", 0) == 0) && word.size() > 4 &&
             std::isdigit(static_cast<unsigned char>(word.back())))
      Warn(line, at(i), "the waveform " + word + " has no counterpart in a preset; the tone plays as a sine wave");
    else if (word == "spin" || word == "bspin" || word == "wspin" || word == "mixspin" || word == "mixpulse" ||
             word == "mixbeat" || word == "mixam") {
      leftOut = true;
      what = word;
    } else {
      Fail(line, at(i), "a waveform (sine, square, triangle, sawtooth) expected before ':', not " + Quote(word));
    }
    i += n + 1;
  }
  auto amplitude = [&](size_t j) {
    if (j >= s.size() || s[j] != '/') Fail(line, at(j), "'/amplitude' expected after " + Quote(s.substr(0, j)));
    size_t k = j + 1;
    double a = 0;
    if (!Number(s, &k, &a)) Fail(line, at(j + 1), "an amplitude (0-100) expected after '/'");
    if (k != s.size()) Fail(line, at(k), "the end of " + Quote(s) + " expected after its amplitude");
    return a;
  };
  if (leftOut) {
    // The effect's own numbers are not read; only that it is complete.
    size_t slash = s.rfind('/');
    if (slash == std::string_view::npos || slash < i) {
      if (what != "mixam") Fail(line, at(s.size()), "'/amplitude' expected after " + Quote(s));
    } else {
      tone.Amp = what.rfind("mix", 0) == 0 ? 0 : amplitude(slash);
    }
    tone.Kind = ToneKind::LeftOut;
    Warn(line, t.Col, "the " + what + " effect " + Quote(s) + " has no counterpart in a preset; left out");
    return tone;
  }
  size_t n = NameLength(s.substr(i));
  if (n > 0) {
    std::string word(s.substr(i, n));
    static const std::pair<const char*, NoiseColor> kNoise[] = {
        {"pink", NoiseColor::Pink}, {"white", NoiseColor::White}, {"brown", NoiseColor::Brown}};
    for (auto& [name, c] : kNoise)
      if (word == name) {
        tone.Kind = ToneKind::Noise;
        tone.Color = c;
        tone.Amp = amplitude(i + n);
        return tone;
      }
    if (word == "mix") {
      tone.Kind = ToneKind::Mix;
      tone.Amp = amplitude(i + n);
      return tone;
    }
    if (word == "bell") {
      size_t j = i + n;
      double f = 0;
      if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
      if (!Number(s, &j, &f)) Fail(line, at(j), "a bell frequency expected after 'bell+'");
      tone.Amp = amplitude(j);
      tone.Kind = ToneKind::LeftOut;
      Warn(line, t.Col, "the bell " + Quote(s) + " has no counterpart in a preset; left out");
      return tone;
    }
    Fail(line, at(i), "a tone (carrier+beat/amp, carrier@pulse/amp, pink/amp, ...) expected, not " + Quote(s));
  }
  size_t j = i;
  if (!Number(s, &j, &tone.Carrier))
    Fail(line, at(i), "a tone (carrier+beat/amp, carrier@pulse/amp, pink/amp, ...) expected, not " + Quote(s));
  if (j >= s.size()) Fail(line, at(j), "'/amplitude' expected after " + Quote(s));
  char op = s[j];
  if (op != '/' && op != '+' && op != '-' && op != '@' && op != '~' && op != 'M')
    Fail(line, at(j),
         "'+beat', '-beat', '@pulse' or '/amplitude' expected after the carrier " + Quote(s.substr(i, j - i)));
  if (op == '/') {
    tone.Kind = ToneKind::Binaural;
    tone.Amp = amplitude(j);
    return tone;
  }
  size_t k = j + 1;
  double b = 0;
  if (!Number(s, &k, &b))
    Fail(line, at(k),
         std::string("a ") + (op == '@' ? "pulse rate" : "beat frequency") + " expected after " +
             Quote(s.substr(0, j + 1)));
  if (op == '+' || op == '-') {
    tone.Kind = ToneKind::Binaural;
    tone.Beat = op == '+' ? b : -b;
  } else if (op == '@') {
    tone.Kind = ToneKind::Isochronic;
    tone.Beat = b;
  } else if (op == '~' || op == 'M') {
    // Amplitude-modulated and monaural beats of later generators.
    tone.Amp = amplitude(k);
    tone.Kind = ToneKind::LeftOut;
    Warn(line, t.Col,
         "the tone " + Quote(s) + " ('" + std::string(1, op) + "') has no counterpart in a preset; left out");
    return tone;
  }
  tone.Amp = amplitude(k);
  return tone;
}

void Reader::Define(const SrcLine& l, size_t nameLen) {
  const Tok& first = l.Toks[0];
  std::string name(first.S.substr(0, nameLen));
  if (auto it = DefinedAt.find(name); it != DefinedAt.end())
    Fail(l.No, first.Col, Quote(name) + " is defined already, on line " + std::to_string(it->second));
  DefinedAt[name] = l.No;
  // The entries: the rest of the first word after the colon, then the others.
  std::vector<Tok> specs;
  if (first.S.size() > nameLen + 1)
    specs.push_back({first.S.substr(nameLen + 1), first.Col + static_cast<int>(nameLen) + 1});
  for (size_t k = 1; k < l.Toks.size(); ++k) specs.push_back(l.Toks[k]);
  if (specs.empty())
    Fail(l.No, first.Col + static_cast<int>(nameLen) + 1, "a tone or '-' expected after " + Quote(name + ":"));
  ToneSet set;
  set.Name = name;
  set.Line = l.No;
  int tones = 0;
  for (const Tok& sp : specs) {
    if (set.Channels.size() >= MAX_CHANNELS)
      Fail(l.No, sp.Col, "the end of the tone-set expected: a tone-set has at most 16 entries");
    Tone t = ToneSpec(sp, l.No);
    if (t.Kind == ToneKind::Binaural || t.Kind == ToneKind::Isochronic) {
      if (++tones > MAX_TONES)
        Fail(l.No, sp.Col, "the end of the tone-set expected: a preset plays at most 10 tones at once");
      if (t.Shape == Wave::Sawtooth)
        Warn(l.No, sp.Col, "a sawtooth wave has no counterpart in a preset; it plays as a rectangular wave");
    }
    set.Channels.push_back(t);
  }
  SetIndex[name] = static_cast<int>(S->Sets.size());
  S->Sets.push_back(std::move(set));
}

// --- Time lines ----------------------------------------------------------------------

// hh:mm or hh:mm:ss at s[*i] in ms; the fields are checked for range.
double Reader::Clock(std::string_view s, size_t* i, const Tok& t, int line, bool relative) {
  auto at = [&](size_t j) { return t.Col + static_cast<int>(j); };
  auto field = [&](size_t j, const char* what, int max) {
    size_t k = j;
    while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
    if (k == j || k - j > 2) Fail(line, at(j), std::string(what) + " expected (two digits)");
    int v = std::stoi(std::string(s.substr(j, k - j)));
    if (v > max)
      Fail(line, at(j),
           std::string(what) + " 0-" + std::to_string(max) + " expected, not " + Quote(s.substr(j, k - j)));
    *i = k;
    return v;
  };
  size_t j = *i;
  int h = field(j, "hours", relative ? 99 : 24);
  if (*i >= s.size() || s[*i] != ':') Fail(line, at(*i), "':' and minutes expected after the hours");
  int m = field(*i + 1, "minutes", 59);
  double sec = 0;
  if (*i < s.size() && s[*i] == ':') {
    int whole = field(*i + 1, "seconds", 59);
    sec = whole;
    if (*i < s.size() && s[*i] == '.') {
      size_t k = *i + 1, start = k;
      while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
      if (k == start) Fail(line, at(k), "digits expected after the decimal point");
      sec += std::strtod(("0." + std::string(s.substr(start, k - start))).c_str(), nullptr);
      *i = k;
    }
  }
  if (!relative && h == 24 && (m > 0 || sec > 0)) Fail(line, at(j), "a clock time up to 24:00 expected");
  return ((h * 60.0 + m) * 60.0 + sec) * 1000.0;
}

Reader::Time Reader::ParseTime(const Tok& t, int line) {
  std::string_view s = t.S;
  Time r;
  size_t i = 0;
  if (s.rfind("NOW", 0) == 0) {
    r.HasAbs = r.Now = true;
    i = 3;
  } else if (!s.empty() && std::isdigit(static_cast<unsigned char>(s[0]))) {
    r.HasAbs = true;
    r.Abs = Clock(s, &i, t, line, false);
  }
  while (i < s.size()) {
    if (s[i] != '+')
      Fail(line, t.Col + static_cast<int>(i), "'+hh:mm' or the end of the time expected, not " + Quote(s.substr(i)));
    ++i;
    r.Rel += Clock(s, &i, t, line, true);
  }
  if (!r.HasAbs && r.Rel == 0 && s.empty()) Fail(line, t.Col, "a time expected");
  return r;
}

bool IsFadeCode(std::string_view s) {
  return s.size() == 2 && (s[0] == '<' || s[0] == '-' || s[0] == '=') && (s[1] == '>' || s[1] == '-' || s[1] == '=');
}

// The rest of a time line after its time: [fade code] name [->].
void Reader::Place(const SrcLine& l, size_t first, double ms, int callLine, double* prev, int depth) {
  const auto& t = l.Toks;
  size_t k = first;
  char in = '-', out = '-';
  bool codes = false;
  if (k < t.size() && IsFadeCode(t[k].S) && k + 1 < t.size()) {
    in = t[k].S[0];
    out = t[k].S[1];
    codes = true;
    ++k;
  }
  if (k >= t.size())
    Fail(l.No, t.back().Col + static_cast<int>(t.back().S.size()), "a tone-set or block name expected");
  std::string_view name = t[k].S;
  bool slide = false;
  Tok nameTok = t[k];
  if (name.size() > 2 && name.substr(name.size() - 2) == "->") {
    name.remove_suffix(2);
    slide = true;
  }
  ++k;
  if (k < t.size() && t[k].S == "->" && !slide) {
    slide = true;
    ++k;
  }
  if (k < t.size()) Fail(l.No, t[k].Col, "the end of the line expected, not " + Quote(t[k].S));
  if (ms < *prev - 1e-6)
    Fail(l.No, t[0].Col, "a time at or after the previous line's expected: this one goes backwards");
  if (auto b = Blocks.find(name); b != Blocks.end()) {
    if (codes || slide) Fail(l.No, nameTok.Col, "a block is called without fade marks or '->'");
    if (depth >= MAX_BLOCK_DEPTH) Fail(l.No, nameTok.Col, "blocks nest more than 32 deep (a block that calls itself?)");
    for (const SrcLine& bl : b->second.Lines) Expand(bl, ms, depth + 1, callLine, prev);
    return;
  }
  auto it = SetIndex.find(name);
  if (it == SetIndex.end() && name == "alloff") {
    // Silence, when the session does not define it otherwise.
    ToneSet off;
    off.Name = "alloff";
    it = SetIndex.emplace("alloff", static_cast<int>(S->Sets.size())).first;
    S->Sets.push_back(off);
  }
  if (it == SetIndex.end())
    Fail(l.No, nameTok.Col, "a defined tone-set or block expected: " + Quote(name) + " is not defined");
  if (S->Lines.size() >= MAX_EXPANDED)
    Fail(callLine, 1, "at most 100000 time lines expected: the blocks expand to more");
  TimeLine tl;
  tl.Ms = ms;
  tl.Set = it->second;
  tl.FadeIn = in;
  tl.FadeOut = out;
  tl.Slide = slide;
  tl.Line = callLine;
  tl.Column = t[0].Col;
  S->Lines.push_back(tl);
  *prev = ms;
}

void Reader::Expand(const SrcLine& l, double base, int depth, int callLine, double* prev) {
  Time tm = ParseTime(l.Toks[0], l.No);
  if (tm.HasAbs) Fail(l.No, l.Toks[0].Col, "a relative time (+hh:mm) expected inside a block");
  Place(l, 1, base + tm.Rel, callLine, prev, depth);
}

void Reader::Timeline(int lastLine) {
  double prev = -1e300;
  bool haveAbs = false;
  double lastAbs = 0, day = 0;
  for (const SrcLine& l : TimeLines) {
    Time tm = ParseTime(l.Toks[0], l.No);
    double base;
    if (tm.HasAbs) {
      if (tm.Now) {
        UsesNow = true;
        base = 0;
      } else {
        UsesClock = true;
        base = day + tm.Abs;
        // A clock time earlier in the day than the previous line is the next day.
        if (prev > -1e300 && base < prev) {
          day += DAY_MS;
          base += DAY_MS;
        }
      }
      if (UsesNow && UsesClock) Fail(l.No, l.Toks[0].Col, "NOW or clock times expected, not both in one session");
      haveAbs = true;
      lastAbs = base;
    } else {
      if (!haveAbs)
        Fail(l.No, l.Toks[0].Col, "an absolute time (NOW or hh:mm) expected before the first relative time");
      base = lastAbs;
    }
    if (l.Toks.size() < 2)
      Fail(l.No, l.Toks[0].Col + static_cast<int>(l.Toks[0].S.size()),
           "a tone-set or block name expected after the time");
    Place(l, 1, base + tm.Rel, l.No, &prev, 0);
  }
  if (S->Lines.empty()) Fail(lastLine, 1, "time lines expected: the session has none");
  if (S->Lines.size() < 2)
    Fail(S->Lines[0].Line, S->Lines[0].Column,
         "a second time line expected: a session plays from its first time line to its last");
  double t0 = S->Lines.front().Ms;
  for (TimeLine& tl : S->Lines) {
    tl.Ms -= t0;
    if (tl.Ms > DAY_MS + 1e-6) Fail(tl.Line, tl.Column, "a time within 24 hours of the first expected");
  }
}

void Reader::Read(std::string_view text) {
  std::vector<std::string_view> raw;
  for (size_t i = 0; i <= text.size();) {
    size_t e = text.find_first_of("\r\n", i);
    if (e == std::string_view::npos) e = text.size();
    raw.push_back(text.substr(i, e - i));
    if (e < text.size() && text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n') ++e;
    i = e + 1;
    if (e >= text.size()) break;
  }
  bool inDescription = false, descriptionDone = false;
  Block* open = nullptr;
  int lineNo = 0;
  for (std::string_view line : raw) {
    ++lineNo;
    size_t lead = line.find_first_not_of(" \t");
    std::string_view body = lead == std::string_view::npos ? std::string_view() : line.substr(lead);
    if (body.rfind("##", 0) == 0 && !descriptionDone) {
      std::string_view d = body.substr(2);
      if (!d.empty() && (d[0] == ' ' || d[0] == '\t')) d.remove_prefix(1);
      while (!d.empty() && std::isspace(static_cast<unsigned char>(d.back()))) d.remove_suffix(1);
      if (inDescription) S->Description += '\n';
      S->Description += d;
      inDescription = true;
      continue;
    }
    if (inDescription) descriptionDone = true;
    size_t hash = line.find('#');
    std::string_view code = hash == std::string_view::npos ? line : line.substr(0, hash);
    SrcLine l;
    l.No = lineNo;
    l.Toks = Tokens(code);
    if (l.Toks.empty()) continue;
    std::string_view first = l.Toks[0].S;
    if (open) {
      if (first == "}") {
        if (l.Toks.size() > 1) Fail(lineNo, l.Toks[1].Col, "the end of the line expected after '}'");
        open = nullptr;
        continue;
      }
      if (NameLength(first) > 0 && first.find(':') != std::string_view::npos && first.rfind("NOW", 0) != 0)
        Fail(lineNo, l.Toks[0].Col, "'}' expected to end the block " + Quote(open->Name) + " before a definition");
      open->Lines.push_back(std::move(l));
      continue;
    }
    if (first[0] == '-' && first.size() > 1 && std::isalpha(static_cast<unsigned char>(first[1]))) {
      Options(l);
      continue;
    }
    if (first[0] == '+' || std::isdigit(static_cast<unsigned char>(first[0])) ||
        (first.rfind("NOW", 0) == 0 && (first.size() == 3 || first[3] == '+'))) {
      TimeLines.push_back(std::move(l));
      continue;
    }
    size_t n = NameLength(first);
    if (n == 0)
      Fail(lineNo, l.Toks[0].Col, "a tone-set definition, a time line or an option expected, not " + Quote(first));
    bool colon = n < first.size() && first[n] == ':';
    if (!colon) {
      if (n == first.size() && l.Toks.size() > 1 && l.Toks[1].S.rfind(":", 0) == 0)
        Fail(lineNo, l.Toks[1].Col, "':' expected right after the name " + Quote(first));
      Fail(lineNo, l.Toks[0].Col + static_cast<int>(n), "':' expected after the name " + Quote(first.substr(0, n)));
    }
    // A block: "name: {" (or "name:{").
    bool block = (first.size() == n + 2 && first[n + 1] == '{' && l.Toks.size() == 1) ||
                 (first.size() == n + 1 && l.Toks.size() == 2 && l.Toks[1].S == "{");
    if (block) {
      std::string name(first.substr(0, n));
      if (auto it = DefinedAt.find(name); it != DefinedAt.end())
        Fail(lineNo, l.Toks[0].Col, Quote(name) + " is defined already, on line " + std::to_string(it->second));
      DefinedAt[name] = lineNo;
      Block& b = Blocks[name];
      b.Name = name;
      b.Line = lineNo;
      b.Column = l.Toks[0].Col;
      open = &b;
      continue;
    }
    Define(l, n);
  }
  if (open)
    Fail(open->Line, open->Column,
         "'}' expected to end the block " + Quote(open->Name) + " (it runs to the end of the file)");
  Timeline(lineNo);
}

}  // namespace

bool ParseSession(std::string_view text, Session* s, std::vector<SbgMessage>* warnings, SbgMessage* error) {
  *s = Session{};
  try {
    Reader r(s, warnings);
    r.Read(text);
    return true;
  } catch (const Failure& f) {
    *error = f.M;
    return false;
  }
}

}  // namespace sbg

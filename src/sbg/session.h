// A sequence file as read: its tone-sets and its time lines, with the times
// resolved (blocks expanded, relative times added, the first time line at 0)
// and every entry's place in the file. The reader (parse.cpp) makes it; the
// score (score.cpp) turns it into what each channel plays.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "sbg/sbg.h"

namespace sbg {

enum class ToneKind : unsigned char {
  Off,         // "-": the channel is not in use
  Binaural,    // carrier+beat/amp, carrier-beat/amp, carrier/amp
  Isochronic,  // carrier@pulse/amp
  Noise,       // pink/amp, white/amp, brown/amp
  Mix,         // mix/amp: the background file's level
  LeftOut,     // bells, spinning noise, effects on the mix: no counterpart
};
enum class Wave : unsigned char { Sine, Square, Triangle, Sawtooth };
enum class NoiseColor : unsigned char { White, Pink, Brown };

struct Tone {
  ToneKind Kind = ToneKind::Off;
  Wave Shape = Wave::Sine;
  NoiseColor Color = NoiseColor::Pink;
  double Carrier = 0;
  double Beat = 0;  // as written: '+' positive, '-' negative; the pulse rate of an isochronic tone
  double Amp = 0;   // 0-100 (more is scaled down with the rest of its set)
  int Line = 0, Column = 0;
};

struct ToneSet {
  std::string Name;
  std::vector<Tone> Channels;
  int Line = 0;
};

struct TimeLine {
  double Ms = 0;  // from the first time line
  int Set = 0;    // index into Session::Sets
  char FadeIn = '-', FadeOut = '-';
  bool Slide = false;  // "->": the whole period is the change-over to the next line
  int Line = 0, Column = 0;
};

struct Session {
  std::string Description;         // the first block of "##" lines
  double FadeMs = 60000;           // -F: the change-over at a time line
  bool Normalize = true;           // a set of more than 100 % is scaled down (off with -N)
  Wave DefaultShape = Wave::Sine;  // -w
  std::string MixFile;             // -m
  int MixLine = 0, MixColumn = 0;
  int Rate = 0;  // -r
  std::vector<ToneSet> Sets;
  std::vector<TimeLine> Lines;
};

// Reads the text of a sequence file. False with *error (its line and column)
// when the file is not one; the warnings say what was ignored.
bool ParseSession(std::string_view text, Session* s, std::vector<SbgMessage>* warnings, SbgMessage* error);

}  // namespace sbg

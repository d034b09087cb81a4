// What a session plays, channel by channel, from its first time line to its
// last: every tone, noise and mix level as pieces that begin and end in
// silence (or at the session's ends), with linear keyframes in between.
//
// The change-overs are the generators': a change-over of the fade time (-F,
// one minute by default) centred on each time line; during it a channel whose
// tone goes on at the same frequency changes its level linearly, one whose
// tone may slide ("==" on both sides, or a "->" period) slides frequency and
// level, and any other fades out to silence at the middle while the next one
// fades in ('<' and '>' force this for every channel). A line carrying "->"
// makes its whole period the change-over to the next line, and starts at its
// own set's full level: the change-over into it lies before its time. The
// session opens in the change-over that wraps round from its last set.
#pragma once
#include <vector>

#include "sbg/session.h"

namespace sbg {

struct Key {
  double T = 0;  // ms from the session's start
  double Carrier = 0;
  double Beat = 0;  // as written ('+' positive); the pulse rate of an isochronic tone
  double Amp = 0;   // share of full scale in percent, after the set's scaling
};

struct Piece {
  ToneKind Kind = ToneKind::Off;
  Wave Shape = Wave::Sine;
  NoiseColor Color = NoiseColor::Pink;
  int Channel = 0;
  int Line = 0;  // the time line where it begins
  std::vector<Key> Keys;
  double Start() const { return Keys.front().T; }
  double End() const { return Keys.back().T; }
};

struct Score {
  double LengthMs = 0;
  std::vector<Piece> Tones;  // binaural and isochronic, by start
  std::vector<Piece> Noise;  // one after another, never at once
  std::vector<Piece> Mix;
  // Where each time line begins, for messages about a time.
  std::vector<std::pair<double, int>> LineAt;
  int LineOfTime(double ms) const;
};

// The score of a parsed session (warnings for what is merged or dropped).
void BuildScore(const Session& s, Score* out, std::vector<SbgMessage>* warnings);

}  // namespace sbg

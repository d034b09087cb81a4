#include "sbg/score.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sbg {
namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

bool Plays(const Tone& t) {
  return t.Kind == ToneKind::Binaural || t.Kind == ToneKind::Isochronic || t.Kind == ToneKind::Noise ||
         t.Kind == ToneKind::Mix;
}

bool SameKind(const Tone& a, const Tone& b) {
  if (a.Kind != b.Kind || !Plays(a)) return false;
  if (a.Kind == ToneKind::Noise) return a.Color == b.Color;
  if (a.Kind == ToneKind::Mix) return true;
  return a.Shape == b.Shape;
}

bool SameFrequency(const Tone& a, const Tone& b) { return a.Carrier == b.Carrier && a.Beat == b.Beat; }

// The sets as they play: amplitudes scaled down where they add up to more
// than 100 %, several noises (or mix entries) of one set joined into one.
std::vector<ToneSet> PlayedSets(const Session& s, std::vector<SbgMessage>* w) {
  std::vector<ToneSet> sets = s.Sets;
  bool mixUsed = false;
  for (ToneSet& set : sets) {
    double total = 0;
    for (const Tone& t : set.Channels) total += t.Amp;
    if (s.Normalize && total > 100)
      for (Tone& t : set.Channels) t.Amp *= 100 / total;
    int noise = -1, mix = -1;
    for (size_t c = 0; c < set.Channels.size(); ++c) {
      Tone& t = set.Channels[c];
      if (t.Kind == ToneKind::Noise) {
        if (noise < 0) {
          noise = static_cast<int>(c);
          continue;
        }
        // Two independent noises add in power; the louder gives the colour.
        Tone& n = set.Channels[static_cast<size_t>(noise)];
        if (t.Amp > n.Amp) n.Color = t.Color;
        n.Amp = std::sqrt(n.Amp * n.Amp + t.Amp * t.Amp);
        w->push_back(
            {t.Line, t.Column, "a preset plays one noise at a time: this one is joined to the noise before it"});
        t.Kind = ToneKind::Off;
      } else if (t.Kind == ToneKind::Mix) {
        if (s.MixFile.empty()) {
          if (!mixUsed)
            w->push_back({t.Line, t.Column, "mix/ sets the level of a background file, and no -m names one; left out"});
          mixUsed = true;
          t.Kind = ToneKind::Off;
          continue;
        }
        mixUsed = true;
        if (mix < 0) {
          mix = static_cast<int>(c);
          continue;
        }
        set.Channels[static_cast<size_t>(mix)].Amp += t.Amp;
        t.Kind = ToneKind::Off;
      }
    }
  }
  // A background file without any mix/ entry plays at its own level.
  if (!s.MixFile.empty() && !mixUsed)
    for (ToneSet& set : sets) {
      Tone t;
      t.Kind = ToneKind::Mix;
      t.Amp = 100;
      set.Channels.push_back(t);
    }
  return sets;
}

struct Builder {
  std::vector<std::vector<Piece>> Done;  // per channel
  std::vector<int> Open;                 // per channel: index of the open piece in Done, -1 none

  void Ensure(size_t channels) {
    if (Done.size() < channels) {
      Done.resize(channels);
      Open.resize(channels, -1);
    }
  }
  Piece& Current(size_t c, const Tone& t, int line) {
    if (Open[c] < 0) {
      Piece p;
      p.Kind = t.Kind;
      p.Shape = t.Shape;
      p.Color = t.Color;
      p.Channel = static_cast<int>(c);
      p.Line = line;
      Done[c].push_back(p);
      Open[c] = static_cast<int>(Done[c].size()) - 1;
    }
    return Done[c][static_cast<size_t>(Open[c])];
  }
  void Key(size_t c, const Tone& t, double at, double amp, int line) {
    Piece& p = Current(c, t, line);
    sbg::Key k{at, t.Carrier, t.Beat, amp};
    if (!p.Keys.empty()) {
      const sbg::Key& b = p.Keys.back();
      if (b.T == k.T && b.Carrier == k.Carrier && b.Beat == k.Beat && b.Amp == k.Amp) return;
    }
    p.Keys.push_back(k);
  }
  void Close(size_t c) { Open[c] = -1; }
};

const Tone& ChannelOf(const ToneSet& s, size_t c) {
  static const Tone off;
  return c < s.Channels.size() ? s.Channels[c] : off;
}

// One span of the timeline: from set x to set y over [a, b]; a hold when x
// and y are the same line's set and nothing changes.
void Span(Builder& bd, const ToneSet& x, const ToneSet& y, double a, double b, bool hold, bool glide, bool forced,
          int lineX, int lineY) {
  size_t n = std::max(x.Channels.size(), y.Channels.size());
  bd.Ensure(n);
  double m = (a + b) / 2;
  for (size_t c = 0; c < n; ++c) {
    const Tone& tx = ChannelOf(x, c);
    const Tone& ty = ChannelOf(y, c);
    bool px = Plays(tx), py = Plays(ty);
    if (hold) {
      if (px) {
        bd.Key(c, tx, a, tx.Amp, lineX);
        bd.Key(c, tx, b, tx.Amp, lineX);
      }
      continue;
    }
    if (px && py && SameKind(tx, ty) && !forced && (SameFrequency(tx, ty) || glide)) {
      bd.Key(c, tx, a, tx.Amp, lineX);
      bd.Key(c, ty, b, ty.Amp, lineX);
      continue;
    }
    if (px) {
      bd.Key(c, tx, a, tx.Amp, lineX);
      bd.Key(c, tx, m, 0, lineX);
      bd.Close(c);
    }
    if (py) {
      bd.Key(c, ty, m, 0, lineY);
      bd.Key(c, ty, b, ty.Amp, lineY);
    }
  }
}

// A piece cut to [0, length], with keyframes interpolated at the cuts; false
// when nothing of it is left.
bool Clip(Piece& p, double length) {
  auto at = [&](double t) {
    const std::vector<Key>& k = p.Keys;
    if (t <= k.front().T) return k.front();
    for (size_t i = 0; i + 1 < k.size(); ++i)
      if (t <= k[i + 1].T) {
        double span = k[i + 1].T - k[i].T;
        double f = span > 0 ? (t - k[i].T) / span : 1;
        Key r;
        r.T = t;
        r.Carrier = k[i].Carrier + (k[i + 1].Carrier - k[i].Carrier) * f;
        r.Beat = k[i].Beat + (k[i + 1].Beat - k[i].Beat) * f;
        r.Amp = k[i].Amp + (k[i + 1].Amp - k[i].Amp) * f;
        return r;
      }
    return k.back();
  };
  if (p.Keys.empty() || p.End() < 0 || p.Start() > length) return false;
  if (p.End() == 0 && p.Start() < 0) return false;
  std::vector<Key> out;
  if (p.Start() < 0) out.push_back(at(0));
  for (const Key& k : p.Keys)
    if (k.T >= 0 && k.T <= length) out.push_back(k);
  if (p.End() > length) out.push_back(at(length));
  // A piece that lasts no time, or is silent from end to end, plays nothing.
  if (out.empty() || out.back().T <= out.front().T) return false;
  bool audible = false;
  for (const Key& k : out) audible = audible || k.Amp > 0;
  p.Keys = std::move(out);
  return audible;
}

// The audible runs of a piece: where it stays silent for a while (two
// keyframes at 0 in a row) it ends, and a new piece begins where it rises.
std::vector<Piece> SplitAtSilence(const Piece& p) {
  std::vector<Piece> out;
  Piece cur = p;
  cur.Keys.clear();
  for (size_t i = 0; i < p.Keys.size(); ++i) {
    const Key& k = p.Keys[i];
    bool quietRun = k.Amp == 0 && !cur.Keys.empty() && cur.Keys.back().Amp == 0;
    if (quietRun) {
      if (cur.Keys.size() >= 2) out.push_back(cur);
      cur.Keys.clear();
    }
    cur.Keys.push_back(k);
  }
  if (cur.Keys.size() >= 2) out.push_back(cur);
  // Runs with nothing audible in them are dropped.
  std::vector<Piece> audible;
  for (Piece& q : out) {
    bool any = false;
    for (const Key& k : q.Keys) any = any || k.Amp > 0;
    if (any && q.End() > q.Start()) audible.push_back(std::move(q));
  }
  return audible;
}

}  // namespace

int Score::LineOfTime(double ms) const {
  int line = LineAt.empty() ? 0 : LineAt.front().second;
  for (auto [t, l] : LineAt)
    if (t <= ms) line = l;
  return line;
}

void BuildScore(const Session& s, Score* out, std::vector<SbgMessage>* w) {
  *out = Score{};
  std::vector<ToneSet> sets = PlayedSets(s, w);
  const std::vector<TimeLine>& L = s.Lines;
  const size_t n = L.size();
  out->LengthMs = L.back().Ms;
  for (const TimeLine& l : L) out->LineAt.emplace_back(l.Ms, l.Line);

  // The change-over at each time line: none when the previous line slides
  // into it; before it when it slides itself; else centred on it. Each
  // change-over takes at most half of a period next to it.
  struct Window {
    bool On = false;
    double A = 0, B = 0;
  };
  std::vector<Window> win(n);
  const double f = s.FadeMs;
  for (size_t i = 0; i < n; ++i) {
    size_t prev = i == 0 ? n - 1 : i - 1;
    double lenPrev = i == 0 ? INF : L[i].Ms - L[prev].Ms;
    double lenCur = i + 1 < n ? L[i + 1].Ms - L[i].Ms : INF;
    if (L[prev].Slide) continue;
    Window& wi = win[i];
    wi.On = true;
    if (L[i].Slide) {
      double half = std::min(f, lenPrev / 2);
      wi.A = L[i].Ms - half;
      wi.B = L[i].Ms;
    } else {
      double half = std::min({f / 2, lenPrev / 2, lenCur / 2});
      wi.A = L[i].Ms - half;
      wi.B = L[i].Ms + half;
    }
  }

  Builder bd;
  for (size_t i = 0; i < n; ++i) {
    size_t prev = i == 0 ? n - 1 : i - 1;
    const ToneSet& cur = sets[static_cast<size_t>(L[i].Set)];
    if (win[i].On) {
      const ToneSet& from = sets[static_cast<size_t>(L[prev].Set)];
      bool forced = L[prev].FadeOut == '>' || L[i].FadeIn == '<';
      bool glide = L[prev].FadeOut == '=' && L[i].FadeIn == '=';
      Span(bd, from, cur, win[i].A, win[i].B, false, glide, forced, L[prev].Line, L[i].Line);
    }
    if (i + 1 >= n) break;
    if (L[i].Slide) {
      const ToneSet& next = sets[static_cast<size_t>(L[i + 1].Set)];
      bool forced = L[i].FadeOut == '>' || L[i + 1].FadeIn == '<';
      Span(bd, cur, next, L[i].Ms, L[i + 1].Ms, false, true, forced, L[i].Line, L[i + 1].Line);
    } else {
      double a = win[i].On ? std::max(win[i].B, L[i].Ms) : L[i].Ms;
      double b = win[i + 1].On ? std::min(win[i + 1].A, L[i + 1].Ms) : L[i + 1].Ms;
      if (b > a) Span(bd, cur, cur, a, b, true, false, false, L[i].Line, L[i].Line);
    }
  }

  for (auto& channel : bd.Done)
    for (Piece& whole : channel) {
      if (!Clip(whole, out->LengthMs)) continue;
      for (Piece& p : SplitAtSilence(whole)) {
        if (p.Kind == ToneKind::Noise)
          out->Noise.push_back(std::move(p));
        else if (p.Kind == ToneKind::Mix)
          out->Mix.push_back(std::move(p));
        else
          out->Tones.push_back(std::move(p));
      }
    }
  auto byStart = [](const Piece& a, const Piece& b) {
    return a.Start() < b.Start() || (a.Start() == b.Start() && a.Channel < b.Channel);
  };
  std::stable_sort(out->Tones.begin(), out->Tones.end(), byStart);
  std::stable_sort(out->Noise.begin(), out->Noise.end(), byStart);
  std::stable_sort(out->Mix.begin(), out->Mix.end(), byStart);
}

}  // namespace sbg

#include "lightchk/lightdec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>

namespace {

constexpr double kReferenceHz = 17000.0;
constexpr double kBlockSeconds = 1.0 / LIGHT_BLOCKS_PER_SECOND;
// Flashes slower than one in this many seconds are a carrier that changes
// level, not a flash.
constexpr double kMaxPeriod = 4.0;
constexpr double kTileSeconds = 0.01;
// The threshold window of a sample spans up to kHalfWindow tiles either side
// (1.25 s), so the detection runs that far behind the envelope.
constexpr int kHalfWindow = 125;
constexpr int kTiles = 2 * kHalfWindow + 2;
constexpr int kMaxSmoothing = 16;
// A block's carrier must stand this far above the noise floor.
constexpr float kAboveNoiseDb = 12.0f;
// A flash must swing further than this many times the noise floor.
constexpr float kFlashOverNoise = 6.0f;

using v4sf = float __attribute__((vector_size(16)));

// Two dot products of x with the windowed cosine and sine, four taps a step.
inline void Bin(const float* x, const float* re, const float* im, int n, float* outRe, float* outIm) {
  v4sf sr = {0, 0, 0, 0}, si = {0, 0, 0, 0};
  for (int i = 0; i < n; i += 4) {
    v4sf a, c, s;
    std::memcpy(&a, x + i, sizeof a);
    std::memcpy(&c, re + i, sizeof c);
    std::memcpy(&s, im + i, sizeof s);
    sr += a * c;
    si += a * s;
  }
  *outRe = sr[0] + sr[1] + sr[2] + sr[3];
  *outIm = si[0] + si[1] + si[2] + si[3];
}

float Db(double amplitude) {
  return amplitude > 1e-10 ? static_cast<float>(20.0 * std::log10(amplitude)) : LIGHT_NO_LEVEL;
}
double Amplitude(float db) { return db <= LIGHT_NO_LEVEL ? 0.0 : std::pow(10.0, db / 20.0); }

// What a block gathers while it is open.
struct OpenBlock {
  double EnvSum = 0, RefSum = 0;
  int EnvN = 0, RefN = 0;
  float EnvMax = 0;
  // Flash cycles laid over the block: cycles, the time they cover, and
  // their highest and lowest envelope weighted by that time.
  double Cycles = 0, Covered = 0, PeakSum = 0, TroughSum = 0;
};

struct Interval {
  double A, B;  // rising crossings
  float Peak, Trough;
  double F;  // the falling crossing between them, -1 when none was seen
};

struct Eye {
  // The envelope since the oldest sample not yet run through the flash
  // detection, and per tile its highest and lowest value and the noise
  // floor, in rings.
  std::vector<float> Env;
  int64_t EnvCount = 0, Done = 0;
  float TileMax[kTiles], TileMin[kTiles];
  double TileRef[kTiles];
  int TileRefN[kTiles];
  int64_t TileCount = 0;
  int TileSamples = 0;
  float CurMax = 0, CurMin = 0;
  double CurRef = 0;
  int CurRefN = 0;
  // Detection: thresholds of the tile under way.
  int64_t ThresholdTile = -1;
  float Mid = 0, Low = 0, High = 0;
  bool Plausible = false, Armed = false, ArmedFall = false, Noisy = false;
  float PrevEnv = 0;
  double PrevT = 0;
  // Flash cycles.
  bool HaveCross = false;
  double LastCross = 0;
  double LastFall = -1;  // the last falling crossing
  float CycleMax = 0, CycleMin = 0;
  double Period = 0;    // the last accepted cycle's length, 0 when none
  Interval Last{};      // and that cycle
  double Duty = 0.5;    // the part of it before its falling crossing
  bool LastOk = false;  // whether the last settled cycle was accepted
  std::deque<Interval> Open;
  double PrevLen = 0;  // the settled cycle just before Open, 0 when none
  double Settled = 0;  // time up to which cycles are laid over the blocks
};

}  // namespace

struct LightDecoder {
  int Rate = 0, Channels = 0, Eyes = 0;
  bool Carries = false;
  LightLevels Levels;
  int Hop = 0, Len = 0;
  std::vector<float> CarRe, CarIm, RefRe, RefIm;
  float Scale = 0;  // amplitude of a sine per unit of bin magnitude
  std::vector<float> Buf[2];
  int64_t BufStart = 0;    // absolute frame of Buf[c][0]
  int64_t NextWindow = 0;  // absolute frame where the next window starts
  int64_t WindowCount = 0;
  int64_t Frames = 0;
  int TileLen = 1;
  double EnvStep = 0;
  Eye E[2];
  // Open blocks from BlockBase on, complete ones in Blocks.
  std::deque<OpenBlock> Pending[2];
  int64_t BlockBase = 0;
  std::vector<LightBlock> Blocks;
  // Per complete block: the flash cycles counted and the time they cover.
  std::vector<float> Cycles[2], Covered[2];
  bool Finished = false;
};

namespace {

void MakeBin(double hz, int rate, int len, std::vector<float>* re, std::vector<float>* im) {
  re->resize(static_cast<size_t>(len));
  im->resize(static_cast<size_t>(len));
  for (int n = 0; n < len; ++n) {
    double x = 2 * M_PI * n / (len - 1);
    double w = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2 * x);
    double ph = 2 * M_PI * hz * n / rate;
    (*re)[static_cast<size_t>(n)] = static_cast<float>(w * std::cos(ph));
    (*im)[static_cast<size_t>(n)] = static_cast<float>(-w * std::sin(ph));
  }
}

OpenBlock& BlockAt(LightDecoder* d, int e, double t) {
  int64_t b = std::max<int64_t>(static_cast<int64_t>(t / kBlockSeconds), d->BlockBase);
  auto& q = d->Pending[e];
  while (static_cast<int64_t>(q.size()) <= b - d->BlockBase) q.emplace_back();
  return q[static_cast<size_t>(b - d->BlockBase)];
}

// Lays an accepted cycle of `len` seconds over the blocks that [c.A, c.B)
// touches (the whole cycle, or the part of one that the sound cuts off).
void LayCycle(LightDecoder* d, int e, const Interval& c, double len) {
  int64_t first = std::max<int64_t>(static_cast<int64_t>(c.A / kBlockSeconds), d->BlockBase);
  int64_t last = std::max<int64_t>(static_cast<int64_t>(c.B / kBlockSeconds), first);
  for (int64_t k = first; k <= last; ++k) {
    double a = std::max(c.A, static_cast<double>(k) * kBlockSeconds);
    double b = std::min(c.B, static_cast<double>(k + 1) * kBlockSeconds);
    if (b <= a) continue;
    OpenBlock& o = BlockAt(d, e, (static_cast<double>(k) + 0.5) * kBlockSeconds);
    double part = b - a;
    o.Cycles += part / len;
    o.Covered += part;
    o.PeakSum += c.Peak * part;
    o.TroughSum += c.Trough * part;
  }
}

// Settles the oldest open cycle, judged against the cycle before it (prev,
// 0 when none) and after it (next, 0 when none): a cycle far longer than
// both neighbours hides a missed crossing, one far shorter is a false
// crossing; either is left out rather than counted wrong.
void SettleFront(LightDecoder* d, int e, double next) {
  Eye& y = d->E[e];
  Interval c = y.Open.front();
  y.Open.pop_front();
  double len = c.B - c.A, prev = y.PrevLen;
  bool ok = true;
  if (prev > 0 && next > 0) {
    ok = len <= 1.6 * std::max(prev, next) && len >= 0.6 * std::min(prev, next);
  } else if (prev > 0 || next > 0) {
    double n = prev > 0 ? prev : next;
    ok = len <= 1.9 * n && len >= 0.5 * n;
  }
  if (ok) {
    double q = c.F > c.A ? (c.F - c.A) / len : 0.5;
    LayCycle(d, e, c, len);
    y.Period = len;
    y.Last = c;
    y.Duty = q;
  }
  y.LastOk = ok;
  y.PrevLen = len;
  y.Settled = c.B;
}

// No cycle can begin before `now` any more: everything open is settled.
void SettleAll(LightDecoder* d, int e, double now) {
  Eye& y = d->E[e];
  while (!y.Open.empty()) {
    double next = y.Open.size() > 1 && y.Open[1].A == y.Open[0].B ? y.Open[1].B - y.Open[1].A : 0;
    SettleFront(d, e, next);
  }
  // A flash that ends (or a sound that ends during one) counts the part of
  // a cycle up to a falling crossing after its last cycle, at the duty of
  // that cycle.
  if (y.LastOk && y.Last.B == y.LastCross && y.Last.F > 0 && y.LastFall > y.LastCross &&
      y.LastFall - y.LastCross < 1.5 * y.Duty * y.Period)
    LayCycle(d, e, {y.LastCross, y.LastFall, y.Last.Peak, y.Last.Trough, -1}, (y.LastFall - y.LastCross) / y.Duty);
  y.LastOk = false;
  y.PrevLen = 0;
  y.Settled = std::max(y.Settled, now);
}

void Crossing(LightDecoder* d, int e, double t) {
  Eye& y = d->E[e];
  if (y.HaveCross && t - y.LastCross <= kMaxPeriod) {
    double f = y.LastFall > y.LastCross ? y.LastFall : -1;
    y.Open.push_back({y.LastCross, t, y.CycleMax, y.CycleMin, f});
    while (y.Open.size() >= 2) SettleFront(d, e, y.Open[1].B - y.Open[1].A);
  } else {
    SettleAll(d, e, t);
  }
  y.HaveCross = true;
  y.LastCross = t;
}

double EnvTime(const LightDecoder* d, int64_t k) {
  return (static_cast<double>(k) * d->Hop + (d->Len - 1) / 2.0) / d->Rate;
}

// Tiles either side of a sample whose extremes set its thresholds: 1.1
// flash periods (0.6 s while no flash is known).
int HalfWindow(const Eye& y) {
  double period = y.Period > 0 ? y.Period : 0.6 / 1.1;
  return std::clamp(static_cast<int>(1.1 * period / kTileSeconds + 0.5), 5, kHalfWindow);
}

// The thresholds of tile j from the tiles around it: the middle between
// the highest and the lowest envelope, and a quarter up from the lowest,
// below which the next crossing is armed. A swing that is small against
// the carrier or the noise floor is no flash.
void Thresholds(Eye& y, int64_t j) {
  int h = HalfWindow(y);
  int64_t from = std::max<int64_t>(0, j - h), to = std::min(y.TileCount - 1, j + h);
  float hi = 0, lo = 0;
  double ref = 0;
  int refN = 0;
  for (int64_t i = from; i <= to; ++i) {
    int k = static_cast<int>(i % kTiles);
    if (i == from || y.TileMax[k] > hi) hi = y.TileMax[k];
    if (i == from || y.TileMin[k] < lo) lo = y.TileMin[k];
    ref += y.TileRef[k];
    refN += y.TileRefN[k];
  }
  float noise = refN > 0 ? static_cast<float>(ref / refN) : 0.0f;
  float range = hi - lo;
  y.Plausible = to >= from && range > 0.1f * hi && range > kFlashOverNoise * noise && Db(hi) >= LIGHT_FLOOR_DB;
  y.Noisy = noise > 0.02f * range;
  y.Mid = lo + 0.5f * range;
  y.Low = lo + 0.25f * range;
  y.High = lo + 0.75f * range;
  y.ThresholdTile = j;
}

// Envelope samples either side that the detection averages: up to 2 ms,
// at most 2.5 % of the flash period, and the whole 2.5 % where the noise
// floor is more than 2 % of the swing. It evens out the ripple lossy codecs
// leave on a carrier (about 1 dB, which goggles do not follow) and the
// noise, and rounds off the top of a triangular flash by 2 % of its swing
// at most.
int Smoothing(const LightDecoder* d, const Eye& y) {
  double period = y.Period > 0 ? y.Period : 0.1;
  double each = y.Noisy ? 0.025 * period : std::min(0.002, 0.025 * period);
  return std::clamp(static_cast<int>(each / d->EnvStep + 0.5), 0, kMaxSmoothing);
}

// Runs envelope sample k through the flash detection: rising and falling
// crossings of the middle, each armed by the envelope passing the quarter
// beyond it.
void Detect(LightDecoder* d, int e, int64_t k) {
  Eye& y = d->E[e];
  int64_t tile = k / d->TileLen;
  if (tile != y.ThresholdTile) Thresholds(y, tile);
  const int64_t ring = static_cast<int64_t>(y.Env.size());
  int h = Smoothing(d, y);
  int64_t from = std::max<int64_t>(0, k - h), to = std::min(y.EnvCount - 1, k + h);
  double sum = 0;
  for (int64_t i = from; i <= to; ++i) sum += y.Env[static_cast<size_t>(i % ring)];
  float env = static_cast<float>(sum / static_cast<double>(to - from + 1));
  double t = EnvTime(d, k);
  if (y.Plausible) {
    if (env < y.Low) y.Armed = true;
    if (env > y.High) y.ArmedFall = true;
    if (y.Armed && y.PrevEnv < y.Mid && env >= y.Mid) {
      double f = (y.Mid - y.PrevEnv) / static_cast<double>(env - y.PrevEnv);
      Crossing(d, e, y.PrevT + f * (t - y.PrevT));
      y.Armed = false;
      y.CycleMax = y.CycleMin = env;
    } else if (y.ArmedFall && y.PrevEnv > y.Mid && env <= y.Mid) {
      double f = (y.PrevEnv - y.Mid) / static_cast<double>(y.PrevEnv - env);
      y.LastFall = y.PrevT + f * (t - y.PrevT);
      y.ArmedFall = false;
    }
  } else {
    y.Armed = y.ArmedFall = false;
  }
  y.CycleMax = std::max(y.CycleMax, env);
  y.CycleMin = std::min(y.CycleMin, env);
  y.PrevEnv = env;
  y.PrevT = t;
  // A flash that stopped: what is open can be settled.
  if (!y.HaveCross || t - y.LastCross > kMaxPeriod) SettleAll(d, e, t);
}

// Detects every sample whose window is complete (all of them at the end).
void DetectReady(LightDecoder* d, int e, bool all) {
  Eye& y = d->E[e];
  while (y.Done < y.EnvCount) {
    int64_t tile = y.Done / d->TileLen;
    if (!all && tile + HalfWindow(y) >= y.TileCount) return;
    Detect(d, e, y.Done++);
  }
}

void EndTile(Eye& y) {
  int k = static_cast<int>(y.TileCount % kTiles);
  y.TileMax[k] = y.CurMax;
  y.TileMin[k] = y.CurMin;
  y.TileRef[k] = y.CurRef;
  y.TileRefN[k] = y.CurRefN;
  y.TileCount++;
  y.TileSamples = 0;
  y.CurRef = 0;
  y.CurRefN = 0;
}

void EnvSample(LightDecoder* d, int e, double t, float env) {
  Eye& y = d->E[e];
  OpenBlock& o = BlockAt(d, e, t);
  o.EnvSum += env;
  o.EnvN++;
  o.EnvMax = std::max(o.EnvMax, env);
  y.Env[static_cast<size_t>(y.EnvCount % static_cast<int64_t>(y.Env.size()))] = env;
  y.EnvCount++;
  if (y.TileSamples == 0) y.CurMax = y.CurMin = env;
  y.CurMax = std::max(y.CurMax, env);
  y.CurMin = std::min(y.CurMin, env);
  if (++y.TileSamples >= d->TileLen) {
    EndTile(y);
    DetectReady(d, e, false);
  }
}

void RefSample(LightDecoder* d, int e, double t, float ref) {
  Eye& y = d->E[e];
  OpenBlock& o = BlockAt(d, e, t);
  o.RefSum += ref;
  o.RefN++;
  y.CurRef += ref;
  y.CurRefN++;
}

LightEye Judge(const LightDecoder* d, const OpenBlock& o) {
  LightEye r;
  double refAmp = o.RefN > 0 ? o.RefSum / o.RefN : 0.0;
  double mean = o.EnvN > 0 ? o.EnvSum / o.EnvN : 0.0, on = mean, trough = 0;
  bool flashing = o.Covered >= 0.5 * kBlockSeconds;
  if (flashing) {
    on = o.PeakSum / o.Covered;
    trough = o.TroughSum / o.Covered;
  } else if (o.EnvMax > 1.25 * mean) {
    // A steady carrier reads its mean (noise averages out); a block that
    // swings without counted cycles (a flash starting or ending) its
    // highest.
    on = o.EnvMax;
  }
  float level = Db(on);
  // Whether there is a carrier at all is judged on the cycles or the mean:
  // the highest envelope of noise alone stands well above its mean.
  float judged = Db(flashing ? on : mean);
  r.Carrier = o.EnvN > 0 && level >= LIGHT_FLOOR_DB && judged >= Db(refAmp) + kAboveNoiseDb;
  if (!r.Carrier) return r;
  r.Level = level;
  r.Brightness = LightBrightnessOf(level, d->Levels);
  if (flashing) {
    r.Frequency = static_cast<float>(o.Cycles / o.Covered);
    float von = LightVolumeOf(level), voff = LightVolumeOf(Db(trough));
    r.Depth = von > 0 ? std::clamp(100.0f * (1.0f - voff / von), 0.0f, 100.0f) : 0.0f;
  }
  return r;
}

// Moves the blocks every eye has settled and the envelope has passed into
// Blocks; all of them at the end.
void Complete(LightDecoder* d, double envTime, bool all) {
  for (;;) {
    double end = static_cast<double>(d->BlockBase + 1) * kBlockSeconds;
    bool ready = true;
    for (int e = 0; e < d->Eyes; ++e) {
      if (d->Pending[e].empty() && !all) ready = false;
      if (!all && (d->E[e].Settled < end || envTime < end)) ready = false;
    }
    if (!ready) return;
    if (all) {
      bool any = false;
      for (int e = 0; e < d->Eyes; ++e) any = any || !d->Pending[e].empty();
      if (!any) return;
    }
    LightBlock b;
    for (int e = 0; e < d->Eyes; ++e) {
      OpenBlock o = d->Pending[e].empty() ? OpenBlock() : d->Pending[e].front();
      if (!d->Pending[e].empty()) d->Pending[e].pop_front();
      b.Eye[e] = Judge(d, o);
      d->Cycles[e].push_back(static_cast<float>(o.Cycles));
      d->Covered[e].push_back(static_cast<float>(o.Covered));
    }
    if (d->Eyes == 1) {
      b.Eye[1] = b.Eye[0];
      d->Cycles[1].push_back(d->Cycles[0].back());
      d->Covered[1].push_back(d->Covered[0].back());
    }
    d->Blocks.push_back(b);
    d->BlockBase++;
  }
}

void Windows(LightDecoder* d) {
  const int64_t avail = d->BufStart + static_cast<int64_t>(d->Buf[0].size());
  while (d->NextWindow + d->Len <= avail) {
    size_t off = static_cast<size_t>(d->NextWindow - d->BufStart);
    double t = (static_cast<double>(d->NextWindow) + (d->Len - 1) / 2.0) / d->Rate;
    bool ref = d->WindowCount % 4 == 0;
    for (int e = 0; e < d->Eyes; ++e) {
      const float* x = d->Buf[e].data() + off;
      float re, im;
      if (ref) {
        Bin(x, d->RefRe.data(), d->RefIm.data(), d->Len, &re, &im);
        RefSample(d, e, t, d->Scale * std::sqrt(re * re + im * im));
      }
      Bin(x, d->CarRe.data(), d->CarIm.data(), d->Len, &re, &im);
      EnvSample(d, e, t, d->Scale * std::sqrt(re * re + im * im));
    }
    d->NextWindow += d->Hop;
    d->WindowCount++;
    Complete(d, t, false);
  }
  // Keep what the next windows still need.
  int64_t drop = d->NextWindow - d->BufStart;
  if (drop > 0) {
    for (int e = 0; e < d->Eyes; ++e) {
      auto& b = d->Buf[e];
      size_t n = std::min(b.size(), static_cast<size_t>(drop));
      b.erase(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
    }
    d->BufStart += drop;
  }
}

}  // namespace

float LightVolumeOf(float levelDb) {
  // ConvVol[i] = 1024 ln(1 - i / 10100) / ln(1 / 101), and full volume is
  // half full scale: a = 2048 * amplitude.
  double a = 2048.0 * Amplitude(levelDb);
  double i = 10100.0 * (1.0 - std::pow(101.0, -a / 1024.0));
  return static_cast<float>(std::clamp(i, 0.0, 10000.0));
}

float LightBrightnessOf(float levelDb, const LightLevels& levels) {
  double maxLevel = std::clamp(levels.MaxLevel, 0, 100);
  double m = std::min(maxLevel, static_cast<double>(std::clamp(levels.ZeroLevel, 0, 100)));
  double v = LightVolumeOf(levelDb) / 100.0;
  if (maxLevel <= m) return v > 0 && v >= m - 0.5 ? 100.0f : 0.0f;
  return static_cast<float>(std::clamp((v - m) * 100.0 / (maxLevel - m), 0.0, 100.0));
}

LightDecoder* LightDecoderCreate(int rate, int channels, const LightLevels& levels) {
  auto* d = new LightDecoder;
  d->Rate = rate;
  d->Channels = std::max(channels, 1);
  d->Eyes = channels >= 2 ? 2 : 1;
  d->Levels = levels;
  d->Carries = rate >= LIGHT_MIN_RATE;
  if (!d->Carries) return d;
  // A 2 ms window every 0.5 ms: the envelope follows a 100 Hz flash, and
  // the window's side lobes (-58 dB) keep out the carrier's mirror, the
  // tones and the reference band.
  d->Hop = std::max(1, static_cast<int>(std::lround(rate / 2000.0)));
  d->Len = 4 * d->Hop;
  MakeBin(LIGHT_CARRIER_HZ, rate, d->Len, &d->CarRe, &d->CarIm);
  MakeBin(kReferenceHz, rate, d->Len, &d->RefRe, &d->RefIm);
  double sum = 0;
  for (int n = 0; n < d->Len; ++n)
    sum += 0.42 - 0.5 * std::cos(2 * M_PI * n / (d->Len - 1)) + 0.08 * std::cos(4 * M_PI * n / (d->Len - 1));
  d->Scale = static_cast<float>(2.0 / sum);
  d->EnvStep = static_cast<double>(d->Hop) / rate;
  d->TileLen = std::max(1, static_cast<int>(std::lround(kTileSeconds / d->EnvStep)));
  for (Eye& y : d->E) y.Env.resize(static_cast<size_t>((kHalfWindow + 3) * d->TileLen + kMaxSmoothing + 1));
  return d;
}

void LightDecoderFree(LightDecoder* d) { delete d; }

int64_t LightDecoderFrames(const LightDecoder* d) { return d->Frames; }

int64_t LightDecoderCovered(const LightDecoder* d) {
  return d->Rate < 1 ? 0 : std::min(d->Frames, LIGHT_MAX_SECONDS * d->Rate);
}

void LightDecoderFeed(LightDecoder* d, const int16_t* samples, int64_t frames) {
  if (d->Finished || frames <= 0) return;
  int64_t room = d->Rate < 1 ? 0 : std::max<int64_t>(0, LIGHT_MAX_SECONDS * d->Rate - d->Frames);
  d->Frames += frames;
  frames = std::min(frames, room);
  if (!d->Carries || frames == 0) return;
  const int ch = d->Channels;
  // At most a second at a time, so the buffers stay small.
  while (frames > 0) {
    int64_t n = std::min<int64_t>(frames, d->Rate);
    for (int e = 0; e < d->Eyes; ++e) {
      auto& b = d->Buf[e];
      size_t at = b.size();
      b.resize(at + static_cast<size_t>(n));
      const int16_t* s = samples + e;
      for (int64_t i = 0; i < n; ++i) b[at + static_cast<size_t>(i)] = s[i * ch] * (1.0f / 32768.0f);
    }
    Windows(d);
    samples += n * ch;
    frames -= n;
  }
}

void LightDecoderFinish(LightDecoder* d) {
  if (d->Finished) return;
  d->Finished = true;
  double end = d->Rate < 1 ? 0.0 : static_cast<double>(LightDecoderCovered(d)) / d->Rate;
  int64_t blocks = static_cast<int64_t>(std::ceil(end / kBlockSeconds - 1e-9));
  for (int e = 0; e < d->Eyes && d->Carries; ++e) {
    Eye& y = d->E[e];
    if (y.TileSamples > 0) EndTile(y);
    DetectReady(d, e, true);
    SettleAll(d, e, end);
  }
  // Blocks the envelope never reached (the sound's last millisecond, or a
  // rate that carries nothing) have no carrier.
  for (int e = 0; e < d->Eyes; ++e)
    while (d->BlockBase + static_cast<int64_t>(d->Pending[e].size()) < blocks) d->Pending[e].emplace_back();
  Complete(d, end, true);
}

const std::vector<LightBlock>& LightDecoderBlocks(const LightDecoder* d) { return d->Blocks; }

std::vector<LightSecond> LightSeconds(const LightDecoder* d) {
  std::vector<LightSecond> out;
  const auto& blocks = d->Blocks;
  size_t n = blocks.size();
  for (size_t first = 0; first < n; first += LIGHT_BLOCKS_PER_SECOND) {
    size_t last = std::min(n, first + LIGHT_BLOCKS_PER_SECOND);
    LightSecond s;
    s.T = static_cast<int>(first / LIGHT_BLOCKS_PER_SECOND);
    for (int e = 0; e < 2; ++e) {
      double amp = 0, top = 0, depth = 0, cycles = 0, covered = 0, onAmp = 0, onDepth = 0, onWeight = 0;
      int present = 0;
      for (size_t b = first; b < last; ++b) {
        const LightEye& x = blocks[b].Eye[e];
        double c = d->Covered[e][b];
        cycles += d->Cycles[e][b];
        covered += c;
        if (!x.Carrier) continue;
        present++;
        amp += Amplitude(x.Level);
        top = std::max(top, Amplitude(x.Level));
        depth += x.Depth;
        onAmp += Amplitude(x.Level) * c;
        onDepth += x.Depth * c;
        onWeight += c;
      }
      LightEye& r = s.Eye[e];
      // A carrier lasts longer than one block: a single one is a noise.
      if (present < std::min<int>(2, static_cast<int>(last - first))) continue;
      r.Carrier = true;
      double span = static_cast<double>(last - first) * kBlockSeconds;
      if (covered >= 0.5 * span && onWeight > 0) {
        // The flash cycles counted in the second.
        r.Level = Db(onAmp / onWeight);
        r.Depth = static_cast<float>(onDepth / onWeight);
        r.Frequency = static_cast<float>(cycles / covered);
      } else {
        // Without counted cycles a second that swings (a flash starting,
        // ending, or slower than the blocks) reads its brightest block.
        amp /= present;
        r.Level = Db(top > 1.25 * amp ? top : amp);
        r.Depth = static_cast<float>(depth / present);
      }
      r.Brightness = LightBrightnessOf(r.Level, d->Levels);
    }
    out.push_back(s);
  }
  return out;
}

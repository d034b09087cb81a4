// Build-time generator of the six recordings carried by Ambix.dll.
//
//   ambix-bggen OUTDIR      writes OUTDIR/ambix_1.wav .. ambix_6.wav
//
// Every sound is synthesised from filtered noise, resonators and additive
// tones with fixed seeds, so each build produces the same bytes. Output is
// RIFF WAVE, PCM, 8 bits, 20000 samples per second. The four ambiences are
// seamless loops: they are rendered a little longer than their loop and the
// surplus tail is cross-faded into the head, so the last sample flows into
// the first. Thunder and the cow are single events that start and end in
// silence. Levels are normalised below full scale, so nothing clips.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 20000;
constexpr double kPi = 3.14159265358979323846;

// A vector indexed and sized by int: sample and channel numbers here are
// far below INT_MAX and take part in signed arithmetic (offsets, echoes).
template <class T>
struct Vec : std::vector<T> {
  using Base = std::vector<T>;
  using Base::operator[];
  Vec() = default;
  Vec(int n, const T& v) : Base(static_cast<size_t>(n), v) {}
  T& operator[](int i) { return Base::operator[](static_cast<size_t>(i)); }
  const T& operator[](int i) const { return Base::operator[](static_cast<size_t>(i)); }
  void resize(int n) { Base::resize(static_cast<size_t>(n)); }
};
using Track = Vec<double>;

// --- Deterministic randomness ---------------------------------------------
struct Rng {
  uint64_t S;
  explicit Rng(uint64_t seed) : S(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {  // xorshift64*
    S ^= S >> 12;
    S ^= S << 25;
    S ^= S >> 27;
    return S * 0x2545F4914F6CDD1Dull;
  }
  double Uni() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
  double Range(double a, double b) { return a + (b - a) * Uni(); }
  double White() { return 2 * Uni() - 1; }
  double Gauss() {
    double u = std::max(Uni(), 1e-12), v = Uni();
    return std::sqrt(-2 * std::log(u)) * std::cos(2 * kPi * v);
  }
  double Exp(double mean) { return -mean * std::log(std::max(1 - Uni(), 1e-12)); }
};

// --- Filters ----------------------------------------------------------------
struct OnePole {  // y += a (x - y), low pass
  double A = 0, Y = 0;
  explicit OnePole(double cutoff) : A(1 - std::exp(-2 * kPi * cutoff / kRate)) {}
  double Low(double x) { return Y += A * (x - Y); }
  double High(double x) { return x - Low(x); }
};

struct Biquad {  // RBJ cookbook forms
  double B0 = 0, B1 = 0, B2 = 0, A1 = 0, A2 = 0, X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
  static Biquad Make(double b0, double b1, double b2, double a0, double a1, double a2) {
    Biquad q;
    q.B0 = b0 / a0, q.B1 = b1 / a0, q.B2 = b2 / a0, q.A1 = a1 / a0, q.A2 = a2 / a0;
    return q;
  }
  static Biquad BandPass(double f, double qf) {
    double w = 2 * kPi * f / kRate, al = std::sin(w) / (2 * qf);
    return Make(al, 0, -al, 1 + al, -2 * std::cos(w), 1 - al);
  }
  static Biquad LowPass(double f, double qf) {
    double w = 2 * kPi * f / kRate, al = std::sin(w) / (2 * qf), c = std::cos(w);
    return Make((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + al, -2 * c, 1 - al);
  }
  static Biquad HighPass(double f, double qf) {
    double w = 2 * kPi * f / kRate, al = std::sin(w) / (2 * qf), c = std::cos(w);
    return Make((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + al, -2 * c, 1 - al);
  }
  double Run(double x) {
    double y = B0 * x + B1 * X1 + B2 * X2 - A1 * Y1 - A2 * Y2;
    X2 = X1, X1 = x, Y2 = Y1, Y1 = y;
    return y;
  }
};

// Pink-ish noise (Paul Kellet's economy filter).
struct Pink {
  double B0 = 0, B1 = 0, B2 = 0;
  double Run(double w) {
    B0 = 0.99765 * B0 + w * 0.0990460;
    B1 = 0.96300 * B1 + w * 0.2965164;
    B2 = 0.57000 * B2 + w * 1.0526913;
    return (B0 + B1 + B2 + w * 0.1848) * 0.25;
  }
};

// Slowly wandering level in [lo, hi]: smoothed random walk.
struct Drift {
  Rng R;
  double Target, Value, Speed, Lo, Hi;
  int Count = 0, Hold;
  Drift(uint64_t seed, double lo, double hi, double seconds)
      : R(seed), Target(lo), Value(lo), Speed(1 / (seconds * kRate)), Lo(lo), Hi(hi), Hold(int(seconds * kRate)) {}
  double Next() {
    if (Count-- <= 0) {
      Target = R.Range(Lo, Hi);
      Count = Hold;
    }
    return Value += (Target - Value) * Speed * 4;
  }
};

int Samples(double seconds) { return static_cast<int>(seconds * kRate); }

// --- Finishing ----------------------------------------------------------------
// Folds the last `fade` samples of each channel into the first ones with an
// equal-power cross-fade; the track becomes `fade` samples shorter and its
// end joins its start without a step.
void MakeLoop(Vec<Track>& ch, int fade) {
  for (Track& t : ch) {
    int n = static_cast<int>(t.size()) - fade;
    for (int i = 0; i < fade; ++i) {
      double x = (i + 0.5) / fade;
      t[i] = t[i] * std::sin(x * kPi / 2) + t[n + i] * std::cos(x * kPi / 2);
    }
    t.resize(n);
  }
}

void Normalise(Vec<Track>& ch, double peak) {
  double m = 1e-9;
  for (const Track& t : ch)
    for (double v : t) m = std::max(m, std::fabs(v));
  for (Track& t : ch)
    for (double& v : t) v *= peak / m;
}

void FadeEdges(Track& t, double inSeconds, double outSeconds) {
  int a = Samples(inSeconds), b = Samples(outSeconds), n = static_cast<int>(t.size());
  for (int i = 0; i < a && i < n; ++i) t[i] *= 0.5 - 0.5 * std::cos(kPi * i / a);
  for (int i = 0; i < b && i < n; ++i) t[n - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * i / b);
}

void Put16(std::vector<unsigned char>& o, unsigned v) { o.push_back(v & 255), o.push_back((v >> 8) & 255); }
void Put32(std::vector<unsigned char>& o, unsigned v) { Put16(o, v & 0xFFFF), Put16(o, v >> 16); }
void PutId(std::vector<unsigned char>& o, const char* id) { o.insert(o.end(), id, id + 4); }

// 8-bit unsigned PCM with triangular dither; the peak is kept below full scale
// by Normalise, so the clamp never bites.
bool WriteWave(const std::string& path, const Vec<Track>& ch, uint64_t seed) {
  Rng r(seed);
  size_t frames = ch[0].size(), nch = ch.size(), bytes = frames * nch;
  std::vector<unsigned char> o;
  PutId(o, "RIFF");
  Put32(o, static_cast<unsigned>(4 + 8 + 16 + 8 + bytes + (bytes & 1)));
  PutId(o, "WAVE");
  PutId(o, "fmt ");
  Put32(o, 16);
  Put16(o, 1);
  Put16(o, static_cast<unsigned>(nch));
  Put32(o, static_cast<unsigned>(kRate));
  Put32(o, static_cast<unsigned>(kRate * static_cast<double>(nch)));
  Put16(o, static_cast<unsigned>(nch));
  Put16(o, 8);
  PutId(o, "data");
  Put32(o, static_cast<unsigned>(bytes));
  for (size_t i = 0; i < frames; ++i)
    for (size_t c = 0; c < nch; ++c) {
      double v = ch[c][i] * 127 + (r.Uni() - r.Uni()) + 128;
      o.push_back(static_cast<unsigned char>(std::clamp(std::lround(v), 1L, 255L)));
    }
  if (bytes & 1) o.push_back(0);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(o.data(), 1, o.size(), f) == o.size();
  return std::fclose(f) == 0 && ok;
}

// --- 1: crickets and night ambience (stereo loop) ------------------------------
Vec<Track> Night() {
  const double loop = 16, fade = 1.5;
  int n = Samples(loop + fade);
  Vec<Track> ch(2, Track(n, 0.0));
  Rng r(101);
  // Air and distant hum: dark pink noise, independent per ear for width.
  for (int c = 0; c < 2; ++c) {
    Pink p;
    Biquad lp = Biquad::LowPass(700, 0.7);
    Drift d(static_cast<uint64_t>(200 + c), 0.6, 1.0, 2.5);
    for (int i = 0; i < n; ++i) ch[c][i] += 0.05 * d.Next() * lp.Run(p.Run(r.White()));
  }
  // Field crickets: bursts of 3-5 pure pulses near 4-5 kHz, each chirp
  // repeated about once a second with some jitter.
  for (int k = 0; k < 6; ++k) {
    double f = r.Range(3900, 5200), pan = r.Range(0.1, 0.9), level = r.Range(0.12, 0.35);
    double period = r.Range(0.55, 1.05), pulse = r.Range(0.010, 0.016), gap = r.Range(0.022, 0.030);
    double t = r.Range(0, period);
    while (t < loop + fade) {
      int pulses = 3 + static_cast<int>(r.Uni() * 3);
      for (int p = 0; p < pulses; ++p) {
        int s0 = Samples(t + p * gap), len = Samples(pulse);
        double ff = f * r.Range(0.995, 1.005);
        for (int i = 0; i < len && s0 + i < n; ++i) {
          double e = std::sin(kPi * i / len);
          double v = level * e * e * std::sin(2 * kPi * ff * i / kRate);
          ch[0][s0 + i] += v * std::sqrt(1 - pan);
          ch[1][s0 + i] += v * std::sqrt(pan);
        }
      }
      t += period * r.Range(0.85, 1.15);
    }
  }
  // A tree cricket trilling further off: a 2.9 kHz tone pulsed 45 times a
  // second, swelling and fading.
  {
    Drift d(300, 0.0, 1.0, 3.0);
    for (int i = 0; i < n; ++i) {
      double t = i / kRate, g = d.Next();
      double pulseEnv = std::pow(std::max(0.0, std::sin(2 * kPi * 45 * t)), 3.0);
      double v = 0.08 * g * pulseEnv * std::sin(2 * kPi * 2900 * t);
      ch[0][i] += 0.45 * v;
      ch[1][i] += 0.85 * v;
    }
  }
  MakeLoop(ch, Samples(fade));
  Normalise(ch, 0.7);
  return ch;
}

// --- 2: babbling brook (stereo loop) ------------------------------------------
Vec<Track> Brook() {
  const double loop = 15, fade = 1.5;
  int n = Samples(loop + fade);
  Vec<Track> ch(2, Track(n, 0.0));
  Rng r(202);
  // Water rush: two noise bands whose levels wander.
  for (int c = 0; c < 2; ++c) {
    Biquad b1 = Biquad::BandPass(700, 0.8), b2 = Biquad::BandPass(2600, 1.2);
    Drift d1(static_cast<uint64_t>(210 + c), 0.4, 1.0, 0.4), d2(static_cast<uint64_t>(220 + c), 0.3, 1.0, 0.25);
    for (int i = 0; i < n; ++i) {
      double w = r.White();
      ch[c][i] += 0.10 * d1.Next() * b1.Run(w) + 0.05 * d2.Next() * b2.Run(w);
    }
  }
  // Bubbles: short decaying sine bursts whose pitch rises as they form, the
  // sound of air pockets closing under the surface.
  double t = 0;
  while (t < loop + fade) {
    t += r.Exp(1.0 / 55);
    double f0 = 350 * std::exp(r.Range(0, std::log(2600.0 / 350))), tau = r.Range(0.004, 0.014);
    double rise = r.Range(1.5, 5.0) * f0, amp = r.Range(0.05, 0.22) * std::sqrt(700 / f0), pan = r.Uni();
    int s0 = Samples(t), len = Samples(tau * 6);
    double ph = 0;
    for (int i = 0; i < len && s0 + i < n; ++i) {
      double tt = i / kRate;
      ph += 2 * kPi * (f0 + rise * tt) / kRate;
      double v = amp * std::exp(-tt / tau) * std::sin(ph) * std::min(1.0, i / 8.0);
      ch[0][s0 + i] += v * std::sqrt(1 - pan);
      ch[1][s0 + i] += v * std::sqrt(pan);
    }
  }
  for (Track& c : ch) {  // keep the hiss soft
    Biquad lp = Biquad::LowPass(5000, 0.7);
    for (double& v : c) v = lp.Run(v);
  }
  MakeLoop(ch, Samples(fade));
  Normalise(ch, 0.8);
  return ch;
}

// --- 3: heavy rain (mono loop) -------------------------------------------------
Vec<Track> Rain() {
  const double loop = 12, fade = 1.0;
  int n = Samples(loop + fade);
  Vec<Track> ch(1, Track(n, 0.0));
  Track& o = ch[0];
  Rng r(303);
  // Roar of the downpour: broad noise, a little darker than white, with a
  // low rumble of water running off.
  Pink p;
  Biquad hp = Biquad::HighPass(400, 0.7), rumble = Biquad::LowPass(250, 0.7);
  Drift d(310, 0.8, 1.0, 1.5);
  for (int i = 0; i < n; ++i) {
    double w = r.White();
    o[i] = 0.30 * d.Next() * hp.Run(p.Run(w) * 2.5) + 0.5 * rumble.Run(r.White());
  }
  // Countless drops: sharp decaying noise ticks in random bands.
  double t = 0;
  while (t < loop + fade) {
    t += r.Exp(1.0 / 450);
    Biquad bp = Biquad::BandPass(r.Range(1500, 6500), r.Range(1.5, 4.0));
    double amp = r.Range(0.1, 0.6) * (r.Uni() < 0.05 ? 2.0 : 1.0), tau = r.Range(0.0008, 0.003);
    int s0 = Samples(t), len = Samples(tau * 6);
    for (int i = 0; i < len && s0 + i < n; ++i) o[s0 + i] += amp * std::exp(-i / kRate / tau) * bp.Run(r.White());
  }
  MakeLoop(ch, Samples(fade));
  Normalise(ch, 0.85);
  return ch;
}

// --- 4: seagulls over surf (mono loop) --------------------------------------------
// One gull call: a harmonic tone whose pitch jumps up and sags ("kyow"),
// coloured by a nasal resonance near 2.5 kHz.
void GullCall(Track& o, Rng& r, double start, double scale, double level) {
  double len = r.Range(0.22, 0.42);
  int s0 = Samples(start), m = Samples(len), n = static_cast<int>(o.size());
  double peak = r.Range(1500, 1900) * scale, low = r.Range(900, 1150) * scale;
  Track ph(12, 0.0);
  double vib = r.Range(25, 40);
  for (int i = 0; i < m && s0 + i < n; ++i) {
    double x = static_cast<double>(i) / m;
    double f = x < 0.18 ? low + (peak - low) * (x / 0.18) : peak - (peak - low) * 0.55 * ((x - 0.18) / 0.82);
    f *= 1 + 0.015 * std::sin(2 * kPi * vib * i / kRate);
    double env = std::min(1.0, x / 0.05) * std::pow(1 - x, 0.7);
    double v = 0;
    for (int k = 1; k <= 12 && k * f < 9500; ++k) {
      ph[k - 1] += 2 * kPi * k * f / kRate;
      double fk = k * f;
      double formant = 1 / (1 + std::pow((fk - 2600) / 900, 2)) + 0.5 / (1 + std::pow((fk - 4200) / 1200, 2));
      v += std::sin(ph[k - 1]) * (0.35 / k + formant) / k;
    }
    o[s0 + i] += level * env * v;
  }
}

Vec<Track> Seagulls() {
  const double loop = 20, fade = 2.0, wave = 20.0 / 3;  // three breakers per loop
  int n = Samples(loop + fade);
  Vec<Track> ch(1, Track(n, 0.0));
  Track& o = ch[0];
  Rng r(404);
  // Surf: a low roar that swells as each wave builds, bursts into a bright
  // wash as it breaks and drains away. The cut-off follows the wave.
  Biquad lp = Biquad::LowPass(400, 0.7), wash = Biquad::BandPass(1800, 0.6);
  double b = 0;
  for (int i = 0; i < n; ++i) {
    double t = std::fmod(i / kRate, wave) / wave;
    double swell = t < 0.35 ? std::pow(t / 0.35, 2) : std::exp(-(t - 0.35) * 4.5);
    double w = r.White();
    b = 0.995 * b + 0.05 * w;  // brown
    double breakBurst = t < 0.3 ? 0 : t < 0.38 ? std::pow((t - 0.3) / 0.08, 2) : std::exp(-(t - 0.38) * 6);
    o[i] = (0.25 + 0.75 * swell) * 0.9 * lp.Run(b) + 0.55 * breakBurst * wash.Run(w) + 0.04 * swell * w;
  }
  // Gulls: series of calls from a few birds at different distances.
  double t = 0.6;
  int bird = 0;
  while (t < loop - 1.5) {
    double scale = r.Range(0.88, 1.12), level = r.Range(0.25, 0.6);
    int calls = 2 + static_cast<int>(r.Uni() * 4);
    double ct = t;
    for (int c = 0; c < calls; ++c) {
      GullCall(o, r, ct, scale, level * r.Range(0.8, 1.0));
      ct += r.Range(0.30, 0.5);
    }
    t = ct + r.Range(0.8, 2.8);
    ++bird;
  }
  MakeLoop(ch, Samples(fade));
  Normalise(ch, 0.85);
  return ch;
}

// --- 5: roll of thunder (mono, single event) ---------------------------------------
Vec<Track> Thunder() {
  const double len = 7.5;
  int n = Samples(len);
  Vec<Track> ch(1, Track(n, 0.0));
  Track& o = ch[0];
  Rng r(505);
  // Envelope of the rolls: a close crack, then echoes of the stroke from
  // farther along its path, ever more spread out and fainter.
  Track env(n, 0.0), crackle(n, 0.0);
  struct Roll {
    double At, Amp, Rise, Decay;
  };
  std::vector<Roll> rolls{{0.12, 1.0, 0.01, 0.5}};
  double t = 0.45;
  for (int k = 0; k < 9; ++k) {
    rolls.push_back({t, r.Range(0.45, 0.9) * std::exp(-k * 0.22), r.Range(0.08, 0.3), r.Range(0.5, 1.3)});
    t += r.Range(0.25, 0.75);
  }
  for (const Roll& ro : rolls)
    for (int i = Samples(ro.At); i < n; ++i) {
      double x = i / kRate - ro.At;
      env[i] += ro.Amp * (x < ro.Rise ? x / ro.Rise : std::exp(-(x - ro.Rise) / ro.Decay));
    }
  // Rumble: brown noise under 250 Hz; crackle: mid-band noise that follows
  // the envelope more sharply; the crack: a short bright burst.
  Biquad lp1 = Biquad::LowPass(260, 0.8), lp2 = Biquad::LowPass(180, 0.7), mid = Biquad::BandPass(500, 0.6);
  Biquad hp = Biquad::HighPass(1500, 0.7);
  double b = 0;
  for (int i = 0; i < n; ++i) {
    double w = r.White(), x = i / kRate;
    b = 0.998 * b + 0.06 * w;
    double rumble = lp2.Run(lp1.Run(b)) * 6;
    double cr = mid.Run(w) * std::pow(env[i], 1.5) * 0.9;
    double crack = x > 0.12 && x < 0.35 ? hp.Run(w) * std::exp(-(x - 0.12) / 0.03) * 0.9 : 0;
    o[i] = rumble * env[i] + cr + crack;
  }
  FadeEdges(o, 0.01, 1.5);
  Normalise(ch, 0.95);
  return ch;
}

// --- 6: mooing cow (stereo, single event) ------------------------------------------
// Additive voice: a glottal source whose harmonics are weighted by a
// formant envelope moving from a nasal "m" through "oo" to an open "ao" and
// back, with the pitch rising and sinking over the call.
Vec<Track> Cow() {
  const double len = 2.8;
  int n = Samples(len);
  Track v(n, 0.0);
  Rng r(606);
  constexpr int kHarm = 90;
  Track ph(kHarm, 0.0);
  Biquad breath = Biquad::BandPass(750, 1.0);
  for (int i = 0; i < n; ++i) {
    double t = i / kRate, x = t / len;
    double f0 = x < 0.25  ? 95 + 50 * (x / 0.25)
                : x < 0.7 ? 145 - 10 * ((x - 0.25) / 0.45)
                          : 135 - 45 * ((x - 0.7) / 0.3);
    f0 *= 1 + 0.01 * std::sin(2 * kPi * 5.5 * t) + 0.004 * r.Gauss();
    // Formants: m (mouth closed) -> oo -> ao -> oo.
    double open = x < 0.12 ? 0 : x < 0.4 ? (x - 0.12) / 0.28 : x < 0.75 ? 1 : std::max(0.0, 1 - (x - 0.75) / 0.25);
    double nasal = x < 0.12 ? 1 - x / 0.12 * 0.8 : 0.2;
    double F1 = 300 + 350 * open, F2 = 750 + 350 * open, F3 = 2300 + 200 * open;
    double amp = std::min(1.0, t / 0.25) * (x > 0.8 ? std::max(0.0, (1 - x) / 0.2) : 1.0);
    double s = 0;
    for (int k = 1; k <= kHarm; ++k) {
      double fk = k * f0;
      if (fk > 7000) break;
      ph[k - 1] += 2 * kPi * fk / kRate;
      double h = 1 / (1 + std::pow((fk - F1) / 110, 2)) + 0.6 / (1 + std::pow((fk - F2) / 150, 2)) +
                 0.15 / (1 + std::pow((fk - F3) / 250, 2)) + nasal * 1.2 / (1 + std::pow((fk - 250) / 60, 2));
      s += std::sin(ph[k - 1]) * h / std::pow(k, 0.6);
    }
    v[i] = amp * (s * (0.25 + 0.75 * (open * 0.7 + 0.3)) + 0.04 * breath.Run(r.Gauss()));
  }
  // The cow stands a little left in a barn: the right ear hears it later and
  // softer, and both ears get a few weak reflections.
  Vec<Track> ch(2, Track(n, 0.0));
  int itd = Samples(0.0006);
  for (int i = 0; i < n; ++i) {
    ch[0][i] = v[i];
    ch[1][i] = i >= itd ? 0.75 * v[i - itd] : 0;
  }
  const int echo[2][3] = {{Samples(0.019), Samples(0.041), Samples(0.067)},
                          {Samples(0.027), Samples(0.053), Samples(0.079)}};
  for (int c = 0; c < 2; ++c) {
    Track dry = ch[c];
    for (int e = 0; e < 3; ++e)
      for (int i = echo[c][e]; i < n; ++i) ch[c][i] += dry[i - echo[c][e]] * 0.22 / (e + 1);
    FadeEdges(ch[c], 0.01, 0.08);
  }
  Normalise(ch, 0.9);
  return ch;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ambix-bggen OUTDIR\n");
    return 2;
  }
  std::string dir = argv[1];
  Vec<Track> (*const sounds[6])() = {Night, Brook, Rain, Seagulls, Thunder, Cow};
  for (int i = 0; i < 6; ++i) {
    std::string path = dir + "/ambix_" + std::to_string(i + 1) + ".wav";
    if (!WriteWave(path, sounds[i](), static_cast<uint64_t>(9000 + i))) {
      std::fprintf(stderr, "ambix-bggen: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

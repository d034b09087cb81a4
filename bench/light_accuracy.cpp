// The light signal check against what the generator put into the sound.
//
// Each case renders a preset with AudioStrobe on, block by block through
// the engine, and notes per block the visual values of the record that made
// it; the sound is written to a WAV file and read back through
// CheckLightFile. Every whole second is compared: the flash frequency with
// the mean of the records' visual frequency over that second, the
// brightness with their mean brightness. Also printed: the largest
// difference from the preset's curve itself (the records step the frequency
// by 0.5 % + 0.02 Hz, the engine's resolution), and the decoding speed of
// the WAV and of a FLAC copy in multiples of real time.
//
//   sonavel_light_accuracy [DIR]    (default: a temporary folder, removed;
//                                    a DIR given keeps each case's WAV file)
//   LIGHT_VERBOSE=1                  also prints every second beyond the limits
// Exit status 1 when a case misses 0.1 Hz or 5 % at some second, or a
// decoding runs slower than 200 times real time.
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "data/playback/playback.h"
#include "data/synthesis/generate.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "engine/startup.h"
#include "lightchk/lightfile.h"
#include "main/arith.h"
#include "main/preset.h"
#include "platform/rand.h"
#include "presetjson/presetjson.h"

namespace fs = std::filesystem;

namespace {

// The record this program plays on.
PlaybackState Playback;

struct Case {
  const char* Name;
  const char* Json;
  int Rate;
  int32_t Waveform;
  int Zero = 50, Max = 100;
  bool Bits16 = true;
  bool Info = false;  // printed, not held to the limits
};

const char* kSteady = R"js({"Name": "steady", "ContinuePlaying": 0, "Segment": [{"Length": 100, "Param": {
  "Visual Frequency": {"Value": 10}, "Visual Brightness": {"Value": 100}},
  "Voice": [{"Binaural Beat Frequency": {"Value": 10}, "Audible Pitch": {"Value": 200}}]}]})js";

const char* kEyes = R"js({"Name": "eyes", "ContinuePlaying": 0, "Segment": [{"Length": 100, "Param": {
  "Visual Frequency": {"ChannelMode": 1, "Value": 1}, "Visual Frequency (Right)": {"Value": 40},
  "Visual Brightness": {"ChannelMode": 1, "Value": 20}, "Visual Brightness (Right)": {"Value": 60}},
  "Voice": [{"Binaural Beat Frequency": {"Value": 4}, "Audible Pitch": {"Value": 150}}]}]})js";

const char* kSweep = R"js({"Name": "sweep", "ContinuePlaying": 0, "Segment": [{"Length": 300, "Param": {
  "Visual Frequency": {"ChannelMode": 1, "Curve": [[0, 1], [100, 40]]},
  "Visual Frequency (Right)": {"Curve": [[0, 40], [100, 1]]},
  "Visual Brightness": {"ChannelMode": 1, "Curve": [[0, 20], [100, 100]]},
  "Visual Brightness (Right)": {"Curve": [[0, 100], [100, 20]]}},
  "Voice": [{"Binaural Beat Frequency": {"Value": 10}, "Audible Pitch": {"Value": 200}}]}]})js";

// Segments that jump, a curved sweep, three voices and loud white noise.
const char* kBusy = R"js({"Name": "busy", "ContinuePlaying": 0, "Segment": [
  {"Length": 50, "Param": {"Visual Frequency": {"Value": 5}, "Visual Brightness": {"Value": 50},
    "Noise Volume": {"Value": 50}, "Noise Smoothness": {"Value": 0}},
   "Voice": [{"Binaural Beat Frequency": {"Value": 5}, "Audible Pitch": {"Value": 300}},
             {"Binaural Beat Frequency": {"Value": 7}, "Audible Pitch": {"Value": 2000}},
             {"Binaural Beat Frequency": {"Value": 9}, "Audible Pitch": {"Value": 6400}}]},
  {"Length": 100, "Param": {"Visual Frequency": {"Curve": [[0, 30, 3], [100, 12]]},
    "Visual Brightness": {"Curve": [[0, 80], [50, 35], [100, 90]]},
    "Noise Volume": {"Value": 50}, "Noise Smoothness": {"Value": 0}},
   "Voice": [{"Binaural Beat Frequency": {"Value": 5}, "Audible Pitch": {"Value": 300}},
             {"Binaural Beat Frequency": {"Value": 7}, "Audible Pitch": {"Value": 2000}},
             {"Binaural Beat Frequency": {"Value": 9}, "Audible Pitch": {"Value": 6400}}]}]})js";

std::string Louder(const char* json) {
  std::string s = json;
  for (size_t at = 0; (at = s.find("\"Noise Volume\": {\"Value\": 50}", at)) != std::string::npos; ++at)
    s.replace(at, 29, "\"Noise Volume\": {\"Value\": 100}");
  return s;
}
const std::string kLoudText = Louder(kBusy);
const char* kLoud = kLoudText.c_str();

const Case kCases[] = {
    {"steady 10 Hz, 100 %", kSteady, 44100, ASWAVE_RECTANGULAR},
    {"steady 10 Hz, 100 %", kSteady, 48000, ASWAVE_SINE},
    {"eyes 1 / 40 Hz, 20 / 60 %", kEyes, 44100, ASWAVE_RECTANGULAR},
    {"eyes 1 / 40 Hz, 20 / 60 %", kEyes, 48000, ASWAVE_TRIANGULAR},
    {"sweep 1-40 Hz, 20-100 %", kSweep, 44100, ASWAVE_RECTANGULAR},
    {"sweep 1-40 Hz, 20-100 %", kSweep, 44100, ASWAVE_STEEP},
    {"sweep 1-40 Hz, 20-100 %", kSweep, 44100, ASWAVE_SINE},
    {"sweep 1-40 Hz, 20-100 %", kSweep, 44100, ASWAVE_TRIANGULAR},
    {"sweep 1-40 Hz, 20-100 %", kSweep, 48000, ASWAVE_RECTANGULAR},
    {"sweep 1-40 Hz, 20-100 %", kSweep, 48000, ASWAVE_TRIANGULAR},
    {"sweep, levels 20 / 90 %", kSweep, 44100, ASWAVE_RECTANGULAR, 20, 90},
    {"sweep, 8 bits", kSweep, 44100, ASWAVE_RECTANGULAR, 50, 100, false},
    {"jumps, voices, noise", kBusy, 44100, ASWAVE_RECTANGULAR},
    {"jumps, voices, noise", kBusy, 48000, ASWAVE_SINE},
    // White noise at full volume is as loud in the carrier's band as a dim
    // carrier: each flash's highest envelope rides on it (about +7 % of
    // brightness at 30-50 %).
    {"(info) loud white noise", kLoud, 44100, ASWAVE_RECTANGULAR, 50, 100, true, true},
};

const char* WaveName(int32_t w) {
  switch (w) {
    case ASWAVE_RECTANGULAR: return "rectangular";
    case ASWAVE_STEEP: return "steep";
    case ASWAVE_SINE: return "sine";
    default: return "triangular";
  }
}

// The visual values of one generated block.
struct BlockTruth {
  double Brightness[2], Frequency[2];
};

// Renders the preset block by block; the sound into pcm, each block's
// record values into truth.
bool Render(const Preset& p, const Case& c, std::vector<int16_t>* pcm, std::vector<BlockTruth>* truth, int blockMs) {
  AdvancedOptions o;
  o.SamplesPerSec = c.Rate;
  o.Bits16 = c.Bits16 ? 1 : 0;
  o.LenOfBlocks = blockMs;
  o.MemoryBlocks = 2;
  o.AudioStrobeWaveform = c.Waveform;
  o.AudioStrobeZeroLevel = c.Zero;
  o.AudioStrobeMaxLevel = c.Max;
  Playback.AudioStrobeOn.store(1);
  plat::SeedRandom(7);
  if (int rc = PreparePlayback(Playback, p, o, false, nullptr)) {
    std::fprintf(stderr, "%s: the calculation failed (%d)\n", c.Name, rc);
    return false;
  }
  std::vector<unsigned char> block(static_cast<size_t>(Playback.BlockBytes));
  int frames = Playback.BlockBytes / (c.Bits16 ? 4 : 2);
  while (GenerateBlock(Playback, block.data()) == 0) {
    const SweepRecord* r = Playback.CurrentRecord;
    BlockTruth t;
    for (int e = 0; e < 2; ++e) {
      t.Brightness[e] = r->VisualBrightness[e] / 100.0;
      t.Frequency[e] = r->VisualFrequency[e] / 1000.0;
    }
    truth->push_back(t);
    for (int i = 0; i < 2 * frames; ++i)
      pcm->push_back(c.Bits16 ? reinterpret_cast<const int16_t*>(block.data())[i]
                              : static_cast<int16_t>((block[static_cast<size_t>(i)] - 128) * 256));
  }
  return true;
}

bool Write(const std::string& path, int format, int rate, const std::vector<int16_t>& pcm) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  sf_write_short(f, pcm.data(), static_cast<sf_count_t>(pcm.size()));
  sf_close(f);
  return true;
}

// Seconds of audio decoded per second of CPU time, best of three.
double Speed(const std::string& path, double seconds, const LightLevels& levels, LightReport* r) {
  double best = 0;
  for (int i = 0; i < 3; ++i) {
    std::string reason;
    std::clock_t start = std::clock();
    if (CheckLightFile(path.c_str(), levels, nullptr, r, &reason) != 0) return 0;
    double cpu = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    best = std::max(best, seconds / std::max(cpu, 1e-6));
  }
  return best;
}

// The preset's own visual frequency of eye e at time t (seconds), from its
// curves.
double CurveFrequency(const Preset& p, int e, double t) {
  for (int s = 0; s < p.data.NumSegments; ++s) {
    double len = p.data.Segment[s].Length * 0.6;
    if (t < len || s == p.data.NumSegments - 1) {
      int st = static_cast<int>(std::clamp(t / len, 0.0, 1.0) * 10000 + 0.5);
      return CurveValue(SegParams(p, s)[PID_VISFREQ + e], st) / 1000.0;
    }
    t -= len;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return 2;
  std::string dir;
  bool own = argc < 2;
  if (own) {
    char tmpl[] = "/tmp/sonavel-light-XXXXXX";
    if (!mkdtemp(tmpl)) return 2;
    dir = tmpl;
  } else {
    dir = argv[1];
  }
  const int blockMs = 10;
  bool fail = false;
  double slowest = 1e9;
  std::printf("%-26s %5s %-11s %4s %8s %8s %9s %9s  %s\n", "case", "rate", "waveform", "secs", "max df", "max db",
              "curve df", "x real", "");
  for (const Case& c : kCases) {
    Preset p{};
    std::string error;
    if (!PresetFromJson(nlohmann::json::parse(c.Json), p, &error)) {
      std::fprintf(stderr, "%s: %s\n", c.Name, error.c_str());
      return 2;
    }
    std::vector<int16_t> pcm;
    std::vector<BlockTruth> truth;
    if (!Render(p, c, &pcm, &truth, blockMs)) return 2;
    std::string wav = dir + "/light.wav";
    if (!own) wav = dir + "/case" + std::to_string(&c - kCases) + ".wav";  // kept
    if (!Write(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, c.Rate, pcm)) return 2;
    double seconds = static_cast<double>(pcm.size() / 2) / c.Rate;
    LightReport r;
    double speed = Speed(wav, seconds, LightLevels{c.Zero, c.Max}, &r);
    slowest = std::min(slowest, speed);

    const int perSecond = 1000 / blockMs;
    double maxDf = 0, maxDb = 0, curveDf = 0;
    int compared = 0;
    for (const LightSecond& s : r.Seconds) {
      size_t b0 = static_cast<size_t>(s.T) * perSecond;
      if (b0 + perSecond > truth.size()) break;  // the last partial second
      compared++;
      for (int e = 0; e < 2; ++e) {
        double f = 0, b = 0;
        for (size_t k = 0; k < static_cast<size_t>(perSecond); ++k) {
          f += truth[b0 + k].Frequency[e];
          b += truth[b0 + k].Brightness[e];
        }
        f /= perSecond;
        b /= perSecond;
        const LightEye& m = s.Eye[e];
        double df = std::fabs(m.Frequency - f), db = std::fabs(m.Brightness - b);
        if (!m.Carrier) df = db = 999;
        if ((df > 0.1 || db > 5) && std::getenv("LIGHT_VERBOSE"))
          std::printf("  %s %d s eye %d: %.3f Hz (%.3f), %.2f %% (%.2f)\n", c.Name, s.T, e, m.Frequency, f,
                      m.Brightness, b);
        maxDf = std::max(maxDf, df);
        maxDb = std::max(maxDb, db);
        curveDf = std::max(curveDf, std::fabs(m.Frequency - CurveFrequency(p, e, s.T + 0.5)));
      }
    }
    bool ok = maxDf <= 0.1 && maxDb <= 5.0 && compared > 0;
    if (!c.Info) fail = fail || !ok;
    std::printf("%-26s %5d %-11s %4d %8.3f %8.2f %9.3f %9.0f  %s\n", c.Name, c.Rate, WaveName(c.Waveform), compared,
                maxDf, maxDb, curveDf, speed,
                ok       ? "ok"
                : c.Info ? "beyond"
                         : "MISSED");
    FreePreset(p);
  }
  // FLAC decoding of the last case's sound, which the codec library does
  // itself.
  {
    Preset p{};
    std::string error;
    PresetFromJson(nlohmann::json::parse(kSweep), p, &error);
    std::vector<int16_t> pcm;
    std::vector<BlockTruth> truth;
    Case c{"sweep", kSweep, 44100, ASWAVE_RECTANGULAR};
    Render(p, c, &pcm, &truth, blockMs);
    std::string flac = dir + "/light.flac";
    Write(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, c.Rate, pcm);
    LightReport r;
    double speed = Speed(flac, static_cast<double>(pcm.size() / 2) / c.Rate, LightLevels(), &r);
    slowest = std::min(slowest, speed);
    std::printf("FLAC decoding of the sweep: %.0f x real time\n", speed);
    FreePreset(p);
  }
  std::printf("slowest decoding: %.0f x real time (CPU time)\n", slowest);
  if (slowest < 200) fail = true;
  if (own) fs::remove_all(dir);
  EngineShutdown();
  std::printf("%s\n", fail ? "MISSED" : "all within 0.1 Hz and 5 %");
  return fail ? 1 : 0;
}

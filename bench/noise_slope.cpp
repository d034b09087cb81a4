// Measures the engine's noise at every Noise Smoothness value: its spectral
// slope in dB per octave (100 Hz - 12.8 kHz), and its level beside a tone of
// the same volume: the 99.9th percentile of |sample| and the RMS, each over
// the peak of that tone. The sequence-file import keeps these figures as its
// table (src/sbg/noisetable.cpp); bench/noise_slope.sh reruns this.
//
//   sonavel_noise_slope [seconds]
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/spectrum.h"
#include "data/engine.h"
#include "data/playback/playback.h"
#include "engine/startup.h"
#include "main/preset.h"
#include "platform/rand.h"

namespace {

// The record this program plays on.
PlaybackState Playback;

void Steady(Param& p, int32_t v) {
  p.NumNodes = 2;
  p.Node[0] = {v, 0, 10, 1};
  p.Node[1] = {v, 10000, 10, 1};
  p.Tracking = 0;
  p.EasySel = 0;
}

// The left ear of `seconds` of noise at full volume and smoothness s (with
// one silent voice, so the mixing gain is that of two sources), and the peak
// a full-volume sine would have with that gain.
std::vector<double> RenderNoise(int s, int seconds, double* tonePeak) {
  Preset p{};
  NewDefaultPreset(p, 2);
  p.data.ContinuePlaying = 0;
  Segment& seg = p.data.Segment[0];
  seg.Length = static_cast<int32_t>(seconds * 100 / 60 + 100);
  Param* params = SegParams(p, 0);
  Steady(params[PID_NOISEVOL], 10000);
  Steady(params[PID_NOISEVOL + 1], 10000);
  Steady(params[PID_NOISESMOOTH], s * 100);
  Steady(params[PID_NOISESMOOTH + 1], s * 100);
  Steady(params[VoicePidOf(0, VP_VOLUME)], 0);
  Steady(params[VoicePidOf(0, VP_VOLUME) + 1], 0);
  AdvancedOptions o;
  o.SamplesPerSec = 44100;
  std::vector<double> left;
  plat::SeedRandom(12345);
  if (PreparePlayback(Playback, p, o, false, nullptr) == 0) {
    std::vector<int16_t> block(static_cast<size_t>(Playback.BlockBytes / 2));
    while (left.size() < static_cast<size_t>(seconds) * 44100 && GenerateBlock(Playback, block.data()) == 0)
      for (size_t i = 0; i < block.size(); i += 2) left.push_back(block[i]);
  }
  int g = (100 / (Playback.SweepDataVoices + Playback.ExtraSourceShare)) * 64 / 100;
  *tonePeak = 32767.0 * g / 64;
  FreePreset(p);
  return left;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup)) return 1;
  std::printf("# smoothness  slope_db_per_octave  p999_over_tone_peak  rms_over_tone_peak\n");
  for (int s = 0; s <= 100; ++s) {
    double tonePeak = 1;
    std::vector<double> x = RenderNoise(s, seconds, &tonePeak);
    double mean = 0, rms = 0;
    for (double v : x) mean += v;
    mean /= static_cast<double>(x.size());
    for (double& v : x) {
      v -= mean;
      rms += v * v;
    }
    rms = std::sqrt(rms / static_cast<double>(x.size()));
    std::vector<double> psd = spectrum::PowerDensity(x, 8192);
    double slope = rms > 0 ? spectrum::SlopeDbPerOctave(psd, 44100, 100, 12800) : 0;
    std::printf("%3d %8.3f %8.5f %8.5f\n", s, slope, spectrum::Percentile(x, 0.999) / tonePeak, rms / tonePeak);
  }
  EngineShutdown();
  return 0;
}

// What each file format and quality keeps of the AudioStrobe carrier.
//
// A two-minute preset (the flash sweeping 1-40 Hz on the left and 40-1 Hz
// on the right, brightness 20-100 % and 100-20 %, one voice, pink noise)
// is rendered with AudioStrobe at 44.1 kHz (Opus: 48 kHz) into WAV, FLAC
// and every quality of Ogg Vorbis, Opus and MP3, the written blocks read by
// the light decoder as they go; the file is then read back through
// CheckLightFile and compared (CompareLight). Printed per row: the file's
// bit rate, the carrier's level change (mean and worst second), the largest
// brightness and flash frequency differences, the seconds that lost the
// carrier or differ beyond 10 % / 0.5 Hz, whether the light survived, and
// the decoding speed of the file in multiples of real time (CPU time).
//
//   sonavel_light_formats [DIR]    (default: a temporary folder, removed)
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "data/playback/playback.h"
#include "data/synthesis/state.h"
#include "engine/startup.h"
#include "lightchk/lightcmp.h"
#include "main/preset.h"
#include "platform/rand.h"
#include "presetjson/presetjson.h"

namespace {

// The record this program plays on.
PlaybackState Playback;

const char* kPreset = R"js({"Name": "formats", "ContinuePlaying": 0, "Segment": [{"Length": 200, "Param": {
  "Visual Frequency": {"ChannelMode": 1, "Curve": [[0, 1], [100, 40]]},
  "Visual Frequency (Right)": {"Curve": [[0, 40], [100, 1]]},
  "Visual Brightness": {"ChannelMode": 1, "Curve": [[0, 20], [100, 100]]},
  "Visual Brightness (Right)": {"Curve": [[0, 100], [100, 20]]},
  "Noise Volume": {"Value": 12}, "Noise Smoothness": {"Easy": "Pink noise"}},
  "Voice": [{"Binaural Beat Frequency": {"Value": 10}, "Audible Pitch": {"Value": 200},
             "Sound Volume": {"Value": 75}}]}]})js";

struct Row {
  plat::SoundFormat Format;
  int Quality;
};

}  // namespace

int main(int argc, char** argv) {
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return 2;
  std::string dir;
  bool own = argc < 2;
  if (own) {
    char tmpl[] = "/tmp/sonavel-formats-XXXXXX";
    if (!mkdtemp(tmpl)) return 2;
    dir = tmpl;
  } else {
    dir = argv[1];
  }
  Preset p{};
  std::string error;
  if (!PresetFromJson(nlohmann::json::parse(kPreset), p, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const int32_t minutes = PresetLength(p);
  std::vector<Row> rows = {{plat::SOUND_WAV, plat::SOUND_QUALITY_DEFAULT}, {plat::SOUND_FLAC, 5}};
  for (plat::SoundFormat f : {plat::SOUND_VORBIS, plat::SOUND_OPUS, plat::SOUND_MP3})
    for (int q = 0; q <= 10; ++q) rows.push_back({f, q});

  std::printf("%-10s %3s %7s %9s %9s %7s %8s %8s %8s  %-9s %7s\n", "format", "q", "kbit/s", "level dB", "worst dB",
              "max db", "max df", "missing", "off", "light", "x real");
  for (const Row& row : rows) {
    AdvancedOptions o;
    o.SamplesPerSec = 44100;
    Playback.AudioStrobeOn.store(1);
    plat::SeedRandom(3);
    FileOutput out;
    out.Format = row.Format;
    out.Quality = row.Quality;
    int rate = plat::EncoderRate(row.Format, o.SamplesPerSec);
    LightDecoder* written = LightDecoderCreate(rate, 2, LightLevels());
    out.BlockWritten = LightFeedBlock;
    out.BlockCtx = written;
    std::string file = dir + "/formats" + plat::SoundFormatExtension(row.Format);
    if (int rc = StartPlaybackToFile(Playback, p, o, file.c_str(), minutes, nullptr, out)) {
      std::fprintf(stderr, "%s: render failed (%d)\n", plat::SoundFormatTitle(row.Format), rc);
      return 2;
    }
    LightDecoderFinish(written);
    LightReport before, after;
    SummarizeLight(written, &before);
    LightDecoderFree(written);
    std::string reason;
    std::clock_t start = std::clock();
    int rc = CheckLightFile(file.c_str(), LightLevels(), nullptr, &after, &reason);
    double cpu = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (rc != 0) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), reason.c_str());
      return 2;
    }
    double seconds = minutes * 0.6;
    struct stat st {};
    stat(file.c_str(), &st);
    LightSurvival s = CompareLight(before, after);
    char q[8] = "-";
    if (row.Quality != plat::SOUND_QUALITY_DEFAULT && row.Format != plat::SOUND_FLAC)
      std::snprintf(q, sizeof q, "%d", row.Quality);
    char figures[64] = "        -         -       -        -";
    if (s.Compared > 0)
      std::snprintf(figures, sizeof figures, "%+9.1f %+9.1f %7.1f %8.2f", static_cast<double>(s.LevelChange),
                    static_cast<double>(s.WorstLevel), static_cast<double>(s.MaxBrightness),
                    static_cast<double>(s.MaxFrequency));
    std::printf("%-10s %3s %7.0f %s %8d %8d  %-9s %7.0f\n", plat::SoundFormatTitle(row.Format), q,
                static_cast<double>(st.st_size) * 8 / seconds / 1000, figures, s.Missing, s.Off,
                s.Survived ? "kept" : "LOST", seconds / std::max(cpu, 1e-6));
    std::fflush(stdout);
  }
  FreePreset(p);
  if (own) std::filesystem::remove_all(dir);
  EngineShutdown();
  return 0;
}

// Background records as a library fills them: the input is up to kRecords
// 780-byte records (a short last one is padded with zeros), handed over by
// the library Fuzz.dll next to the target (bgrecord_library.cpp). After the
// program completed them, each record must be well formed, its parameter row
// must be one the engine can take, and a preset that plays the background
// with its parameter at the row's limits must calculate and play.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"
#include "data/engine.h"
#include "fuzz/fuzzcommon.h"
#include "main/preset.h"
#include "tests/common/riffimage.h"

namespace {

// The record this program plays on.
PlaybackState Playback;

constexpr int kRecords = 8;
constexpr const char* kLibrary = "Fuzz.dll";
std::vector<unsigned char> gRecords;

void Fail(const char* what, int i) {
  std::fprintf(stderr, "record %d: %s\n", i, what);
  std::abort();
}

std::string TargetFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  std::string s(buf);
  return s.substr(0, s.rfind('/'));
}

// Stereo 16-bit 8000 Hz, 0.05 s.
std::vector<unsigned char> Wave() {
  riffimg::Bytes samples;
  for (int i = 0; i < 400 * 2; ++i) riffimg::Put16(samples, static_cast<uint16_t>(i * 80 - 32000));
  return riffimg::Wave(2, 8000, 16, samples);
}

// One segment, one voice, the background parameter from the row's Min to
// its Max and back.
void PlayWithRow(const AmbixRecord& r) {
  Preset p{};
  NewDefaultPreset(p, 3);
  p.data.Background = r.Number;
  std::strncpy(p.data.BackgroundFile, kLibrary, NAMELEN - 1);
  BackgroundChoice choice;
  if (ResolveBackground(p, &choice) == 0) {
    const ParamDefType& row = choice.ParamRow;
    Param* params = SegParams(p, 0);
    for (int c = 0; c < row.Channels && c < 2; ++c) {
      Param& bg = params[PID_BGPARAM + c];
      bg.Tracking = 0;
      bg.Node[0].Value = row.Min;
      bg.Node[1].Value = row.Max;
      bg.Node[2].Value = row.Min;
    }
    for (int bits16 = 0; bits16 < 2; ++bits16) {
      AdvancedOptions o;
      o.Bits16 = bits16;
      o.SamplesPerSec = bits16 ? 96000 : 11025;
      TakeEngineOptions(Playback, o);
      static const std::vector<unsigned char> wave = Wave();
      int32_t frames = 0;
      Playback.ExtraSourceShare = 0;
      Playback.BackgroundFrames = 0;
      Playback.PlayBackground = choice;
      if (ReadWave(Playback.Options, wave.data(), wave.size(), &frames) == 0) {
        Playback.BackgroundFrames = frames;
        Playback.ExtraSourceShare = 1;
      }
      if (CalculatePreset(Playback, p, false, nullptr) != 0 || FirstSweepRecord(Playback)->Blocks == -1) continue;
      ResetOscillators(Playback);
      StartSweepWalk(Playback, FirstSweepRecord(Playback));
      std::vector<unsigned char> block(static_cast<size_t>(Playback.BlockBytes));
      for (int b = 0; b < 3; ++b) GenerateBlock(Playback, block.data());
    }
  }
  FreePreset(p);
  Playback.PlayBackground = BackgroundChoice{};
  Playback.PlayBackground.ParamRow = ParamDefSpare[0];
  Playback.BackgroundFrames = 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const unsigned char* FuzzBackgroundRecords(int* count) {
  *count = static_cast<int>(gRecords.size() / sizeof(AmbixRecord));
  return gRecords.data();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  static const std::string folder = TargetFolder() + "/bglib";
  size_t n = std::min<size_t>((size + sizeof(AmbixRecord) - 1) / sizeof(AmbixRecord), kRecords);
  gRecords.assign(n * sizeof(AmbixRecord), 0);
  if (size) std::memcpy(gRecords.data(), data, std::min(size, gRecords.size()));

  ClearBackgroundLibraries();
  int added = LoadBackgroundLibraries(folder);
  if (added != static_cast<int>(n)) Fail("library records were lost", added);
  for (int i = 0; i < NumAmbix; ++i) {
    const AmbixRecord& r = AmbixInfo[i];
    if (std::strcmp(r.LibraryFile, kLibrary) != 0) Fail("library file not set", i);
    if (memchr(r.Name, 0, sizeof r.Name) == nullptr) Fail("name without NUL", i);
    if (memchr(r.ParamName, 0, sizeof r.ParamName) == nullptr) Fail("parameter name without NUL", i);
    if (r.ParamRow[APR_POS] != 8 || r.ParamRow[APR_FIRSTPID] != 2 || r.ParamRow[APR_VOL] != 0 ||
        r.ParamRow[APR_NAME] != 0)
      Fail("program's columns of the row not set", i);
    for (unsigned char b : r.Reserved2)
      if (b) Fail("reserved bytes not cleared", i);
    FindBackground(r.Number, r.LibraryFile);
    const BackgroundParamRow b = BackgroundParamRowFor(r.Number, kLibrary);
    if (std::strlen(ParamRowName(b, PN_BGPARAM)) >= 64) Fail("parameter name too long", i);
    const ParamDefType& row = b.Row;
    if (row.Channels < 1 || row.Channels > 2 || row.Min > row.Max || row.Digits < 0 || row.Digits > 7)
      Fail("a row the engine cannot use", i);
    if (i < 2) PlayWithRow(r);
  }
  ClearBackgroundLibraries();
  return 0;
}

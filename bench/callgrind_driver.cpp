// Generates blocks, or calculates the largest legal preset, for instruction
// counting:
//   sonavel_callgrind <voices> <blocks> [bits16=1] [mod=0] [noise=0]
//   sonavel_callgrind calculate <times>
// Instructions per frame = (Ir(2N blocks) - Ir(N blocks)) / (N * frames);
// per calculation = Ir(2 times) - Ir(1 time).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "benchpreset.h"
#include "data/engine.h"
#include "main/preset.h"

namespace {

int Calculate(int times) {
  BenchStartUp();
  TakeEngineOptions(BenchPlayback, AdvancedOptions{});
  Preset p{};
  BenchPreset(p, MAXSEGMENTS, MAXVOICES, MAXNODES);
  int status = 0;
  for (int i = 0; i < times; i++) {
    BenchPlayback.ExtraSourceShare = 0;
    status = CalculatePreset(BenchPlayback, p, true, nullptr);
  }
  // A checksum of the list, the pointers taken as offsets into their ranges
  // (so that two builds can be compared).
  int records = 0;
  uint64_t sum = 1469598103934665603u;
  auto mix = [&](const void* data, size_t n) {
    for (size_t i = 0; i < n; i++) sum = (sum ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211u;
  };
  for (SweepRecord* r = FirstSweepRecord(BenchPlayback);; r = FollowingRecord(r)) {
    records++;
    SweepRecord copy;
    size_t bytes = SweepRecordBytes(r->NumVoices);
    std::memcpy(static_cast<void*>(&copy), r, bytes);
    copy.RepeatTarget = reinterpret_cast<SweepRecord*>(
        r->RepeatTarget ? reinterpret_cast<unsigned char*>(r->RepeatTarget) - BenchPlayback.SweepData.Base + 1 : 0);
    for (int i = 0; i <= r->NumVoices; i++)
      for (int e = 0; e < 2; e++)
        copy.Voice[i].Table[e] = reinterpret_cast<const void*>(static_cast<const unsigned char*>(r->Voice[i].Table[e]) -
                                                               BenchPlayback.WaveformData.Base);
    mix(&copy, bytes);
    if (r->Blocks <= 0) break;
  }
  std::printf("records %d status %d checksum %016llx\n", records, status, static_cast<unsigned long long>(sum));
  FreePreset(p);
  return status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "calculate") == 0) return Calculate(std::atoi(argv[2]));
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s voices blocks [bits16] [mod] [noise]\n       %s calculate times\n", argv[0],
                 argv[0]);
    return 2;
  }
  int voices = std::atoi(argv[1]), blocks = std::atoi(argv[2]);
  bool wide = argc > 3 ? std::atoi(argv[3]) != 0 : true;
  bool mod = argc > 4 && std::atoi(argv[4]) != 0;
  bool noise = argc > 5 && std::atoi(argv[5]) != 0;
  BenchStartUp();
  BenchRecord(voices, wide, mod, noise);
  std::vector<unsigned char> buf(static_cast<size_t>(BenchPlayback.BlockBytes));
  unsigned sum = 0;
  for (int i = 0; i < blocks; i++) {
    GenerateBlock(BenchPlayback, buf.data());
    sum += buf[static_cast<size_t>(i) % buf.size()];
  }
  std::printf("frames/block %d checksum %u\n", BenchPlayback.BlockBytes / (wide ? 4 : 2), sum);
  return 0;
}

// Generates blocks for instruction counting:
//   sonavel_callgrind <voices> <blocks> [bits16=1] [mod=0] [noise=0]
// Instructions per frame = (Ir(2N blocks) - Ir(N blocks)) / (N * frames).
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "benchpreset.h"
#include "data/engine.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s voices blocks [bits16] [mod] [noise]\n", argv[0]);
    return 2;
  }
  int voices = std::atoi(argv[1]), blocks = std::atoi(argv[2]);
  bool wide = argc > 3 ? std::atoi(argv[3]) != 0 : true;
  bool mod = argc > 4 && std::atoi(argv[4]) != 0;
  bool noise = argc > 5 && std::atoi(argv[5]) != 0;
  BenchStartUp();
  BenchRecord(voices, wide, mod, noise);
  std::vector<unsigned char> buf(static_cast<size_t>(BlockBytes));
  unsigned sum = 0;
  for (int i = 0; i < blocks; i++) {
    GenerateBlock(buf.data());
    sum += buf[static_cast<size_t>(i) % buf.size()];
  }
  std::printf("frames/block %d checksum %u\n", BlockBytes / (wide ? 4 : 2), sum);
  return 0;
}

// Background WAV images: ReadWave in every engine format. An accepted sound
// must lie inside the committed part of BackgroundData; either way the raw
// buffer is decommitted again.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/backgrounds/bgload.h"
#include "data/engine.h"
#include "fuzz/fuzzcommon.h"
#include "platform/riff.h"

namespace {

// A small file at a very low rate converts to hundreds of megabytes, which
// is accepted up to BackgroundData's size but takes seconds per input. Such
// formats are skipped, judged by the rate of the first "fmt " chunk and the
// input size as the frame count; far larger results, refused at once, run.
constexpr int64_t kSlowBytes = 32000000;
bool SlowConversion(const uint8_t* data, size_t size, int rate, bool bits16) {
  if (size < 4) return false;  // an empty input may come with no buffer at all
  const uint8_t* fmt = static_cast<const uint8_t*>(memmem(data, size, "fmt ", 4));
  if (!fmt || fmt + 16 > data + size) return false;
  int64_t sourceRate = plat::GetLE32(fmt + 12);
  int64_t bytes = ConvertedFrames(static_cast<int64_t>(size), sourceRate, rate) * (bits16 ? 4 : 2);
  return bytes > kSlowBytes && bytes <= 2 * static_cast<int64_t>(BACKGROUNDDATA_BYTES);
}

void Fail(const char* what, int rate, bool bits16) {
  std::fprintf(stderr, "%s (%d Hz, %d bits)\n", what, rate, bits16 ? 16 : 8);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  static const int rates[] = {11025, 44100, 96000};
  for (int bits16 = 0; bits16 < 2; ++bits16)
    for (int rate : rates) {
      if (SlowConversion(data, size, rate, bits16 != 0)) continue;
      AdvancedOptions o;
      o.Bits16 = bits16;
      o.SamplesPerSec = rate;
      int32_t frames = -1;
      int rc = ReadWave(o, data, size, &frames);
      if (BackgroundTempData.Committed != 0) Fail("the raw buffer stays committed", rate, bits16);
      if (rc != 0) {
        if (frames != 0) Fail("a refused sound has frames", rate, bits16);
        continue;
      }
      size_t bytes = static_cast<size_t>(frames) * (bits16 ? 4 : 2);
      // A sound of one frame converts to none: its last frame is never used.
      if (frames < 0 || bytes > BackgroundData.Committed) Fail("frames outside the committed data", rate, bits16);
      if (frames > 0) {
        // The last byte written must be readable.
        volatile unsigned char last = BackgroundData.Base[bytes - 1];
        (void)last;
      }
      plat::RegionReset(BackgroundData);
    }
  return 0;
}

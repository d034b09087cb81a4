// Background sound files read through the codec library: ReadSoundFile on
// FLAC, Ogg, Opus, MP3 and WAV images of other sample formats, in two
// engine formats. An accepted sound must lie inside the committed part of
// BackgroundData; a refused one has a message and, from the codec library,
// a reason.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/backgrounds/bgload.h"
#include "data/engine.h"
#include "fuzz/fuzzcommon.h"
#include "platform/soundfile.h"

namespace {

void Fail(const char* what, int rate, bool bits16) {
  std::fprintf(stderr, "%s (%d Hz, %d bits)\n", what, rate, bits16 ? 16 : 8);
  std::abort();
}

// A sound at a very low rate converts to hundreds of megabytes, accepted up
// to BackgroundData's size but seconds per input: such inputs are skipped,
// judged by the rate the header declares.
bool SlowConversion(const uint8_t* data, size_t size) {
  plat::DecodedSound info;
  std::string reason;
  plat::SoundReader* r = plat::DecoderOpenMemory(data, size, &info, &reason);
  if (!r) return false;
  plat::DecoderClose(r);
  return info.Rate < 4000;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  if (SlowConversion(data, size)) return 0;
  static const struct {
    int Rate;
    bool Bits16;
  } formats[] = {{44100, true}, {11025, false}};
  for (const auto& f : formats) {
    AdvancedOptions o;
    o.Bits16 = f.Bits16;
    o.SamplesPerSec = f.Rate;
    int32_t frames = -1;
    int rc = ReadSoundFile(o, data, size, &frames);
    if (BackgroundTempData.Committed != 0) Fail("the raw buffer stays committed", f.Rate, f.Bits16);
    if (rc == BG_UNREADABLE && !*BackgroundReadReason()) Fail("no reason for an unreadable file", f.Rate, f.Bits16);
    if (rc != 0) continue;
    size_t bytes = static_cast<size_t>(frames) * (f.Bits16 ? 4 : 2);
    if (frames < 0 || bytes > BackgroundData.Committed) Fail("frames outside the committed data", f.Rate, f.Bits16);
    if (frames > 0) {
      volatile unsigned char last = BackgroundData.Base[bytes - 1];
      (void)last;
    }
    plat::RegionReset(BackgroundData);
  }
  return 0;
}

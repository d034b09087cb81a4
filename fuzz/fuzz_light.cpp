// The light signal check on any input: a sound file image through the codec
// library (CheckLightMemory), or, for inputs that start with "LDEC", the
// decoder fed directly (bytes 4-6 the rate, little-endian, byte 7 the
// channels, then 16-bit samples). Whatever comes in, the blocks match the
// frames decoded, every value is finite and in its range, and an unreadable
// file has a reason.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzzcommon.h"
#include "lightchk/lightfile.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

void CheckEye(const LightEye& e) {
  if (!std::isfinite(e.Level) || !std::isfinite(e.Brightness) || !std::isfinite(e.Frequency) || !std::isfinite(e.Depth))
    Fail("a value is not finite");
  if (e.Brightness < 0 || e.Brightness > 100 || e.Depth < 0 || e.Depth > 100) Fail("a percentage beyond 0..100");
  if (e.Frequency < 0) Fail("a negative flash frequency");
  if (!e.Carrier && (e.Frequency != 0 || e.Level != LIGHT_NO_LEVEL)) Fail("light without a carrier");
}

void CheckReport(const LightReport& r, int64_t frames, int rate) {
  int64_t blocks = rate > 0 ? (frames * LIGHT_BLOCKS_PER_SECOND + rate - 1) / rate : 0;
  if (static_cast<int64_t>(r.Blocks.size()) != blocks) Fail("the blocks do not match the frames");
  if (r.Seconds.size() != (r.Blocks.size() + LIGHT_BLOCKS_PER_SECOND - 1) / LIGHT_BLOCKS_PER_SECOND)
    Fail("the seconds do not match the blocks");
  for (const LightBlock& b : r.Blocks)
    for (const LightEye& e : b.Eye) CheckEye(e);
  for (const LightSecond& s : r.Seconds)
    for (const LightEye& e : s.Eye) CheckEye(e);
  for (const LightGap& g : r.Gaps)
    if (g.From < r.From || g.To > r.To || g.To - g.From < LIGHT_MIN_GAP - 1e-9) Fail("a gap outside the carrier");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  if (size >= 8 && std::memcmp(data, "LDEC", 4) == 0) {
    int rate = data[4] | data[5] << 8 | data[6] << 16;
    int channels = data[7] % 9 + (data[7] % 9 == 0);
    size_t count = (size - 8) / 2 / static_cast<size_t>(channels);
    std::vector<int16_t> samples(count * static_cast<size_t>(channels));
    std::memcpy(samples.data(), data + 8, samples.size() * 2);
    LightDecoder* d = LightDecoderCreate(rate, channels, LightLevels{data[5] % 101, data[6] % 101});
    // In two pieces, as a file arrives.
    size_t half = count / 2;
    LightDecoderFeed(d, samples.data(), static_cast<int64_t>(half));
    LightDecoderFeed(d, samples.data() + half * static_cast<size_t>(channels), static_cast<int64_t>(count - half));
    LightDecoderFinish(d);
    LightReport r;
    SummarizeLight(d, &r);
    int64_t covered = LightDecoderCovered(d);
    LightDecoderFree(d);
    if (covered != (rate < 1 ? 0 : std::min<int64_t>(static_cast<int64_t>(count), LIGHT_MAX_SECONDS * rate)))
      Fail("the frames covered are not the frames fed");
    CheckReport(r, covered, rate);
    return 0;
  }
  LightReport r;
  std::string reason;
  int rc = CheckLightMemory(data, size, LightLevels(), nullptr, &r, &reason);
  if (rc == LIGHT_UNREADABLE) {
    if (reason.empty()) Fail("no reason for an unreadable file");
    return 0;
  }
  if (rc != 0) Fail("an outcome the check does not have");
  CheckReport(r, r.Frames, r.Rate);
  return 0;
}

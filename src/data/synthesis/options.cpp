#include "data/synthesis/options.h"

#include <algorithm>

#include "data/synthesis/state.h"

int32_t ComputeBlockBytes(const AdvancedOptions& o) {
  int64_t bytesPerSample = o.Bits16 ? 2 : 1;
  int64_t b = bytesPerSample * o.SamplesPerSec * o.LenOfBlocks * 2 / 1000;
  int64_t frame = 2 * bytesPerSample;
  b -= b % frame;
  return b < 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(b, INT32_MAX - 3));
}

void TakeEngineOptions(PlaybackState& pb, const AdvancedOptions& o) {
  pb.Options = o;
  // Out-of-range levels would push the mixing gain past full scale and
  // overflow the 32-bit sample products; the dialogs never allow them.
  pb.Options.AudioStrobeZeroLevel = std::clamp(o.AudioStrobeZeroLevel, 0, 100);
  pb.Options.AudioStrobeMaxLevel = std::clamp(o.AudioStrobeMaxLevel, 0, 100);
  pb.Options.AudioStrobeDutyCycle = std::clamp(o.AudioStrobeDutyCycle, 0, 100);
  pb.BlockBytes = ComputeBlockBytes(pb.Options);
}

int64_t OutputBlockCount(int32_t minutes, int32_t lenOfBlocks) {
  if (lenOfBlocks <= 0 || minutes <= 0) return 0;
  int64_t ms = static_cast<int64_t>(minutes) * 600;  // minutes/100 * 60 * 1000
  return (2 * ms + lenOfBlocks) / (2 * static_cast<int64_t>(lenOfBlocks));
}

int32_t MaxWavMinutes(int32_t blockBytes, int32_t lenOfBlocks) {
  if (blockBytes <= 0 || lenOfBlocks <= 0) return 0;
  // The RIFF size field counts "WAVE", the 26 bytes of "fmt " and the 8 of
  // the "data" header besides the samples.
  int64_t maxBlocks = (int64_t{0xFFFFFFFF} - 38) / blockBytes;
  // OutputBlockCount(m) = floor((1200 m + L) / 2L) <= B exactly when
  // 1200 m < L (2B + 1).
  int64_t m = (static_cast<int64_t>(lenOfBlocks) * (2 * maxBlocks + 1) - 1) / 1200;
  return static_cast<int32_t>(std::min<int64_t>(m, INT32_MAX));
}

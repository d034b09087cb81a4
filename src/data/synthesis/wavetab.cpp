// Shape generator, fixed tables, ConvVol and the waveform cache.
#include "data/synthesis/wavetab.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "assert/check.h"
#include "data/synthesis/fixedtables.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"

namespace {

void ReserveOrReport(plat::Region& r, size_t bytes, const char* expr, const char* name) {
  if (!plat::RegionReserve(r, bytes)) CheckFail(TVK_MODULE, __LINE__, expr, name, 0);
}

}  // namespace

void InitEngineTables() {
  ReserveOrReport(BackgroundTempData, BACKGROUNDTEMPDATA_BYTES, "BackgroundTempData!=NULL", "BackgroundTempData");
  ReserveOrReport(BackgroundData, BACKGROUNDDATA_BYTES, "BackgroundData!=NULL", "BackgroundData");
  // The fixed tables come built (fixedtables.h); the two rectangular ones
  // go back to a duty cycle of 50, which a preset calculation may change.
  std::memcpy(RectangularData8, RectangularData8AtStart, WAVELEN);
  std::memcpy(SteepRectangularData8, SteepRectangularData8AtStart, WAVELEN);
}

void ResetWaveformCache(PlaybackState& pb) { pb.WaveformCacheUsed = 0; }
int WaveformCacheCount(const PlaybackState& pb) { return pb.WaveformCacheUsed; }

int GetWaveformTable(PlaybackState& pb, bool wide, int32_t waveform, int32_t filter, const void** table) {
  // Halves above 100.0 % only come from hand-made files; they would put the
  // break points outside the cycle.
  int lo = std::min(static_cast<int>(static_cast<uint32_t>(waveform) & 0xFFFF), 1000);
  int hi = std::min(static_cast<int>(static_cast<uint32_t>(waveform) >> 16), 1000);
  int s;
  double e;
  WaveformShape(lo / 10, hi / 10, &s, &e);
  int f = std::clamp<int32_t>(filter, 0, FILTER_NONE);
  float ef = static_cast<float>(e);
  int& used = pb.WaveformCacheUsed;
  for (int i = 0; i < used; i++) {
    const WaveformCacheEntry& c = pb.WaveformCache[i];
    if (c.Shape == s && c.Exponent == ef && c.Filter == f) {
      *table = c.Data;
      return 0;
    }
  }
  if (used >= MAXWAVEFORMCACHE) return -2;
  size_t stride = WAVELEN * (wide ? 2 : 1);
  if (!pb.WaveformData.Base && !plat::RegionReserve(pb.WaveformData, WAVEFORMDATA_BYTES)) return -2;
  if (!plat::RegionEnsure(pb.WaveformData, stride * static_cast<size_t>(used + 1))) return -2;
  void* data = pb.WaveformData.Base + stride * static_cast<size_t>(used);
  if (s == 0 && e == 1.0 && f >= FILTER_NONE)
    std::memcpy(data, wide ? static_cast<const void*>(SineTable16) : SineData8, stride);  // the sine, built
  else
    BuildWaveform(s, 50, e, data, WAVELEN, wide);
  if (f < FILTER_NONE) FilterWaveform(f, data, WAVELEN, wide);
  pb.WaveformCache[used++] = {s, ef, f, data};
  *table = data;
  return 0;
}

void BuildStrobeShapes(const AdvancedOptions& o) {
  int wave = o.AudioStrobeWaveform;
  if (wave != ASWAVE_RECTANGULAR && wave != ASWAVE_STEEP) return;
  BuildWaveform(108, o.AudioStrobeDutyCycle, 1.0, RectangularData8, WAVELEN, false);
  BuildWaveform(162, o.AudioStrobeDutyCycle, 1.0, SteepRectangularData8, WAVELEN, false);
}

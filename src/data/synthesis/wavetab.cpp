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

struct WaveformCacheEntry {
  int32_t Shape;
  float Exponent;
  int32_t Filter;
  void* Data;
};
WaveformCacheEntry gCache[MAXWAVEFORMCACHE];
int gCacheCount = 0;

void ReserveOrReport(plat::Region& r, size_t bytes, const char* expr, const char* name) {
  if (!plat::RegionReserve(r, bytes)) CheckFail(TVK_MODULE, __LINE__, expr, name, 0);
}

}  // namespace

void InitEngineTables() {
  ReserveOrReport(WaveformData, WAVEFORMDATA_BYTES, "WaveformData!=NULL", "WaveformData");
  ReserveOrReport(DataBlockMem, DATABLOCKMEM_BYTES, "DataBlockMem!=NULL", "DataBlockMem");
  ReserveOrReport(BackgroundTempData, BACKGROUNDTEMPDATA_BYTES, "BackgroundTempData!=NULL", "BackgroundTempData");
  ReserveOrReport(BackgroundData, BACKGROUNDDATA_BYTES, "BackgroundData!=NULL", "BackgroundData");
  // The fixed tables come built (fixedtables.h); the two rectangular ones
  // go back to a duty cycle of 50, which a preset calculation may change.
  std::memcpy(RectangularData8, RectangularData8AtStart, WAVELEN);
  std::memcpy(SteepRectangularData8, SteepRectangularData8AtStart, WAVELEN);
}

void ResetWaveformCache() { gCacheCount = 0; }
int WaveformCacheCount() { return gCacheCount; }

int GetWaveformTable(bool wide, int32_t waveform, int32_t filter, const void** table) {
  // Halves above 100.0 % only come from hand-made files; they would put the
  // break points outside the cycle.
  int lo = std::min(static_cast<int>(static_cast<uint32_t>(waveform) & 0xFFFF), 1000);
  int hi = std::min(static_cast<int>(static_cast<uint32_t>(waveform) >> 16), 1000);
  int s;
  double e;
  WaveformShape(lo / 10, hi / 10, &s, &e);
  int f = std::clamp<int32_t>(filter, 0, FILTER_NONE);
  float ef = static_cast<float>(e);
  for (int i = 0; i < gCacheCount; i++) {
    const WaveformCacheEntry& c = gCache[i];
    if (c.Shape == s && c.Exponent == ef && c.Filter == f) {
      *table = c.Data;
      return 0;
    }
  }
  if (gCacheCount >= MAXWAVEFORMCACHE) return -2;
  size_t stride = WAVELEN * (wide ? 2 : 1);
  if (!plat::RegionEnsure(WaveformData, stride * static_cast<size_t>(gCacheCount + 1))) return -2;
  void* data = WaveformData.Base + stride * static_cast<size_t>(gCacheCount);
  if (s == 0 && e == 1.0 && f >= FILTER_NONE)
    std::memcpy(data, wide ? static_cast<const void*>(SineTable16) : SineData8, stride);  // the sine, built
  else
    BuildWaveform(s, 50, e, data, WAVELEN, wide);
  if (f < FILTER_NONE) FilterWaveform(f, data, WAVELEN, wide);
  gCache[gCacheCount++] = {s, ef, f, data};
  *table = data;
  return 0;
}

void BuildStrobeShapes(const AdvancedOptions& o) {
  int wave = o.AudioStrobeWaveform;
  if (wave != ASWAVE_RECTANGULAR && wave != ASWAVE_STEEP) return;
  BuildWaveform(108, o.AudioStrobeDutyCycle, 1.0, RectangularData8, WAVELEN, false);
  BuildWaveform(162, o.AudioStrobeDutyCycle, 1.0, SteepRectangularData8, WAVELEN, false);
}

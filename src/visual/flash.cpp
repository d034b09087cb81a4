// The level and interval arithmetic of the screen flashing.
#include "visual/flash.h"

#include <algorithm>

#include "data/synthesis/wavetab.h"
#include "main/model.h"

uint32_t FlashLevelColour(uint32_t colour, int level) {
  uint32_t l = static_cast<uint32_t>(std::clamp(level, 0, FLASH_LEVELS - 1));
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t c = (colour >> shift) & 0xFF;
    out |= (c - l * c / 64) << shift;
  }
  return out;
}

FlashLevels FlashLevelsOf(const FlashValues& v) {
  FlashLevels l;
  int32_t b = std::clamp<int32_t>(v.Brightness / 100, 0, 100);
  l.Base100 = (100 - b) * 63;
  l.Depth = std::clamp<int32_t>(v.ModDepth, 0, 100) * b / 100;
  // A period under a millisecond, or a still modulation, would divide by
  // zero below: it shows as no modulation.
  if (v.ModRate > 0)
    l.PeriodMs = v.ModRate / 1000;
  else if (v.ModRate < 0)
    l.PeriodMs = static_cast<int32_t>(1000000LL / -static_cast<int64_t>(v.ModRate));
  return l;
}

int32_t FlashInterval(int32_t frequency) {
  if (frequency <= 0) return -1;
  // 1000 ms x 10^Digits / f, rounded half away from zero.
  int64_t num = 1000LL * PowerOfTen[ParamDef[PN_VISFREQ].Digits];
  int64_t i = (2 * num + frequency) / (2LL * frequency);
  return static_cast<int32_t>(std::clamp<int64_t>(i, 1, INT32_MAX));
}

int FlashLevelAt(const FlashLevels& l, int64_t elapsedMs) {
  int64_t level;
  if (l.Depth == 0 || l.PeriodMs <= 0) {
    level = l.Base100 / 100;
  } else {
    int64_t index = (elapsedMs * WAVELEN / l.PeriodMs - WAVELEN / 4) % WAVELEN;
    if (index < 0) index += WAVELEN;
    int q = SineData8[index] * 64 / 256 + 32;
    level = (l.Base100 + static_cast<int64_t>(l.Depth) * q) / 100;
  }
  return static_cast<int>(std::clamp<int64_t>(level, 0, FLASH_LEVELS - 1));
}

void FlashReset(FlashState& s, int numColors) {
  s = FlashState{};
  s.NumColors = std::clamp(numColors, 1, FLASH_MAXCOLORS);
}

bool FlashNewValues(FlashState& s, const FlashValues& v) {
  s.Levels = FlashLevelsOf(v);
  int32_t i = FlashInterval(v.Frequency);
  if (s.Interval != -1) {
    // A record that comes back to the running interval also drops one still
    // waiting from a record before it, or that one would win.
    s.Waiting = i != s.Interval ? i : 0;
    return false;
  }
  s.Interval = i;
  return true;
}

FlashFrame FlashDraw(FlashState& s, bool hold) {
  if (!hold) {
    s.Colour = (s.Colour + 1) % s.NumColors;
    s.ElapsedMs += s.Interval;
  }
  return {s.Colour, FlashLevelAt(s.Levels, s.ElapsedMs)};
}

bool FlashApplyWaiting(FlashState& s) {
  if (s.Waiting == 0) return false;
  s.Interval = s.Waiting;
  s.Waiting = 0;
  return true;
}

bool FlashSmoothPath(bool fullScreen, bool available, int32_t useOption) {
  return fullScreen && available && useOption != 0;
}

bool FlashBeyondRefresh(int32_t frequency, int32_t refreshMilliHz) {
  if (refreshMilliHz <= 0) return false;
  return 2LL * frequency > refreshMilliHz;
}

bool FlashRefreshNoticeStep(FlashRefreshNotice& n, bool beyond) {
  if (n.Phase == 1 && !beyond) n.Phase = 2;
  if (n.Phase == 0 && beyond) n.Phase = 1;
  return n.Phase == 1;
}

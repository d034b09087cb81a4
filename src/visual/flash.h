// Screen flashing without the screen: which colour at which brightness
// level, and when, from the visual values of the sweep record that became
// current last (the left eye's; the screen has one picture).
//
// The values as the sweep records hold them:
//   Frequency   mHz (10000 = 10.000 Hz: a new colour every 100 ms)
//   Brightness  hundredths of a percent (10000 = 100 %: level 0)
//   ModDepth    percent of the brightness (0..100)
//   ModRate     rate encoding: > 0 a period in microseconds (1000000 = 1 s),
//               < 0 a frequency in mHz, 0 still
//
// Level l of a colour (R, G, B) is (R - l*R/64, G - l*G/64, B - l*B/64),
// each term truncated: level 0 is the colour, 63 is 1/64 of it.
//
// The state below is what a periodic timer would keep; FlashThread
// (visual/flashthread.h) drives it from a thread that sleeps to absolute
// deadlines. Only the thread that owns a FlashState touches it.
#pragma once
#include <cstdint>

constexpr int FLASH_LEVELS = 64;
constexpr int FLASH_MAXCOLORS = 32;

struct FlashValues {
  int32_t Frequency = 0;
  int32_t Brightness = 0;
  int32_t ModDepth = 0;
  int32_t ModRate = 0;
};

// The brightness levels of a record: base level x 100, modulation depth M
// and modulation period in ms (0: no modulation).
struct FlashLevels {
  int32_t Base100 = 63 * 100;
  int32_t Depth = 0;
  int32_t PeriodMs = 0;
};

struct FlashState {
  int NumColors = 1;
  int Colour = 0;         // index of the colour shown, 0..NumColors-1
  int64_t ElapsedMs = 0;  // sum of the intervals drawn so far
  FlashLevels Levels;
  int32_t Interval = -1;  // ms between colours; -1: not running
  int32_t Waiting = 0;    // interval to apply after the next drawing; 0: none
};

// 0x00BBGGRR of `colour` at level 0..63.
uint32_t FlashLevelColour(uint32_t colour, int level);

// The levels for brightness b, depth m and rate p: B = b/100 percent,
// base x 100 = (100 - B) * 63, M = m * B / 100, period p / 1000 ms.
FlashLevels FlashLevelsOf(const FlashValues& v);
// The interval for frequency f: 1000 / (f / 10^Digits) ms rounded half away
// from zero, at least 1; -1 for f <= 0 (the colour stays).
int32_t FlashInterval(int32_t frequency);
// The level 0..63 drawn `elapsedMs` after the start: base / 100 without
// modulation, else (base + M * q) / 100 with q = s * 64 / 256 + 32 for the
// sine table's sample s at (elapsed * 8192 / P - 2048) mod 8192 (the
// modulation starts at its lowest point, the brightest).
int FlashLevelAt(const FlashLevels& l, int64_t elapsedMs);

// Starts a flashing of `numColors` colours: the first colour, nothing
// elapsed, no interval.
void FlashReset(FlashState& s, int numColors);

// New values of a record. The levels apply at once. While running, a new
// interval waits for the next drawing (FlashApplyWaiting); the same interval
// changes nothing. When not running, returns true: the caller draws once
// holding (FlashDraw with hold) and then runs with s.Interval unless it is
// -1.
bool FlashNewValues(FlashState& s, const FlashValues& v);

struct FlashFrame {
  int Colour;
  int Level;
};
// One drawing: unless holding, the next colour and one interval more.
FlashFrame FlashDraw(FlashState& s, bool hold);

// After a drawing: makes a waiting interval current. Returns true when it
// did (the caller re-arms from this drawing's time, or stops when the
// interval is -1).
bool FlashApplyWaiting(FlashState& s);

// Whether a flashing takes the smooth (OpenGL) path: only full screen, only
// when the machine offers it, and only with the option (UseDirectDraw) on.
bool FlashSmoothPath(bool fullScreen, bool available, int32_t useOption);

// A display shows a new colour at most once a frame: a visual frequency (mHz)
// above half its refresh rate (mHz) cannot be shown faithfully. An unknown
// rate (0 or less) limits nothing.
bool FlashBeyondRefresh(int32_t frequency, int32_t refreshMilliHz);

// The refresh-rate notice of one playback, stepped with each status: it shows
// from the first status whose frequency is beyond the refresh for as long as
// the frequency stays beyond it, and not again in that playback (a preset
// whose frequency swings around the limit would otherwise blink it).
struct FlashRefreshNotice {
  int Phase = 0;  // 0 not yet, 1 showing, 2 shown
};
bool FlashRefreshNoticeStep(FlashRefreshNotice& n, bool beyond);

// Waveform tables: the shape generator, the low-pass filter, the per-playback
// waveform cache, the fixed 8-bit tables and the volume conversion table.
//
// An engine table is one cycle of 8192 samples (index k is the angle
// k * 360 / 8192 degrees), signed 16-bit (-32767..32767) when the engine runs
// 16-bit output and signed 8-bit (-127..127) otherwise.
//
// Waveform parameter value: low 16 bits shape position p, high 16 bits
// sharpness q, both in tenths (0..1000); the engine uses p/10 and q/10.
// Waveform filter value: hundredths (0..2000), 2000 = no filtering.
#pragma once
#include <cstdint>

constexpr int WAVELEN = 8192;
constexpr int MAXWAVEFORMCACHE = 1000;
constexpr int FILTER_NONE = 2000;

extern int8_t SineData8[WAVELEN];
extern int8_t TriangularData8[WAVELEN];
extern int8_t RectangularData8[WAVELEN];
extern int8_t SteepRectangularData8[WAVELEN];
// Linear gain in 1/1024 for a volume in hundredths of a percent (0..10000).
extern int32_t ConvVol[10001];
// ConvVol[i] from its formula: round(1024 ln(1 - i / 10100) / ln(1 / 101)),
// halves up. Any thread.
int32_t ConvVolOf(int i);

// Reserves the process's address ranges and sets the fixed tables and ConvVol
// (computed when the program is built, by the same code). Main thread, once
// at start-up (calling it again is harmless).
void InitEngineTables();

// Shape s (degrees) and exponent e for position p and sharpness q (0..100).
void WaveformShape(int p, int q, int* s, double* e);
// One cycle of n samples (n divides 8192) for shape s, duty d (percent) and
// exponent e; `out` is int16_t[n] when wide, else int8_t[n]. Any thread.
void BuildWaveform(int s, int d, double e, void* out, int n, bool wide);
struct AdvancedOptions;
// The AudioStrobe carrier's rectangular shapes (RectangularData8,
// SteepRectangularData8) for the options' duty cycle, when the options'
// carrier waveform is one of them. Main thread, while nothing generates.
void BuildStrobeShapes(const AdvancedOptions& o);
// Low-pass filter core: n doubles into out, the periodically extended input
// filtered with an 800-tap windowed sinc for filter value f and offset O
// (the engine uses 1600, the preview 800). Any thread.
void LowPassWaveform(int f, const void* samples, int n, int offset, bool wide, double* out);
// Filters a table in place (offset 1600) and renormalises it to full scale.
void FilterWaveform(int f, void* table, int n, bool wide);

struct PlaybackState;
// Empties the record's cache (the committed memory stays). Main thread,
// before a preset calculation.
void ResetWaveformCache(PlaybackState& pb);
int WaveformCacheCount(const PlaybackState& pb);
// The table for a waveform value and a filter value already quantised to a
// multiple of 20: 0 and *table, or -2 when the cache is full or memory cannot
// be committed. Tables are 16-bit when `wide`, else 8-bit; one calculation
// asks for one width (the cache is emptied before each). The record's
// range is reserved at its first table. Main thread, never the generating
// thread.
int GetWaveformTable(PlaybackState& pb, bool wide, int32_t waveform, int32_t filter, const void** table);

// Harmonic levels of the odd harmonics 1..31 of a 64-sample cycle, relative
// to the fundamental, in 1/327.67 dB (levels[0] = 0; -32767 for none).
void PeriodHarmonicLevels(const int16_t* samples, int period, int levels[16]);
// Levels after filtering with f; false (levels untouched) when f >= 2000.
bool FilteredHarmonicLevels(int f, const int16_t* samples, int count, int levels[16]);

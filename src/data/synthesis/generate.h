// The sample generator: one output block from the current sweep record.
#pragma once
#include <cstdint>

#include "data/synthesis/records.h"

struct PlaybackState;

// Fills one block of pb.BlockBytes bytes at `buffer` (interleaved stereo,
// 16-bit signed little-endian or 8-bit unsigned with 128 as silence): walks
// the sweep list, then, holding hBackgroundMutex, renders every voice, the
// AudioStrobe slot when it is on, the background and the noise. Returns 1
// without touching the buffer when the list has ended, else 0. No
// allocation, no system call besides the mutex. Generating thread.
int GenerateBlock(PlaybackState& pb, void* buffer);

// Mixing gain g = p * 64 / 100 for the voices, background and noise:
// p = 100 / (SweepDataVoices + ExtraSourceShare), or with AudioStrobe on
// (100 - AudioStrobeMaxLevel / 2) / (SweepDataVoices + ExtraSourceShare).
int VoiceGain(const PlaybackState& pb, bool strobe);
constexpr int STROBE_GAIN = 50 * 64 / 100;

// Phase step of an oscillator for a frequency in millihertz at `rate`
// samples per second: x = f * 8192 / S, integer part above a 28-bit fraction
// rounded half away from zero (see state.h). `exact` receives x.
uint64_t ToneStep(int32_t millihertz, int rate, double* exact);
// The same for a modulation rate (> 0 period in microseconds, < 0 frequency
// of -P millihertz, 0 still).
uint64_t RateStep(int32_t rate, int sampleRate, double* exact);

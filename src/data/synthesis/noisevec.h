// The noise four frames per step (SSE2): the values of both ears, and their
// mixing into 16-bit output. Internal to the noise mixer (noise.cpp), which
// keeps its one-frame-at-a-time loops for the rest: no SSE2, inside the head,
// 8-bit mixing, and values that do not fit 16 bits. Generating thread.
#pragma once
#include <cstdint>

// Frames of one pass; the mixer works in chunks of this many.
constexpr int NOISE_CHUNK = 512;

#if defined(__SSE2__)
#define NOISE_VECTOR 1

// One ear's filter for a block: coefficients of NoiseCoefficientsOf and the
// state y, which stays in 0..32767 (y' stays below 2^31).
struct NoiseFilter {
  int32_t A;
  uint32_t M, Q;
  int32_t Y;
};

// The values y'/Q - 32768 of `count` frames (at most NOISE_CHUNK), the left and the right ear
// drawing from x in turn, as words left, right, left, ... Returns false and
// leaves x and the filters as they were when a value does not fit 16 bits.
bool NoiseWords(NoiseFilter& left, NoiseFilter& right, uint32_t& x, int count, int16_t* words);

// Adds trunc(c * v / 65536) of every word v to out (the left word of a frame
// to the right channel when inverted), c being cl for left words and cr for
// right ones, 0..65536.
void MixNoiseWords(int16_t* out, const int16_t* words, int count, int64_t cl, int64_t cr, bool invert);

// The same with the gain of each frame and ear looked up from the
// modulation: gain[m] for the value m of `modTable` at the ear's index
// (the right ear's offset by `offsetR`), the accumulators advancing one step
// per frame (64-bit form, state.h). Gains below 65536.
struct NoiseModulation {
  const int8_t* Table;
  const uint16_t* GainL;  // indexed by m + 128
  const uint16_t* GainR;
  uint64_t AccL, AccR, StepL, StepR;
  int32_t OffsetR;
};
void MixModulatedNoiseWords(int16_t* out, const int16_t* words, int count, NoiseModulation& mod, bool invert);

#endif

// Parameter arithmetic: checked multiply-divide, curve values, tracking, and
// number text in the user's locale. Pure integer computation (the note-name
// conversion aside); nothing allocates or blocks, so the curve functions may
// run on any thread, the audio thread included.
#pragma once
#include <cstdint>

#include "main/model.h"

extern const uint8_t WeightTable[21][21];

bool WouldOverflow(int32_t a, int32_t b);
int32_t RoundDiv(int32_t x, int32_t d);
int32_t Halve(int32_t x);
// m[0] x m[1] x ... / d[0] / d[1] ..., dividing early to stay within 32 bits.
int32_t MulDiv(const int32_t* m, int p, const int32_t* d, int q);
// Convenience forms.
int32_t MulDiv(int32_t a, int32_t b, int32_t d);
int32_t MulDiv(int32_t a, int32_t b, int32_t c, int32_t d1, int32_t d2);

// Value of a parameter's own curve at segment time t (0-10000).
int32_t CurveValue(const Param& p, int t);
// The same for the Waveform parameter, on both 16-bit halves.
int32_t CurveValuePacked(const Param& p, int t);
// Value of node i of parameter pid with tracking applied.
int32_t TrackedValue(const Param* params, int pid, int i);
// Copies node count and nodes [first, last] (or all when first < 0) from the
// source and computes their tracked values.
void RecomputeTracked(Param* params, int dest, int src, int first = -1, int last = -1);
// Whether following the tracking chain from b arrives at a.
bool ChainReaches(const Param* params, int a, int b);
// The same three bounded by the parameters the segment has in use: a
// TrackSource in a voice the segment does not have (possible in hand-made
// files) is an internal error instead of a read of unbacked memory. The forms
// above treat all 176 slots as in use.
int32_t TrackedValue(const Param* params, const Segment& seg, int pid, int i);
void RecomputeTracked(Param* params, const Segment& seg, int dest, int src, int first = -1, int last = -1);
bool ChainReaches(const Param* params, const Segment& seg, int a, int b);

// Stored value with `digits` decimals, shown with at most `shown` and at least
// `minShown` decimals, localised. The result lives in one of 8 rotating
// buffers. Main thread only (the buffers are shared).
const char* FormatNumber(int32_t value, int digits, int shown, int minShown, bool grouping);
// Parses text with `digits` decimals; notes (A-G, #/b, octave) when allowed.
int32_t ParseNumber(const char* text, int digits, bool allowNotes, bool* error);

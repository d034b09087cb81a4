#include "data/background.h"

#include "data/state.h"

// The mixing itself arrives with background loading; until then no
// background is ever loaded (BackgroundFrames stays 0), so there is nothing
// to add. State to use: BackgroundOsc (positions, modulation accumulators).
void MixBackground(void* out, int frames, int gain, const SweepRecord* r, bool wide, bool invert) {
  (void)out, (void)frames, (void)gain, (void)r, (void)wide, (void)invert;
  if (BackgroundFrames <= 0) return;
}

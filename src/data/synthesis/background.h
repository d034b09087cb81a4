// Background mixing hook of the sample generator.
#pragma once
#include "data/synthesis/records.h"

struct PlaybackState;

// Adds the background sound to `out` (frames stereo frames in the engine's
// format) with gain g and the record's background values, after the voices
// and before the noise. Does nothing while BackgroundFrames is 0.
// Generating thread, with hBackgroundMutex held.
void MixBackground(PlaybackState& pb, void* out, int frames, int gain, const SweepRecord* r, bool wide, bool invert);

// The playback record the engine tests work on: one per test program, as a
// player owns one.
#pragma once
#include "data/synthesis/state.h"

inline PlaybackState TestRecord;

// Engine set-ups shared by the benchmarks and the callgrind driver.
#pragma once
#include "data/synthesis/state.h"
#include "main/model.h"

// The playback record the benchmarks and the callgrind driver work on.
extern PlaybackState BenchPlayback;

// Process start-up as far as the engine needs it.
void BenchStartUp();
// A held sweep record with `voices` sine voices at full volume; modulation 1
// (and 2) on every voice when `mod`, noise when `noise`. Makes it current.
void BenchRecord(int voices, bool wide, bool mod, bool noise);
// A default preset with `segments` x `voices` and `nodes` nodes per curve
// (wiggling a little around the default values when nodes > 3).
void BenchPreset(Preset& p, int segments, int voices, int nodes);

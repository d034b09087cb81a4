// The synthesis engine as the playback layer sees it.
//
// Sequence of a playback (main thread unless noted):
//   1. InitEngineTables()              once at start-up (EngineStartup does
//                                      it): reserves the background
//                                      ranges, builds SineData8 and the other fixed
//                                      tables and ConvVol.
//   2. TakeEngineOptions(pb, options)  copies the advanced options into
//                                      pb.Options and computes pb.BlockBytes.
//      ResolveBackground + LoadBackground: the sound and PlayBackground
//      (the caller's PlaybackState, state.h, holds what the generator
//      works on);
//      ExtraSourceShare = background loaded ? 1 : 0;
//      pb.AudioStrobeOn = visual mode is AudioStrobe;
//   3. CalculatePreset(pb, preset, toDevice, &sink)
//                                      builds the sweep list; 0, 85 (aborted
//                                      through the sink), 1272 or 1273. Adds
//                                      the noise share and sets NoiseOn.
//   4. FirstSweepRecord(pb)->Blocks == -1 means nothing is audible (1309).
//   5. ResetOscillators(pb); StartSweepWalk(pb, FirstSweepRecord(pb));
//                                      start position: all tones at phase 0,
//                                      first record current.
//   6. GenerateBlock(pb, buffer)       generating thread: advances the walk
//                                      through the list, then fills
//                                      pb.BlockBytes bytes; returns 1 (buffer untouched)
//                                      once the list has ended. CurrentRecord
//                                      is the record the block was made from.
//   Freezing: pb.FreezeState (non-zero stops the walk). Test mode: write one
//   record with FillSweepRecord(pb, preset, seg, nullptr, time, FirstSweepRecord(pb),
//   &status), set its Blocks to 0 and StartSweepWalk(pb) on it.
//   NewRecordHook is called on the generating thread whenever a record
//   becomes current (the visual output takes its left-eye values).
//
// Nothing in GenerateBlock allocates, locks anything but hBackgroundMutex or
// makes a system call.
#pragma once
#include "data/synthesis/background.h"
#include "data/synthesis/generate.h"
#include "data/synthesis/noise.h"
#include "data/synthesis/options.h"
#include "data/synthesis/records.h"
#include "data/synthesis/state.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/walk.h"
#include "data/synthesis/wavetab.h"

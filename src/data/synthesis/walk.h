// Walking the sweep list while playing.
#pragma once
#include <cstdint>

#include "data/synthesis/records.h"

struct PlaybackState;

// Makes `first` current with block counter 0 and advancing on (off when it is
// held forever). Before the first block; main thread.
void StartSweepWalk(PlaybackState& pb, SweepRecord* first);
// Called before every block: increments the block counter and, when it
// reaches the record's Blocks, moves to the next record (or back to a
// repeated segment's start) with the counter at 0. The first record of a list
// is thus heard Blocks - 1 times (a first record of 1 block not at all), every
// later one Blocks times. Returns 1 when the list has ended, else 0.
// Does nothing while frozen or held. Generating thread.
int AdvanceSweep(PlaybackState& pb);

// Where the walk stood after a block was generated. A queued block keeps its
// mark so that the walk can be put back on the block that is audible.
struct WalkMark {
  SweepRecord* Record = nullptr;
  int32_t Counter = 0;
  uint32_t Step = 0;  // blocks the walk has advanced over since its start
};
// Marks of at most this many blocks back can be returned to.
constexpr int WALK_REWIND_BLOCKS = 1024;
// A repeat jump the walk took: the block (step) that took it and the record
// whose count it used.
struct RepeatTaken {
  uint32_t Step;
  SweepRecord* Record;
};
WalkMark MarkSweepWalk(const PlaybackState& pb);
// Puts the walk back on mark m, advancing on. Repeat jumps taken since m are
// given back, so the repeated segment still plays as often as it should.
void RewindSweepWalk(PlaybackState& pb, const WalkMark& m);

// The step at which a walk started on `first` reaches the end of the list
// (it has generated one block fewer), counted from the records without
// walking them; -1 when a record holds forever. Main thread, before the walk
// starts.
int64_t WalkEndStep(SweepRecord* first);

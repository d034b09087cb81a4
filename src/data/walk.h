// Walking the sweep list while playing.
#pragma once
#include "data/records.h"

// Makes `first` current with block counter 0 and advancing on (off when it is
// held forever). Before the first block; main thread.
void StartSweepWalk(SweepRecord* first);
// Called before every block: counts the block against the current record and
// moves to the next one (or back to a repeated segment's start) when the
// record's blocks are used up. Returns 1 when the list has ended, else 0.
// Does nothing while frozen or held. Generating thread.
int AdvanceSweep();

#include "data/walk.h"

#include "data/state.h"

namespace {

// Repeat jumps of the last WALK_REWIND_BLOCKS blocks: the block (step) that
// took the jump and the record whose count it used. The walk changes records
// at most once per block, so one entry per block is enough.
struct RepeatTaken {
  uint32_t Step;
  SweepRecord* Record;
};
RepeatTaken gTaken[WALK_REWIND_BLOCKS];
uint32_t gTakenCount = 0;  // entries ever written; the ring holds the newest
uint32_t gStep = 0;

void MakeCurrent(SweepRecord* r) {
  CurrentRecord = r;
  CurBlocks = r->Blocks;
  BlockCounter = 0;
  if (NewRecordHook) NewRecordHook(r);
  if (CurBlocks == 0) Advancing = false;
}

}  // namespace

void StartSweepWalk(SweepRecord* first) {
  Advancing = true;
  gStep = 0;
  gTakenCount = 0;
  MakeCurrent(first);
}

int AdvanceSweep() {
  if (!CurrentRecord || CurBlocks == -1) return 1;
  if (!Advancing || FreezeState.load(std::memory_order_relaxed) != 0) return 0;
  gStep++;
  // Counted before the block, so the first record of the list sounds one
  // block less than its count and every later record exactly its count.
  if (++BlockCounter >= CurBlocks) {
    SweepRecord* r = CurrentRecord;
    SweepRecord* next;
    if (r->RepeatCount != 0) {
      // Repeats are consumed, so the list plays once.
      r->RepeatCount--;
      gTaken[gTakenCount++ % WALK_REWIND_BLOCKS] = {gStep, r};
      next = r->RepeatTarget;
    } else {
      next = FollowingRecord(r);
    }
    MakeCurrent(next);
    if (CurBlocks == -1) return 1;
  }
  return 0;
}

WalkMark MarkSweepWalk() { return {CurrentRecord, BlockCounter, gStep}; }

void RewindSweepWalk(const WalkMark& m) {
  // Newest first, so a count taken twice since the mark is given back twice.
  // Steps are compared as a difference: the counter may wrap in a long run.
  uint32_t oldest = gTakenCount > WALK_REWIND_BLOCKS ? gTakenCount - WALK_REWIND_BLOCKS : 0;
  while (gTakenCount > oldest &&
         static_cast<int32_t>(gTaken[(gTakenCount - 1) % WALK_REWIND_BLOCKS].Step - m.Step) > 0) {
    gTaken[(gTakenCount - 1) % WALK_REWIND_BLOCKS].Record->RepeatCount++;
    gTakenCount--;
  }
  gStep = m.Step;
  CurrentRecord = m.Record;
  CurBlocks = m.Record->Blocks;
  BlockCounter = m.Counter;
  Advancing = CurBlocks != 0;
  if (NewRecordHook) NewRecordHook(m.Record);
}

int64_t WalkEndStep(SweepRecord* first) {
  // Each record is visited once, and the records of a repeated segment once
  // more per repeat; every visit lasts the record's Blocks steps.
  int64_t steps = 0;
  for (SweepRecord* r = first; r && r->Blocks != -1; r = FollowingRecord(r)) {
    if (r->Blocks == 0) return -1;
    steps += r->Blocks;
    if (r->RepeatCount == 0 || !r->RepeatTarget) continue;
    int64_t segment = 0;
    for (SweepRecord* s = r->RepeatTarget; s != r; s = FollowingRecord(s)) segment += s->Blocks;
    steps += (segment + r->Blocks) * r->RepeatCount;
  }
  return steps;
}

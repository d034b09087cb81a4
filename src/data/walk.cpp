#include "data/walk.h"

#include "data/state.h"

namespace {

void MakeCurrent(SweepRecord* r) {
  ThePlayback.CurrentRecord = r;
  ThePlayback.CurBlocks = r->Blocks;
  ThePlayback.BlockCounter = 0;
  if (NewRecordHook) NewRecordHook(r);
  if (ThePlayback.CurBlocks == 0) ThePlayback.Advancing = false;
}

}  // namespace

void StartSweepWalk(SweepRecord* first) {
  ThePlayback.Advancing = true;
  ThePlayback.Step = 0;
  ThePlayback.TakenCount = 0;
  MakeCurrent(first);
}

int AdvanceSweep() {
  if (!ThePlayback.CurrentRecord || ThePlayback.CurBlocks == -1) return 1;
  if (!ThePlayback.Advancing || FreezeState.load(std::memory_order_relaxed) != 0) return 0;
  ThePlayback.Step++;
  // Counted before the block, so the first record of the list sounds one
  // block less than its count and every later record exactly its count.
  if (++ThePlayback.BlockCounter >= ThePlayback.CurBlocks) {
    SweepRecord* r = ThePlayback.CurrentRecord;
    SweepRecord* next;
    if (r->RepeatCount != 0) {
      // Repeats are consumed, so the list plays once.
      r->RepeatCount--;
      ThePlayback.Taken[ThePlayback.TakenCount++ % WALK_REWIND_BLOCKS] = {ThePlayback.Step, r};
      next = r->RepeatTarget;
    } else {
      next = FollowingRecord(r);
    }
    MakeCurrent(next);
    if (ThePlayback.CurBlocks == -1) return 1;
  }
  return 0;
}

WalkMark MarkSweepWalk() { return {ThePlayback.CurrentRecord, ThePlayback.BlockCounter, ThePlayback.Step}; }

void RewindSweepWalk(const WalkMark& m) {
  // Newest first, so a count taken twice since the mark is given back twice.
  // Steps are compared as a difference: the counter may wrap in a long run.
  uint32_t oldest = ThePlayback.TakenCount > WALK_REWIND_BLOCKS ? ThePlayback.TakenCount - WALK_REWIND_BLOCKS : 0;
  while (ThePlayback.TakenCount > oldest &&
         static_cast<int32_t>(ThePlayback.Taken[(ThePlayback.TakenCount - 1) % WALK_REWIND_BLOCKS].Step - m.Step) > 0) {
    ThePlayback.Taken[(ThePlayback.TakenCount - 1) % WALK_REWIND_BLOCKS].Record->RepeatCount++;
    ThePlayback.TakenCount--;
  }
  ThePlayback.Step = m.Step;
  ThePlayback.CurrentRecord = m.Record;
  ThePlayback.CurBlocks = m.Record->Blocks;
  ThePlayback.BlockCounter = m.Counter;
  ThePlayback.Advancing = ThePlayback.CurBlocks != 0;
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

#include "data/synthesis/walk.h"

#include "data/synthesis/state.h"

namespace {

void MakeCurrent(PlaybackState& pb, SweepRecord* r) {
  pb.CurrentRecord = r;
  pb.CurBlocks = r->Blocks;
  pb.BlockCounter = 0;
  if (NewRecordHook) NewRecordHook(r);
  if (pb.CurBlocks == 0) pb.Advancing = false;
}

}  // namespace

void StartSweepWalk(PlaybackState& pb, SweepRecord* first) {
  pb.Advancing = true;
  pb.Step = 0;
  pb.TakenCount = 0;
  MakeCurrent(pb, first);
}

int AdvanceSweep(PlaybackState& pb) {
  if (!pb.CurrentRecord || pb.CurBlocks == -1) return 1;
  if (!pb.Advancing || pb.FreezeState.load(std::memory_order_relaxed) != 0) return 0;
  pb.Step++;
  // Counted before the block, so the first record of the list sounds one
  // block less than its count and every later record exactly its count.
  if (++pb.BlockCounter >= pb.CurBlocks) {
    SweepRecord* r = pb.CurrentRecord;
    SweepRecord* next;
    if (r->RepeatCount != 0) {
      // Repeats are consumed, so the list plays once.
      r->RepeatCount--;
      pb.Taken[pb.TakenCount++ % WALK_REWIND_BLOCKS] = {pb.Step, r};
      next = r->RepeatTarget;
    } else {
      next = FollowingRecord(r);
    }
    MakeCurrent(pb, next);
    if (pb.CurBlocks == -1) return 1;
  }
  return 0;
}

WalkMark MarkSweepWalk(const PlaybackState& pb) { return {pb.CurrentRecord, pb.BlockCounter, pb.Step}; }

void RewindSweepWalk(PlaybackState& pb, const WalkMark& m) {
  // Newest first, so a count taken twice since the mark is given back twice.
  // Steps are compared as a difference: the counter may wrap in a long run.
  uint32_t oldest = pb.TakenCount > WALK_REWIND_BLOCKS ? pb.TakenCount - WALK_REWIND_BLOCKS : 0;
  while (pb.TakenCount > oldest &&
         static_cast<int32_t>(pb.Taken[(pb.TakenCount - 1) % WALK_REWIND_BLOCKS].Step - m.Step) > 0) {
    pb.Taken[(pb.TakenCount - 1) % WALK_REWIND_BLOCKS].Record->RepeatCount++;
    pb.TakenCount--;
  }
  pb.Step = m.Step;
  pb.CurrentRecord = m.Record;
  pb.CurBlocks = m.Record->Blocks;
  pb.BlockCounter = m.Counter;
  pb.Advancing = pb.CurBlocks != 0;
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

#include "data/walk.h"

#include "data/state.h"

namespace {

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
  MakeCurrent(first);
}

int AdvanceSweep() {
  if (!CurrentRecord || CurBlocks == -1) return 1;
  if (!Advancing || FreezeState.load(std::memory_order_relaxed) != 0) return 0;
  if (BlockCounter >= CurBlocks) {
    SweepRecord* r = CurrentRecord;
    SweepRecord* next;
    if (r->RepeatCount != 0) {
      // Repeats are consumed, so the list plays once.
      r->RepeatCount--;
      next = r->RepeatTarget;
    } else {
      next = FollowingRecord(r);
    }
    MakeCurrent(next);
    if (CurBlocks == -1) return 1;
    if (!Advancing) return 0;
  }
  BlockCounter++;
  return 0;
}

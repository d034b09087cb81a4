// The modification state of the selected preset (WaveOptChanged) and the
// rules around it, without widgets.
//
//   0  unmodified
//   1  modified
//   2  modified and renamed (the name before renaming is remembered)
//   3  new and renamed, never saved
//   4  new and edited, never saved
//   5  new, just created
//
// States 3-5 mean the preset is the last element of Program and exists only
// in memory.
#pragma once
#include "main/presetedit.h"  // EditorResult, the preset editor's results

enum WaveOpt {
  WOC_NONE = 0,
  WOC_MODIFIED = 1,
  WOC_RENAMED = 2,
  WOC_NEW_RENAMED = 3,
  WOC_NEW_EDITED = 4,
  WOC_NEW = 5,
};

inline bool IsNeverSaved(int state) { return state >= WOC_NEW_RENAMED; }

// The state after the preset editor returned `result`; `renamed` when it
// changed the name.
int WaveOptAfterEditor(int state, int result, bool renamed);

// The unsaved-changes question: 67 for state 1 and for state 2 when the name
// is back to the old one, 68 for state 2 with a new name, 69 for states 3-5;
// 0 for state 0.
int UnsavedQuestionId(int state, bool nameDiffersFromOld);

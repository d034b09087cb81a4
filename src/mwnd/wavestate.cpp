// Transitions of the modification state.
#include "mwnd/wavestate.h"

#include "dialog/strids.h"

int WaveOptAfterEditor(int state, int result, bool renamed) {
  if (result == EDITOR_CANCELLED) return state == WOC_NEW ? WOC_NONE : state;
  if (result != EDITOR_CHANGED) return state;
  switch (state) {
    case WOC_NONE: return renamed ? WOC_RENAMED : WOC_MODIFIED;
    case WOC_MODIFIED: return renamed ? WOC_RENAMED : WOC_MODIFIED;
    case WOC_NEW_EDITED:
    case WOC_NEW: return renamed ? WOC_NEW_RENAMED : WOC_NEW_EDITED;
    default: return state;  // 2 and 3 stay: already renamed
  }
}

int UnsavedQuestionId(int state, bool nameDiffersFromOld) {
  switch (state) {
    case WOC_NONE: return 0;
    case WOC_MODIFIED: return strid::AskSaveChanges;
    case WOC_RENAMED: return nameDiffersFromOld ? strid::AskSaveRenamed : strid::AskSaveChanges;
    default: return strid::AskSaveNeverSaved;
  }
}

// Undo and redo for the preset editor, without widgets: the steps between
// the states of the dialog's copy. After each edit the dialog records the
// copy; a step keeps, for each part that changed (the fixed record, the
// description, each parameter record in use), its bytes before and after,
// so an edit of one curve costs two parameter records however large the
// preset. Undoing every step gives back the opened preset byte for byte.
//
// Main thread only (the editor's copy).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "main/model.h"

constexpr int HISTORY_MAXSTEPS = 500;  // the oldest steps go first

class PresetHistory {
 public:
  // Starts from the preset as the dialog opened it.
  explicit PresetHistory(const Preset& opened);
  ~PresetHistory();
  PresetHistory(const PresetHistory&) = delete;
  PresetHistory& operator=(const PresetHistory&) = delete;

  // After an edit of p: records what changed since the last state as a new
  // step (with `merge`, as part of the last one), dropping the steps undone
  // before. False when nothing changed.
  bool Record(const Preset& p, bool merge = false);
  bool CanUndo() const { return !Done.empty(); }
  bool CanRedo() const { return !Undone.empty(); }
  // Sets p to the state before the last step (Redo: after the next undone
  // one); false when there is none.
  bool Undo(Preset& p);
  bool Redo(Preset& p);
  int Steps() const { return static_cast<int>(Done.size()); }
  // Bytes the steps hold.
  size_t Bytes() const;

 private:
  enum Kind { FIXED, DESCRIPTION, PARAM };
  struct Item {
    Kind K;
    int Seg, Pid;
    std::vector<uint8_t> Before, After;  // empty: not in use in that state
  };
  using Step = std::vector<Item>;
  void Apply(const Step& s, bool before, Preset& p);

  Preset Last{};  // the state recorded last
  std::vector<Step> Done, Undone;
};

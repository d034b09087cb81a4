// The preset store: every preset of the user in one file, "Presets.tvk".
//
// The store owns `Program` and `NumPrograms`: at start it reads the fixed
// part of every record; a preset's description and curves are read when it is
// first used, and at most `DecommitThreshold` presets keep them in memory.
// Record i of the file is `Program[i]`, deleted records included; indexes never
// shift while the program runs, except by compaction during the load at start.
//
// Every change to the file is written as a whole new file beside the store,
// flushed to disk and renamed over it, so that a crash, a kill or a full disk
// at any moment leaves either the old or the new store, never a torn one. The
// file format and the record indexes are the same as if the records had been
// rewritten in place.
//
// Operations return 0 or a string-table message id; the caller formats it
// with StoreMessagePath() as %1. Questions to the user go through StoreUi.
// Main thread only.
#pragma once
#include <string>
#include <vector>

#include "main/model.h"

enum StoreAnswer { STORE_YES = 1, STORE_NO = 2, STORE_CANCEL = 3 };

struct StoreUi {
  void* Ctx = nullptr;
  // Yes/No or Yes/No/Cancel question with a caption string id (0: "Sonavel").
  StoreAnswer (*Ask)(void* ctx, int captionId, const std::string& text, bool withCancel) = nullptr;
  // OK/Cancel question; true for OK.
  bool (*Confirm)(void* ctx, const std::string& text) = nullptr;
  // A message the user only acknowledges (summaries, notices).
  void (*Inform)(void* ctx, int captionId, const std::string& text) = nullptr;
  // Progress of long work: caption string id and position in 0..max.
  void (*Progress)(void* ctx, int captionId, int position, int max) = nullptr;
};

// --- Where the store lives --------------------------------------------------
// The program's folder when it is writable (a portable install, the build
// tree), else $XDG_DATA_HOME/Sonavel (default ~/.local/share/Sonavel).
std::string DefaultStoreDir();
// The folder of the running program file.
std::string ProgramDir();
// Uses "Presets.tvk" in `dir` (created when missing).
void SetStoreDir(const std::string& dir);
const std::string& StorePath();
// Path of the file the last message refers to.
const std::string& StoreMessagePath();

// --- Settings the store follows ----------------------------------------------
extern int DecommitThreshold;  // presets whose curves stay in memory (10)
extern bool SetBuiltIns;       // built-in presets may be saved over
extern int LoadedCount;

// Checks a library background (file, number): 0, 1331 (library not found)
// or 1332 (no such background in it). Set by the program at start-up; the
// check is skipped while it is null.
extern int (*StoreBackgroundProbe)(const char* file, int number);

// --- Operations ----------------------------------------------------------------
// Fills Program/NumPrograms from the store, writing the built-in presets when
// there is no store or every record is deleted, compacting at 10 or more
// deleted records, converting a store of the earlier format.
int LoadAllPresets(StoreUi* ui);
// Makes the description and curves of preset i resident.
int EnsureLoaded(int i, StoreUi* ui = nullptr);
// Frees the curves of preset i; and of the least recently used presets while
// more than DecommitThreshold are resident.
void ReleasePreset(int i);
void DecommittedPreset();
// Writes preset i into record i (appending when the record does not exist).
int SavePreset(int i);
// Deletes preset i after asking the user (66, or 96 for a built-in preset);
// 1303 when it is the last preset. -1 when the user said No.
int DeletePreset(int i, StoreUi* ui, bool ask = true);
// Saves `p` under its own name with the saving rules: 95 when a built-in
// preset has the name, question 80 for another preset of that name (No:
// -1), 1302 when the store is full. *index receives the preset's index.
int AddPreset(const Preset& p, StoreUi* ui, int* index);
// Saves preset i back over itself: 94 for a built-in preset unless
// SetBuiltIns is on.
int SaveOverPreset(int i);
// What an import did. The store keeps no selection: the window selects First
// and, when it had selected a preset the import replaced (Yes to 78), moves
// its selection to the replacement (SelectionAfterImport).
struct ImportReport {
  int First = -1;  // the first imported preset, -1 when none
  struct Replacement {
    int Old;  // the preset deleted by the import
    int New;  // the imported preset that took its place
  };
  std::vector<Replacement> Replaced;
};
// Imports every live preset of another file (converting an old one).
int ImportPresets(const std::string& path, StoreUi* ui, ImportReport* report);
// The same for a caller that wants only the first imported preset.
int ImportPresets(const std::string& path, StoreUi* ui, int* first);
// The selection after an import for a window that had `selected` selected:
// the replacement when the import replaced it, else `selected`.
int SelectionAfterImport(const ImportReport& report, int selected);
// Writes preset i alone into a new export file.
int ExportPreset(int i, const std::string& path);
// Removes every deleted record now (what the load does at 10 or more).
int CompactStore();
// Index of the live preset with that name (case-insensitive), or -1.
int FindPresetByName(const std::string& name);
// Frees every preset and empties the array (tests, a reload).
void UnloadAllPresets();

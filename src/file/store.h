// The preset store: every preset of the user in one file, "Presets.tvk".
//
// The store owns `Program` and `NumPrograms`: at start it reads the fixed
// part of every record; a preset's description and curves are read when it is
// first used, and at most `DecommitThreshold` presets keep them in memory.
// Record i of the file is `Program[i]`, deleted records included, while this
// process is the only writer; indexes never shift while the program runs,
// except by a compaction (at the load, or CompactStore).
//
// Every change to the file, however many records it touches, is written as a
// whole new file beside the store, flushed to disk and renamed over it
// (storefile.h), so that a crash, a kill or a full disk at any moment leaves
// either the old or the new store, never a torn or half-made change. The file
// format and the record indexes are the same as if the records had been
// rewritten in place.
//
// Sharing the store with other processes (sonavel-cli commands beside the
// desktop program, which holds the store loaded for hours; or two instances):
// - Every change (save, delete, add, import, compaction, and the writes of a
//   load) holds an exclusive lock: flock on "Presets.tvk.lock" beside the
//   store, waited for up to StoreLockTimeoutMs, else STORE_BUSY. The lock
//   file also carries a change counter that every writer bumps.
// - Under the lock, before changing anything, the index is re-read when the
//   file is not the version this process last read or wrote, so no process
//   writes over another's change. EnsureLoaded does the same before it reads
//   a record, so a record is never taken for another preset.
// - The refresh keeps this process's indexes: presets another process added
//   are appended to `Program`, presets it deleted become deleted entries, and
//   a record that moved (its compaction) is found again by its name. Curves
//   of a preset whose record changed are released and read again when next
//   used, unless the preset holds unsaved edits in memory (it no longer
//   serialises to what was read): those are kept, and a later save writes
//   them. Only when more than MAXPROGRAMS entries would be needed is the index
//   built anew (StoreRefreshed says so).
// - A long-lived program calls RefreshStore when it wants to show the
//   current store (on activation, a timer), LockStore/UnlockStore around a
//   group of its own changes that must see no other writer in between, and
//   learns of refreshes through StoreRefreshed.
// Questions to the user are asked before the lock is taken, so a dialog left
// open never blocks another process.
//
// Operations return 0 or a string-table message id; the caller formats it
// with StoreMessagePath() as %1. Questions to the user go through StoreUi.
// Main thread only.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "main/model.h"

// STORE_ABORT: the question could not be put (no one to answer it); the
// operation changes nothing and returns -1.
enum StoreAnswer { STORE_YES = 1, STORE_NO = 2, STORE_CANCEL = 3, STORE_ABORT = 4 };

// Messages of the store beyond the file format's.
constexpr int STORE_BUSY = 1480;           // another program holds the store's lock
constexpr int STORE_NOT_COMPACTED = 1481;  // told (Warn) when a load cannot compact
constexpr int STORE_PRESET_GONE = 1447;    // "Preset %1 was not found." (%1: its name)

struct StoreUi {
  void* Ctx = nullptr;
  // Yes/No or Yes/No/Cancel question with a caption string id (0: "Sonavel").
  StoreAnswer (*Ask)(void* ctx, int captionId, const std::string& text, bool withCancel) = nullptr;
  // OK/Cancel question; true for OK.
  bool (*Confirm)(void* ctx, const std::string& text) = nullptr;
  // A message the user only acknowledges (summaries, notices).
  void (*Inform)(void* ctx, int captionId, const std::string& text) = nullptr;
  // Something went wrong and the store worked around it (a background
  // dropped, a store left uncompacted): a warning to acknowledge. Without
  // it such messages go to Inform.
  void (*Warn)(void* ctx, const std::string& text) = nullptr;
  // Progress of long work: caption string id and position in 0..max.
  void (*Progress)(void* ctx, int captionId, int position, int max) = nullptr;
};

// --- Where the store lives --------------------------------------------------
// The program's folder when it is writable (a portable install, the build
// tree), else $XDG_DATA_HOME/Sonavel (default ~/.local/share/Sonavel; without
// a home, a folder of this user's own under /tmp: plat::UserFolder).
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

// --- Sharing the store with other processes (see above) -------------------------
extern int StoreLockTimeoutMs;  // 10000
// Holds the store's lock over several operations (nests; each operation
// takes it on its own too). Refreshes the index first when another process
// changed the file. 0, 1299 (no lock file can be made there: %1 is its
// path) or STORE_BUSY.
int LockStore(StoreUi* ui = nullptr);
void UnlockStore();
// Re-reads the index when the file is not the version this process last read
// or wrote; *changed (may be null) tells whether it was. 0 or a message.
int RefreshStore(StoreUi* ui, bool* changed);
// Called after each refresh that found another process's change; `rebuilt`
// when indexes could not be kept (look presets up again by name).
extern void (*StoreRefreshed)(void* ctx, bool rebuilt);
extern void* StoreRefreshedCtx;

// --- Operations ----------------------------------------------------------------
// Fills Program/NumPrograms from the store, writing the built-in presets when
// there is no store or every record is deleted, compacting at 10 or more
// deleted records, converting a store of the earlier format.
int LoadAllPresets(StoreUi* ui);
// Makes the description and curves of preset i resident. STORE_PRESET_GONE
// (%1: the name) when another process has deleted it.
int EnsureLoaded(int i, StoreUi* ui = nullptr);
// Frees the curves of preset i; and of the least recently used presets while
// more than DecommitThreshold are resident.
void ReleasePreset(int i);
void DecommittedPreset();
// Writes preset i into record i (appending when the record does not exist).
int SavePreset(int i);
// Deletes preset i after asking the user (66, or 96 for a built-in preset);
// 1303 when it is the last preset. -1 when the user said No. 0 also when
// another process deleted it first.
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
// Imports every live preset of another file (converting an old one). The
// whole file is read and every question asked before the store is written,
// once: a damaged file imports nothing.
int ImportPresets(const std::string& path, StoreUi* ui, ImportReport* report);
// The same for a caller that wants only the first imported preset.
int ImportPresets(const std::string& path, StoreUi* ui, int* first);
// The same for presets already read from `source` (a file of another
// format, named in the messages).
int ImportPresetList(const Preset* presets, int n, const std::string& source, StoreUi* ui, ImportReport* report);
// The selection after an import for a window that had `selected` selected:
// the replacement when the import replaced it, else `selected`.
int SelectionAfterImport(const ImportReport& report, int selected);
// Saves n presets under their names as one change, with AddPreset's rules
// for each: 95 refuses them all, question 80 answered No skips that one,
// 1302 when they do not all fit. indexes[k] receives preset k's index (-1
// skipped); may be null. -1 when every preset was skipped.
int AddPresets(const Preset* presets, int n, StoreUi* ui, int* indexes);
// Writes preset i alone into a new export file.
int ExportPreset(int i, const std::string& path);
// The same in another format: the file holds the text `render` makes of
// the preset (its curves loaded), written as ExportPreset writes.
int ExportPresetAs(int i, const std::string& path, const std::function<std::string(const Preset&)>& render);
// Removes every deleted record now (what the load does at 10 or more) and
// reads the index again: indexes move, and every preset's curves are
// released.
int CompactStore();
// Index of the live preset with that name (without regard to case, each
// name read by the text rule of main/text.h), or -1.
int FindPresetByName(const std::string& name);
// Frees every preset and empties the array (tests, a reload).
void UnloadAllPresets();

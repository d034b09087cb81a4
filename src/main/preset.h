// Parameter tables and whole-record preset operations.
//
// Main thread only (the editor and the store own presets); none of these may
// run on the audio thread. Functions that take `Param* params` work on one
// segment's parameter array (176 slots addressed by pid); those that take a
// `BackgroundParamRow` read the background's parameter (row 6) from it: the
// row of the preset the array belongs to.
#pragma once
#include "main/model.h"

// --- Tables built once at start-up from ParamDef ---------------------------
void BuildParamTables();
int ParamNumOfPid(int pid);            // 0-28; internal error outside 0-175
int PARAMID(int voice, int paramNum);  // first pid of row paramNum for a voice
int PagePosition(int index);           // page-position table, 30 entries, -1 empty
// Index into EasyMode of the entry with that EasySel value, or -1.
int FindEasyEntry(int easySel);

// --- Memory ---------------------------------------------------------------
// Reserves the preset array (once).
bool ReserveProgramArray();
// Makes record index n of Program usable (commits the array up to it).
bool CommitProgramRecord(int n);
// Commits slot i of the parameter block for `voices` voices (reserving the
// block first when the preset has none) and returns the slot's address.
Param* CommitSegmentSlot(Preset& p, int i, int voices);
// Gives the whole parameter block back.
void ReleaseParams(Preset& p);
// Obtains an empty 4096-byte description buffer when the preset has none.
bool EnsureDescription(Preset& p);
void ReleaseDescription(Preset& p);

// --- Content --------------------------------------------------------------
// Sum of Length x Repeat over the segments, in hundredths of a minute.
int32_t PresetLength(const PresetFixed& p);
// Default content for `voices` voices with `nodes` (2 or 3) nodes per curve,
// in the table's own row 6 whatever the background; tracked parameters are
// recomputed afterwards in ascending pid order.
void FillDefaultSegment(Param* params, Segment& seg, int voices, int nodes);
// Intercept 0, Slope from the CalcMax ratio, limits from the row.
void ResetTrackingDefaults(const BackgroundParamRow& bg, Param* params, int pid);
// Sets a parameter from an easy selection (and the second channel of a
// two-channel parameter to track the first one to one).
void SetFromEasySelection(const BackgroundParamRow& bg, Param* params, const Segment& seg, int pid, int easySel,
                          int trackSource, int nodes);
// The stored value an easy selection gives its nodes (both halves packed for
// the Waveform parameter); false when easySel has no value for that row.
bool EasySelectionValue(const BackgroundParamRow& bg, int paramNum, int easySel, int32_t* value);
// Recomputes every tracked parameter of the segment in ascending pid order.
void RecomputeAllTracked(const BackgroundParamRow& bg, Param* params, const Segment& seg);
// Recomputes, after pid changed, every parameter that tracks it (directly or
// through a chain).
void RecomputeDependents(const BackgroundParamRow& bg, Param* params, const Segment& seg, int pid);
// A default new preset (one segment, one voice) in p, which must be empty;
// uses the process use counter.
void NewDefaultPreset(Preset& p, int nodes = 3);
// Copies src over dest keeping dest's own buffers; true when anything differed.
bool CopyPreset(Preset& dest, const Preset& src);
// 1 when the presets differ, 0 when equal (pointers ignored).
int ComparePresets(const Preset& a, const Preset& b);
// Releases everything a preset owns and zeroes the record.
void FreePreset(Preset& p);

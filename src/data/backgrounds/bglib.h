// The table of background libraries (AmbixInfo): loading every library next
// to the program at start-up, finding a background by (number, library file),
// resolving a preset's background for a playback and deriving row 6 of the
// parameter table, the background parameter, from a background.
//
// Main thread only (start-up, playback start, the preset editor).
#pragma once
#include <string>

#include "background/bgrecord.h"
#include "data/synthesis/bgchoice.h"
#include "main/model.h"

constexpr int MAXAMBIX = 1024;  // records of AmbixInfo

// Reserved for MAXAMBIX records; a library commits the records it fills.
extern AmbixRecord* AmbixInfo;
extern int NumAmbix;

// The folder of the running program (of /proc/self/exe); "." when unknown.
std::string ProgramFolder();
// The folder the libraries were loaded from (the program's folder unless
// LoadBackgroundLibraries was given another); library backgrounds are opened
// from here when played.
const std::string& BackgroundLibraryFolder();

// Reserves the table (once). false when the address space is not available.
bool ReserveAmbixTable();
// Loads every "*.dll" of `folder` ("" = the program's folder) in name order
// that the dynamic loader accepts and that exports GetBackgroundInfo, lets it
// fill the next free records, completes them and unloads it again. Anything
// else (directories, plain files, libraries without the export) is skipped
// silently. Returns the number of records added.
int LoadBackgroundLibraries(const std::string& folder = "");
// Empties the table and forgets the scan (a new scan, or tests).
void ClearBackgroundLibraries();

// Index of background (number, library file) or -1: below 1024 number and
// file (ignoring case) must match, from 1024 on the number alone decides.
int FindBackground(int number, const char* file);

// True when `file` names the program itself ("Tavik.exe", or the running
// binary's own name), whose resources hold its built-in background.
bool IsOwnModuleName(const char* file);

// Whether a library background can be played: 0 when the table lists it;
// 1331 when its library file is not in the library folder at all; 1446 when
// the file is there but was not loaded at start-up.
int CheckLibraryBackground(int number, const char* file);

// Looks up a background (number, library file) for a playback: where the
// sound comes from, whether it plays in interval mode, and its row 6:
// AMBIX_NONE -> "(Background Param not in use)", no interval; files
// (AMBIX_OTHER, AMBIX_LONG) and the program's own background -> "Background
// Interval", interval mode; a library background -> its own parameter's row
// when its record declares one, else "Background Interval", interval mode as
// its record says. Returns 0, or 1331/1446 for a library background that
// cannot be played (*out unchanged). Writes nothing else.
int ResolveBackground(int background, const char* file, BackgroundChoice* out);
// The same for a preset's Background and BackgroundFile; loads the
// program folder's libraries first when no scan has been made yet.
int ResolveBackground(const Preset& preset, BackgroundChoice* out);
// The editor's row 6 for a background (number, library file): a library
// background with its own parameter -> its row; other library backgrounds ->
// "(Background Param not in use)"; AMBIX_NONE, AMBIX_OTHER, AMBIX_LONG ->
// "Background Interval". Writes nothing.
BackgroundParamRow BackgroundParamRowFor(int background, const char* file);
// The same for a preset's Background and BackgroundFile.
BackgroundParamRow BackgroundParamRowFor(const Preset& preset);

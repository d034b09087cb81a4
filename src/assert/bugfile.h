// Saving the kept debug records as one file, newest first, each record as
// it is sent to the report server.
//
// Main thread (the report dialog), though nothing here needs it.
#pragma once
#include <string>

// "Bug.tvd" in a folder only the user can enter: the crash records' folder
// (CrashFolder, made when missing), else the runtime folder; "" when there is
// neither.
std::string BugFilePath();

struct BugFileResult {
  int Message;  // 0, 1450 (cannot create) or 1451 (cannot write)
  int Err;      // errno of the failing call
};

// Writes every kept record to `path` (mode 0600, through a temporary file of
// its own renamed over it) and frees them once the file is known written
// (synced, closed and renamed). A failure keeps every record and adds one of
// its own (without presets).
BugFileResult SaveDebugRecords(const std::string& path);

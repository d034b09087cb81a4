// Saving the kept debug records as one file, newest first, each record as
// it is sent to the report server.
//
// Main thread (the report dialog), though nothing here needs it.
#pragma once
#include <string>

// "Bug.tvd" in the temporary folder: $TMPDIR, else /tmp.
std::string BugFilePath();

struct BugFileResult {
  int Message;  // 0, 1450 (cannot create) or 1451 (cannot write)
  int Err;      // errno of the failing call
};

// Writes every kept record to `path` and frees them once the file is known
// written (synced and closed). A failure keeps every record and adds one of
// its own (without presets).
BugFileResult SaveDebugRecords(const std::string& path);

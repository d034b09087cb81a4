// Shared helpers of the command-line tool: reporting the program's messages,
// printing a preset. (Reading and writing whole preset files: file/presetfile.h.)
#pragma once
#include <string>

#include "file/presetfile.h"
#include "main/model.h"

// Exit codes.
constexpr int EXIT_OK = 0;
constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;

// A user's argument as a message echoes it: one line, control characters
// escaped as names from files are (TextForLine).
std::string Shown(const std::string& arg);
// Prints message id with the file name as %1 (and the system's reason when a
// file could not be opened or written) to stderr; returns EXIT_REFUSED.
int ReportFileMessage(int id, const std::string& path);
// Prints a free text error to stderr; returns EXIT_REFUSED.
int ReportError(const std::string& text);

// Prints a preset in readable form.
void PrintPresetText(const Preset& p);
// Prints a preset as JSON (text of any bytes as UTF-8).
void PrintPresetJson(const Preset& p);
// One line per record: index, flags (D deleted, B built-in, S schedule),
// minutes, segments, name; deleted records only when `all`.
void PrintListing(const std::vector<PresetFixed>& list, bool all);

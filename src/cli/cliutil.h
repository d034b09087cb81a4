// Shared helpers of the command-line tool: reading and writing preset files,
// reporting the program's messages.
#pragma once
#include <string>
#include <vector>

#include "main/model.h"

// Exit codes.
constexpr int EXIT_OK = 0;
constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;

// Prints message id with the file name as %1 to stderr; returns EXIT_REFUSED.
int ReportFileMessage(int id, const std::string& path);
// Prints a free text error to stderr; returns EXIT_REFUSED.
int ReportError(const std::string& text);

// The records of a preset file as the list shows them (deleted ones included).
int ReadRecordList(const std::string& path, std::vector<PresetFixed>* list);
// Loads the live preset at record index `index` (or the first live one named
// `name` when index < 0) into p, which must be empty. Returns 0 or a message
// id; *notFound is set when the file has no such preset.
int LoadPresetAt(const std::string& path, int index, const std::string& name, Preset& p, bool* notFound);
// Writes presets as an export file (store flag 0) through a temporary file
// beside `path`, renamed into place only when complete. 0 or a message id.
int WriteExportFile(const std::string& path, Preset* presets, int n);
// Prints a preset in readable form.
void PrintPresetText(const Preset& p);

// The preset files the desktop program imports and exports, chosen by the
// file's name in this one place: the program's own preset files (and those
// of the earlier format), JSON presets (the form `sonavel-cli build`
// reads and `show --json` prints: .json, or a file that starts like JSON)
// and sessions in the .sbg sequence format (one preset each).
// A new format is a new entry of PresetFormat and a case in each function.
//
// Main thread only.
#pragma once
#include <string>

#include "file/store.h"

enum class PresetFormat { Tvk, Json, Session };

PresetFormat ImportFormatOf(const std::string& path);
PresetFormat ExportFormatOf(const std::string& path);
// The file dialogs' filter strings (string ids) and default extensions.
int ImportFilterId();
int ExportFilterId();

// Imports every preset of the file as the store's import does (the
// questions, one change of the store, the summary): 0, -1 (cancelled) or a
// message id for the store's messages; or 0 with *error set to a message
// already formatted (a JSON file's fault: its name, line and column, or the
// preset and field). A session is imported by the window itself (its
// notes go into one message): here it is refused as the store refuses a
// file it cannot read.
int ImportPresetFile(const std::string& path, StoreUi* ui, ImportReport* report, std::string* error);
// Writes preset i alone into `path` in the format its name asks for: 0 or a
// message id (%1 the file).
int ExportPresetFile(int i, const std::string& path);

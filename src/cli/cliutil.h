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

// Prints message id with the file name as %1 to stderr; returns EXIT_REFUSED.
int ReportFileMessage(int id, const std::string& path);
// Prints a free text error to stderr; returns EXIT_REFUSED.
int ReportError(const std::string& text);

// Prints a preset in readable form.
void PrintPresetText(const Preset& p);

// Reading presets from JSON files (one preset object or an array of them),
// for `build` and `store add`, with errors in the program's own words: a
// syntax error names the file, line and column; a field error the file, the
// preset and the field.
#pragma once
#include <string>
#include <vector>

#include "main/model.h"

// Appends the presets of `file` to out (the caller frees them, also on
// failure). false with *error set when the file cannot be read or a preset
// is not valid.
bool ReadJsonPresetFile(const std::string& file, std::vector<Preset>& out, std::string* error);
// Whether a file holds JSON rather than a preset file (it starts with '{' or
// '[' after white space).
bool LooksLikeJson(const std::string& file);
// Warns on stderr about each preset whose library background no library
// here has (the library file missing, or without that number): it would
// play without its background.
void WarnAboutBackgrounds(const std::vector<Preset>& presets);

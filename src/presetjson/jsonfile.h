// Reading presets from JSON files (one preset object or an array of them),
// for `build`, `store add` and the desktop program's import, with errors in
// the program's own words: a syntax error names the file, line and column; a
// field error the file, the preset and the field.
//
// Main thread only.
#pragma once
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "main/model.h"

// Parses JSON text; on a syntax error false with *error "line L, column C:
// not valid JSON: <reason>" (the place of the byte the parser stopped at).
bool ParseJsonText(const std::string& text, nlohmann::json* out, std::string* error);
// The reader's message without the JSON library's frame around it.
std::string JsonReason(const std::string& what);

// Appends the presets of `file` to out (the caller frees them, also on
// failure). false with *error set when the file cannot be read or a preset
// is not valid.
bool ReadJsonPresetFile(const std::string& file, std::vector<Preset>& out, std::string* error);
// Whether a file holds JSON rather than a preset file (it starts with '{' or
// '[' after white space).
bool LooksLikeJson(const std::string& file);

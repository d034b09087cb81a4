// Whole preset files outside the store: the list of records, one preset
// picked by record index or name, and writing presets as an export file.
// Main thread.
#pragma once
#include <string>
#include <vector>

#include "main/model.h"

// The records of a preset file as a list shows them (deleted ones
// included). 0 or a message id.
int ReadRecordList(const std::string& path, std::vector<PresetFixed>* list);
// Loads the live preset at record index `index` (or the first live one named
// `name` when index < 0) into p, which must be empty. Returns 0 or a message
// id; *notFound is set when the file has no such preset.
int LoadPresetAt(const std::string& path, int index, const std::string& name, Preset& p, bool* notFound);
// Writes presets as an export file (store flag 0) through the file layer's
// safe output (storefile.h), or to standard output for "-". 0 or a message
// id.
int WriteExportFile(const std::string& path, Preset* presets, int n);

// Internal interface between the parts of the preset store.
#pragma once
#include <string>

#include "file/fileread.h"
#include "file/store.h"
#include "main/model.h"

void SetStoreMessagePath(const std::string& path);
// Converts a store of the earlier format in place (backup, conversion, new
// store). 0 or a message.
int ConvertOldStore(StoreUi* ui);
// Checks a preset's library background when its curves are read (1331,
// 1332); a missing background becomes AMBIX_NONE.
void CheckPresetBackground(Preset& p, StoreUi* ui);
// Appends a copy of p as a new entry, saves it and releases its curves.
int AppendAndSave(const Preset& p, int* index);
// Converts an old-format file and hands each converted preset to sink.
int ImportOldFile(const std::string& path, PresetSink sink, void* ctx);
// Installed by the conversion module; null until then (old files are 1311).
extern int (*StoreConvertOldStore)(StoreUi* ui);
extern int (*StoreImportOldFile)(const std::string& path, PresetSink sink, void* ctx);
// Replaces record i by a deleted record without asking (import's overwrite).
int DeleteRecord(int i);

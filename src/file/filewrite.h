// Writing preset records: the record image in `SaveTempMem`.
//
// Main thread only: the save buffer is one process-wide region.
#pragma once
#include <cstdint>

#include "file/fileformat.h"
#include "platform/vmem.h"

// The buffer a record image is built in: reserved on first use for the
// largest record (MAX_RECORD_SIZE) and committed as it fills, kept for the
// life of the process.
extern plat::Region SaveTempMem;

// Builds the record image of p in SaveTempMem (a 5-byte deleted record when p
// is deleted) and stores its length in p.RecordSize and at offset 0 of the
// image. A live preset must have its curves in memory. Forces byte 4095 of the
// description buffer to NUL. Returns 0 and the image, or 1297 after an
// internal error (no memory for the buffer, or an inconsistent record that
// would not read back).
int SerialisePreset(Preset& p, const unsigned char** image);

// Serialises p and writes the image at the device's position: 0, 1297 or
// 1308.
int WritePresetRecord(ByteDev& dev, Preset& p);

// Writes a whole file: a new header with the store flag, then the records of
// the n presets in order, and cuts the device there. 0, 1297 or 1308.
int WritePresetFile(ByteDev& dev, int storeFlag, Preset* presets, int n);

// Conversion of preset files of the earlier format (version 2).
//
// A conversion reads the whole old file first, checking every record; only
// when all of it has been read are the records converted, one by one, into
// current presets. So a damaged file yields no preset at all, never the first
// few. The old file is never written.
//
// Results are 0, a string-table message id (%1 is the file's path: 1298 read
// failure, 1299 cannot open, 1307 a newer version, 1316 not valid; when
// writing 1297, 1308), or -1 when the user aborted through the progress
// callback.
//
// Main thread only.
#pragma once
#include <cstddef>

#include "file/fileio.h"
#include "file/fileread.h"
#include "main/model.h"

constexpr int CONVERT_ABORTED = -1;

// Progress of a conversion on the store's 0..1000 scale: reading moves it to
// 75, converting record i (0-based) of n to 100 + 700 (i + 1) / n, so a
// finished conversion stands at 800. Progress returns true when the user
// asked to abort.
struct ConvertProgress {
  void* Ctx = nullptr;
  bool (*Progress)(void* ctx, int position) = nullptr;
};
constexpr int CONVERT_READ_DONE = 75;
constexpr int CONVERT_DONE = 800;

// Receives each converted preset in order. The preset belongs to the
// converter and is freed after the call unless the sink takes its buffers
// over (by moving Description and ParamMem out and setting them to null).
// Returns 0 to go on, or a message id that ends the conversion with it.
using ConvertedSink = int (*)(void* ctx, int ordinal, Preset& p);

// Converts the old file open on `dev` (positioned anywhere). *count receives
// the number of presets handed to the sink (may be null).
int ConvertOldDevice(ByteDev& dev, ConvertedSink sink, void* ctx, const ConvertProgress* progress, int* count);

// Converts the old file at `path` and hands each converted preset to sink,
// which must copy what it keeps (CopyPreset); the import of the preset store
// uses this.
int ConvertOldPresets(const char* path, PresetSink sink, void* ctx, const ConvertProgress* progress, int* count);

// Converts the old file at `path` into a new array of *count presets (null
// when there are none), each Loaded with its description and parameter block
// attached. The caller owns the array and gives it back with
// FreeConvertedPresets (a preset whose buffers the caller took over must have
// null pointers). Conversion of an old store at start uses this.
int ConvertOldToArray(const char* path, Preset** presets, int* count, const ConvertProgress* progress);
void FreeConvertedPresets(Preset* presets, int count);

// The same over an old file image in memory; never reads outside
// [data, data + size) and releases everything before it returns.
int ConvertOldFromMemory(const void* data, size_t size, PresetSink sink, void* ctx);

// Writes the converted presets of the old file on `in` as a current export
// file (store flag 0) on `out`. *outputFault tells whether a fault came from
// writing (may be null).
int ConvertOldToDevice(ByteDev& in, ByteDev& out, const ConvertProgress* progress, int* count, bool* outputFault);

struct ConvertOutcome {
  int Count = 0;                      // presets written
  const char* MessagePath = nullptr;  // the path the message names (inPath or outPath)
};
// Converts the old file inPath into a current export file outPath, written
// as a temporary file beside outPath that is renamed into place only when
// complete: on any failure outPath is left as it was and nothing is left
// behind. 1300 when outPath is inPath. outcome may be null.
int ConvertOldFile(const char* inPath, const char* outPath, const ConvertProgress* progress, ConvertOutcome* outcome);

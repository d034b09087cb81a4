// Parsing a whole preset file: the entry point for imports of file images,
// the built-in presets and fuzzing.
#include <cstdio>

#include "assert/check.h"
#include "file/fileread.h"
#include "file/filewalk.h"
#include "main/preset.h"

int ReadPresetFile(ByteDev& dev, PresetSink sink, void* ctx) {
  if (int r = ReadFileHeader(dev, nullptr)) return r;
  // The walk checks the framing that the store relies on; the records are
  // then read one after another as an import does.
  WalkCounts counts;
  if (int r = WalkPresetList(dev, WalkHooks{}, &counts)) return r;
  if (DevSeek(dev, FILE_HEADER_SIZE, SEEK_SET) != FILE_HEADER_SIZE) return FMSG_READ_FAILED;

  Preset p{};
  int live = 0, r = 0;
  for (;;) {
    bool atEnd = false;
    r = ReadPresetRecord(dev, p, &atEnd);
    if (r || atEnd) break;
    if (sink) sink(ctx, live, p);
    ++live;
  }
  FreePreset(p);
  // Both passes frame records by their size fields, so they agree.
  if (r == 0) TVK_CHECK(live == counts.Records - counts.Deleted, live);
  return r;
}

int ReadPresetsFromMemory(const void* data, size_t size, PresetSink sink, void* ctx) {
  ByteDev dev = DevFromMemory(data, size);
  return ReadPresetFile(dev, sink, ctx);
}

// Preset file images: every live preset that reads must write, read back
// equal, and survive the editor's recalculation of its tracked parameters.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "file/fileread.h"
#include "file/filewrite.h"
#include "fuzz/fuzzcommon.h"
#include "main/preset.h"

namespace {

struct RoundTrip {
  Preset* Original;
  bool Seen;
};

void CompareBack(void* ctx, int, const Preset& back) {
  auto* rt = static_cast<RoundTrip*>(ctx);
  if (rt->Seen) std::abort();  // one preset written, one read
  rt->Seen = true;
  // Use order and the record size are the reader's own bookkeeping.
  rt->Original->Loaded = back.Loaded;
  rt->Original->LastUse = back.LastUse;
  rt->Original->RecordSize = back.RecordSize;
  if (ComparePresets(*rt->Original, back) != 0) {
    std::fprintf(stderr, "preset differs after writing and reading it again\n");
    std::abort();
  }
}

void CheckPreset(void*, int, const Preset& p) {
  Preset copy{};
  CopyPreset(copy, p);
  std::vector<unsigned char> image;
  ByteDev dev = DevFromBuffer(image);
  if (WritePresetFile(dev, 0, &copy, 1) != 0) {
    std::fprintf(stderr, "a preset that was read cannot be written\n");
    std::abort();
  }
  RoundTrip rt{&copy, false};
  if (ReadPresetsFromMemory(image.data(), image.size(), CompareBack, &rt) != 0 || !rt.Seen) {
    std::fprintf(stderr, "a written preset does not read back\n");
    std::abort();
  }
  PresetLength(copy);
  for (int s = 0; s < copy.data.NumSegments; ++s) RecomputeAllTracked(SegParams(copy, s), copy.data.Segment[s]);
  FreePreset(copy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  ReadPresetsFromMemory(data, size, CheckPreset, nullptr);
  return 0;
}

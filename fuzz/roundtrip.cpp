#include "fuzz/roundtrip.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "file/fileread.h"
#include "file/filewrite.h"
#include "main/preset.h"

namespace {

struct RoundTrip {
  Preset* Original;
  bool Seen;
};

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

void CompareBack(void* ctx, int, const Preset& back) {
  auto* rt = static_cast<RoundTrip*>(ctx);
  if (rt->Seen) Fail("one preset written, more read");
  rt->Seen = true;
  // Use order and the record size are the reader's own bookkeeping.
  rt->Original->Loaded = back.Loaded;
  rt->Original->LastUse = back.LastUse;
  rt->Original->RecordSize = back.RecordSize;
  if (ComparePresets(*rt->Original, back) != 0) Fail("preset differs after writing and reading it again");
}

}  // namespace

void CheckRoundTrip(const Preset& p) {
  Preset copy{};
  CopyPreset(copy, p);
  std::vector<unsigned char> image;
  ByteDev dev = DevFromBuffer(image);
  if (WritePresetFile(dev, 0, &copy, 1) != 0) Fail("a preset that was read cannot be written");
  RoundTrip rt{&copy, false};
  if (ReadPresetsFromMemory(image.data(), image.size(), CompareBack, &rt) != 0 || !rt.Seen)
    Fail("a written preset does not read back");
  PresetLength(copy);
  for (int s = 0; s < copy.data.NumSegments; ++s)
    RecomputeAllTracked(BackgroundParamRow{}, SegParams(copy, s), copy.data.Segment[s]);
  FreePreset(copy);
}

// Preset file images: every live preset that reads must write, read back
// equal, and survive the editor's recalculation of its tracked parameters.
#include "file/fileread.h"
#include "fuzz/fuzzcommon.h"
#include "fuzz/roundtrip.h"

namespace {
void Check(void*, int, const Preset& p) { CheckRoundTrip(p); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  ReadPresetsFromMemory(data, size, Check, nullptr);
  return 0;
}

// Files of the earlier format: every preset the conversion hands out must be
// a current preset that writes, reads back equal and can be edited.
#include "convold/convold.h"
#include "fuzz/fuzzcommon.h"
#include "fuzz/roundtrip.h"

namespace {
void Check(void*, int, const Preset& p) { CheckRoundTrip(p); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  ConvertOldFromMemory(data, size, Check, nullptr);
  return 0;
}

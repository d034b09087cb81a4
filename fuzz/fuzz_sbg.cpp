// Sequence files (.sbg): a session the reader accepts becomes a preset the
// file format writes and reads back, with every curve inside a segment's
// limits; written as a session again it reads back too. A refused one names
// a place and leaves no preset behind.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzzcommon.h"
#include "fuzz/roundtrip.h"
#include "main/preset.h"
#include "sbg/sbg.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

void CheckCurves(const Preset& p) {
  if (p.data.NumSegments < 1 || p.data.NumSegments > MAXSEGMENTS) Fail("segment count out of range");
  for (int s = 0; s < p.data.NumSegments; ++s) {
    const Segment& seg = p.data.Segment[s];
    if (seg.Length < 1 || seg.Length > MAXSEGLENGTH || seg.NumVoices < 1 || seg.NumVoices > MAXVOICES)
      Fail("segment fields out of range");
    const Param* q = SegParams(p, s);
    for (int pid = 0; pid < SegParamCount(seg); ++pid) {
      if (q[pid].NumNodes < 2 || q[pid].NumNodes > MAXNODES) Fail("node count out of range");
      if (q[pid].Node[0].SweepTime != 0 || q[pid].Node[q[pid].NumNodes - 1].SweepTime != 10000)
        Fail("a curve does not span its segment");
      for (int i = 1; i < q[pid].NumNodes; ++i)
        if (q[pid].Node[i].SweepTime < q[pid].Node[i - 1].SweepTime || q[pid].Node[i - 1].Weight > 20)
          Fail("node times go back or a weight is out of range");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  std::string text(reinterpret_cast<const char*>(data), size);
  Preset p{};
  SbgImport info;
  if (!ImportSessionText(text, "fuzz", "/nonexistent", p, &info)) {
    if (p.ParamMem || p.Description) Fail("a refused session keeps its memory");
    if (info.Error.Text.empty() || info.Error.Line < 0) Fail("a refusal names no place");
    return 0;
  }
  CheckCurves(p);
  CheckRoundTrip(p);
  Preset again{};
  SbgImport info2;
  if (!ImportSessionText(SessionText(p), "fuzz", "/nonexistent", again, &info2))
    Fail(("a written session does not read back: " + info2.Error.Text).c_str());
  CheckCurves(again);
  FreePreset(again);
  FreePreset(p);
  return 0;
}

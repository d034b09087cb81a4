// JSON presets (the full form of `show --json` and the authoring form of
// `build`): a preset the loader accepts must be one the file format can
// write and read back, and its full form must load to the same preset. A
// curve the editor's clipboard reader accepts (the same text pasted) must
// be a curve whose own text reads back to the same nodes; the clipboard's
// own bytes are read from the same input.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "file/fileread.h"
#include "file/filewrite.h"
#include "fuzz/fuzzcommon.h"
#include "main/curveclip.h"
#include "main/preset.h"
#include "presetjson/presetjson.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// Node slots past NumNodes are never written or shown; the loader may leave
// a default curve's third node there.
void ClearUnusedNodes(Preset& p) {
  for (int s = 0; s < p.data.NumSegments; ++s) {
    Param* params = SegParams(p, s);
    for (int pid = 0; pid < SegParamCount(p.data.Segment[s]); ++pid)
      for (int i = params[pid].NumNodes; i < MAXNODES; ++i) params[pid].Node[i] = Node{};
  }
}

void CountPreset(void* ctx, int, const Preset&) { ++*static_cast<int*>(ctx); }

// A curve from the clipboard's text.
void CheckCurve(const nlohmann::json& j) {
  CurveClip clip, back;
  std::string error;
  if (!CurveClipFromJson(BackgroundParamRow{}, j, &clip, &error)) return;
  if (!ValidCurveClip(clip)) Fail("a curve read from JSON is not a curve");
  if (!CurveClipFromJson(BackgroundParamRow{}, nlohmann::json::parse(CurveClipToJson(clip).dump()), &back, &error))
    Fail(("the text of a curve does not read back: " + error).c_str());
  if (back.ParamNum != clip.ParamNum || back.NumNodes != clip.NumNodes)
    Fail("the text of a curve reads back otherwise");
  for (int i = 0; i < clip.NumNodes; ++i)
    if (back.Nodes[i].Value != clip.Nodes[i].Value || back.Nodes[i].SweepTime != clip.Nodes[i].SweepTime ||
        back.Nodes[i].Weight != clip.Nodes[i].Weight)
      Fail("the text of a curve reads back to other nodes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInit();
  // The clipboard's own bytes: refused, or a curve that encodes to them.
  CurveClip raw;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (DecodeCurveClip(bytes, &raw) && EncodeCurveClip(raw) != bytes) Fail("a decoded curve encodes otherwise");
  nlohmann::json j = nlohmann::json::parse(data, data + size, nullptr, false);
  if (j.is_discarded()) return 0;
  CheckCurve(j);
  Preset p{};
  std::string error;
  if (!PresetFromJson(j, p, &error)) {
    if (p.ParamMem || p.Description) Fail("a refused JSON preset keeps its memory");
    return 0;
  }
  std::vector<unsigned char> image;
  ByteDev dev = DevFromBuffer(image);
  if (WritePresetFile(dev, 0, &p, 1) != 0) Fail("a preset built from JSON cannot be written");
  int n = 0;
  if (ReadPresetsFromMemory(image.data(), image.size(), CountPreset, &n) != 0 || n != 1)
    Fail("a preset built from JSON does not read back");

  Preset again{};
  if (!PresetFromJson(nlohmann::json::parse(PresetToJson(p).dump()), again, &error))
    Fail(("the full form of a preset does not load: " + error).c_str());
  // The use counter moved on, and writing gave p its record size.
  again.LastUse = p.LastUse;
  again.RecordSize = p.RecordSize;
  ClearUnusedNodes(p);
  ClearUnusedNodes(again);
  if (ComparePresets(p, again) != 0) Fail("the full form of a preset loads differently");
  FreePreset(again);
  FreePreset(p);
  return 0;
}

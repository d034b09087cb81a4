// The conversion entry points: read the whole old file, then convert record
// by record into whatever the caller collects.
#include "convold/convold.h"

#include <cstdlib>
#include <vector>

#include "convold/oldconvert.h"
#include "convold/oldformat.h"
#include "file/filewrite.h"
#include "main/preset.h"

namespace {

constexpr int kConvertFirst = 100;
constexpr int kConvertSpan = 700;

bool ReadProgress(void* ctx, int position) {
  const auto* p = static_cast<const ConvertProgress*>(ctx);
  return p->Progress(p->Ctx, position);
}

int ReadAll(ByteDev& dev, std::vector<OldRecord>& records, const ConvertProgress* progress) {
  if (int rc = ReadOldHeader(dev)) return rc;
  bool report = progress && progress->Progress;
  return ReadOldRecords(dev, &records, report ? ReadProgress : nullptr,
                        const_cast<void*>(static_cast<const void*>(progress)));
}

int ConvertAll(std::vector<OldRecord>& records, ConvertedSink sink, void* ctx, const ConvertProgress* progress,
               int* count) {
  const int n = static_cast<int>(records.size());
  for (int i = 0; i < n; ++i) {
    Preset p{};
    if (int rc = ConvertOldRecord(records[static_cast<size_t>(i)], p)) return rc;
    // The old record is not needed any more.
    std::vector<OldParam>().swap(records[static_cast<size_t>(i)].Params);
    int rc = sink ? sink(ctx, i, p) : 0;
    FreePreset(p);
    if (rc) return rc;
    ++*count;
    if (progress && progress->Progress && progress->Progress(progress->Ctx, kConvertFirst + kConvertSpan * (i + 1) / n))
      return CONVERT_ABORTED;
  }
  return 0;
}

struct ForwardSink {
  PresetSink Sink;
  void* Ctx;
};

int Forward(void* ctx, int ordinal, Preset& p) {
  auto* f = static_cast<ForwardSink*>(ctx);
  if (f->Sink) f->Sink(f->Ctx, ordinal, p);
  return 0;
}

struct ArraySink {
  Preset* Presets;
};

int TakeOver(void* ctx, int ordinal, Preset& p) {
  auto* a = static_cast<ArraySink*>(ctx);
  a->Presets[ordinal] = p;
  p.Description = nullptr;
  p.ParamMem = nullptr;
  return 0;
}

struct WriteSink {
  ByteDev* Out;
  bool Fault;
};

int WriteRecord(void* ctx, int, Preset& p) {
  auto* w = static_cast<WriteSink*>(ctx);
  int rc = WritePresetRecord(*w->Out, p);
  if (rc) w->Fault = true;
  return rc;
}

}  // namespace

int ConvertOldDevice(ByteDev& dev, ConvertedSink sink, void* ctx, const ConvertProgress* progress, int* count) {
  int local = 0;
  if (!count) count = &local;
  *count = 0;
  std::vector<OldRecord> records;
  if (int rc = ReadAll(dev, records, progress)) return rc;
  return ConvertAll(records, sink, ctx, progress, count);
}

int ConvertOldPresets(const char* path, PresetSink sink, void* ctx, const ConvertProgress* progress, int* count) {
  if (count) *count = 0;
  ByteDev dev;
  if (!DevOpenFile(dev, path, DEV_OPEN_READ)) return FMSG_OPEN_FAILED;
  ForwardSink f{sink, ctx};
  int rc = ConvertOldDevice(dev, Forward, &f, progress, count);
  DevClose(dev);
  return rc;
}

int ConvertOldToArray(const char* path, Preset** presets, int* count, const ConvertProgress* progress) {
  *presets = nullptr;
  *count = 0;
  ByteDev dev;
  if (!DevOpenFile(dev, path, DEV_OPEN_READ)) return FMSG_OPEN_FAILED;
  std::vector<OldRecord> records;
  int rc = ReadAll(dev, records, progress);
  DevClose(dev);
  if (rc) return rc;
  if (records.empty()) return 0;
  auto* array = static_cast<Preset*>(std::calloc(records.size(), sizeof(Preset)));
  if (!array) return FMSG_READ_FAILED;
  ArraySink a{array};
  int n = 0;
  rc = ConvertAll(records, TakeOver, &a, progress, &n);
  if (rc) {
    FreeConvertedPresets(array, static_cast<int>(records.size()));
    return rc;
  }
  *presets = array;
  *count = n;
  return 0;
}

void FreeConvertedPresets(Preset* presets, int count) {
  if (!presets) return;
  for (int i = 0; i < count; ++i) FreePreset(presets[i]);
  std::free(presets);
}

int ConvertOldFromMemory(const void* data, size_t size, PresetSink sink, void* ctx) {
  ByteDev dev = DevFromMemory(data, size);
  ForwardSink f{sink, ctx};
  return ConvertOldDevice(dev, Forward, &f, nullptr, nullptr);
}

int ConvertOldToDevice(ByteDev& in, ByteDev& out, const ConvertProgress* progress, int* count, bool* outputFault) {
  int local = 0;
  bool fault = false;
  if (!count) count = &local;
  if (!outputFault) outputFault = &fault;
  *count = 0;
  *outputFault = false;
  std::vector<OldRecord> records;
  if (int rc = ReadAll(in, records, progress)) return rc;
  if (int rc = WriteFileHeader(out, 0)) {
    *outputFault = true;
    return rc;
  }
  WriteSink w{&out, false};
  int rc = ConvertAll(records, WriteRecord, &w, progress, count);
  *outputFault = w.Fault;
  return rc;
}

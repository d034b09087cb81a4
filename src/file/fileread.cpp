// Reading one preset record with every range check.
#include "file/fileread.h"

#include <cstdio>
#include <cstring>

#include "assert/check.h"
#include "main/preset.h"

namespace {

// A live record holds at least its fixed part and an empty description.
constexpr int32_t kMinLiveRecord = FIXED_SIZE + 1;
constexpr int kMaxWeight = 20;
constexpr int kMaxSetting = 10;  // Tracking, TrackingMode, Symmetric
constexpr int kMaxChannelMode = 2;
constexpr int kSegmentEnd = 10000;

unsigned char* FixedBytes(Preset& p) { return reinterpret_cast<unsigned char*>(static_cast<PresetFixed*>(&p)); }

// Leaves p without anything the read gave it.
int Refuse(Preset& p, int msg) {
  ReleaseParams(p);
  ReleaseDescription(p);
  std::memset(FixedBytes(p), 0, FIXED_SIZE);
  return msg;
}

int CheckFixed(const PresetFixed& f) {
  if (f.IsSchedule > MAX_FLAG || f.BuiltIn > MAX_FLAG) return FMSG_NOT_VALID;
  if (f.data.NumSegments < 1 || f.data.NumSegments > MAXSEGMENTS) return FMSG_NOT_VALID;
  for (int s = 0; s < f.data.NumSegments; ++s) {
    const Segment& seg = f.data.Segment[s];
    // The curve memory holds MAXVOICES voices; a segment's block count and
    // its repeat counter are computed from Length and Repeat.
    if (seg.NumVoices < 1 || seg.NumVoices > MAXVOICES) return FMSG_NOT_VALID;
    if (seg.Length < 1 || seg.Length > MAXSEGLENGTH) return FMSG_NOT_VALID;
    if (seg.Repeat < 1 || seg.Repeat > MAXREPEAT) return FMSG_NOT_VALID;
  }
  // The colours are walked up to NumColors.
  if (f.data.VisOpt.NumColors > MAXCOLORS) return FMSG_NOT_VALID;
  return 0;
}

// Texts are used as C strings; a file need not end them.
void EndTexts(PresetFixed& f) {
  f.Name[NAMELEN - 1] = 0;
  f.data.BackgroundFile[NAMELEN - 1] = 0;
  for (Segment& seg : f.data.Segment) seg.Name[sizeof seg.Name - 1] = 0;
}

// Reads up to 4096 bytes and leaves the device right after the NUL.
int ReadDescription(ByteDev& dev, Preset& p) {
  if (!EnsureDescription(p)) return FMSG_READ_FAILED;
  int64_t start = DevTell(dev);
  if (start < 0) return FMSG_READ_FAILED;
  int64_t got = DevRead(dev, p.Description, DESCLEN);
  if (got <= 0) return FMSG_READ_FAILED;
  const void* nul = std::memchr(p.Description, 0, static_cast<size_t>(got));
  if (nul) {
    int64_t len = static_cast<const char*>(nul) - p.Description;
    std::memset(p.Description + len, 0, static_cast<size_t>(DESCLEN - len));
    if (DevSeek(dev, start + len + 1, SEEK_SET) != start + len + 1) return FMSG_NOT_VALID;
    return 0;
  }
  // Without a NUL the text either runs past the end of the file, or fills
  // all 4096 bytes: then its last byte is taken as the terminator's place and
  // the curves follow.
  if (got < DESCLEN) return FMSG_READ_FAILED;
  p.Description[DESCLEN - 1] = 0;
  return 0;
}

int CheckNodes(const Param& prm) {
  int n = prm.NumNodes;
  for (int i = 0; i < n; ++i) {
    const Node& node = prm.Node[i];
    if (node.Weight > kMaxWeight || node.Symmetric > kMaxSetting) return FMSG_NOT_VALID;
    // The curve and sweep calculations need a node at each end of the
    // segment and times that never go back.
    if (i > 0 && node.SweepTime < prm.Node[i - 1].SweepTime) return FMSG_NOT_VALID;
  }
  if (prm.Node[0].SweepTime != 0 || prm.Node[n - 1].SweepTime != kSegmentEnd) return FMSG_NOT_VALID;
  return 0;
}

int ReadParam(ByteDev& dev, Param& prm) {
  ParamHeader* h = HeaderOf(&prm);
  if (DevRead(dev, h, PARAM_HEADER_SIZE) != PARAM_HEADER_SIZE) return FMSG_READ_FAILED;
  if (h->NumNodes < 2 || h->NumNodes > MAXNODES) return FMSG_NOT_VALID;
  if (h->Tracking > kMaxSetting || h->TrackingMode > kMaxSetting) return FMSG_NOT_VALID;
  // TrackSource is a pid; 176 would name the slot after the last one.
  if (h->TrackSource >= NPARAMS) return FMSG_NOT_VALID;
  // ChannelMode selects the channel the editor works on.
  if (h->ChannelMode > kMaxChannelMode) return FMSG_NOT_VALID;
  int64_t bytes = static_cast<int64_t>(h->NumNodes) * NODE_SIZE;
  if (DevRead(dev, prm.Node, static_cast<size_t>(bytes)) != bytes) return FMSG_READ_FAILED;
  // Unused slots are cleared, so that a preset read into a reused block
  // compares and copies like one read into fresh memory.
  std::memset(prm.Node + h->NumNodes, 0, sizeof prm.Node - static_cast<size_t>(bytes));
  return CheckNodes(prm);
}

// A tracked value is computed from its source, recursively: the source must
// be backed by memory and no chain may come back on itself.
int CheckTracking(const Param* params, int count) {
  for (int j = 0; j < count; ++j)
    if (params[j].Tracking && params[j].TrackSource >= count) return FMSG_NOT_VALID;
  for (int j = 0; j < count; ++j) {
    int b = j;
    for (int steps = 0; params[b].Tracking; ++steps) {
      if (steps >= count) return FMSG_NOT_VALID;
      b = params[b].TrackSource;
    }
  }
  return 0;
}

int ReadCurves(ByteDev& dev, Preset& p) {
  for (int s = 0; s < p.data.NumSegments; ++s) {
    const Segment& seg = p.data.Segment[s];
    Param* params = CommitSegmentSlot(p, s, seg.NumVoices);
    if (!params) return FMSG_READ_FAILED;  // reported as an internal error
    int count = SegParamCount(seg);
    for (int j = 0; j < count; ++j)
      if (int r = ReadParam(dev, params[j])) return r;
    if (int r = CheckTracking(params, count)) return r;
  }
  return 0;
}

}  // namespace

int ReadPresetRecord(ByteDev& dev, Preset& p, bool* atEnd) {
  *atEnd = false;
  int64_t start;
  for (;;) {
    start = DevTell(dev);
    if (start < 0) return Refuse(p, FMSG_READ_FAILED);
    int64_t got = DevRead(dev, FixedBytes(p), FIXED_SIZE);
    if (got < 0) return Refuse(p, FMSG_READ_FAILED);
    if (got == 0 || (got >= 4 && p.RecordSize == -1)) {
      // No further record.
      std::memset(FixedBytes(p), 0, FIXED_SIZE);
      *atEnd = true;
      return 0;
    }
    if (got < DELETED_RECORD_SIZE) return Refuse(p, FMSG_READ_FAILED);
    if (!p.Deleted) {
      if (got < FIXED_SIZE) return Refuse(p, FMSG_READ_FAILED);
      break;
    }
    // A deleted record: skip it by its size, as the walk does (this program
    // writes them as 5 bytes).
    if (p.Deleted > MAX_FLAG) return Refuse(p, FMSG_NOT_VALID);
    if (p.RecordSize < DELETED_RECORD_SIZE || p.RecordSize > MAX_RECORD_SIZE) return Refuse(p, FMSG_NOT_VALID);
    if (DevSeek(dev, start + p.RecordSize, SEEK_SET) != start + p.RecordSize) return Refuse(p, FMSG_READ_FAILED);
  }

  if (p.RecordSize < kMinLiveRecord || p.RecordSize > MAX_RECORD_SIZE) return Refuse(p, FMSG_NOT_VALID);
  if (int r = CheckFixed(p)) return Refuse(p, r);
  EndTexts(p);
  if (int r = ReadDescription(dev, p)) return Refuse(p, r);
  if (int r = ReadCurves(dev, p)) return Refuse(p, r);
  // The walk finds records by their sizes; a record that disagrees with its
  // own size would put every later record in the wrong place.
  if (DevTell(dev) != start + p.RecordSize) return Refuse(p, FMSG_NOT_VALID);

  p.Loaded = 1;
  p.LastUse = UseCounter++;
  return 0;
}

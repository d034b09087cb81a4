// Record serialisation into SaveTempMem.
#include "file/filewrite.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "assert/check.h"

plat::Region SaveTempMem;

namespace {

// Room for the fixed part, the longest description and the size field of a
// deleted record, committed before anything is built.
constexpr size_t kFirstCommit = 4100;
static_assert(kFirstCommit >= FIXED_SIZE + 1 && kFirstCommit >= DELETED_RECORD_SIZE);

bool EnsureSaveBuffer(size_t bytes) {
  if (!SaveTempMem.Base) plat::RegionReserve(SaveTempMem, MAX_RECORD_SIZE);
  if (!TVK_CHECK(SaveTempMem.Base != nullptr, MAX_RECORD_SIZE)) return false;
  int64_t want = static_cast<int64_t>(bytes);
  return TVK_CHECK(plat::RegionEnsure(SaveTempMem, bytes), want);
}

// Checks what the image is built from, so that nothing is read outside the
// record and nothing is written that the reader would refuse.
bool RecordConsistent(const Preset& p) {
  int segs = p.data.NumSegments;
  if (!TVK_CHECK(segs >= 1 && segs <= MAXSEGMENTS, segs)) return false;
  if (!TVK_CHECK(p.ParamMem != nullptr, p.Loaded)) return false;
  for (int s = 0; s < segs; ++s) {
    int voices = p.data.Segment[s].NumVoices;
    if (!TVK_CHECK(voices >= 1 && voices <= MAXVOICES, voices)) return false;
    const Param* params = SegParams(p, s);
    for (int j = 0; j < NSPAR + NVPAR * voices; ++j) {
      int nodes = params[j].NumNodes;
      if (!TVK_CHECK(nodes >= 2 && nodes <= MAXNODES, nodes)) return false;
    }
  }
  return true;
}

}  // namespace

int SerialisePreset(Preset& p, const unsigned char** image) {
  *image = nullptr;
  if (!EnsureSaveBuffer(kFirstCommit)) return FMSG_WRITE_FAILED;
  unsigned char* out = SaveTempMem.Base;

  if (p.Deleted) {
    p.RecordSize = DELETED_RECORD_SIZE;
    PutLE32(out, DELETED_RECORD_SIZE);
    out[4] = 1;
    *image = out;
    return 0;
  }
  if (!RecordConsistent(p)) return FMSG_WRITE_FAILED;

  // Fixed part, with the places of in-memory fields written as zero.
  // Copied as bytes so that padding read from a file is written back as it
  // was.
  std::memcpy(out, static_cast<const PresetFixed*>(&p), FIXED_SIZE);
  auto zero = [out](size_t offset, size_t size) { std::memset(out + offset, 0, size); };
  zero(offsetof(PresetFixed, DescriptionPlace), sizeof(uint32_t));
  for (int s = 0; s < MAXSEGMENTS; ++s)
    zero(offsetof(PresetFixed, data.Segment) + sizeof(Segment) * static_cast<size_t>(s) + offsetof(Segment, ParamPlace),
         sizeof(uint32_t));
  zero(offsetof(PresetFixed, Loaded), 1);
  zero(offsetof(PresetFixed, LastUse), sizeof(int32_t));
  size_t pos = FIXED_SIZE;

  // Description: at most 4095 characters and the NUL; none is a single NUL.
  if (p.Description) {
    p.Description[DESCLEN - 1] = 0;
    size_t n = std::strlen(p.Description) + 1;
    std::memcpy(out + pos, p.Description, n);
    pos += n;
  } else {
    out[pos++] = 0;
  }

  // Curves, each segment's worst case committed before it is written.
  for (int s = 0; s < p.data.NumSegments; ++s) {
    int voices = p.data.Segment[s].NumVoices;
    if (!EnsureSaveBuffer(pos + SegmentCurveMax(voices))) return FMSG_WRITE_FAILED;
    out = SaveTempMem.Base;
    const Param* params = SegParams(p, s);
    for (int j = 0; j < NSPAR + NVPAR * voices; ++j) {
      std::memcpy(out + pos, HeaderOf(&params[j]), PARAM_HEADER_SIZE);
      pos += PARAM_HEADER_SIZE;
      size_t nodes = static_cast<size_t>(params[j].NumNodes) * NODE_SIZE;
      std::memcpy(out + pos, params[j].Node, nodes);
      pos += nodes;
    }
  }

  p.RecordSize = static_cast<int32_t>(pos);
  PutLE32(out, p.RecordSize);
  *image = out;
  return 0;
}

int WritePresetRecord(ByteDev& dev, Preset& p) {
  const unsigned char* image;
  int r = SerialisePreset(p, &image);
  if (r) return r;
  return WriteMessage(DevWrite(dev, image, static_cast<size_t>(p.RecordSize)));
}

int WritePresetFile(ByteDev& dev, int storeFlag, Preset* presets, int n) {
  int r = WriteFileHeader(dev, storeFlag);
  for (int i = 0; i < n && r == 0; ++i) r = WritePresetRecord(dev, presets[i]);
  if (r == 0 && !DevTruncate(dev)) r = WriteMessage(errno == ENOSPC ? DEV_WRITE_DISKFULL : DEV_WRITE_FAILED);
  return r;
}

// Reading files of the earlier format with every range check.
//
// Each record is read whole by its size field first, then taken apart inside
// that buffer, so no count, index or offset can reach outside the data
// actually present. Checks:
//   framing      size -1 or the end of the file ends the list; a size field of
//                1-3 bytes or a record running past the end of the file is
//                1298; a size of 0, below -1, below 5 or above the largest old
//                record is 1316; a deleted flag above 10 is 1316; more than
//                1000 live records is 1316
//   fixed part   at least 1300 bytes and an empty description; both flag
//                bytes 0..10; segments 1..16; per segment voices 1..4, length
//                1..10000 minutes, repeat 1..10000 (what a current record
//                holds); the name is forced to end in NUL
//   description  up to 4096 bytes with its NUL; 4096 bytes without a NUL are
//                taken as 4095 characters
//   parameter    nodes 2..32, Tracking 0..10, type 0..92, mode 0..10
//   node         weight 0..20, symmetric 0..10, positions 0..10000, never
//                going back, the first at 0 and the last at 10000
//   record       it ends exactly where its size field says
// Values the conversion cannot use (a type above 10, a waveform code above 5,
// a background path that does not fit) are kept and mended by the mapping.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convold/oldformat.h"

namespace {

constexpr int kMaxSetting = 10;
constexpr int kMaxWeight = 20;
constexpr int kSegmentEnd = 10000;
constexpr int kProgressRead = 75;

int16_t GetLE16(const unsigned char* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

// A bounded view of one record's bytes.
struct Cursor {
  const unsigned char* Data;
  size_t Size;
  size_t Pos;
  // The next n bytes, or nullptr when the record holds fewer.
  const unsigned char* Take(size_t n) {
    if (n > Size - Pos) return nullptr;
    const unsigned char* p = Data + Pos;
    Pos += n;
    return p;
  }
};

int ParseSegments(const unsigned char* rec, OldRecord& r) {
  r.NumSegments = rec[OLD_OFF_NUMSEGMENTS];
  if (r.NumSegments < 1 || r.NumSegments > OLD_MAX_SEGMENTS) return FMSG_NOT_VALID;
  for (int s = 0; s < r.NumSegments; ++s) {
    const unsigned char* e = rec + OLD_OFF_SEGMENTS + OLD_SEGMENT_SIZE * s;
    OldSegment& seg = r.Segment[s];
    seg.NumVoices = e[OLD_SEG_OFF_VOICES];
    // The voice count sizes the curve data and indexes the per-voice bytes.
    if (seg.NumVoices < 1 || seg.NumVoices > OLD_MAX_VOICES) return FMSG_NOT_VALID;
    std::memcpy(seg.VoiceFlag, e + OLD_SEG_OFF_FLAGS, OLD_MAX_VOICES);
    std::memcpy(seg.Waveform, e + OLD_SEG_OFF_WAVEFORMS, OLD_MAX_VOICES);
    std::memcpy(seg.Name, e + OLD_SEG_OFF_NAME, sizeof seg.Name);
    seg.Name[sizeof seg.Name - 1] = 0;
    seg.Minutes = GetLE32(e + OLD_SEG_OFF_LENGTH);
    seg.Repeat = GetLE32(e + OLD_SEG_OFF_REPEAT);
    // The converted length (minutes x 100) and the repeat must be values a
    // current segment holds, or the converted preset could not be read back.
    if (seg.Minutes < 1 || seg.Minutes > OLD_MAX_MINUTES) return FMSG_NOT_VALID;
    if (seg.Repeat < 1 || seg.Repeat > MAXREPEAT) return FMSG_NOT_VALID;
  }
  return 0;
}

void ParsePath(const unsigned char* rec, OldRecord& r) {
  const unsigned char* field = rec + OLD_OFF_PATH;
  const void* nul = std::memchr(field, 0, OLD_PATH_FIELD);
  size_t len = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - field) : OLD_PATH_FIELD;
  r.PathFits = nul && len < NAMELEN;
  std::memset(r.BackgroundPath, 0, sizeof r.BackgroundPath);
  if (r.PathFits) std::memcpy(r.BackgroundPath, field, len);
}

int ParseDescription(Cursor& c, OldRecord& r) {
  size_t look = std::min<size_t>(DESCLEN, c.Size - c.Pos);
  const unsigned char* text = c.Data + c.Pos;
  const void* nul = std::memchr(text, 0, look);
  if (nul) {
    size_t len = static_cast<size_t>(static_cast<const unsigned char*>(nul) - text);
    r.Description.assign(reinterpret_cast<const char*>(text), len);
    c.Pos += len + 1;
    return 0;
  }
  // 4096 bytes without a NUL: the last one is the terminator's place, as the
  // current reader takes it. Fewer: the text runs past its record.
  if (look < DESCLEN) return FMSG_NOT_VALID;
  r.Description.assign(reinterpret_cast<const char*>(text), DESCLEN - 1);
  c.Pos += DESCLEN;
  return 0;
}

int ParseParam(Cursor& c, OldParam& p) {
  const unsigned char* h = c.Take(OLD_PARAM_HEADER_SIZE);
  if (!h) return FMSG_NOT_VALID;
  p.NumNodes = h[0];
  p.Tracking = h[1];
  p.Type = h[2];
  p.Mode = h[OLD_PRM_OFF_MODE];
  if (p.NumNodes < OLD_MIN_NODES || p.NumNodes > OLD_MAX_NODES) return FMSG_NOT_VALID;
  if (p.Tracking > kMaxSetting || p.Type > OLD_MAX_TYPE || p.Mode > kMaxSetting) return FMSG_NOT_VALID;
  for (int a = 0; a < 4; ++a)
    for (int t = 0; t < OLD_TYPES; ++t) p.Setting[a][t] = GetLE32(h + OLD_PRM_OFF_SETTINGS + 4 * (OLD_TYPES * a + t));
  std::memset(p.Node, 0, sizeof p.Node);
  for (int i = 0; i < p.NumNodes; ++i) {
    const unsigned char* n = c.Take(OLD_NODE_SIZE);
    if (!n) return FMSG_NOT_VALID;
    OldNode& node = p.Node[i];
    node.Value = GetLE32(n);
    node.Position = GetLE16(n + 4);
    node.Weight = n[8];
    node.Symmetric = n[9];
    if (node.Weight > kMaxWeight || node.Symmetric > kMaxSetting) return FMSG_NOT_VALID;
    // The curve calculations need a node at each end of the segment and
    // positions that never go back (so all lie in 0..10000).
    if (i > 0 && node.Position < p.Node[i - 1].Position) return FMSG_NOT_VALID;
  }
  if (p.Node[0].Position != 0 || p.Node[p.NumNodes - 1].Position != kSegmentEnd) return FMSG_NOT_VALID;
  return 0;
}

// Takes a live record apart; rec holds exactly its `size` bytes.
int ParseRecord(const unsigned char* rec, size_t size, OldRecord& r) {
  std::memcpy(r.Name, rec + OLD_OFF_NAME, NAMELEN);
  r.Name[NAMELEN - 1] = 0;
  if (rec[OLD_OFF_FLAG1] > kMaxSetting || rec[OLD_OFF_FLAG2] > kMaxSetting) return FMSG_NOT_VALID;
  if (int rc = ParseSegments(rec, r)) return rc;
  r.BackgroundCode = static_cast<int8_t>(rec[OLD_OFF_BACKGROUND]);
  ParsePath(rec, r);

  Cursor c{rec, size, OLD_FIXED_SIZE};
  if (int rc = ParseDescription(c, r)) return rc;
  int total = 0;
  for (int s = 0; s < r.NumSegments; ++s) {
    r.Segment[s].FirstParam = total;
    total += OldSegParamCount(r.Segment[s].NumVoices);
  }
  r.Params.resize(static_cast<size_t>(total));
  for (OldParam& p : r.Params)
    if (int rc = ParseParam(c, p)) return rc;
  // The next record starts where this one's size says; a record that
  // disagrees with its own size is corrupt.
  if (c.Pos != size) return FMSG_NOT_VALID;
  return 0;
}

// Reads the size field at the device's position: 0 with *size, 0 with
// *atEnd at the end of the list, or a message.
int ReadSizeField(ByteDev& dev, int32_t* size, bool* atEnd) {
  unsigned char raw[4];
  int64_t got = DevRead(dev, raw, sizeof raw);
  *atEnd = false;
  if (got == 0) {
    *atEnd = true;
    return 0;
  }
  if (got != 4) return FMSG_READ_FAILED;
  *size = GetLE32(raw);
  if (*size == -1) {
    *atEnd = true;
    return 0;
  }
  if (*size < DELETED_RECORD_SIZE || *size > OLD_MAX_RECORD_SIZE) return FMSG_NOT_VALID;
  return 0;
}

int ReadRecords(ByteDev& dev, std::vector<OldRecord>& out, OldReadProgress progress, void* ctx) {
  int64_t fileSize = DevSize(dev);
  std::vector<unsigned char> rec;
  for (;;) {
    int32_t size = 0;
    bool atEnd = false;
    if (int rc = ReadSizeField(dev, &size, &atEnd)) return rc;
    if (atEnd) break;
    rec.resize(static_cast<size_t>(size));
    PutLE32(rec.data(), size);
    int64_t body = size - 4;
    if (DevRead(dev, rec.data() + 4, static_cast<size_t>(body)) != body) return FMSG_READ_FAILED;
    uint8_t deleted = rec[4];
    if (deleted > kMaxSetting) return FMSG_NOT_VALID;
    if (!deleted) {
      if (size < OLD_FIXED_SIZE + 1) return FMSG_NOT_VALID;
      // The old program kept at most 1000 records, and so does the store.
      if (out.size() >= static_cast<size_t>(OLD_MAX_RECORDS)) return FMSG_NOT_VALID;
      out.emplace_back();
      if (int rc = ParseRecord(rec.data(), rec.size(), out.back())) return rc;
    }
    if (progress && fileSize > 0) {
      int64_t at = DevTell(dev);
      if (progress(ctx, static_cast<int>(at * kProgressRead / fileSize))) return -1;
    }
  }
  if (progress && progress(ctx, kProgressRead)) return -1;
  return 0;
}

}  // namespace

int ReadOldHeader(ByteDev& dev) {
  unsigned char raw[FILE_HEADER_SIZE];
  if (DevSeek(dev, 0, SEEK_SET) != 0) return FMSG_READ_FAILED;
  if (DevRead(dev, raw, sizeof raw) != FILE_HEADER_SIZE) return FMSG_READ_FAILED;
  int32_t version = GetLE32(raw + offsetof(FileHeader, Version));
  if (version == OLD_FILE_VERSION) return 0;
  if (version > OLD_FILE_VERSION && version <= OLD_NEWEST_VERSION) return FMSG_NEWER_VERSION;
  return FMSG_NOT_VALID;
}

int ReadOldRecords(ByteDev& dev, std::vector<OldRecord>* out, OldReadProgress progress, void* ctx) {
  out->clear();
  int rc = ReadRecords(dev, *out, progress, ctx);
  if (rc) {
    out->clear();
    out->shrink_to_fit();
  }
  return rc;
}

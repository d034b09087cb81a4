// The old-format writer for the tests.
#include "convold/oldwriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kHeader = 136;
constexpr size_t kFixed = 1300;
constexpr size_t kPathField = 442;
constexpr size_t kParamHeader = 184;
constexpr size_t kNode = 12;

void Put32(Bytes& b, size_t at, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<unsigned char>(u >> (8 * i));
}

void Put16(Bytes& b, size_t at, int16_t v) {
  uint16_t u = static_cast<uint16_t>(v);
  b[at] = static_cast<unsigned char>(u);
  b[at + 1] = static_cast<unsigned char>(u >> 8);
}

void PutText(Bytes& b, size_t at, const std::string& s, size_t room) {
  std::memcpy(b.data() + at, s.data(), std::min(s.size(), room - 1));
}

void AppendParam(Bytes& b, const OldParamSpec& p) {
  size_t at = b.size();
  b.resize(at + kParamHeader + kNode * p.Nodes.size());
  b[at] = static_cast<unsigned char>(p.Nodes.size());
  b[at + 1] = p.Tracking;
  b[at + 2] = p.Type;
  for (int a = 0; a < 4; ++a)
    for (int t = 0; t < 11; ++t) Put32(b, at + 4 + 4 * static_cast<size_t>(11 * a + t), p.Setting[a][t]);
  b[at + 180] = p.Mode;
  for (size_t i = 0; i < p.Nodes.size(); ++i) {
    size_t n = at + kParamHeader + kNode * i;
    Put32(b, n, p.Nodes[i].Value);
    Put16(b, n + 4, p.Nodes[i].Position);
    b[n + 8] = p.Nodes[i].Weight;
    b[n + 9] = p.Nodes[i].Symmetric;
  }
}

void AppendRecord(OldImage& img, const OldPresetSpec& p) {
  Bytes& b = img.Data;
  size_t rec = b.size();
  img.Records.push_back(rec);
  img.Params.emplace_back();
  if (p.Deleted) {
    b.resize(rec + 5);
    Put32(b, rec, 5);
    b[rec + 4] = 1;
    return;
  }
  b.resize(rec + kFixed);
  PutText(b, rec + 5, p.Name, 256);
  b[rec + 261] = p.Flag1;
  b[rec + 262] = p.Flag2;
  for (size_t s = 0; s < p.Segments.size() && s < 16; ++s) {
    const OldSegmentSpec& seg = p.Segments[s];
    size_t e = rec + 276 + 36 * s;
    b[e + 4] = seg.NumVoices;
    for (int v = 0; v < 4; ++v) {
      b[e + 9 + static_cast<size_t>(v)] = seg.VoiceFlag[v];
      b[e + 13 + static_cast<size_t>(v)] = seg.Waveform[v];
    }
    PutText(b, e + 17, seg.Name, 3);
    Put32(b, e + 20, seg.Minutes);
    Put32(b, e + 24, seg.Repeat);
  }
  b[rec + 852] = static_cast<unsigned char>(p.Segments.size());
  b[rec + 853] = static_cast<unsigned char>(p.BackgroundCode);
  PutText(b, rec + 854, p.BackgroundPath, kPathField);
  b.insert(b.end(), p.Description.begin(), p.Description.end());
  if (p.DescriptionNul) b.push_back(0);
  for (const OldSegmentSpec& seg : p.Segments)
    for (const OldParamSpec& prm : seg.Params) {
      img.Params.back().push_back(b.size());
      AppendParam(b, prm);
    }
  Put32(b, rec, static_cast<int32_t>(b.size() - rec));
}

}  // namespace

OldParamSpec OldRamp(int32_t a, int32_t b) {
  OldParamSpec p;
  p.Nodes = {{a, 0}, {b, 10000}};
  return p;
}

OldSegmentSpec OldTypicalSegment(int voices, int32_t minutes) {
  OldSegmentSpec s;
  s.NumVoices = static_cast<uint8_t>(voices);
  s.Minutes = minutes;
  s.Params = {OldFlat(100), OldFlat(0), OldFlat(50), OldFlat(50), OldFlat(50), OldFlat(50)};
  for (int v = 0; v < voices; ++v) {
    s.Params.push_back(OldRamp(1500 + 100 * v, 500 + 100 * v));
    s.Params.push_back(OldFlat(100));
    s.Params.push_back(OldRamp(200, 150));
    s.Params.push_back(OldFlat(0));
    s.Params.push_back(OldFlat(1000));
  }
  return s;
}

OldPresetSpec OldTypicalPreset(const std::string& name, int segments, int voices) {
  OldPresetSpec p;
  p.Name = name;
  for (int s = 0; s < segments; ++s) {
    p.Segments.push_back(OldTypicalSegment(voices));
    p.Segments.back().Name = std::string(1, static_cast<char>('A' + s));
  }
  return p;
}

OldImage WriteOldImage(const std::vector<OldPresetSpec>& presets, int32_t version) {
  OldImage img;
  img.Data.resize(kHeader);
  PutText(img.Data, 0, "Old preset file\r\n\x1a", 128);
  Put32(img.Data, 128, version);
  Put32(img.Data, 132, 0x00020005);
  for (const OldPresetSpec& p : presets) AppendRecord(img, p);
  return img;
}

bool WriteBytesFile(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

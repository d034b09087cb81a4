// Presets and file images built by hand for the file-format tests.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "file/fileformat.h"
#include "file/fileread.h"
#include "file/filewrite.h"
#include "main/preset.h"

using Bytes = std::vector<unsigned char>;

// Presets that release their memory when the test ends.
struct OwnedPresets {
  std::vector<Preset> P;
  // Room for every preset a test makes, so that references stay valid.
  OwnedPresets() { P.reserve(kRoom); }
  static constexpr size_t kRoom = 1100;
  OwnedPresets(const OwnedPresets&) = delete;
  OwnedPresets& operator=(const OwnedPresets&) = delete;
  ~OwnedPresets() { Clear(); }
  // Frees every preset and keeps the room: a loop reuses one set instead of
  // reserving the room again each time (slow under the sanitizers).
  void Clear() {
    for (Preset& p : P) FreePreset(p);
    P.clear();
  }
  Preset& Add() {
    if (P.size() == kRoom) std::abort();
    P.push_back(Preset{});
    return P.back();
  }
};

// Sink for ReadPresetFile: keeps a copy of every preset read.
inline void CollectPreset(void* ctx, int, const Preset& p) {
  auto* owned = static_cast<OwnedPresets*>(ctx);
  CopyPreset(owned->Add(), p);
}

// Gives every in-use parameter of segment s exactly `nodes` nodes, evenly
// spread from 0 to 10000, with values, weights and flags that differ from
// node to node; unused node slots are zero.
inline void SetNodeCount(Preset& p, int s, int nodes) {
  Param* params = SegParams(p, s);
  int count = SegParamCount(p.data.Segment[s]);
  for (int j = 0; j < count; ++j) {
    Param& prm = params[j];
    std::memset(prm.Node, 0, sizeof prm.Node);
    prm.NumNodes = static_cast<uint8_t>(nodes);
    for (int i = 0; i < nodes; ++i) {
      prm.Node[i].Value = (j + 1) * 1000 + i * 7 - 300;
      prm.Node[i].SweepTime = static_cast<int16_t>(i == nodes - 1 ? 10000 : 10000 * i / (nodes - 1));
      prm.Node[i].Weight = static_cast<uint8_t>((i + j) % 21);
      prm.Node[i].Symmetric = static_cast<uint8_t>(i % 2);
    }
  }
}

// A default preset named `name` with `segments` segments of `voices` voices
// (each with default content and 3-node curves).
inline void MakePreset(Preset& p, const char* name, int segments = 1, int voices = 1) {
  NewDefaultPreset(p, 3);
  std::strncpy(p.Name, name, NAMELEN - 1);
  p.data.NumSegments = static_cast<uint8_t>(segments);
  for (int s = 0; s < segments; ++s) {
    Segment& seg = p.data.Segment[s];
    seg.Name[0] = static_cast<char>('A' + s % 26);
    seg.Name[1] = 0;
    seg.Length = 1000 + s;
    seg.Repeat = 1 + s % 3;
    Param* params = CommitSegmentSlot(p, s, voices);
    FillDefaultSegment(params, seg, voices, 3);
    RecomputeAllTracked(BackgroundParamRow{}, params, seg);
  }
}

// The image of a whole file holding the given presets.
inline Bytes FileImage(Preset* presets, int n, int storeFlag = 0) {
  Bytes out;
  ByteDev dev = DevFromBuffer(out);
  WritePresetFile(dev, storeFlag, presets, n);
  return out;
}

// A file that is the header alone.
inline Bytes HeaderOnly(int32_t version = FILE_VERSION) {
  FileHeader h;
  MakeFileHeader(h, 0);
  Bytes out(FILE_HEADER_SIZE);
  std::memcpy(out.data(), h.Text, sizeof h.Text);
  PutLE32(out.data() + 124, 0);
  PutLE32(out.data() + 128, version);
  PutLE32(out.data() + 132, static_cast<int32_t>(PROGRAM_VERSION));
  return out;
}

// Offsets inside the image of a live record that starts at `rec`.
struct RecordMap {
  const Bytes* Image;
  size_t Rec;
  size_t Fixed(size_t field) const { return Rec + field; }
  size_t Curves() const {
    size_t d = Rec + FIXED_SIZE;
    while ((*Image)[d] != 0) ++d;
    return d + 1;
  }
  int Voices(int s) const {
    return (*Image)[Fixed(offsetof(PresetFixed, data.Segment) + sizeof(::Segment) * static_cast<size_t>(s) + 4)];
  }
  // Offset of the 24-byte header of parameter j of segment s.
  size_t Param(int s, int j) const {
    size_t at = Curves();
    for (int seg = 0; seg <= s; ++seg) {
      int count = NSPAR + NVPAR * Voices(seg);
      for (int k = 0; k < count; ++k) {
        if (seg == s && k == j) return at;
        at += PARAM_HEADER_SIZE + static_cast<size_t>((*Image)[at]) * NODE_SIZE;
      }
    }
    return at;
  }
  size_t Node(int s, int j, int i) const {
    return Param(s, j) + PARAM_HEADER_SIZE + static_cast<size_t>(i) * NODE_SIZE;
  }
  size_t Segment(int s, size_t field) const {
    return Fixed(offsetof(PresetFixed, data.Segment) + sizeof(::Segment) * static_cast<size_t>(s) + field);
  }
};

inline void Put32(Bytes& b, size_t at, int32_t v) { PutLE32(b.data() + at, v); }
inline void Put16(Bytes& b, size_t at, int16_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(static_cast<uint16_t>(v) >> 8);
}

inline int ReadImage(const Bytes& b, OwnedPresets* into = nullptr) {
  return ReadPresetsFromMemory(b.data(), b.size(), into ? CollectPreset : nullptr, into);
}

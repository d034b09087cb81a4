// Helpers of the session tests: the corpus, an imported preset that frees
// itself, and a preset's curves read on the session's time axis.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "main/arith.h"
#include "main/preset.h"
#include "sbg/sbg.h"

inline std::string Corpus(const std::string& file) {
  return std::string(SONAVEL_SOURCE_DIR) + "/tests/data/sbg/" + file;
}

struct Imported {
  Preset P{};
  SbgImport Info;
  bool Ok = false;
  explicit Imported(const std::string& file) { Ok = ImportSessionFile(Corpus(file), P, &Info); }
  Imported(const std::string& text, int) { Ok = ImportSessionText(text, "test", "/tmp", P, &Info); }
  ~Imported() { FreePreset(P); }
  Imported(const Imported&) = delete;
  Imported& operator=(const Imported&) = delete;
};

// Preset length in seconds.
inline double LengthSeconds(const Preset& p) { return PresetLength(p) * 0.6; }

// The value of parameter pid at `sec` seconds from the preset's start (its
// last value past the end); 0 for a voice the segment there does not have.
inline int32_t ValueAt(const Preset& p, int pid, double sec) {
  double start = 0;
  int s = 0;
  for (; s + 1 < p.data.NumSegments; ++s) {
    double len = p.data.Segment[s].Length * 0.6;
    if (sec < start + len) break;
    start += len;
  }
  const Segment& seg = p.data.Segment[s];
  if (pid >= SegParamCount(seg)) return 0;
  double t = (sec - start) / (seg.Length * 0.6) * 10000;
  int ti = static_cast<int>(std::lround(std::min(10000.0, std::max(0.0, t))));
  const Param& q = SegParams(p, s)[pid];
  return ParamNumOfPid(pid) == PN_WAVEFORM ? CurveValuePacked(q, ti) : CurveValue(q, ti);
}

// Most voices of any segment.
inline int Voices(const Preset& p) {
  int v = 0;
  for (int s = 0; s < p.data.NumSegments; ++s) v = std::max<int>(v, p.data.Segment[s].NumVoices);
  return v;
}

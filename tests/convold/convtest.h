// Helpers of the conversion tests: converting images, finding parameters.
#pragma once
#include <gtest/gtest.h>

#include "convold/convold.h"
#include "convold/oldwriter.h"
#include "file/presetfixtures.h"

// Converts an old image in memory; the presets go to `out` when given.
inline int ConvertImage(const Bytes& b, OwnedPresets* out = nullptr) {
  return ConvertOldFromMemory(b.data(), b.size(), out ? CollectPreset : nullptr, out);
}

// Converts one old preset that must convert; returns the converted copy.
inline const Preset& ConvertOne(OwnedPresets& out, const OldPresetSpec& shape) {
  int rc = ConvertImage(OldFile({shape}), &out);
  EXPECT_EQ(rc, 0);
  if (out.P.empty()) {
    ADD_FAILURE() << "no preset converted";
    static Preset empty{};
    return empty;
  }
  return out.P.back();
}

inline const Param& ParamOf(const Preset& p, int s, int pid) { return SegParams(p, s)[pid]; }

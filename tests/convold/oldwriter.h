// A writer of files of the earlier format (version 2), so that tests can make
// old files of every shape. It writes exactly what it is given: parameter
// counts, node counts and values are not checked, so damaged files can be
// built as easily as sound ones.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct OldNodeSpec {
  int32_t Value;
  int16_t Position;
  uint8_t Weight = 10;
  uint8_t Symmetric = 1;
};

struct OldParamSpec {
  uint8_t Tracking = 0;
  uint8_t Type = 0;
  uint8_t Mode = 0;             // byte 180
  int32_t Setting[4][11] = {};  // intercept, slope, lower, upper limit by type
  std::vector<OldNodeSpec> Nodes;
};

struct OldSegmentSpec {
  uint8_t NumVoices = 1;
  uint8_t VoiceFlag[4] = {};
  uint8_t Waveform[4] = {};
  std::string Name = "A";
  int32_t Minutes = 10;
  int32_t Repeat = 1;
  std::vector<OldParamSpec> Params;  // 6 + 5 x voices for a sound file
};

struct OldPresetSpec {
  bool Deleted = false;
  std::string Name = "old";
  uint8_t Flag1 = 0;  // byte 261
  uint8_t Flag2 = 0;  // byte 262
  int8_t BackgroundCode = 0;
  std::string BackgroundPath;  // written with its NUL into the 442-byte field
  std::string Description;
  bool DescriptionNul = true;  // false: the text is written without its NUL
  std::vector<OldSegmentSpec> Segments;
};

// Two nodes at 0 and 10000 with values a and b, weight 10.
OldParamSpec OldRamp(int32_t a, int32_t b);
inline OldParamSpec OldFlat(int32_t v) { return OldRamp(v, v); }

// A segment as the old program wrote one: background volume flat at 100,
// background parameter flat at 0, parameters 2..5 flat at 50; per voice v a
// beat of 1500 -> 500 (15.00 -> 5.00 Hz) plus 100 v, volume flat at 100,
// pitch 200 -> 150 Hz, modulation depth flat at 0, period flat at 1000 ms.
OldSegmentSpec OldTypicalSegment(int voices, int32_t minutes = 10);
OldPresetSpec OldTypicalPreset(const std::string& name, int segments = 1, int voices = 1);

// Where things are inside a written image.
struct OldImage {
  Bytes Data;
  std::vector<size_t> Records;              // start of each record, deleted ones included
  std::vector<std::vector<size_t>> Params;  // per record, each parameter header in order
};

// The whole file: the 136-byte header with `version`, then the records.
OldImage WriteOldImage(const std::vector<OldPresetSpec>& presets, int32_t version = 2);
inline Bytes OldFile(const std::vector<OldPresetSpec>& presets, int32_t version = 2) {
  return WriteOldImage(presets, version).Data;
}
// Fixed offsets of the old layout, for damaging images.
constexpr size_t OLD_REC_FLAG1 = 261, OLD_REC_NUMSEGS = 852, OLD_REC_BGCODE = 853, OLD_REC_PATH = 854,
                 OLD_REC_DESC = 1300;
inline size_t OldSegField(size_t rec, int s, size_t field) { return rec + 276 + 36 * static_cast<size_t>(s) + field; }
inline size_t OldNodeAt(size_t param, int i) { return param + 184 + 12 * static_cast<size_t>(i); }
bool WriteBytesFile(const std::string& path, const Bytes& data);

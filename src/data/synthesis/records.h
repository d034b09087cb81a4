// The sweep record list that a preset is pre-rendered into.
//
// A playback's `SweepData` holds records back to back. A record is the fixed part below
// followed by NumVoices + 1 voice entries (the voices, then the AudioStrobe
// slot), so its length grows with NumVoices; `SweepRecordBytes` gives it.
// Records are 8-byte aligned (they hold pointers).
//
// Units inside a record (already converted from the stored parameter units):
//   frequencies      millihertz (15000 = 15 Hz; pitch 200.00 Hz -> 200000)
//   volumes          0..10000, hundredths of a percent (10000 = 100 %)
//   depths           whole percent 0..100
//   phases           whole degrees -360..360
//   rates            rate encoding: > 0 period in microseconds (1000000 =
//                    1 Hz), < 0 frequency of -P millihertz, 0 still
//   smoothness       whole percent 0..100
//   phase shift      milliseconds
//   intervals        frames (interval mode) or display units (plain loop)
//   brightness       0..10000 as stored
#pragma once
#include <cstddef>
#include <cstdint>

#include "main/model.h"

struct VoiceEntry {
  int32_t Frequency[2];  // mHz per ear (0 left, 1 right)
  int16_t Volume[2];     // 0..10000
  uint8_t Mod1Depth[2];  // percent, 0 = off
  int16_t Mod1Phase;     // degrees, right ear against left
  int32_t Mod1Rate[2];   // rate encoding
  uint8_t Mod2Depth[2];  // AudioStrobe slot only
  int16_t Mod2Phase;
  int32_t Mod2Rate[2];
  const void* Table[2];  // waveform table per ear (int16_t or int8_t samples)
};

struct SweepRecord {
  int32_t Blocks;        // blocks this record lasts; 0 hold forever, -1 end
  uint16_t RepeatCount;  // remaining repeats of the segment ending here
  uint8_t NumVoices;     // 1..MAXVOICES
  uint8_t NoiseInsideHead;
  SweepRecord* RepeatTarget;  // first record of the segment when repeating

  int16_t BackgroundVolume[2];
  int16_t BackgroundPhaseShift;  // ms
  int16_t BackgroundModPhase;
  uint8_t BackgroundModDepth[2];
  uint8_t NoiseModDepth[2];
  int32_t BackgroundModRate[2];
  int32_t BackgroundInterval[2];

  int16_t NoiseVolume[2];
  int16_t NoiseModPhase;
  uint8_t NoiseSmoothness[2];
  int32_t NoiseModRate[2];

  int32_t VisualFrequency[2];   // mHz per eye
  int32_t VisualBrightness[2];  // 0..10000
  int32_t VisualBrightness2[2];
  int32_t VisualModDepth[2];  // percent
  int32_t VisualModRate[2];
  int32_t VisualMod2Depth[2];
  int32_t VisualMod2Rate[2];
  int16_t VisualPhase;  // degrees
  int16_t VisualModPhase;
  int16_t VisualMod2Phase;
  int16_t Reserved;

  VoiceEntry Voice[MAXVOICES + 1];  // only NumVoices + 1 are present
};

inline size_t SweepRecordBytes(int numVoices) {
  return offsetof(SweepRecord, Voice) + sizeof(VoiceEntry) * static_cast<size_t>(numVoices + 1);
}
constexpr size_t MAXSWEEPRECORD = sizeof(SweepRecord);
// The AudioStrobe slot of a record.
inline VoiceEntry& StrobeSlot(SweepRecord* r) { return r->Voice[r->NumVoices]; }
inline const VoiceEntry& StrobeSlot(const SweepRecord* r) { return r->Voice[r->NumVoices]; }
// The record following r in memory (no commit; see NextSweepRecord).
inline SweepRecord* FollowingRecord(SweepRecord* r) {
  return reinterpret_cast<SweepRecord*>(reinterpret_cast<unsigned char*>(r) + SweepRecordBytes(r->NumVoices));
}
static_assert(sizeof(VoiceEntry) % 8 == 0 && offsetof(SweepRecord, Voice) % 8 == 0);

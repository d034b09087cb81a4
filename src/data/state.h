// Process-wide engine state shared by the table builder, the preset
// calculation and the sample generator.
//
// The main thread writes the sweep list and everything set up at a playback
// start before the first block is generated; afterwards the generating thread
// (the audio thread, or the main thread while writing a WAV file) owns the
// oscillator state and the walk through the list. The AudioStrobe flag and
// the freeze state are single words other threads may write at any time.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

#include "data/bgchoice.h"
#include "data/records.h"
#include "platform/vmem.h"

// Reserved address ranges (InitEngineTables), committed as they fill.
constexpr size_t SWEEPDATA_BYTES = 25760000;
constexpr size_t WAVEFORMDATA_BYTES = 16384000;
constexpr size_t DATABLOCKMEM_BYTES = 5000000;
constexpr size_t BACKGROUNDTEMPDATA_BYTES = 50000000;
constexpr size_t BACKGROUNDDATA_BYTES = 500000000;
extern plat::Region SweepData;
extern plat::Region WaveformData;
extern plat::Region DataBlockMem;
extern plat::Region BackgroundTempData;
extern plat::Region BackgroundData;

// Held by the generator for each whole block and by whoever replaces the
// background data.
extern std::mutex hBackgroundMutex;

// Set by the preset calculation.
extern int SweepDataVoices;   // largest NumVoices of the list, 1..MAXVOICES
extern int ExtraSourceShare;  // background loaded (set by the playback start) + noise
extern bool NoiseOn;          // some record has a non-zero noise volume

// Whether the generator produces the AudioStrobe slot; switched by the visual
// output at any time.
extern std::atomic<int> AudioStrobeOn;
// 0 running, 1 frozen, 2 freeze requested, -1 unfreeze requested.
extern std::atomic<int> FreezeState;

// Background sound in engine format (stereo frames), filled by the loader.
extern int32_t BackgroundFrames;  // L, 0 when none
// The background of the playback, set by the loader together with the sound
// (under hBackgroundMutex): how the mixer repeats it and the row 6 the
// calculation uses. The playback's own copy: the editor changing ParamDef
// row 6 while another preset plays changes nothing here.
extern BackgroundChoice PlayBackground;
// The parameter table row `row` as the calculation reads it: the playback's
// row 6, every other row from ParamDef.
inline const ParamDefType& PlayParamDef(int row) { return row == PN_BGPARAM ? PlayBackground.ParamRow : ParamDef[row]; }

// --- Oscillator state (generating thread) --------------------------------
// A phase accumulator is one 64-bit word: table index (13 bits) above a
// 28-bit fraction. Adding a step and masking to 41 bits is exactly "add the
// fraction, carry into the index, add the integer step, wrap at 8192".
constexpr int PHASE_FRACBITS = 28;
constexpr uint64_t PHASE_ONE = uint64_t(1) << PHASE_FRACBITS;
constexpr uint64_t PHASE_LIMIT = uint64_t(8192) << PHASE_FRACBITS;
constexpr uint64_t PHASE_HALF = uint64_t(4096) << PHASE_FRACBITS;
constexpr uint64_t PHASE_MASK = PHASE_LIMIT - 1;
constexpr uint64_t MOD_START = uint64_t(6144) << PHASE_FRACBITS;  // minimum of the sine

struct SlotState {
  uint64_t Tone[2];
  uint64_t Mod1[2];
  uint64_t Mod2[2];
  int32_t VolumeIndex[2];
};
struct NoiseState {
  int32_t Y[2];  // filter state per ear
  uint64_t Mod[2];
};
struct BackgroundState {
  int32_t Pos[2];
  uint64_t Mod[2];
};
extern SlotState Osc[MAXVOICES + 1];
extern NoiseState NoiseOsc;
extern BackgroundState BackgroundOsc;
// Tones to phase 0, modulations to their minimum, volume indices 0, noise and
// background positions to the start. Generating thread or before playback.
void ResetOscillators();

// --- Walking the list (generating thread) --------------------------------
extern SweepRecord* CurrentRecord;
extern int32_t BlockCounter;  // blocks generated from CurrentRecord
extern int32_t CurBlocks;     // CurrentRecord's Blocks as taken over
extern bool Advancing;
// Called whenever a new record becomes current (the visual output reads its
// left-eye values). Generating thread; may be null.
extern void (*NewRecordHook)(const SweepRecord* record);

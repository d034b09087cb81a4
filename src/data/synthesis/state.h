// Process-wide engine state shared by the table builder, the preset
// calculation and the sample generator; what one playback works on is
// gathered in the record PlaybackState.
//
// The main thread writes the sweep list and everything set up at a playback
// start before the first block is generated; afterwards the generating thread
// (the audio thread, or the main thread while writing a WAV file) owns the
// oscillator state and the walk through the list. A record's AudioStrobe
// flag and freeze state are single words other threads may write at any
// time.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

#include "data/synthesis/bgchoice.h"
#include "data/synthesis/options.h"
#include "data/synthesis/records.h"
#include "data/synthesis/walk.h"
#include "data/synthesis/wavetab.h"
#include "platform/vmem.h"
#include "platform/wavedev.h"

// Reserved address ranges, committed as they fill: a record's sweep list,
// waveform tables and output blocks (PlaybackState::SweepData, WaveformData,
// DataBlockMem) at their first use, the background ranges by
// InitEngineTables.
constexpr size_t SWEEPDATA_BYTES = 25760000;
constexpr size_t WAVEFORMDATA_BYTES = 16384000;
constexpr size_t DATABLOCKMEM_BYTES = 5000000;
constexpr size_t BACKGROUNDTEMPDATA_BYTES = 50000000;
constexpr size_t BACKGROUNDDATA_BYTES = 500000000;
extern plat::Region BackgroundTempData;
extern plat::Region BackgroundData;

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

// Block headers a playback's device can hold at most (MemoryBlocks).
constexpr int MAXWAVEBLOCKS = 1024;
static_assert(MAXWAVEBLOCKS <= WALK_REWIND_BLOCKS, "a queued block's mark must stay rewindable");

// The gain ramps of a playback on the device: its fade-in, stop fade and
// sleep timer (data/playback/fade.h sets them at the start and works on
// them). Plain data of the generating thread.
struct FadeRun {
  int32_t Rate = 44100;
  int64_t BlockFrames = 0;
  int64_t QueuedBlocks = 0;  // the blocks the device holds (MemoryBlocks)
  int64_t Frame = 0;         // frames generated since the start
  int64_t InFrames = 0;
  int64_t StopFrames = 0;
  int32_t Mode = 0;       // the sleep timer's SleepMode; 0 off
  int64_t EndFrame = 0;   // SLEEP_AFTER: silent from here on
  int64_t OutFrames = 0;  // length of the sleep fade
  int64_t EndStep = -1;   // the walk's step at its end (WalkEndStep), -1 never
  // The gain the sleep fade has reached (Q15): it never rises again (a
  // freeze holds it, a walk put back on the audible block does not undo it),
  // unless a new sleep timer gives it back, at Rise per frame.
  int32_t Cap = 32768;
  bool Recovering = false;
  int32_t Rise = 1;
};

// One table of a record's waveform cache (GetWaveformTable).
struct WaveformCacheEntry {
  int32_t Shape;
  float Exponent;
  int32_t Filter;
  void* Data;
};

struct PlaybackState;
// Tones to phase 0, modulations to their minimum, volume indices 0, noise and
// background positions to the start. Generating thread or before playback.
void ResetOscillators(PlaybackState& pb);

// What one playback's generator works on: the list's extent, the background
// sound and its lock, the oscillators and the walk through the sweep list;
// and, playing on a device, the device and its blocks. A new record starts
// with its oscillators reset. The block headers make it large (some 75 KB):
// keep records off the stack.
struct PlaybackState {
  PlaybackState() { ResetOscillators(*this); }
  ~PlaybackState();
  PlaybackState(const PlaybackState&) = delete;
  PlaybackState& operator=(const PlaybackState&) = delete;

  // The engine's copy of the options, taken at each start
  // (TakeEngineOptions): changes in the settings wait for the next start.
  AdvancedOptions Options;
  int32_t BlockBytes = 0;  // bytes of one output block (ComputeBlockBytes)

  // Whether the generator produces the AudioStrobe slot; switched by the
  // visual output at any time.
  std::atomic<int> AudioStrobeOn{0};
  // 0 running, 1 frozen, 2 freeze requested, -1 unfreeze requested.
  std::atomic<int> FreezeState{0};

  // The sweep list, records back to back: reserved when the record first
  // needs it (EnsureSweepData), committed as it fills, released with the
  // record. Only the main thread reserves or commits; the generating thread
  // reads what was committed before the start.
  plat::Region SweepData;
  // The waveform tables the list points into, made by GetWaveformTable as
  // the calculation asks: the same rules as SweepData, emptied (not
  // released) before each calculation.
  plat::Region WaveformData;
  WaveformCacheEntry WaveformCache[MAXWAVEFORMCACHE] = {};
  int WaveformCacheUsed = 0;
  // Set by the preset calculation.
  int SweepDataVoices = 0;   // largest NumVoices of the list, 1..MAXVOICES
  int ExtraSourceShare = 0;  // background loaded (set by the playback start) + noise
  bool NoiseOn = false;      // some record has a non-zero noise volume

  // Held by the generator for each whole block and by whoever replaces the
  // background data.
  std::mutex hBackgroundMutex;
  // Background sound in engine format (stereo frames), filled by the loader.
  int32_t BackgroundFrames = 0;  // L, 0 when none
  // The background of the playback, set by the loader together with the
  // sound (under hBackgroundMutex): how the mixer repeats it and the row 6
  // the calculation uses. The playback's own copy: the editor changing
  // ParamDef row 6 while another preset plays changes nothing here.
  BackgroundChoice PlayBackground{BGSRC_NONE, AMBIX_NONE, {}, -1, false, ParamDefSpare[0]};

  // Oscillators (generating thread).
  SlotState Osc[MAXVOICES + 1] = {};
  NoiseState NoiseOsc = {};
  BackgroundState BackgroundOsc = {};

  // The walk through the list (generating thread).
  SweepRecord* CurrentRecord = nullptr;
  int32_t BlockCounter = 0;  // blocks generated from CurrentRecord
  int32_t CurBlocks = 0;     // CurrentRecord's Blocks as taken over
  bool Advancing = false;
  uint32_t Step = 0;  // blocks the walk has advanced over since its start
  // Repeat jumps of the last WALK_REWIND_BLOCKS blocks. The walk changes
  // records at most once per block, so one entry per block is enough.
  RepeatTaken Taken[WALK_REWIND_BLOCKS] = {};
  uint32_t TakenCount = 0;  // entries ever written; the ring holds the newest

  // The ramps on top of the generated sound (the generating thread; the
  // stop fade's length also the audio thread's once the start has handed
  // the device over).
  FadeRun Fade;

  // The wave device and its blocks (data/playback: the device start fills
  // them, then the audio thread). The device's open, close and done
  // notifications reach the audio thread as messages naming the device, so
  // a returned block is this record's only while hWaveOut is its device.
  // The open device; null when none and while stopping.
  std::atomic<plat::WaveDevice*> hWaveOut{nullptr};
  // The samples of the device's blocks, or the one block a file output
  // writes at a time: reserved at the first start (EnsureDataBlockMem),
  // emptied when the playback ends, released with the record. The record's
  // own, so a file written while another record plays leaves the device's
  // blocks alone.
  plat::Region DataBlockMem;
  // Block headers of the device; each header's user field holds the record
  // its block was generated from.
  plat::WaveHeader WaveHeaders[MAXWAVEBLOCKS] = {};
  // The walk's mark after each queued block, for freezing on the audible one.
  WalkMark HeaderMark[MAXWAVEBLOCKS] = {};
  // The header written last; its return after the end of the preset is the end.
  std::atomic<plat::WaveHeader*> LastWrittenHeader{nullptr};
  // When the playback started (plat::ClockMs), for its elapsed time.
  std::atomic<int64_t> PlayStartTime{0};
};
// Reserves the record's sweep list on first use and commits its first
// `bytes`; false when that fails or `bytes` is beyond SWEEPDATA_BYTES.
// Main thread, never the generating thread.
bool EnsureSweepData(PlaybackState& pb, size_t bytes);
// The same for the record's output blocks (DATABLOCKMEM_BYTES at most).
bool EnsureDataBlockMem(PlaybackState& pb, size_t bytes);

// The parameter table row `row` as the calculation reads it: the playback's
// row 6, every other row from ParamDef.
inline const ParamDefType& PlayParamDef(const PlaybackState& pb, int row) {
  return row == PN_BGPARAM ? pb.PlayBackground.ParamRow : ParamDef[row];
}

// Called whenever a new record becomes current (the visual output reads its
// left-eye values). Generating thread; may be null.
extern void (*NewRecordHook)(const SweepRecord* record);

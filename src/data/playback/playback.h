// Playback start: options copy, block size, background choice, preset
// calculation, and output into a WAV file. The device path (the audio
// thread and the wave device) builds on the same start steps.
//
// Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>

#include "data/synthesis/options.h"
#include "main/model.h"
#include "platform/soundfile.h"

struct PlaybackState;

// Progress bar and message pumping of the caller (the main window, or the
// command-line tool). Positions are in the range last shown.
struct PlaybackUi {
  void* Ctx = nullptr;
  // Shows the progress bar with caption string id (87 "Calculating preset
  // data", 86 "Playing into .wav file", 104 "Delaying for %s minutes") and a
  // range 0..max.
  void (*ShowProgress)(void* ctx, int captionId, int max) = nullptr;
  // Sets the position, processes pending messages; returns true when the
  // user asked to abort.
  bool (*Progress)(void* ctx, int position) = nullptr;
};

// Result ids (string table): 0 success, 84 WAV writing aborted, 85
// calculation aborted, 1258 blocks do not fit, 1272, 1273 calculation, 1309
// nothing audible, 1314 cannot create (%2 file), 1315 write failure (%2),
// 1317 disk full (%2), 1318 longer than a WAV file can hold (%2 file, %3 the
// most minutes), 1444 no memory, 1446 library background not loaded,
// -1 user aborted before the calculation.
constexpr int PLAY_WAV_ABORTED = 84;
constexpr int PLAY_NO_BLOCK_MEMORY = 1258;
constexpr int PLAY_NO_SOUND = 1309;
constexpr int PLAY_WAV_CREATE = 1314;
constexpr int PLAY_WAV_WRITE = 1315;
constexpr int PLAY_WAV_DISKFULL = 1317;
constexpr int PLAY_WAV_TOO_LONG = 1318;
constexpr int PLAY_NO_MEMORY = 1444;

// Steps before any output: copies the options into `pb`, computes its
// BlockBytes, checks
// the block memory, chooses the background parameter definition, and
// calculates the preset into the sweep list (progress 0..10000 under caption
// 87). Makes the first record current. 0 or a result id.
int PreparePlayback(PlaybackState& pb, const Preset& preset, const AdvancedOptions& options, bool toDevice,
                    PlaybackUi* ui);

// The kind of file written: the engine's own RIFF/WAVE, or an encoded format
// with its quality setting (plat::MaxQuality).
struct FileOutput {
  plat::SoundFormat Format = plat::SOUND_WAV;
  int Quality = plat::SOUND_QUALITY_DEFAULT;
  // Called with every block once it is written (interleaved stereo, 16-bit
  // signed or 8-bit unsigned), so the caller can compare the file with what
  // went into it. Null: nobody watches.
  void (*BlockWritten)(void* ctx, const unsigned char* block, size_t bytes, bool bits16) = nullptr;
  void* BlockCtx = nullptr;
  int32_t FadeOutMs = 0;  // the file's last milliseconds fade out to silence (fade.h)
};

// Writes `minutes` (hundredths of a minute) of the preset into a file at
// `wavFileName` ("-" writes to standard output): a RIFF/WAVE file, or the
// encoded format of `out`, which is rendered at the format's own rate
// (plat::EncoderRate). After the preset has ended the remaining blocks are
// silence. The file is complete and valid also when the user aborts (84).
// Only WAV files have a largest length (1318).
int StartPlaybackToFile(PlaybackState& pb, const Preset& preset, const AdvancedOptions& options,
                        const char* wavFileName, int32_t minutes, PlaybackUi* ui, const FileOutput& out = {});

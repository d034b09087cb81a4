// Playback to the wave device: opening it with the format diagnosis, the
// start (after PreparePlayback) up to the restarted device, and the preset
// editor's test mode.
//
// Main thread only.
#pragma once
#include <cstdint>

#include "data/playback/audiothread.h"
#include "data/playback/fade.h"
#include "data/playback/playback.h"
#include "data/synthesis/options.h"
#include "main/model.h"
#include "platform/wavedev.h"

// Opens the device for stereo at samplesPerSec with 16 or 8 bits, callback
// to the audio thread. Returns 0, or the message to show: 1259 in use, 1260
// no usable format, 1261 no memory, 1262 other error (*code receives it for
// "%1!d!"), 1263 no device, 1264/1265/1266 when a smaller format would work
// (the device is then not opened).
int OpenWaveDevice(const plat::WaveTarget& target, int samplesPerSec, bool bits16, plat::WaveDevice** out, int* code);
// The same diagnosis for a device whose notifications go to `callback`
// instead of the audio thread (the options' test tone).
int OpenWaveDeviceFor(const plat::WaveTarget& target, int samplesPerSec, bool bits16, plat::MsgQueue* callback,
                      plat::WaveDevice** out, int* code);

// A millisecond tick count (wraps); 0 is never returned, so it can mark a
// delayed start.
uint32_t PlayTickCount();

// Starts a playback: without a device the preset is written to wavFileName
// in the format of `out` (StartPlaybackToFile, `minutes` hundredths of a
// minute); otherwise the
// blocks are committed, the play delay is waited out when requestTick is
// non-zero (caption 104, abort -1), and the first MemoryBlocks blocks are
// generated with the ramps of `fades` (a file takes none), written to the
// paused device and the device restarted between the synchronisation
// points. Returns 0, a message id or -1. On failure the block memory is
// given back; the caller resets and closes the device.
int StartPlayback(PlaybackState& pb, plat::WaveDevice* device, const Preset& preset, const AdvancedOptions& options,
                  const PlaybackFades& fades, const char* wavFileName, int32_t minutes, uint32_t requestTick,
                  PlaybackUi* ui, const FileOutput& out = {});

// Test mode: plays the one constant record of segment `segment` at segment
// time `time` (0..10000), held. 0 or a message id (1258, 1272, 1273, 1444,
// background messages).
int StartTestPlayback(PlaybackState& pb, plat::WaveDevice* device, const Preset& preset, int segment, int time,
                      const AdvancedOptions& options);
// Replaces the record while playing and drops the queued blocks so that the
// change is heard at once. 0 or a message id (the old record keeps playing).
int UpdateTestPlayback(PlaybackState& pb, const Preset& preset, int segment, int time);

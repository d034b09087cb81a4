// The advanced options record and the block size derived from it.
//
// The record is 19 signed 32-bit values in a fixed order; the settings store
// reads and writes it as a unit and every playback start copies it whole into
// the playback's record, so option changes during playback wait for the next
// start.
//
//   OFFSET SIZE FIELD                                 DEFAULT
//   0      4    MemoryBlocks                          4
//   4      4    LenOfBlocks (ms per block)            200
//   8      4    SamplesPerSec                         44100
//   12     4    Bits16 (0: 8-bit output)              1
//   16     4    UseDirectDraw                         0 (no DirectDraw here)
//   20     4    InvertSound                           0
//   24     4    ImmediatePause                        1
//   28     4    ThreadTimeCritical                    0
//   32     4    RunConfigWizard                       1
//   36     4    AudioStrobeZeroLevel (0-100)          50
//   40     4    AudioStrobeMaxLevel (0-100)           100
//   44     4    DecommitThreshold                     10
//   48     4    ConfirmCancelInPresetOptions          1
//   52     4    LinkAdjacentSegmentsInPresetOptions   1
//   56     4    PlayDelayTime (1/1000 minute)         1000
//   60     4    HasAudioStrobe                        0
//   64     4    NodesInNewParam (2 or 3)              3
//   68     4    AudioStrobeWaveform (packed waveform) 32769000
//   72     4    AudioStrobeDutyCycle (percent)        50
#pragma once
#include <cstddef>
#include <cstdint>

struct AdvancedOptions {
  int32_t MemoryBlocks = 4;
  int32_t LenOfBlocks = 200;
  int32_t SamplesPerSec = 44100;
  int32_t Bits16 = 1;
  int32_t UseDirectDraw = 0;
  int32_t InvertSound = 0;
  int32_t ImmediatePause = 1;
  int32_t ThreadTimeCritical = 0;
  int32_t RunConfigWizard = 1;
  int32_t AudioStrobeZeroLevel = 50;
  int32_t AudioStrobeMaxLevel = 100;
  int32_t DecommitThreshold = 10;
  int32_t ConfirmCancelInPresetOptions = 1;
  int32_t LinkAdjacentSegmentsInPresetOptions = 1;
  int32_t PlayDelayTime = 1000;
  int32_t HasAudioStrobe = 0;
  int32_t NodesInNewParam = 3;
  int32_t AudioStrobeWaveform = 32769000;
  int32_t AudioStrobeDutyCycle = 50;
};
static_assert(sizeof(AdvancedOptions) == 19 * 4);
static_assert(offsetof(AdvancedOptions, SamplesPerSec) == 8 && offsetof(AdvancedOptions, InvertSound) == 20 &&
              offsetof(AdvancedOptions, AudioStrobeZeroLevel) == 36 && offsetof(AdvancedOptions, PlayDelayTime) == 56 &&
              offsetof(AdvancedOptions, AudioStrobeWaveform) == 68 &&
              offsetof(AdvancedOptions, AudioStrobeDutyCycle) == 72);

// Packed AudioStrobe waveform values (shape and Z in tenths).
constexpr int32_t ASWAVE_SINE = 32768500;
constexpr int32_t ASWAVE_TRIANGULAR = 32768000;
constexpr int32_t ASWAVE_RECTANGULAR = 32769000;
constexpr int32_t ASWAVE_STEEP = -2;

// Bytes of one output block: (bytes per sample * SamplesPerSec * LenOfBlocks
// * 2 channels) / 1000, rounded down to whole frames. Any thread.
int32_t ComputeBlockBytes(const AdvancedOptions& o);
struct PlaybackState;
// Copies `o` into the playback's options (pb.Options) and sets its
// pb.BlockBytes; levels and duty cycle outside 0..100 are clamped (nothing
// checks them when they are read). Main thread, while no block of `pb` is
// being generated.
void TakeEngineOptions(PlaybackState& pb, const AdvancedOptions& o);
// Blocks written for `minutes` (hundredths of a minute) of output:
// round(minutes * 60 * 1000 / 100 / lenOfBlocks). Any thread.
int64_t OutputBlockCount(int32_t minutes, int32_t lenOfBlocks);
// The most minutes (hundredths) whose blocks of blockBytes fit in the 32-bit
// size fields of a WAV file. Any thread.
int32_t MaxWavMinutes(int32_t blockBytes, int32_t lenOfBlocks);

// The waveform preview of the preset editor, without widgets: one cycle of
// a voice's unfiltered waveform at a moment of the segment, and the levels
// of its odd harmonics before and after the waveform filter. Everything
// comes from the engine's own shape generator and harmonic analysis, so the
// preview shows what playback will use.
//
// Main thread (it reads the editor's copy); not for the audio thread (the
// filter allocates its work buffer).
#pragma once
#include <cstdint>

#include "main/model.h"

constexpr int PREVIEW_SAMPLES = 64;    // one cycle
constexpr int PREVIEW_HARMONICS = 16;  // the odd harmonics 1, 3, ..., 31
constexpr int PREVIEW_MINLEVEL = -32767;

// What the two displays show. Levels are in 1/327.67 dB relative to the
// first harmonic: 0 = 0 dB, -16384 = -50 dB, -32767 = -100 dB or less.
struct WaveformPreviewData {
  int Position = 0;      // 0..10000 of the segment
  int32_t Waveform = 0;  // the packed Waveform value at the position
  int32_t Filter = 0;    // the Waveform Filter value (hundredths)
  int16_t Samples[PREVIEW_SAMPLES] = {};
  int Unfiltered[PREVIEW_HARMONICS] = {};
  int Filtered[PREVIEW_HARMONICS] = {};
};

// The wave display: the cycle for `waveform`'s value at `position`
// (0..10000, clamped). Shape position and sharpness are the value's halves
// in whole units.
void PreviewWave(const Param& waveform, int position, WaveformPreviewData* d);
// The spectrum display, from the cycle PreviewWave left in d: the
// unfiltered levels, and those after `filter`'s value at `position`
// (equal to the unfiltered ones when that value means no filtering).
void PreviewSpectrum(const Param& filter, int position, WaveformPreviewData* d);

// Which channel the preview shows and how its label reads, from the
// channel modes of the voice's Waveform (w) and Waveform Filter (f): 0
// joined, 1 separate with the left shown, 2 separate with the right shown.
// When the two show different channels the preview keeps the channel last
// picked with a Left or Right button (`picked`, 1 or 2).
enum PreviewLabel { PREVIEW_LABEL_PLAIN, PREVIEW_LABEL_LEFT, PREVIEW_LABEL_RIGHT };
struct PreviewChannel {
  int Channel = 1;  // 1 left, 2 right
  PreviewLabel Label = PREVIEW_LABEL_PLAIN;
};
PreviewChannel PreviewChannelFor(int w, int f, int picked);

// What the Waveform tab's bottom pane shows for the Easy choices of Waveform
// and Waveform Filter: a sine has nothing to preview; a waveform and a
// filter that are both Easy choices do not change over the segment, so the
// position slider has nothing to pick.
struct PreviewVisibility {
  bool Displays = true;
  bool Slider = true;
};
PreviewVisibility PreviewVisibilityFor(int waveformEasySel, int filterEasySel);

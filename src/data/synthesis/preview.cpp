// The waveform preview's data.
#include "data/synthesis/preview.h"

#include <algorithm>

#include "data/synthesis/wavetab.h"
#include "main/arith.h"

void PreviewWave(const Param& waveform, int position, WaveformPreviewData* d) {
  d->Position = std::clamp(position, 0, 10000);
  d->Waveform = CurveValuePacked(waveform, d->Position);
  // The Waveform parameter has one decimal: whole units for the shape.
  const auto bits = static_cast<uint32_t>(d->Waveform);
  const int p = static_cast<int>(bits & 0xFFFF) / 10, q = static_cast<int>(bits >> 16) / 10;
  int s = 0;
  double e = 1.0;
  WaveformShape(p, q, &s, &e);
  BuildWaveform(s, 50, e, d->Samples, PREVIEW_SAMPLES, true);
}

void PreviewSpectrum(const Param& filter, int position, WaveformPreviewData* d) {
  d->Position = std::clamp(position, 0, 10000);
  d->Filter = CurveValue(filter, d->Position);
  PeriodHarmonicLevels(d->Samples, PREVIEW_SAMPLES, d->Unfiltered);
  if (!FilteredHarmonicLevels(d->Filter, d->Samples, PREVIEW_SAMPLES, d->Filtered))
    std::copy(d->Unfiltered, d->Unfiltered + PREVIEW_HARMONICS, d->Filtered);
}

PreviewChannel PreviewChannelFor(int w, int f, int picked) {
  const int pickedChannel = picked == 2 ? 2 : 1;
  auto of = [](int channel) {
    return PreviewChannel{channel, channel == 2 ? PREVIEW_LABEL_RIGHT : PREVIEW_LABEL_LEFT};
  };
  if (w == 0) {
    if (f == 0) return PreviewChannel{1, PREVIEW_LABEL_PLAIN};
    return of(f == 2 ? 2 : 1);
  }
  const int wc = w == 2 ? 2 : 1;
  // The filter joined or showing the same channel: the waveform's channel.
  if (f == 0 || (f == 2 ? 2 : 1) == wc) return of(wc);
  return of(pickedChannel);
}

PreviewVisibility PreviewVisibilityFor(int waveformEasySel, int filterEasySel) {
  constexpr int kSine = 1;
  PreviewVisibility v;
  v.Displays = waveformEasySel != kSine;
  v.Slider = v.Displays && !(waveformEasySel != 0 && filterEasySel != 0);
  return v;
}

// The waveform preview in the Waveform tab's bottom pane: a position slider
// (control 235) under its label (253), the wave display (236) with one cycle
// of the unfiltered waveform, and the spectrum display (237) with the odd
// harmonics before (black) and after (blue) the waveform filter, both for
// the current voice at the slider's moment of the segment. The numbers come
// from data/synthesis/preview.h; this file draws them.
//
// It places itself in the parameter page's bottom pane and follows the
// dialog on its own: the tab, the segment and voice, edits of Waveform and
// Waveform Filter, and the focused node of their charts, which moves the
// slider to that node's time.
//
// Main thread only.
#pragma once
#include <QFrame>
#include <QWidget>

#include "data/synthesis/preview.h"

class PresetOptionsDialog;
class ParamPage;
class QLabel;
class QSlider;

// One display of the preview (the window class "TAVIK_WAVEFORM").
class WaveformDisplay : public QFrame {
  Q_OBJECT
 public:
  enum Kind { WAVE, SPECTRUM };
  WaveformDisplay(Kind kind, const WaveformPreviewData* data, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  Kind K;
  const WaveformPreviewData* Data;
};

class WaveformPreview : public QWidget {
  Q_OBJECT
 public:
  WaveformPreview(PresetOptionsDialog* dialog, ParamPage* page);

  // Set position (0..10000; anything else is an internal error and is
  // clamped): both displays recompute.
  void setPosition(int position);
  int position() const { return Data.Position; }
  // Recompute: the wave (and with it the spectrum), or the spectrum alone.
  void recompute(bool wave, bool spectrum);
  // The channel last picked with a Left or Right button on the page (1, 2);
  // it decides when Waveform and Waveform Filter show different channels.
  void setPickedChannel(int channel);
  // Label, channel, visibility and both displays again (after the panes of
  // the tab were rebuilt).
  void refresh();

  int channel() const { return Channel; }
  const WaveformPreviewData& data() const { return Data; }
  QSlider* slider() const { return Slider; }
  QLabel* label() const { return Label; }
  WaveformDisplay* waveDisplay() const { return Wave; }
  WaveformDisplay* spectrumDisplay() const { return Spectrum; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void parameterEdited(int pid);
  void nodeFocused(int position, int index);
  void describe();
  // The current voice's Waveform and Waveform Filter records of the shown
  // channel (null when the dialog has no segment).
  const Param* record(int paramNum) const;

  PresetOptionsDialog* D;
  ParamPage* Page;
  WaveformPreviewData Data;
  int Picked = 1;
  int Channel = 1;
  QLabel* Label = nullptr;
  QSlider* Slider = nullptr;
  QLabel *WaveLabel = nullptr, *SpectrumLabel = nullptr;
  QLabel* Scale[3] = {};
  WaveformDisplay *Wave = nullptr, *Spectrum = nullptr;
};

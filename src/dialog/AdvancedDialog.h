// Advanced Options (dialog 41): the sound output format and buffering, the
// AudioStrobe signal settings, the editor's behaviour, and the output
// device (an ALSA PCM, "Device") with a test tone. Works on a copy of the
// settings; OK validates every field and writes Cfg, Cancel keeps it.
//
// Main thread only.
#pragma once
#include <cstdint>

#include "data/playback/testtone.h"
#include "data/synthesis/options.h"
#include "dlggen/DynDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTimer;

// Bytes the memory blocks take: samples per second x block length (ms) x
// blocks x bytes per sample x 2 channels / 1000, truncated. Saturates at the
// int64 range, since the fields may hold anything typed.
int64_t MemoryConsumed(int32_t samplesPerSec, int32_t lenOfBlocks, int32_t memoryBlocks, bool bits16);
// The most the blocks may take (message 153).
constexpr int64_t MAX_MEMORY_CONSUMED = 5000000;

class AdvancedOptionsDialog : public DynDialog {
  Q_OBJECT
 public:
  // `smoothFlashing`: whether the smooth full-screen flashing path can run
  // here (the program's probe); the box is disabled when it cannot.
  explicit AdvancedOptionsDialog(QWidget* owner, bool smoothFlashing = false);
  ~AdvancedOptionsDialog() override;

  QLineEdit* rateEdit() const { return Rate; }
  QRadioButton* bits8Button() const { return Bits8; }
  QRadioButton* bits16Button() const { return Bits16; }
  QLineEdit* blocksEdit() const { return Blocks; }
  QLineEdit* lengthEdit() const { return Length; }
  QLabel* memoryLabel() const { return Memory; }
  QCheckBox* invertBox() const { return Invert; }
  QCheckBox* smoothBox() const { return Smooth; }
  QLineEdit* zeroEdit() const { return Zero; }
  QLineEdit* maxEdit() const { return Max; }
  QComboBox* waveformCombo() const { return Waveform; }
  QLineEdit* dutyEdit() const { return Duty; }
  QCheckBox* linkBox() const { return Link; }
  QLineEdit* nodesEdit() const { return Nodes; }
  QComboBox* deviceCombo() const { return Device; }
  QPushButton* testButton() const { return Test; }
  // Whether the test tone is playing.
  bool testing() const;
  void accept() override;
  void reject() override;

  // The dialog on the settings (Cfg); true on OK.
  static bool editOptions(QWidget* owner, bool smoothFlashing = false);

 private:
  void updateMemory();
  void updateDutyCycle();
  void testTone();
  void pollTone();
  void stopTone();

  QLineEdit *Rate, *Blocks, *Length, *Zero, *Max, *Duty, *Nodes;
  QRadioButton *Bits8, *Bits16;
  QLabel* Memory;
  QCheckBox *Invert, *Smooth, *Link;
  QComboBox* Waveform;
  QLabel *DutyLabel, *DutyUnit;
  QComboBox* Device;
  QPushButton* Test;
  QTimer* TonePoll;
  TestTone Tone;
};

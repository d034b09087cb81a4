// Play into .wav file (dialog 59): how many minutes to write, in which
// format, and whether the AudioStrobe signals go into the file.
#pragma once
#include <cstdint>

#include "dlggen/DynDialog.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

struct PlayWavRequest {
  int32_t Minutes = 0;          // hundredths of a minute; -1: the single long file in full
  int32_t LongFileMinutes = 0;  // the preset's single long background file, or 0
  bool AudioStrobe = false;
  int32_t SamplesPerSec = 44100;
  bool Bits16 = true;
};

class PlayWavDialog : public DynDialog {
  Q_OBJECT
 public:
  PlayWavDialog(QWidget* owner, PlayWavRequest* request);

  QLineEdit* minutesEdit() const { return Minutes; }
  QCheckBox* inFullBox() const { return InFull; }
  QCheckBox* cdBox() const { return Cd; }
  QLineEdit* rateEdit() const { return Rate; }
  QRadioButton* bits8Button() const { return Bits8; }
  QRadioButton* bits16Button() const { return Bits16; }
  QCheckBox* audioStrobeBox() const { return AudioStrobe; }

  // true on OK with the request filled in.
  static bool askPlayIntoWav(QWidget* owner, PlayWavRequest* request);

  void accept() override;

 private:
  PlayWavRequest* Request;
  QLineEdit* Minutes;
  QCheckBox* InFull;
  QCheckBox* Cd;
  QLineEdit* Rate;
  QRadioButton* Bits8;
  QRadioButton* Bits16;
  QCheckBox* AudioStrobe;
  void inFullChanged();
  void cdChanged();
};

// Play With Delay (dialog 73): the time to wait before the playback starts,
// in minutes with three decimals, 0 to 1440.
#pragma once
#include <cstdint>

#include "dlggen/DynDialog.h"

class QLineEdit;

class PlayDelayDialog : public DynDialog {
  Q_OBJECT
 public:
  // `delay`: thousandths of a minute, written on OK.
  PlayDelayDialog(QWidget* owner, int32_t* delay);
  QLineEdit* delayEdit() const { return Edit; }
  void accept() override;

  static bool askPlayDelay(QWidget* owner, int32_t* delay);

 private:
  int32_t* Delay;
  QLineEdit* Edit;
};

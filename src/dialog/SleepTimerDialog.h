// Sleep Timer (Wave menu): stop after a chosen time, fading out over a
// chosen length, or fade out at the end of the preset; beside it the fades
// of a start and a stop, and keeping the screen on and the computer awake
// while playing. Edits a copy of the listening settings; OK writes it.
#pragma once
#include "dlggen/DynDialog.h"
#include "reg/settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

class SleepTimerDialog : public DynDialog {
  Q_OBJECT
 public:
  SleepTimerDialog(QWidget* owner, ListeningSettings* settings);
  void accept() override;

  // Runs the dialog on `settings`; true on OK.
  static bool askSleepTimer(QWidget* owner, ListeningSettings* settings);

 private:
  void modeChanged();

  ListeningSettings* Settings;
  QRadioButton *Off, *After, *AtEnd;
  QComboBox* Minutes;
  QLineEdit* Fade;
  QCheckBox *SoftStop, *KeepAwake;
};

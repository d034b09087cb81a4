// Synchronize playback (dialog 61): whether Play starts only this instance
// or this one together with the other participants.
//
// Main thread only.
#pragma once
#include "dlggen/DynDialog.h"

class QRadioButton;

class SynchronizeDialog : public DynDialog {
  Q_OBJECT
 public:
  explicit SynchronizeDialog(QWidget* owner);
  QRadioButton* justPlay() const { return JustPlay; }
  QRadioButton* synchPlay() const { return SynchPlay; }

 private:
  QRadioButton* JustPlay;
  QRadioButton* SynchPlay;
};

// 0 Cancel (or the close box), 1 "&Just start playing this preset", 2 the
// synchronised start. A program driven by a script (SONAVEL_AUTO_ANSWER)
// prints the question and takes SONAVEL_SYNCH_ANSWER (1 when unset).
int SynchronizePlayback(QWidget* owner);

// Synchronize playback.
#include "dialog/SynchronizeDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>
#include <cstdlib>

SynchronizeDialog::SynchronizeDialog(QWidget* owner) : DynDialog(owner, QSize(250, 86), QString()) {
  setObjectName(QStringLiteral("synchronizeDialog"));
  setWindowTitle(tr("Synchronize playback"));
  DynLayout* l = dynLayout();
  auto* found = new QLabel(tr("Another instance of Sonavel was detected running on this computer."), this);
  found->setWordWrap(true);
  l->addControl(found, 7, 7, 1017, 16);
  l->addControl(new QLabel(tr("Do you want to:"), this), 7, 26, 100, 8);
  JustPlay = new QRadioButton(tr("&Just start playing this preset"), this);
  JustPlay->setObjectName(QStringLiteral("justPlay"));
  JustPlay->setChecked(true);
  l->addControl(JustPlay, 14, 38, 1010, 10);
  SynchPlay = new QRadioButton(tr("&Start this preset and the preset on the other instance syncronized"), this);
  SynchPlay->setObjectName(QStringLiteral("synchPlay"));
  l->addControl(SynchPlay, 14, 50, 1010, 10);
  // The long choice sets the width: the box is as wide as it needs.
  l->setMinimumClientSize(QSize(SynchPlay->sizeHint().width() + l->mapDialogRect(0, 0, 28, 0).width(), 0));
  QPushButton* ok = addButton(tr("OK"), 911, 1003);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  QPushButton* cancel = addButton(tr("Cancel"), 967, 1003);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int SynchronizePlayback(QWidget* owner) {
  const char* scripted = std::getenv("SONAVEL_AUTO_ANSWER");
  if (scripted && *scripted && *scripted != '0') {
    const char* answer = std::getenv("SONAVEL_SYNCH_ANSWER");
    int a = answer && *answer ? std::atoi(answer) : 1;
    std::fprintf(stderr, "Synchronize playback: %d\n", a);
    return a >= 0 && a <= 2 ? a : 1;
  }
  SynchronizeDialog d(owner);
  if (d.run() != QDialog::Accepted) return 0;
  return d.synchPlay()->isChecked() ? 2 : 1;
}

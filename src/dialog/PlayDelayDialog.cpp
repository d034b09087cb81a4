// Play With Delay.
#include "dialog/PlayDelayDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialog/FieldValidator.h"
#include "main/arith.h"

PlayDelayDialog::PlayDelayDialog(QWidget* owner, int32_t* delay)
    : DynDialog(owner, QSize(230, 52), QStringLiteral("play_delay")), Delay(delay) {
  setObjectName(QStringLiteral("playDelayDialog"));
  setWindowTitle(tr("Play With Delay"));
  DynLayout* l = dynLayout();
  auto* label = new QLabel(tr("&Time to wait before starting playback:"), this);
  l->addControl(label, 7, 9, 135, 8);
  Edit = new QLineEdit(QString::fromUtf8(FormatNumber(*delay, 3, 3, 3, false)), this);
  Edit->setObjectName(QStringLiteral("delay"));
  label->setBuddy(Edit);
  l->addControl(Edit, 145, 7, 45, 12);
  auto* unit = new QLabel(tr("minutes"), this);
  l->addControl(unit, 194, 9, 30, 8);
  addOkCancelHelp();
}

void PlayDelayDialog::accept() {
  int32_t v = 0;
  if (!ValidateFields(this, {{Edit, &v, 376, 0, 1440000, 3}})) return;
  *Delay = v;
  QDialog::accept();
}

bool PlayDelayDialog::askPlayDelay(QWidget* owner, int32_t* delay) {
  PlayDelayDialog d(owner, delay);
  return d.run() == QDialog::Accepted;
}

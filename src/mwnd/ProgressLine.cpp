// The progress line.
#include "mwnd/ProgressLine.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

#include "main/arith.h"
#include "main/strtab.h"
#include "reg/settings.h"

ProgressLine::ProgressLine(QWidget* window) : QWidget(window), Window(window) {
  setObjectName(QStringLiteral("progressLine"));
  auto* l = new QHBoxLayout(this);
  l->setContentsMargins(4, 0, 4, 2);
  Caption = new QLabel(this);
  Caption->setObjectName(QStringLiteral("progressCaption"));
  Bar = new QProgressBar(this);
  Bar->setObjectName(QStringLiteral("progressBar"));
  Bar->setTextVisible(false);
  Caption->setBuddy(Bar);
  l->addWidget(Caption);
  l->addWidget(Bar, 1);
  hide();
}

ProgressLine::~ProgressLine() {
  if (Active) finish(false);
}

void ProgressLine::start(int captionId, int max) {
  QString text = QString::fromUtf8(GetStr(captionId));
  if (text.contains('%'))
    text = QString::fromStdString(
        FormatPrintf(GetStr(captionId), FormatNumber(Cfg.Advanced.PlayDelayTime, 3, 3, 0, true)));
  start(text, max);
}

void ProgressLine::start(const QString& text, int max) {
  Caption->setText(text);
  Bar->setAccessibleName(text);
  Bar->setRange(0, max > 0 ? max : 1);
  Bar->setValue(0);
  if (!Active) {
    Active = true;
    Abort = false;
    for (QWidget* w : Busy) w->setEnabled(false);
    // Esc reaches a disabled window only through the application.
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  show();
  raise();
}

void ProgressLine::setPosition(int pos) { Bar->setValue(pos); }

bool ProgressLine::pump() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return Abort;
}

void ProgressLine::finish(bool focus) {
  if (!Active) return;
  Active = false;
  qApp->removeEventFilter(this);
  QApplication::restoreOverrideCursor();
  hide();
  for (QWidget* w : Busy) w->setEnabled(true);
  if (focus) Window->activateWindow();
}

bool ProgressLine::eventFilter(QObject* o, QEvent* e) {
  if (Active && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
    Abort = true;
    return true;
  }
  return QWidget::eventFilter(o, e);
}

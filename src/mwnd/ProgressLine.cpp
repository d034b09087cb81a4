// The progress line.
#include "mwnd/ProgressLine.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>

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
  Hint = new QLabel(this);
  Hint->setObjectName(QStringLiteral("progressHint"));
  l->addWidget(Caption);
  l->addWidget(Bar, 1);
  l->addWidget(Hint);
  hide();
}

ProgressLine::~ProgressLine() {
  // The window goes with the line: nobody is left to act on the end.
  blockSignals(true);
  if (Active) finish(false);
}

void ProgressLine::start(int captionId, int max, int hintId, const QList<QWidget*>& keep) {
  QString text = QString::fromUtf8(GetStr(captionId));
  if (text.contains('%'))
    text = QString::fromStdString(
        FormatPrintf(GetStr(captionId), FormatNumber(Cfg.Advanced.PlayDelayTime, 3, 3, 0, true)));
  start(text, max, hintId, keep);
  CaptionId = captionId;
}

void ProgressLine::start(const QString& text, int max, int hintId, const QList<QWidget*>& keep) {
  CaptionId = 0;
  Caption->setText(text);
  Hint->setText(hintId ? QString::fromUtf8(GetStr(hintId)) : QString());
  Hint->setVisible(hintId != 0);
  Bar->setAccessibleName(text);
  Bar->setAccessibleDescription(Hint->text());
  Bar->setRange(0, max > 0 ? max : 1);
  Bar->setValue(0);
  if (Active) {
    enableAgain();  // the work may keep other parts usable now
  } else {
    Active = true;
    Abort = false;
    // Esc reaches a disabled window only through the application.
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  for (QWidget* w : Busy) disable(w, keep);
  show();
  raise();
}

// Disables w, or, when it holds a widget to keep, its other children.
void ProgressLine::disable(QWidget* w, const QList<QWidget*>& keep) {
  if (keep.contains(w)) return;
  const bool holds = std::any_of(keep.begin(), keep.end(), [w](QWidget* k) { return k && w->isAncestorOf(k); });
  if (!holds) {
    // Only what is enabled now is enabled again afterwards.
    if (!w->testAttribute(Qt::WA_ForceDisabled)) {
      w->setEnabled(false);
      Disabled << w;
    }
    return;
  }
  for (QObject* o : w->children())
    if (auto* c = qobject_cast<QWidget*>(o); c && !c->isWindow()) disable(c, keep);
}

void ProgressLine::enableAgain() {
  for (const QPointer<QWidget>& w : Disabled) {
    if (!w) continue;
    // A command's button follows its command, which may have changed.
    auto* tool = qobject_cast<QToolButton*>(w.data());
    w->setEnabled(tool && tool->defaultAction() ? tool->defaultAction()->isEnabled() : true);
  }
  Disabled.clear();
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
  enableAgain();
  if (focus) Window->activateWindow();
  emit finished();
}

bool ProgressLine::eventFilter(QObject* o, QEvent* e) {
  if (Active && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
    Abort = true;
    return true;
  }
  return QWidget::eventFilter(o, e);
}

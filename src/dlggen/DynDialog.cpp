// The dialogs' common base.
#include "dlggen/DynDialog.h"

#include <QKeyEvent>
#include <QPushButton>

#include "dlggen/modal.h"

namespace {
void (*gHelpHandler)(QWidget*, const QString&) = nullptr;
}

DynDialog::DynDialog(QWidget* owner, QSize templateSize, const QString& helpTopic)
    : QDialog(owner), Layout(new DynLayout(this, templateSize)), HelpTopic(helpTopic) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setSizeGripEnabled(true);
}

int DynDialog::run(bool counted) { return ExecDialog(this, counted); }

void DynDialog::setHelpHandler(void (*handler)(QWidget*, const QString&)) { gHelpHandler = handler; }

void DynDialog::showHelp(QWidget* owner, const QString& topic) {
  if (gHelpHandler && !topic.isEmpty()) gHelpHandler(owner, topic);
}

QPushButton* DynDialog::addButton(const QString& text, int x, int y, int cx, int cy) {
  auto* b = new QPushButton(text, this);
  Layout->addControl(b, x, y, cx, cy);
  return b;
}

void DynDialog::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    showHelp(this, HelpTopic);
    return;
  }
  QDialog::keyPressEvent(e);
}

void DynDialog::showEvent(QShowEvent* e) {
  // Controls are all in place once the dialog is first shown.
  if (!Layout->isRegistered()) Layout->registerLayout();
  QDialog::showEvent(e);
}

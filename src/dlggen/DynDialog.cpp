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

DynDialog::ButtonRow DynDialog::addOkCancelHelp() {
  ButtonRow r{addButton(tr("OK"), 855, 1003), addButton(tr("Cancel"), 911, 1003), addButton(tr("&Help"), 967, 1003)};
  r.Ok->setObjectName(QStringLiteral("okButton"));
  r.Ok->setDefault(true);
  r.Cancel->setObjectName(QStringLiteral("cancelButton"));
  r.Help->setObjectName(QStringLiteral("helpButton"));
  // accept() and reject() are virtual: a dialog's own checks run.
  connect(r.Ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(r.Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(r.Help, &QPushButton::clicked, this, [this] { showHelp(this, HelpTopic); });
  return r;
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

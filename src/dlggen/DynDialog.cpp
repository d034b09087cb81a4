// The dialogs' common base.
#include "dlggen/DynDialog.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>

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

DynDialog::BitsChoice DynDialog::addBitsChoice(bool bits16, int x, int y) {
  BitsChoice c{new QRadioButton(tr("8"), this), new QRadioButton(tr("16"), this)};
  c.Bits8->setObjectName(QStringLiteral("bits8"));
  c.Bits8->setAccessibleName(tr("8 bits per sample"));
  c.Bits16->setObjectName(QStringLiteral("bits16"));
  c.Bits16->setAccessibleName(tr("16 bits per sample"));
  auto* group = new QButtonGroup(this);
  group->addButton(c.Bits8);
  group->addButton(c.Bits16);
  (bits16 ? c.Bits16 : c.Bits8)->setChecked(true);
  Layout->addControl(c.Bits8, x, y, 30, 10);
  Layout->addControl(c.Bits16, x + 35, y, 30, 10);
  return c;
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

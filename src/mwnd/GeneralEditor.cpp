// The preset editor's stand-in: name and description.
#include "mwnd/GeneralEditor.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstring>

#include "dialog/MessageBox.h"
#include "dialog/PresetNameDialog.h"
#include "main/preset.h"
#include "mwnd/wavestate.h"

namespace {
constexpr int DESCRIPTION_MAX = 4095;  // the description buffer less its terminator
}

GeneralEditor::GeneralEditor(QWidget* owner, const QString& name, const QString& description)
    : DynDialog(owner, QSize(260, 150), QStringLiteral("preset_options")) {
  setObjectName(QStringLiteral("generalEditor"));
  setWindowTitle(tr("Preset Options"));
  DynLayout* l = dynLayout();
  auto* nl = new QLabel(tr("&Name:"), this);
  l->addControl(nl, 7, 9, 50, 8);
  Name = new QLineEdit(name, this);
  Name->setObjectName(QStringLiteral("presetName"));
  Name->setMaxLength(PRESETNAME_MAX);
  nl->setBuddy(Name);
  l->addControl(Name, 60, 7, 957, 12);
  auto* dl = new QLabel(tr("&Description:"), this);
  l->addControl(dl, 7, 26, 80, 8);
  Description = new QPlainTextEdit(description, this);
  Description->setObjectName(QStringLiteral("presetDescription"));
  Description->setTabChangesFocus(true);
  dl->setBuddy(Description);
  l->addControl(Description, 7, 37, 1010, 959);  // down to the buttons
  QPushButton* ok = addButton(tr("OK"), 855, 1003);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  QPushButton* cancel = addButton(tr("Cancel"), 911, 1003);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  QPushButton* help = addButton(tr("&Help"), 967, 1003);
  help->setObjectName(QStringLiteral("helpButton"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { showHelp(this, helpTopic()); });
}

int GeneralEditor::editPreset(QWidget* owner, int index, bool* renamed) {
  *renamed = false;
  Preset& p = Program[index];
  GeneralEditor d(owner, QString::fromUtf8(p.Name), QString::fromUtf8(p.Description ? p.Description : ""));
  if (d.run() != QDialog::Accepted) return EDITOR_CANCELLED;
  QByteArray name = CutToBytes(d.Name->text(), PRESETNAME_MAX).toUtf8();
  QByteArray text = CutToBytes(d.Description->toPlainText(), DESCRIPTION_MAX).toUtf8();
  bool changed = false;
  if (std::strcmp(p.Name, name.constData()) != 0) {
    std::memset(p.Name, 0, sizeof p.Name);
    std::memcpy(p.Name, name.constData(), static_cast<size_t>(name.size()));
    *renamed = true;
    changed = true;
  }
  if (!EnsureDescription(p)) return changed ? EDITOR_CHANGED : EDITOR_UNCHANGED;
  if (std::strcmp(p.Description, text.constData()) != 0) {
    std::memset(p.Description, 0, DESCRIPTION_MAX + 1);
    std::memcpy(p.Description, text.constData(), static_cast<size_t>(text.size()));
    changed = true;
  }
  return changed ? EDITOR_CHANGED : EDITOR_UNCHANGED;
}

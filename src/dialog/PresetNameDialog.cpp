// The preset name prompt.
#include "dialog/PresetNameDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

PresetNameDialog::PresetNameDialog(QWidget* owner, const QString& name)
    : DynDialog(owner, QSize(220, 56), QStringLiteral("save_as")) {
  setObjectName(QStringLiteral("presetNameDialog"));
  setWindowTitle(tr("Save Preset"));
  DynLayout* l = dynLayout();
  auto* label = new QLabel(tr("Preset &name:"), this);
  l->addControl(label, 7, 9, 60, 8);
  Edit = new QLineEdit(name, this);
  Edit->setObjectName(QStringLiteral("presetName"));
  Edit->setMaxLength(PRESETNAME_MAX);
  Edit->selectAll();
  label->setBuddy(Edit);
  l->addControl(Edit, 70, 7, 947, 12);  // to 7 units short of the right edge
  addOkCancelHelp();
}

QString CutToBytes(const QString& name, int maxBytes) {
  QString out;
  int bytes = 0;
  for (qsizetype i = 0; i < name.size();) {
    qsizetype n = name[i].isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
    int b = static_cast<int>(name.mid(i, n).toUtf8().size());
    if (bytes + b > maxBytes) break;
    out += name.mid(i, n);
    bytes += b;
    i += n;
  }
  return out;
}

bool PresetNameDialog::askPresetName(QWidget* owner, QString* name) {
  PresetNameDialog d(owner, *name);
  if (d.run() != QDialog::Accepted) return false;
  *name = CutToBytes(d.Edit->text(), PRESETNAME_MAX);
  return true;
}

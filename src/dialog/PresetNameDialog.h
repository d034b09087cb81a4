// The preset name prompt of Save As (dialog 42). The caller checks the name
// (an empty one is refused with 1275).
#pragma once
#include "dlggen/DynDialog.h"

class QLineEdit;

class PresetNameDialog : public DynDialog {
  Q_OBJECT
 public:
  explicit PresetNameDialog(QWidget* owner, const QString& name);
  QLineEdit* nameEdit() const { return Edit; }

  // true on OK with the name typed (at most 127 bytes in the name encoding).
  static bool askPresetName(QWidget* owner, QString* name);

 private:
  QLineEdit* Edit;
};

// The longest preset name the prompt takes, in bytes.
constexpr int PRESETNAME_MAX = 127;
// `name` cut to at most `maxBytes` bytes of UTF-8, at a character boundary.
QString CutToBytes(const QString& name, int maxBytes);

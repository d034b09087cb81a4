// The preset editor's stand-in until the full preset options dialog is
// installed through GuiHooks: the preset's name and description.
#pragma once
#include "dlggen/DynDialog.h"

class QLineEdit;
class QPlainTextEdit;

class GeneralEditor : public DynDialog {
  Q_OBJECT
 public:
  GeneralEditor(QWidget* owner, const QString& name, const QString& description);
  QLineEdit* nameEdit() const { return Name; }
  QPlainTextEdit* descriptionEdit() const { return Description; }

  // The GuiHooks::PresetEditor form.
  static int editPreset(QWidget* owner, int index, bool* renamed);

 private:
  QLineEdit* Name;
  QPlainTextEdit* Description;
};

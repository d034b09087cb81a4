// The field validator over edit fields.
#include "dialog/FieldValidator.h"

#include <QLineEdit>
#include <vector>

#include "dialog/MessageBox.h"
#include "dialog/fieldval.h"

bool ValidateFields(QWidget* owner, std::initializer_list<EditField> fields) {
  return ValidateFields(owner, std::vector<EditField>(fields));
}

bool ValidateFields(QWidget* owner, const std::vector<EditField>& fields) {
  std::vector<FieldCheck> checks;
  for (const EditField& f : fields)
    checks.push_back({f.Edit->text().toStdString(), f.Dest, f.MsgId, f.Min, f.Max, f.Digits});
  int bad = ValidateFieldTexts(checks);
  if (bad < 0) return true;
  MessageBox::showText(owner, QString::fromStdString(FieldRangeMessage(checks[static_cast<size_t>(bad)])));
  QLineEdit* edit = fields[static_cast<size_t>(bad)].Edit;
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
  return false;
}

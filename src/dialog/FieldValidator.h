// The field validator over edit fields: the first field that does not parse
// or lies outside its range shows its message (%1 minimum, %2 maximum, with
// the field's decimals) and takes the focus; nothing is stored then.
//
// Main thread only.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

class QLineEdit;
class QWidget;

struct EditField {
  QLineEdit* Edit;
  int32_t* Dest;
  int MsgId;
  int32_t Min, Max;
  int Digits;
};

// true when every field passed and every destination was written.
bool ValidateFields(QWidget* owner, std::initializer_list<EditField> fields);
// The same for a list built at run time (fields that apply to the case).
bool ValidateFields(QWidget* owner, const std::vector<EditField>& fields);

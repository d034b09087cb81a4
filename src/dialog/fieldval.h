// The field validator's rule, without widgets: a list of number fields, each
// parsed with its decimals and checked against its range. Either every
// destination is written, or none is and the first failing field is named.
//
// Main thread only (number parsing follows the user's locale).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct FieldCheck {
  std::string Text;         // what the field holds
  int32_t* Dest = nullptr;  // written only when every field passes
  int MsgId = 0;            // message with %1 = minimum, %2 = maximum
  int32_t Min = 0, Max = 0;
  int Digits = 0;  // decimals: the stored value is the number x 10^Digits
};

// -1 when every field parses and lies in its range (all destinations are
// then written); otherwise the index of the first field that does not, and
// nothing is written.
int ValidateFieldTexts(const std::vector<FieldCheck>& fields);
// The message of a failed field: its range formatted with its decimals.
std::string FieldRangeMessage(const FieldCheck& f);

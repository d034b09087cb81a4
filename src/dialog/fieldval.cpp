// The field validator's rule.
#include "dialog/fieldval.h"

#include "main/arith.h"
#include "main/strtab.h"

int ValidateFieldTexts(const std::vector<FieldCheck>& fields) {
  std::vector<int32_t> values(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldCheck& f = fields[i];
    bool error = false;
    int32_t v = ParseNumber(f.Text.c_str(), f.Digits, false, &error);
    if (error || v < f.Min || v > f.Max) return static_cast<int>(i);
    values[i] = v;
  }
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].Dest) *fields[i].Dest = values[i];
  return -1;
}

std::string FieldRangeMessage(const FieldCheck& f) {
  std::string lo = FormatNumber(f.Min, f.Digits, f.Digits, f.Digits, true);
  std::string hi = FormatNumber(f.Max, f.Digits, f.Digits, f.Digits, true);
  return FormatMsg(f.MsgId, {lo, hi});
}

#include "main/duration.h"

#include <cctype>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number with optional decimals at text[*i], in thousandths; false when
// there is none (or it is too long to be a length we take).
bool ReadNumber(std::string_view text, size_t* i, int64_t* thousandths) {
  int64_t whole = 0, frac = 0, scale = 1000;
  size_t start = *i;
  while (*i < text.size() && IsDigit(text[*i])) {
    whole = whole * 10 + (text[*i] - '0');
    if (whole > DURATION_MAX_MS) return false;
    ++*i;
  }
  bool digits = *i > start;
  if (*i < text.size() && (text[*i] == '.' || text[*i] == ',')) {
    ++*i;
    size_t fracStart = *i;
    while (*i < text.size() && IsDigit(text[*i])) {
      // Beyond a thousandth nothing counts.
      if (scale > 1) {
        scale /= 10;
        frac += (text[*i] - '0') * scale;
      }
      ++*i;
    }
    digits = digits || *i > fracStart;
  }
  *thousandths = whole * 1000 + frac;
  return digits;
}

void SkipBlanks(std::string_view text, size_t* i) {
  while (*i < text.size() && std::isspace(static_cast<unsigned char>(text[*i]))) ++*i;
}

// "h:mm" or "h:mm:ss": whole numbers, minutes and seconds below 60.
int64_t ParseClock(std::string_view text) {
  int64_t parts[3] = {0, 0, 0};
  int n = 0;
  size_t i = 0;
  while (true) {
    if (n == 3) return -1;
    size_t start = i;
    int64_t v = 0;
    while (i < text.size() && IsDigit(text[i]) && i - start < 6) v = v * 10 + (text[i++] - '0');
    if (i == start || (n > 0 && i - start != 2)) return -1;
    parts[n++] = v;
    if (i == text.size()) break;
    if (text[i++] != ':') return -1;
  }
  if (n < 2 || parts[1] >= 60 || parts[2] >= 60) return -1;
  return ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000;
}

}  // namespace

int64_t ParseDuration(std::string_view text, int64_t unitMs) {
  size_t i = 0;
  SkipBlanks(text, &i);
  size_t end = text.size();
  while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  text = text.substr(i, end - i);
  if (text.empty()) return -1;
  int64_t total = -1;
  if (text.find(':') != std::string_view::npos) {
    total = ParseClock(text);
  } else {
    struct Unit {
      std::string_view Name;
      int64_t Ms;
    };
    // Longer names first, so "min" and "ms" are not taken for "m".
    static constexpr Unit kUnits[] = {{"h", 3600000}, {"min", 60000}, {"ms", 1},
                                      {"m", 60000},   {"sec", 1000},  {"s", 1000}};
    i = 0;
    total = 0;
    int64_t lastUnit = INT64_MAX;
    while (i < text.size()) {
      int64_t thousandths = 0;
      if (!ReadNumber(text, &i, &thousandths)) return -1;
      SkipBlanks(text, &i);
      int64_t unit = 0;
      for (const Unit& u : kUnits)
        if (text.substr(i, u.Name.size()) == u.Name) {
          unit = u.Ms;
          i += u.Name.size();
          break;
        }
      if (unit == 0) {
        // A bare number: the caller's unit, and only alone.
        if (i != text.size() || total != 0 || lastUnit != INT64_MAX) return -1;
        unit = unitMs;
      }
      if (unit >= lastUnit) return -1;  // "30s1h", "1m2m"
      lastUnit = unit;
      if (thousandths > DURATION_MAX_MS * 1000 / unit) return -1;
      total += thousandths * unit / 1000;
      SkipBlanks(text, &i);
    }
  }
  return total > DURATION_MAX_MS ? -1 : total;
}

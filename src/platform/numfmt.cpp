// Number-format settings from the process locale and the locale formatter.
#include "platform/numfmt.h"

#include <climits>
#include <clocale>
#include <cstring>

namespace plat {
namespace {

bool gOverride = false;
NumberSettings gSettings{};

void CopySep(char* dst, const char* src) {
  // Longer separators than the record holds are cut at a character boundary.
  size_t n = src ? std::strlen(src) : 0;
  if (n > 7) {
    n = 7;
    while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) --n;
  }
  if (n) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

bool ValidGrouping(int g) { return (g >= 0 && g <= 9) || g == GROUPING_THREE_TWO; }

// Whether a thousands separator goes in front of the digit that has
// `fromRight` digits from itself to the units digit (1 = the units digit).
bool GroupBoundary(int fromRight, int grouping) {
  if (grouping == 0) return false;
  if (grouping == GROUPING_THREE_TWO) return fromRight == 3 || (fromRight > 3 && (fromRight - 3) % 2 == 0);
  return fromRight % grouping == 0;
}

}  // namespace

bool GetNumberSettings(NumberSettings* out) {
  if (!out) return false;
  if (gOverride) {
    *out = gSettings;
    return true;
  }
  const lconv* lc = std::localeconv();
  if (!lc || !lc->decimal_point || !*lc->decimal_point) return false;
  NumberSettings s{};
  CopySep(s.DecimalSep, lc->decimal_point);
  CopySep(s.ThousandSep, lc->thousands_sep);
  // The first group size; CHAR_MAX or an empty string mean no grouping.
  const char* g = lc->grouping;
  s.Grouping = (g && *g > 0 && *g != CHAR_MAX && *g <= 9) ? *g : 0;
  if (s.Grouping == 3 && g[1] == 2) s.Grouping = GROUPING_THREE_TWO;
  // The C library has no negative format or leading-zero setting for plain
  // numbers; every POSIX locale writes "-0.5".
  s.NegativeOrder = NEG_LEADING;
  s.LeadingZero = 1;
  *out = s;
  return true;
}

void SetNumberSettings(const NumberSettings& s) {
  gSettings = s;
  gSettings.DecimalSep[sizeof gSettings.DecimalSep - 1] = '\0';
  gSettings.ThousandSep[sizeof gSettings.ThousandSep - 1] = '\0';
  gOverride = true;
}

void UseLocaleNumberSettings() { gOverride = false; }

namespace {

// Bounded writer into the caller's buffer; remembers when anything did not fit.
struct Out {
  char* Buf;
  size_t Size;
  size_t Len = 0;
  bool Full = false;
  void Put(char c) {
    if (Len + 1 < Size)
      Buf[Len++] = c;
    else
      Full = true;
  }
  void Put(const char* s) {
    while (*s) Put(*s++);
  }
};

// Longest integer part handled (an int32 needs 10), and the digit buffer: a
// carry place, the integer digits and at most 9 decimals.
constexpr size_t MAXINTDIGITS = 190;
constexpr size_t MAXDIGITS = 1 + MAXINTDIGITS + 9;

}  // namespace

bool FormatNumberText(const char* number, const NumberFormatOptions& opt, char* out, size_t size) {
  if (!number || !out || size == 0 || !opt.DecimalSep || !opt.ThousandSep) return false;
  if (opt.NumDigits < 0 || opt.NumDigits > 9 || opt.NegativeOrder < 0 || opt.NegativeOrder > 4 ||
      !ValidGrouping(opt.Grouping))
    return false;

  // Parse: [-]digits[.digits]
  const char* s = number;
  bool negative = false;
  if (*s == '-') {
    negative = true;
    ++s;
  }
  const char* ip = s;
  while (*s >= '0' && *s <= '9') ++s;
  size_t il = static_cast<size_t>(s - ip);
  const char* fp = s;
  size_t fl = 0;
  if (*s == '.') {
    fp = ++s;
    while (*s >= '0' && *s <= '9') ++s;
    fl = static_cast<size_t>(s - fp);
  }
  if (*s != '\0' || il + fl == 0) return false;
  while (il > 0 && *ip == '0') {  // leading zeros
    ++ip;
    --il;
  }
  const size_t nd = static_cast<size_t>(opt.NumDigits);
  if (il > MAXINTDIGITS) return false;

  // digits = integer digits, then the fraction cut or padded to nd, rounded
  // half up on the magnitude; one spare place in front for a carry.
  char digits[MAXDIGITS];
  size_t n = 1;
  digits[0] = '0';
  for (size_t i = 0; i < il; ++i) digits[n++] = ip[i];
  for (size_t i = 0; i < nd; ++i) digits[n++] = i < fl ? fp[i] : '0';
  if (fl > nd && fp[nd] >= '5') {
    size_t i = n;
    while (digits[--i] == '9') digits[i] = '0';
    ++digits[i];
  }
  // Integer digits without leading zeros (at least one).
  size_t first = 0, intEnd = n - nd;
  while (first + 1 < intEnd && digits[first] == '0') ++first;
  bool zero = true;
  for (size_t i = first; i < n; ++i)
    if (digits[i] != '0') zero = false;
  if (zero) negative = false;

  Out o{out, size};
  if (negative) {
    if (opt.NegativeOrder == NEG_PARENS) o.Put('(');
    if (opt.NegativeOrder == NEG_LEADING) o.Put('-');
    if (opt.NegativeOrder == NEG_LEADING_SPACE) o.Put("- ");
  }
  const bool bareFraction = intEnd - first == 1 && digits[first] == '0' && !opt.LeadingZero && nd > 0;
  if (!bareFraction) {
    const int count = static_cast<int>(intEnd - first);
    for (int i = 0; i < count; ++i) {
      if (i > 0 && GroupBoundary(count - i, opt.Grouping)) o.Put(opt.ThousandSep);
      o.Put(digits[first + static_cast<size_t>(i)]);
    }
  }
  if (nd > 0) {
    o.Put(opt.DecimalSep);
    for (size_t i = intEnd; i < n; ++i) o.Put(digits[i]);
  }
  if (negative) {
    if (opt.NegativeOrder == NEG_PARENS) o.Put(')');
    if (opt.NegativeOrder == NEG_TRAILING) o.Put('-');
    if (opt.NegativeOrder == NEG_TRAILING_SPACE) o.Put(" -");
  }
  out[o.Len] = '\0';
  return !o.Full;
}

}  // namespace plat

// Stored values as text and back: FormatNumber in the user's number format,
// ParseNumber with either decimal separator and musical note names.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "assert/check.h"
#include "main/arith.h"
#include "platform/numfmt.h"

namespace {

constexpr int NUMBUFFERS = 8;
constexpr int NUMBUFLEN = 32;
char gNumBuf[NUMBUFFERS][NUMBUFLEN];
int gNumBufIndex = 0;

uint64_t Pow10(int n) {
  uint64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// A parameter's Digits, 0-7 (the range of PowerOfTen).
int CheckedDigits(int digits) {
  if (!TVK_CHECK_AS(digits >= 0 && digits < 8, "Digits>=0 && Digits<8", digits)) return std::clamp(digits, 0, 7);
  return digits;
}

// The unlocalised text, when the localised one cannot be had.
void CopyText(char* out, const char* plain) {
  int i = 0;
  for (; i < NUMBUFLEN - 1 && plain[i]; ++i) out[i] = plain[i];
  out[i] = '\0';
}

int32_t Saturate(int64_t x) { return static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX)); }

// Semitones from A of the note letters A-G, and which accidentals each takes.
struct NoteName {
  int Offset;
  bool Sharp;
  bool Flat;
};
constexpr NoteName NoteNames[7] = {
    {0, true, true},   // A: A# 1, Ab -1
    {2, false, true},  // B: Bb 1
    {3, true, false},  // C: C# 4
    {5, true, true},   // D: D# 6, Db 4
    {7, false, true},  // E: Eb 6
    {8, true, false},  // F: F# 9
    {10, true, true},  // G: G# 11, Gb 9
};

// Frequency of a note name at s (its letter already known to be A-G) in
// stored units: 440 Hz x 2^(offset / 12) x 10^digits, rounded half away from
// zero. The octave digit (default 4) changes at A, so C4 lies above A4.
int32_t NoteValue(const char* s, int digits) {
  const NoteName& n = NoteNames[std::toupper(static_cast<unsigned char>(*s)) - 'A'];
  int offset = n.Offset;
  ++s;
  if (*s == '#' && n.Sharp) {
    ++offset;
    ++s;
  } else if (*s == 'b' && n.Flat) {
    --offset;
    ++s;
  }
  if (*s >= '0' && *s <= '9') offset += 12 * (*s - '0' - 4);
  const double v = 440.0 * std::pow(2.0, offset / 12.0) * static_cast<double>(Pow10(digits));
  return Saturate(std::llround(v));
}

// The leading decimal integer of s as atoi reads it (spaces, sign, digits),
// with its magnitude capped at 10^11 so that scaling by 10^7 stays in 64 bits.
int64_t LeadingInteger(const char* s) {
  constexpr int64_t Cap = 100000000000;
  while (std::isspace(static_cast<unsigned char>(*s))) ++s;
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  int64_t v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) v = std::min(v * 10 + (*s - '0'), Cap);
  return negative ? -v : v;
}

}  // namespace

// Main thread only (the rotating buffers and the number settings are shared).
const char* FormatNumber(int32_t value, int digits, int shown, int minShown, bool grouping) {
  gNumBufIndex = (gNumBufIndex + 1) % NUMBUFFERS;
  char* out = gNumBuf[gNumBufIndex];
  digits = CheckedDigits(digits);
  shown = std::clamp(shown, 0, 9);
  minShown = std::clamp(minShown, 0, shown);

  const bool negative = value < 0;
  uint64_t mag = negative ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
  // Drop trailing zero decimals down to minShown. Decimals beyond the stored
  // ones are zero; callers rarely ask for them, and when they do (minShown
  // above digits) the formatter pads them.
  while (shown > minShown && (shown > digits || mag % Pow10(digits - shown + 1) == 0)) --shown;
  if (digits > shown) {
    const uint64_t div = Pow10(digits - shown);
    mag = (mag + div / 2) / div;  // halves away from zero
  }
  const int have = std::min(shown, digits);  // decimals held in mag now
  char plain[64];                            // at most 22 characters for an int32
  if (have > 0) {
    // The decimals with their leading zeros: 10^have plus them, without the
    // leading 1 (a fixed buffer, where a "%0*" width would let unoptimised
    // builds see no bound).
    char decimals[24];
    std::snprintf(decimals, sizeof decimals, "%llu", static_cast<unsigned long long>(Pow10(have) + mag % Pow10(have)));
    std::snprintf(plain, sizeof plain, "%s%llu.%s", negative ? "-" : "",
                  static_cast<unsigned long long>(mag / Pow10(have)), decimals + 1);
  } else {
    std::snprintf(plain, sizeof plain, "%s%llu", negative ? "-" : "", static_cast<unsigned long long>(mag));
  }

  plat::NumberSettings s{};
  const int rval = plat::GetNumberSettings(&s) ? 1 : 0;
  if (!TVK_CHECK_AS(rval > 0, "rval>0", rval)) {
    CopyText(out, plain);
    return out;
  }
  const plat::NumberFormatOptions opt{shown,        s.LeadingZero, grouping ? 3 : 0,
                                      s.DecimalSep, s.ThousandSep, s.NegativeOrder};
  const int error = plat::FormatNumberText(plain, opt, out, NUMBUFLEN) ? 1 : 0;
  if (!TVK_CHECK_AS(error != 0, "error!=0", error)) CopyText(out, plain);
  return out;
}

// Any thread. The value is saturated to the int32 range, so an overlong text
// fails the caller's range check instead of wrapping into range.
int32_t ParseNumber(const char* text, int digits, bool allowNotes, bool* error) {
  bool ignored = false;
  if (!error) error = &ignored;
  *error = false;
  if (!text) {
    *error = true;
    return 0;
  }
  digits = CheckedDigits(digits);
  const char* s = text;
  while (*s == ' ') ++s;
  const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(*s)));
  if (allowNotes && u >= 'A' && u <= 'G') return NoteValue(s, digits);

  // Either '.' or ',' is the decimal separator, whatever the locale.
  const char* sep = std::strpbrk(s, ".,");
  const int64_t whole = LeadingInteger(s);
  int64_t v = whole * static_cast<int64_t>(Pow10(digits));
  bool minus = false;
  if (whole == 0) {
    // "-0.25" keeps its sign through the zero integer part; anything else
    // must start with a zero or with the separator.
    const char* c = s;
    if (*c == '-') {
      minus = true;
      ++c;
    }
    if (!(*c == '0' || (sep && c == sep))) {
      *error = true;
      return 0;
    }
  } else if (!sep) {
    return Saturate(v);
  }
  if (sep) {
    const int sign = whole < 0 ? -1 : 1;
    const char* f = sep + 1;
    for (int k = 0; k < digits && *f >= '0' && *f <= '9'; ++k, ++f)
      v += sign * (*f - '0') * static_cast<int64_t>(Pow10(digits - k - 1));
  }
  if (minus) v = -v;
  return Saturate(v);
}

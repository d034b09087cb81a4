// The user's number-format settings and locale number formatting.
//
// The settings are those a user sets for numbers in the desktop's regional
// options: decimal separator, thousands separator, digit grouping, the
// negative-number format and whether a leading zero is shown. By default they
// come from the process locale (localeconv() after the program's setlocale);
// tests and callers may replace them. The formatter turns a plain number text
// such as "-1234.5" into its localised form.
//
// Main thread only: the settings are process-wide and localeconv() is not
// thread-safe.
#pragma once
#include <cstddef>

namespace plat {

// Negative-number formats.
enum NegativeOrder {
  NEG_PARENS = 0,         // "(1.1)"
  NEG_LEADING = 1,        // "-1.1"
  NEG_LEADING_SPACE = 2,  // "- 1.1"
  NEG_TRAILING = 3,       // "1.1-"
  NEG_TRAILING_SPACE = 4  // "1.1 -"
};

// Digit grouping: 0 none, 1-9 groups of that many digits, 32 groups of three
// then of two ("12,34,567").
constexpr int GROUPING_THREE_TWO = 32;

struct NumberSettings {
  char DecimalSep[8];   // UTF-8, NUL-terminated (e.g. "." or ",")
  char ThousandSep[8];  // may be empty
  int Grouping;
  int NegativeOrder;  // 0-4, see NegativeOrder
  int LeadingZero;    // 1: "0.5", 0: ".5"
};

// Options of one formatting call.
struct NumberFormatOptions {
  int NumDigits;    // decimals shown, 0-9: the text is rounded (halves up) or padded
  int LeadingZero;  // 0 or 1
  int Grouping;     // as NumberSettings::Grouping
  const char* DecimalSep;
  const char* ThousandSep;
  int NegativeOrder;  // 0-4
};

// The current settings: the replacement when one is set, else read from the
// process locale now. false when they cannot be obtained.
bool GetNumberSettings(NumberSettings* out);
// Replaces the settings (e.g. German: ',' decimal, '.' thousands).
void SetNumberSettings(const NumberSettings& s);
// Goes back to reading the settings from the process locale.
void UseLocaleNumberSettings();
// Formats a plain number text: optional '-', digits, optional '.' and digits
// (at least one digit in all). Writes the NUL-terminated result to out and
// returns true; false for a malformed text, invalid options, over 190
// integer digits or a result that does not fit in `size` bytes. A value that
// is zero once rounded is shown without a sign. Does not allocate.
bool FormatNumberText(const char* number, const NumberFormatOptions& opt, char* out, size_t size);

}  // namespace plat

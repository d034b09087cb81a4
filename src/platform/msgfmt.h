// Message formatting: FormatMessage-style inserts and a printf-style path.
//
// Message texts with numbered inserts are formatted by FormatMsgText:
//   %1 .. %99      argument n as text (integers in decimal, strings as they are)
//   %n!fmt!        argument n through the printf conversion fmt, e.g. %1!d!,
//                  %2!3d!, %1!lu!, %1!-8s!, %3!08X!
//   %%  -> '%'     %n -> newline      %r -> carriage return    %t -> tab
//   %.  -> '.'     %! -> '!'          %space -> ' '            %0 ends the text
// Any other character after '%' is copied without the '%'; a '%' at the very
// end is copied as it is.
//
// An insert whose argument is missing is left as written ("%3" or "%3!d!"
// stays in the text), so a text formatted with too few arguments still shows
// where the gap is, and nothing is read beyond the arguments given.
//
// The fmt of %n!fmt! is [flags][width][.precision][length]conversion with
// flags from "-+ #0", width and precision of at most 255 (3 digits),
// length h, hh, l, ll, I64, j, z or t, and conversion d, i, u, o, x, X, c or s.
// Integer conversions without a 64-bit length (ll, I64, j, z, t) take the low
// 32 bits of the argument, h the low 16 and hh the low 8, as the 32-bit
// formatter would. Flags that printf leaves undefined for a conversion ('#'
// outside o/x/X, '0' on c and s) and a precision on c are dropped. A string
// argument given to an integer conversion is inserted as text (width and '-'
// still apply); an integer given to %s is inserted in decimal. A fmt outside
// this grammar leaves the insert as written; a '!' without its closing '!'
// is plain text after a plain insert.
//
// Any thread may call these functions; they only allocate the result.
#pragma once
#include <concepts>
#include <cstdarg>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// One argument of a message: a 64-bit integer or a string. Built implicitly
// from any integer type and from strings; a string argument refers to the
// caller's text, which must outlive the formatting call (as the arguments of
// an initializer list do).
struct MsgArg {
  enum Kind : uint8_t { Int, Str };
  Kind Type;
  int64_t Value;
  std::string_view Text;

  template <std::integral T>
  MsgArg(T v) : Type(Int), Value(static_cast<int64_t>(v)) {}        // NOLINT(google-explicit-constructor)
  MsgArg(const char* s) : Type(Str), Value(0), Text(s ? s : "") {}  // NOLINT
  MsgArg(const std::string& s) : Type(Str), Value(0), Text(s) {}    // NOLINT
  MsgArg(std::string_view s) : Type(Str), Value(0), Text(s) {}      // NOLINT
};

std::string FormatMsgText(const char* text, std::span<const MsgArg> args);
std::string FormatMsgText(const char* text, std::initializer_list<MsgArg> args);

// printf-style formatting into a string (vsnprintf, any length).
std::string FormatPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatPrintfV(const char* fmt, va_list ap);

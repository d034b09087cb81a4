#include "platform/msgfmt.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A parsed %n!fmt! conversion.
struct InsertConv {
  std::string Flags;
  int Width = -1;  // -1: none
  int Prec = -1;   // -1: none
  int Bits = 32;   // argument width for integer conversions
  char Conv = 's';
};

constexpr int kMaxField = 255;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSigned(char c) { return c == 'd' || c == 'i'; }

// Reads up to three digits at f[i]; false when there are more or the number
// exceeds kMaxField, so that no insert can grow without bound.
bool ReadField(std::string_view f, size_t& i, int& out) {
  size_t start = i;
  int v = 0;
  while (i < f.size() && IsDigit(f[i])) {
    if (i - start == 3) return false;
    v = v * 10 + (f[i] - '0');
    ++i;
  }
  if (i == start) return true;
  if (v > kMaxField) return false;
  out = v;
  return true;
}

bool ParseConv(std::string_view f, InsertConv& c) {
  size_t i = 0;
  while (i < f.size() && f[i] != '\0' && std::strchr("-+ #0", f[i])) c.Flags.push_back(f[i++]);
  if (!ReadField(f, i, c.Width)) return false;
  if (i < f.size() && f[i] == '.') {
    ++i;
    c.Prec = 0;
    if (!ReadField(f, i, c.Prec)) return false;
  }
  std::string_view rest = f.substr(i);
  if (rest.starts_with("hh")) {
    c.Bits = 8;
    i += 2;
  } else if (rest.starts_with("h")) {
    c.Bits = 16;
    i += 1;
  } else if (rest.starts_with("ll") || rest.starts_with("I64")) {
    c.Bits = 64;
    i += rest[0] == 'I' ? 3u : 2u;
  } else if (rest.starts_with("I32")) {
    i += 3;
  } else if (rest.starts_with("l")) {
    i += 1;
  } else if (!rest.empty() && std::strchr("jzt", rest[0]) && rest[0] != '\0') {
    c.Bits = 64;
    i += 1;
  }
  if (i + 1 != f.size()) return false;
  c.Conv = f[i];
  return c.Conv != '\0' && std::strchr("diuoxXcs", c.Conv) != nullptr;
}

// Pads (and for a precision, cuts) a text as %-W.Ps would.
void AppendPadded(std::string& out, std::string_view s, const InsertConv& c, bool usePrec) {
  if (usePrec && c.Prec >= 0 && static_cast<size_t>(c.Prec) < s.size()) s = s.substr(0, static_cast<size_t>(c.Prec));
  size_t pad = c.Width > 0 && static_cast<size_t>(c.Width) > s.size() ? static_cast<size_t>(c.Width) - s.size() : 0;
  bool left = c.Flags.find('-') != std::string::npos;
  if (!left) out.append(pad, ' ');
  out.append(s);
  if (left) out.append(pad, ' ');
}

int64_t Narrow(int64_t v, int bits, bool isSigned) {
  switch (bits) {
    case 8: return isSigned ? static_cast<int8_t>(v) : static_cast<int64_t>(static_cast<uint8_t>(v));
    case 16: return isSigned ? static_cast<int16_t>(v) : static_cast<int64_t>(static_cast<uint16_t>(v));
    case 32: return isSigned ? static_cast<int32_t>(v) : static_cast<int64_t>(static_cast<uint32_t>(v));
    default: return v;
  }
}

void AppendInt(std::string& out, int64_t value, const InsertConv& c) {
  // Keep only what printf defines for this conversion.
  std::string printfFormat = "%";
  for (char fl : c.Flags) {
    if (c.Conv == 'c' && fl != '-') continue;
    if (fl == '#' && !(c.Conv == 'o' || c.Conv == 'x' || c.Conv == 'X')) continue;
    printfFormat.push_back(fl);
  }
  if (c.Width >= 0) printfFormat += std::to_string(c.Width);
  if (c.Prec >= 0 && c.Conv != 'c') printfFormat += "." + std::to_string(c.Prec);
  char buf[3 * kMaxField];  // width and precision are at most 255 each
  int n;
  if (c.Conv == 'c') {
    printfFormat.push_back('c');
    n = std::snprintf(buf, sizeof buf, printfFormat.c_str(), static_cast<int>(static_cast<unsigned char>(value)));
  } else {
    printfFormat += "ll";
    printfFormat.push_back(c.Conv);
    int64_t v = Narrow(value, c.Bits, IsSigned(c.Conv));
    if (IsSigned(c.Conv))
      n = std::snprintf(buf, sizeof buf, printfFormat.c_str(), static_cast<long long>(v));
    else
      n = std::snprintf(buf, sizeof buf, printfFormat.c_str(), static_cast<unsigned long long>(v));
  }
  if (n <= 0) return;
  out.append(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

void AppendArg(std::string& out, const MsgArg& a, const InsertConv* c) {
  if (!c) {
    if (a.Type == MsgArg::Str)
      out.append(a.Text);
    else
      out += std::to_string(a.Value);
    return;
  }
  if (a.Type == MsgArg::Str) {
    AppendPadded(out, a.Text, *c, c->Conv == 's');
  } else if (c->Conv == 's') {
    AppendPadded(out, std::to_string(a.Value), *c, true);
  } else {
    AppendInt(out, a.Value, *c);
  }
}

}  // namespace

std::string FormatMsgText(const char* text, std::span<const MsgArg> args) {
  std::string out;
  if (!text) return out;
  std::string_view t(text);
  size_t i = 0;
  while (i < t.size()) {
    char ch = t[i];
    if (ch != '%') {
      out.push_back(ch);
      ++i;
      continue;
    }
    if (i + 1 == t.size()) {  // a lone '%' at the end
      out.push_back('%');
      break;
    }
    char e = t[i + 1];
    if (e == '0') break;
    if (!IsDigit(e)) {
      switch (e) {
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        default: out.push_back(e); break;  // %% %. %! %space and anything else
      }
      i += 2;
      continue;
    }
    // %1 .. %99, optionally followed by !fmt!
    size_t start = i;
    size_t j = i + 1;
    int n = t[j++] - '0';
    if (j < t.size() && IsDigit(t[j])) n = n * 10 + (t[j++] - '0');
    InsertConv conv;
    bool hasConv = false;
    size_t end = j;
    if (j < t.size() && t[j] == '!') {
      size_t close = t.find('!', j + 1);
      if (close != std::string_view::npos) {
        end = close + 1;
        hasConv = ParseConv(t.substr(j + 1, close - j - 1), conv);
        if (!hasConv) {  // not a conversion we know: keep it as written
          out.append(t.substr(start, end - start));
          i = end;
          continue;
        }
      }
    }
    if (static_cast<size_t>(n) > args.size()) {
      out.append(t.substr(start, end - start));  // missing argument: as written
    } else {
      AppendArg(out, args[static_cast<size_t>(n) - 1], hasConv ? &conv : nullptr);
    }
    i = end;
  }
  return out;
}

std::string FormatMsgText(const char* text, std::initializer_list<MsgArg> args) {
  return FormatMsgText(text, std::span<const MsgArg>(args.begin(), args.size()));
}

std::string FormatPrintfV(const char* fmt, va_list ap) {
  if (!fmt) return {};
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, ap2);
  va_end(ap2);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, ap);
  return out;
}

std::string FormatPrintf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string out = FormatPrintfV(fmt, ap);
  va_end(ap);
  return out;
}

#include "main/text.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// Windows-1252 bytes 0x80-0x9F; the unassigned ones keep their C1 value.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Decodes one UTF-8 sequence at s[i]; 0 when it is not valid there.
size_t DecodeUtf8(std::string_view s, size_t i, char32_t* cp) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    *cp = c;
    return 1;
  }
  size_t n;
  char32_t v, min;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, v = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, v = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, v = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    v = v << 6 | (d & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return n;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The code points of the text, by the rule.
std::vector<char32_t> CodePoints(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  if (IsUtf8(s)) {
    for (size_t i = 0; i < s.size();) {
      char32_t cp = 0;
      i += DecodeUtf8(s, i, &cp);
      out.push_back(cp);
    }
  } else {
    for (char ch : s) {
      unsigned char c = static_cast<unsigned char>(ch);
      out.push_back(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
    }
  }
  return out;
}

bool IsControl(char32_t cp) { return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0); }

void AppendEscaped(std::string& out, char32_t cp) {
  char buf[16];
  switch (cp) {
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    case '\r': out += "\\r"; return;
    default: break;
  }
  if (cp < 0x80)
    std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(cp));
  else
    std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(cp));
  out += buf;
}

char32_t Fold(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    char32_t cp;
    size_t n = DecodeUtf8(bytes, i, &cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string TextToUtf8(std::string_view bytes) {
  if (IsUtf8(bytes)) return std::string(bytes);
  std::string out;
  for (char32_t cp : CodePoints(bytes)) AppendUtf8(out, cp);
  return out;
}

std::string TextForLine(std::string_view bytes) {
  std::string out;
  for (char32_t cp : CodePoints(bytes)) {
    if (IsControl(cp))
      AppendEscaped(out, cp);
    else
      AppendUtf8(out, cp);
  }
  return out;
}

std::string ElideMiddle(std::string_view bytes, size_t maxChars) {
  std::vector<char32_t> cps = CodePoints(bytes);
  if (cps.size() <= maxChars || maxChars < 3) return TextToUtf8(bytes);
  // The start and the end stay: a path's folder and its file name.
  const size_t keep = maxChars - 1, head = keep / 2, tail = keep - head;
  std::string out;
  for (size_t i = 0; i < head; ++i) AppendUtf8(out, cps[i]);
  AppendUtf8(out, U'\u2026');
  for (size_t i = cps.size() - tail; i < cps.size(); ++i) AppendUtf8(out, cps[i]);
  return out;
}

std::string TextForBlock(std::string_view bytes) {
  std::string out;
  std::vector<char32_t> cps = CodePoints(bytes);
  for (size_t i = 0; i < cps.size(); ++i) {
    char32_t cp = cps[i];
    if (cp == '\r') {
      out += '\n';
      if (i + 1 < cps.size() && cps[i + 1] == '\n') ++i;
    } else if (cp == '\n' || cp == '\t' || !IsControl(cp)) {
      AppendUtf8(out, cp);
    } else {
      AppendEscaped(out, cp);
    }
  }
  return out;
}

int CheckEnteredName(std::string_view utf8) {
  if (!IsUtf8(utf8)) return 1482;
  for (char32_t cp : CodePoints(utf8))
    if (IsControl(cp)) return 1482;
  return 0;
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
  std::vector<char32_t> x = CodePoints(a), y = CodePoints(b);
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (Fold(x[i]) != Fold(y[i])) return false;
  return true;
}

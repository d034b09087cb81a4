#include "platform/timesep.h"

#include <langinfo.h>

#include <cstring>
#include <mutex>
#include <string>

namespace plat {

namespace {

// The text between the hour and the minute conversion of a strftime format
// such as "%H:%M:%S" or "%I.%M.%S %p".
std::string SeparatorOf(const char* fmt) {
  if (!fmt) return ":";
  const char* h = nullptr;
  for (const char* p = fmt; *p; ++p) {
    if (p[0] == '%' && (p[1] == 'H' || p[1] == 'I' || p[1] == 'k' || p[1] == 'l')) {
      h = p + 2;
      break;
    }
  }
  if (!h) return ":";
  const char* m = std::strstr(h, "%M");
  if (!m || m == h || m - h > 4) return ":";
  return std::string(h, m);
}

}  // namespace

const char* TimeSeparator() {
  static std::string sep;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string fmt = nl_langinfo(T_FMT);
    // A format that is itself a composite ("%T", "%R") uses ':'.
    sep = SeparatorOf(fmt.c_str());
  });
  return sep.c_str();
}

}  // namespace plat

#include "assert/check.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace {

void DefaultReporter(const CheckFailure& f) {
  char buf[512];
  FormatCheckSummary(f, buf, sizeof buf);
  std::fprintf(stderr, "Internal error: %s\n", buf);
}

std::atomic<CheckReporter> gReporter{DefaultReporter};

}  // namespace

CheckReporter SetCheckReporter(CheckReporter r) { return gReporter.exchange(r ? r : DefaultReporter); }

int FormatCheckSummary(const CheckFailure& f, char* buf, int size) {
  return std::snprintf(buf, static_cast<size_t>(size), "%s %d.%d.%d: %d, Err=%d, %s=%d, %s", f.Module, 3, 1, 12, f.Line,
                       f.Err, f.VarName, static_cast<int>(f.Value), f.Expr);
}

bool CheckFail(const char* module, int line, const char* expr, const char* var, int64_t value) {
  CheckFailure f{module, line, expr, var, value, errno};
  gReporter.load()(f);
  return false;
}

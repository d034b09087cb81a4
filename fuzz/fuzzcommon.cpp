#include "fuzz/fuzzcommon.h"

#include <cstdio>
#include <cstdlib>

#include "assert/check.h"
#include "engine/startup.h"

namespace {
// An internal error on any input is a finding: stop with the summary.
void AbortOnCheck(const CheckFailure& f) {
  char buf[512];
  FormatCheckSummary(f, buf, sizeof buf);
  std::fprintf(stderr, "internal error: %s\n", buf);
  std::abort();
}
}  // namespace

void FuzzInit() {
  static bool done = false;
  if (done) return;
  done = true;
  SetCheckReporter(AbortOnCheck);
  // The background target loads its own libraries.
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) std::abort();
}

#include <gtest/gtest.h>

#include <mutex>

#include "common/checks.h"
#include "engine/startup.h"

namespace {
std::mutex gMutex;
int gExpectDepth = 0;
std::vector<RecordedCheck> gSeen;

void TestReporter(const CheckFailure& f) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gExpectDepth > 0) {
    gSeen.push_back({f.Module, f.Expr, f.VarName, static_cast<long long>(f.Value)});
    return;
  }
  char buf[512];
  FormatCheckSummary(f, buf, sizeof buf);
  ADD_FAILURE() << "unexpected internal error: " << buf;
}
}  // namespace

ExpectCheckFailures::ExpectCheckFailures() {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gExpectDepth++ == 0) gSeen.clear();
}
ExpectCheckFailures::~ExpectCheckFailures() {
  std::lock_guard<std::mutex> lock(gMutex);
  --gExpectDepth;
}
const std::vector<RecordedCheck>& ExpectCheckFailures::Failures() const { return gSeen; }
bool ExpectCheckFailures::Saw(const std::string& expr) const {
  for (const auto& r : gSeen)
    if (r.Expr == expr) return true;
  return false;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  SetCheckReporter(TestReporter);
  // The libraries are loaded by the tests that need them, from folders of
  // their choosing.
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return 1;
  int rc = RUN_ALL_TESTS();
  EngineShutdown();
  return rc;
}

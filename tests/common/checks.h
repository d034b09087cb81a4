// Test support for internal-error checks: a failed check fails the running
// test unless the test expects it with an ExpectCheckFailures scope.
#pragma once
#include <string>
#include <vector>

#include "assert/check.h"

struct RecordedCheck {
  std::string Module;
  std::string Expr;
  std::string VarName;
  long long Value;
};

class ExpectCheckFailures {
 public:
  ExpectCheckFailures();
  ~ExpectCheckFailures();
  const std::vector<RecordedCheck>& Failures() const;
  bool Saw(const std::string& expr) const;
};

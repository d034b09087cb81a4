// The internal-error check.
//
// Every module checks its invariants with TVK_CHECK(expression, variable):
// when the expression is false the failure is handed to the current reporter
// with the expression text, the variable's name and value, the last system
// error, the module name and the line, and execution continues. The module
// name comes from TVK_MODULE, which the build defines per module folder.
// Any thread may fail a check; the reporter must be safe for that.
#pragma once
#include <cstdint>

#ifndef TVK_MODULE
#define TVK_MODULE "unknown"
#endif

struct CheckFailure {
  const char* Module;
  int Line;
  const char* Expr;
  const char* VarName;
  int64_t Value;
  int Err;  // errno when the check failed
};

using CheckReporter = void (*)(const CheckFailure&);

// Replaces the reporter; returns the previous one. nullptr restores the default,
// which prints the one-line summary to stderr.
CheckReporter SetCheckReporter(CheckReporter r);
// Formats the one-line summary "module 3.1.12: line, Err=e, var=value, expr".
int FormatCheckSummary(const CheckFailure& f, char* buf, int size);
// Reports a failure; always returns false so the macro can be used as a value.
bool CheckFail(const char* module, int line, const char* expr, const char* var, int64_t value);

#define TVK_CHECK(expr, var) ((expr) ? true : CheckFail(TVK_MODULE, __LINE__, #expr, #var, static_cast<int64_t>(var)))

// The same with the expression text given explicitly, where the reported text
// is fixed (it names the invariant as the debug records have always shown it).
#define TVK_CHECK_AS(expr, text, var) \
  ((expr) ? true : CheckFail(TVK_MODULE, __LINE__, text, #var, static_cast<int64_t>(var)))

// Crash records: a fault signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) or
// an uncaught C++ exception writes one debug record, without presets, to
// "crash.tvd" in the crash folder, using only async-signal-safe calls, and
// the process then dies as the signal would have it. At the next start the
// record joins the ring and the report is shown for it.
//
// The record: module "main", line 1361, expression "0", pairs ("signal",
// number; 0 for an exception), ("si_code", code), ("si_addr", the low and
// then the high 32 bits of the fault address); the state words are those
// at the time the handlers were installed.
#pragma once
#include <string>

// $XDG_STATE_HOME/Sonavel, else $HOME/.local/state/Sonavel (plat::UserFolder:
// private, and checked where it falls back to a shared folder); "" when there
// is none (then no crash records are kept).
std::string CrashFolder();
// Creates the folder and installs the handlers. Main thread, at start-up.
bool InstallCrashHandlers(const std::string& folder);
// Moves a crash record left by an earlier run into the ring and removes its
// file; gives the report's summary line and the signal that ended the run
// (0 for an uncaught exception). False when there was none.
bool TakeCrashRecord(const std::string& folder, std::string* summary, int* signal = nullptr);

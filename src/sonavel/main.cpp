// sonavel: the desktop program.
#include <cstdio>
#include <exception>
#include <new>

#include "mwnd/Startup.h"

int main(int argc, char** argv) {
  int rc;
  // What is thrown outside the event loop (before the window, after it) is
  // told on stderr, never an abort.
  try {
    rc = RunProgram(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Sonavel: %s\n", e.what());
    return 1;
  }
  if (rc == 100) RestartProgram();
  return rc;
}

// sonavel: the desktop program.
#include "mwnd/Startup.h"

int main(int argc, char** argv) {
  int rc = RunProgram(argc, argv);
  if (rc == 100) RestartProgram();
  return rc;
}

#include "cli/cliutil.h"

#include <cstdio>

#include "main/strtab.h"

int ReportFileMessage(int id, const std::string& path) {
  std::fprintf(stderr, "%s\n", FormatMsg(id, {path}).c_str());
  return EXIT_REFUSED;
}

int ReportError(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  return EXIT_REFUSED;
}

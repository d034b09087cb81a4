#include "cli/cliutil.h"

#include <cstdio>

#include "file/fileformat.h"
#include "main/strtab.h"

int ReportFileMessage(int id, const std::string& path) {
  std::fprintf(stderr, "%s\n", FileMessageText(id, path).c_str());
  return EXIT_REFUSED;
}

int ReportError(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  return EXIT_REFUSED;
}

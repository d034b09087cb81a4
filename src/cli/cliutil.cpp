#include "cli/cliutil.h"

#include <cstdio>

#include "file/fileformat.h"
#include "main/strtab.h"
#include "main/text.h"

std::string Shown(const std::string& arg) { return TextForLine(arg); }

int ReportFileMessage(int id, const std::string& path) {
  std::fprintf(stderr, "%s\n", FileMessageText(id, Shown(path)).c_str());
  return EXIT_REFUSED;
}

int ReportError(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  return EXIT_REFUSED;
}

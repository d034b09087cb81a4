#include "cli/cmd_backgrounds.h"

#include <cstdio>

#include "data/backgrounds/bglib.h"

int CmdBackgrounds(const std::string& libdir) {
  ClearBackgroundLibraries();
  LoadBackgroundLibraries(libdir);
  for (int i = 0; i < NumAmbix; ++i) {
    const AmbixRecord& r = AmbixInfo[i];
    std::printf("%d\t%s\t%d\t%s\t%s\n", i, r.LibraryFile, r.Number, r.Name, r.HasParam ? r.ParamName : "-");
  }
  return 0;
}

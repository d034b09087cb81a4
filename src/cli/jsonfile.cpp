#include "cli/jsonfile.h"

#include <cstdio>

#include "cli/cliutil.h"
#include "data/backgrounds/bgprobe.h"
#include "main/text.h"

void WarnAboutBackgrounds(const std::vector<Preset>& presets) {
  for (const Preset& p : presets) {
    if (p.data.Background >= AMBIX_NONE) continue;
    std::string name = TextForLine(p.Name), file = TextForLine(p.data.BackgroundFile);
    int rc = ProbeLibraryBackground(p.data.BackgroundFile, p.data.Background);
    if (rc == 1331)
      std::fprintf(stderr,
                   "Warning: preset '%s': no background library '%s' is here; it plays without its background.\n",
                   name.c_str(), file.c_str());
    else if (rc)
      std::fprintf(stderr, "Warning: preset '%s': '%s' has no background #%d; it plays without its background.\n",
                   name.c_str(), file.c_str(), p.data.Background);
  }
}

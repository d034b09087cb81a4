// The offered playback PCMs.
#include "platform/pcmnames.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdlib>

namespace plat {

bool IsOfferedPcm(const std::string& name) {
  if (name == "default" || name == "pipewire" || name == "pulse") return true;
  return name.rfind("plughw:", 0) == 0 || name.rfind("sysdefault:", 0) == 0;
}

std::vector<std::string> PlaybackPcmNames() {
  std::vector<std::string> names{"default"};
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints) return names;
  for (void** h = hints; *h; ++h) {
    char* name = snd_device_name_get_hint(*h, "NAME");
    char* io = snd_device_name_get_hint(*h, "IOID");
    // No IOID means both directions.
    if (name && (!io || std::string(io) == "Output") && IsOfferedPcm(name) &&
        std::find(names.begin(), names.end(), name) == names.end())
      names.emplace_back(name);
    std::free(name);
    std::free(io);
  }
  snd_device_name_free_hint(hints);
  return names;
}

}  // namespace plat

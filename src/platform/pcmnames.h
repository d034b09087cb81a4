// The ALSA PCMs a user may choose for playback, from ALSA's device hints:
// "default", the sound servers ("pipewire", "pulse") when present, and each
// card's "plughw:" and "sysdefault:" devices. The raw "hw:" devices and the
// surround and mixing plugins are left out: they reject the program's
// formats or duplicate what the listed ones offer.
//
// Main thread only.
#pragma once
#include <string>
#include <vector>

namespace plat {

// Whether a hint's name is offered (the rule above).
bool IsOfferedPcm(const std::string& name);
// The offered playback PCMs in ALSA's order, "default" first (always
// present, even when ALSA lists nothing).
std::vector<std::string> PlaybackPcmNames();

}  // namespace plat

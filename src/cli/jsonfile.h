// The command-line tool's side of reading JSON presets: the reader itself is
// presetjson/jsonfile.h; a preset whose background is not here is warned
// about, as it would play without it.
#pragma once
#include <vector>

#include "main/model.h"
#include "presetjson/jsonfile.h"

// Warns on stderr about each preset whose library background no library
// here has (the library file missing, or without that number): it would
// play without its background.
void WarnAboutBackgrounds(const std::vector<Preset>& presets);

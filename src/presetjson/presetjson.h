// Presets as JSON: the full form printed by `show --json` (every field of the
// records, parameters as an array in pid order, stored units) and the short
// authoring form accepted by `build` (omitted fields take the defaults of a
// new preset, parameters named by their display names, curves in display
// units). Main thread only.
#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "main/model.h"

// Colours (VisOpt.Colors) are written "#RRGGBB", red first as a person
// names them; read are "#RRGGBB" and, as older files have them, the stored
// blue-green-red value "0x00BBGGRR" or a number.
nlohmann::ordered_json PresetToJson(const Preset& p);

// A stored colour (0x00BBGGRR) as a person names it: "#RRGGBB".
std::string ColorRgbText(uint32_t stored);

// Fills an empty preset from JSON (full or authoring form). On failure returns
// false with a message naming the field, and leaves p released.
bool PresetFromJson(const nlohmann::json& j, Preset& p, std::string* error);

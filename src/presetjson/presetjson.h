// Presets as JSON: the full form printed by `show --json` (every field of the
// records, parameters as an array in pid order, stored units) and the short
// authoring form accepted by `build` (omitted fields take the defaults of a
// new preset, parameters named by their display names, curves in display
// units). Main thread only.
#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "main/curveclip.h"
#include "main/model.h"

// Colours (VisOpt.Colors) are written "#RRGGBB", red first as a person
// names them; read are "#RRGGBB" and, as older files have them, the stored
// blue-green-red value "0x00BBGGRR" or a number.
nlohmann::ordered_json PresetToJson(const Preset& p);

// A stored colour (0x00BBGGRR) as a person names it: "#RRGGBB".
std::string ColorRgbText(uint32_t stored);

// Fills an empty preset from JSON (full or authoring form). On failure returns
// false with a message naming the field, and leaves p released. The
// background's parameter is read in the table's own row 6.
bool PresetFromJson(const nlohmann::json& j, Preset& p, std::string* error);

// A copied curve as text: a preset in the authoring form of one segment
// (the length copied from) whose only named parameter is the curve, so that
// `build` takes it as it is and a person can edit it and paste it back:
//   {"Segment": [{"Length": 1000, "Voice": [{"Sound Volume":
//     {"Curve": [[0, 100], [25, 80, 17], [100, 0]]}}]}]}
// Times in percent of the segment, values in display units (Waveform's
// shape only), the weight where it is not 10.
nlohmann::ordered_json CurveClipToJson(const CurveClip& c);
// Reads that form back, or the bare parameter object ({"Sound Volume":
// {...}}): false with the reason (naming the field) when it is not one
// curve. The clip's values carry no Z half. `bg` is the background row of the
// preset the clip is for: row 6 is named, read and labelled in it.
bool CurveClipFromJson(const BackgroundParamRow& bg, const nlohmann::json& j, CurveClip* out, std::string* error);

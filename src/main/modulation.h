// The modulations of the preset editor, without widgets: which modulation a
// pane's "Modulation..." button opens, whether that modulation is on (its
// button reads "(ON)"), which of its period and phase are in use, and the
// ocean-waves choices of the noise modulation, which set period and phase
// too.
//
// A modulation is addressed by its base: the ParamNum of its depth; period
// and phase follow at base + 1 and base + 2.
//
// Main thread only (the editor's copy).
#pragma once
#include <cstdint>

#include "main/model.h"

constexpr int MOD_SOUND = PN_SNDMODDEPTH;      // 14
constexpr int MOD_BACKGROUND = PN_BGMODDEPTH;  // 17
constexpr int MOD_VISUAL = PN_VISMODDEPTH;     // 20
constexpr int MOD_VISUAL2 = PN_VISMOD2DEPTH;   // 23
constexpr int MOD_NOISE = PN_NOISEMODDEPTH;    // 26

// The modulation a pane's button opens, for the pane's ParamNum (the Visual
// tab's bottom pane, Visual Phase Difference, opens the second colour's);
// -1 when the parameter has none.
int ModulationBaseFor(int paramNum);
// Whether any node of the depth, in either channel, is non-zero for `voice`
// (the sound modulation belongs to a voice, the others to the segment).
bool ModulationIsOn(const Param* params, int voice, int base);
// Whether parameter paramNum of modulation `base` is in use: the depth
// always; period and phase not while the depth is the Easy choice "No
// modulation", and for the noise modulation only while its depth is
// user-defined (the ocean waves set period and phase themselves).
bool ModulationParamInUse(const Param* params, int voice, int base, int paramNum);
// The noise modulation's depth Easy choices 19..22 ("No modulation" and the
// three ocean waves): the ocean waves first set the period (3000, 2000, 1250
// ms, user-defined) and the phase (0, "In phase"), channels joined. Returns
// whether `easySel` is one of them (the caller then propagates depth,
// period and phase).
bool ApplyOceanWaves(Param* params, const Segment& seg, int easySel, int nodes);

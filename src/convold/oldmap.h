// How the parts of an old preset map onto the current records: background
// codes, parameters and their value factors, tracking types, and the easy
// selections that old per-voice bytes stand for.
//
// Main thread only (the tables are constant, but the results are applied to
// records the main thread owns).
#pragma once
#include <cstdint>

#include "convold/oldformat.h"
#include "main/model.h"

// Background of an old code. Library backgrounds name "Ambix.dll" or
// "Ambiplus.dll" and a number; -1 is the user's WAV file (AMBIX_OTHER) from
// the path field; -2 and -3 are the noise background: no background, and the
// preset is converted in noise mode; 0, 110 and every other code give no
// background.
struct OldBackground {
  int32_t Background;   // number below 1024, AMBIX_NONE or AMBIX_OTHER
  const char* Library;  // library file name, or nullptr
  bool NoiseMode;
};
OldBackground MapOldBackground(int code);

// Where old parameter i of a segment goes (0..5 segment-wide, then 6 + 5 v + k
// for voice v, k = 0..4): the current pid and the factor its values are
// multiplied by. false for the old parameters that are not converted (2..5).
struct OldParamTarget {
  int Pid;
  int32_t Factor;
  int Voice;  // voice of the parameter, 0 for segment-wide ones
  int K;      // 0..4 for voice parameters, -1 for segment-wide ones
};
bool MapOldParam(int i, bool noiseMode, OldParamTarget* target);

// Whether old parameter i keeps its default curve instead: parameter 1
// outside noise mode when the preset has no library background; parameter 0
// (outside noise mode) and voice volumes when flat at 100; parameter 0 in
// noise mode and voice modulation depths when flat at 0.
bool OldParamKeepsDefault(int i, bool noiseMode, int32_t background, const OldParam& p);

// ParamDef row of an old tracking type 0..10 (rows 5 and 6 become the noise
// rows 8 and 9 in noise mode); -1 and an internal error ("n!=-1") otherwise.
int OldTypeRow(int type, bool noiseMode);

// EasySel of the Waveform parameter for old waveform codes 1..5; 0 for code 0
// (the default stays) and for codes the old program did not write.
int OldWaveformEasySel(int code);
constexpr int EASY_PHASE_180 = 15;  // "180 degrees out of phase"

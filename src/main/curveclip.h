// A curve copied in the preset editor and pasted elsewhere, without widgets:
// into the same parameter of another segment, voice or ear, or into another
// parameter of the same unit.
//
// Node times are fractions of the segment (0..10000), so a pasted curve is
// stretched or squeezed to the target segment's length: its shape fills the
// target segment as it filled the one it came from. Values are converted to
// the target's decimals (rounded half away from zero) and kept inside its
// Min..Max; Waveform's Z half stays the target's own where the curve brings
// none.
//
// The clipboard carries a clip in the program's own form (EncodeCurveClip,
// every field exact) beside JSON text (presetjson). Main thread only.
#pragma once
#include <cstdint>
#include <string>

#include "main/model.h"

struct CurveClip {
  int ParamNum = -1;      // the row it was copied from
  int Digits = 0;         // decimals of the values
  int Unit = 0;           // unit text id
  bool Z = false;         // the values carry Waveform's Z half
  int32_t Length = 1000;  // the segment's length it was copied from (hundredths of a minute)
  int NumNodes = 0;
  Node Nodes[MAXNODES] = {};
};

// The curve of record `p`, shown in a chart of row `paramNum` (row 6 from
// `bg`, the background row of the preset it lies in), in a segment `length`
// long.
CurveClip CopyCurve(const BackgroundParamRow& bg, const Param& p, int paramNum, int32_t length);
// Whether a clip holds a curve: row, decimals, length and 2..100 nodes from
// time 0 to 10000 that never go back, weights 0..20.
bool ValidCurveClip(const CurveClip& c);
// Writes the clip into record `target` of row `paramNum` (row 6 from `bg`,
// as for CopyCurve): 0, or 1520 when
// the rows' units differ (the target is unchanged). The record becomes a
// curve of its own (no tracking, no Easy choice); nodes past the new count
// are cleared.
int PasteCurve(const BackgroundParamRow& bg, const CurveClip& c, Param& target, int paramNum);

// The program's own clipboard form: bytes that DecodeCurveClip reads back
// (false for anything that is not a valid clip).
std::string EncodeCurveClip(const CurveClip& c);
bool DecodeCurveClip(const std::string& bytes, CurveClip* out);

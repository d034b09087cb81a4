// The preset editor's rules over a whole preset, without widgets: segments
// and voices added, deleted and moved within their limits, the segment ID,
// length and repeat edits, the linking of adjacent segments, the background
// parameter's rescaling and reduction, and the end check before OK.
//
// Linking keeps a preset playable across segment boundaries: the first node
// of a parameter equals the last node of the same parameter in the previous
// segment, a repeated segment ends where it starts, and a voice that the
// neighbouring segment does not have is silent at that boundary (its Sound
// Volume node there is 0). Only node values change, never times.
//
// Main thread only (the preset editor works on its private copy).
#pragma once
#include <cstdint>
#include <string>

#include "main/curveedit.h"
#include "main/model.h"

// What the preset editor returns: cancelled, OK without a change to the
// stored preset, OK with a change.
enum EditorResult { EDITOR_CANCELLED = 0, EDITOR_UNCHANGED = 1, EDITOR_CHANGED = 2 };

// What the rules take from the settings, and the edited preset's background
// row, which tracked parameters are recomputed in.
struct EditRules {
  bool Link = true;               // "LinkAdjacentSegmentsInPresetOptions"
  int Nodes = 3;                  // "NodesInNewParam": 2 or 3
  BackgroundParamRow Background;  // row 6 as the preset's background gives it
};

// --- Segments ----------------------------------------------------------------
// The ID of a new segment: the letter after the highest initial A..Y among
// the segments' IDs, "A" when there is none (lower-case, other and "Z"
// initials do not count).
std::string NextSegmentId(const PresetFixed& p);
// The list row of a segment: "ID\t<length with two decimals>\t<repeat>".
std::string SegmentRow(const Segment& s);

// Appends a segment after the last one (one voice, the current segment's
// length and noise setting, repeat 1, default curves) and links the
// previous last segment with it. 0, or 1283 at 25 segments.
int AddSegment(Preset& p, int current, const EditRules& r);
// Removes segment `index`; later segments move up and the segments around
// the new selection are linked with it. The only segment is replaced by a
// fresh one ("A", 10.00 minutes) and 1281 is returned. *select: the index to
// select now.
int DeleteSegment(Preset& p, int index, const EditRules& r, int* select);
// Swaps segments index and index + delta (delta -1 or 1) and links the
// moved segment's new neighbours with it. false when there is no neighbour.
bool MoveSegment(Preset& p, int index, int delta, const EditRules& r);
// Inserts a copy of a segment (its record and the parameters of its voices,
// which must not lie in p) after segment `after`, with the ID a new segment
// gets, and links it with its new neighbours as a moved segment is linked.
// 0, or 1283 at 25 segments.
int InsertSegment(Preset& p, int after, const Segment& seg, const Param* params, const EditRules& r);

// The edits of the segment fields, applied when the edit loses the focus:
// the new value, or `old` for input that is not valid.
// Length: a decimal number of minutes with two decimals, above 0, capped
// at 10000.00 minutes (hundredths of a minute).
int32_t SegmentLengthFromText(const std::string& text, int32_t old);
// Repeat: an unsigned integer above 0, capped at 10000.
int32_t SegmentRepeatFromText(const std::string& text, int32_t old);
// ID: one character of at most two bytes; false (keep the old ID) otherwise.
bool SegmentIdFromText(const std::string& text, char out[3]);
// Stores a repeat count; a segment that starts repeating has every
// parameter linked (it must end where it starts).
void SetSegmentRepeat(Preset& p, int seg, int32_t repeat, const EditRules& r);

// --- Voices ------------------------------------------------------------------
// Whether segment `seg` has the voice that `pid` belongs to (segment
// parameters are in every segment).
bool SegmentHasPid(const Segment& seg, int pid);
// The list row of voice v: "1".."9", "0" for the tenth.
std::string VoiceRow(int v);
// Adds a voice copied from `voice` (user-defined curves flattened to their
// first value, trackings inside the voice redirected to the new voice, a
// right channel shown becomes left) and links it with the neighbouring
// segments. 0, or 1284 at 10 voices.
int AddVoice(Preset& p, int seg, int voice, const EditRules& r);
// Removes voice `voice` of segment `seg`; later voices move down and their
// tracking sources with them. 0, or 1282 for the last voice. *select: the
// voice to select now.
int DeleteVoice(Preset& p, int seg, int voice, const EditRules& r, int* select);

// --- Linking -----------------------------------------------------------------
struct LinkResult {
  NodeRange Range;        // nodes of the parameter in `seg` that changed or were edited
  bool Restored = false;  // the moved node went back to 0 (a voice missing next door)
};
// Links parameter `pid` of segment `seg` after nodes first..last changed
// (NODES_ALL for the whole curve); `moved` is the node the user moved (-1:
// none). Tracked parameters in the other segments follow their sources,
// computed in the background row `bg`.
LinkResult LinkAdjacent(const BackgroundParamRow& bg, Preset& p, int seg, int pid, int first, int last, int moved);
// Links every parameter of a segment that does not track another: its
// first node into the previous segment, its last node into the next one,
// or the whole curve.
enum LinkSide { LINK_TO_PREVIOUS, LINK_TO_NEXT, LINK_WHOLE };
void LinkSegmentParams(const BackgroundParamRow& bg, Preset& p, int seg, LinkSide side);

// --- Background ----------------------------------------------------------------
// After the background parameter's definition changed from `oldRow` to
// `newRow` (the editor already reads the new one): in every segment the
// background parameter's untracked channels are rescaled to the new digits
// and clamped to its range, both channels take its limits, and an Easy
// choice of another group becomes the first choice of the new group.
void RescaleBackgroundParam(Preset& p, const ParamDefType& oldRow, const ParamDefType& newRow, int nodes);
// The same for one segment's parameters (a segment pasted from a preset of
// another background).
void RescaleSegmentBackgroundParam(Param* params, const Segment& seg, const ParamDefType& oldRow,
                                   const ParamDefType& newRow, int nodes);
// For a background without a parameter: both channels of the background
// parameter in every segment become two nodes of the first node's value.
void ReduceBackgroundParam(Preset& p);

// --- OK ------------------------------------------------------------------------
// The first parameter still sounding at the end of the last segment (its
// last node not 0), in the order Sound Volume of each voice (left, right),
// Background Volume (unless the background is None), Noise Volume; -1 when
// the preset ends in silence.
int EndCheckPid(const Preset& p);

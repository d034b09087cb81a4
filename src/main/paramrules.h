// The rules of the parameter pages, without widgets: which parameter a pane
// shows and which of its controls, the tab captions and pane name lines, the
// Easy choices with their extra effects, and separating and joining a
// parameter's left and right channels.
//
// The pages bind these to widgets; everything that changes `prg` here says
// which parameters changed, so the caller can propagate them (tracking,
// linking, charts, test playback) in that order. A `bg` argument is the
// edited preset's background row (row 6 as its background gives it).
//
// Main thread only (the preset editor's copy).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "main/model.h"

// --- What a pane shows ----------------------------------------------------------
// Whether parameter `paramNum` of `voice` is in use: the filter of a sine
// wave, a modulation's period and phase without modulation (the noise's
// unless its depth is user-defined), the noise colour without noise, and the
// background's parameter and phase shift without a background (or, for the
// parameter, with a library sound that declares none) are not.
bool ParamInUse(const BackgroundParamRow& bg, const Param* params, const PresetFixed& p, int voice, int paramNum);

// The controls of a pane for parameter `paramNum` of `voice`. A parameter
// not in use shows nothing; one with an Easy choice only its combo box.
struct PaneView {
  bool InUse = false;
  bool Easy = false;        // the Easy combo box
  bool Chart = false;       // the chart (with the controls below)
  bool Separate = false;    // "Set left/right separately"
  bool Radios = false;      // Left / Right
  bool Track = false;       // "Track:"
  bool TrackList = false;   // the destination list and "..."
  bool Modulation = false;  // "Modulation..."
  bool Enabled = true;      // false: every control disabled (Background Volume without a background)
  bool ReadOnly = false;    // the chart only shows (tracking, derived beat)
  bool Derived = false;     // the beat as right pitch minus left pitch
  int Channel = 0;          // 0 joined, 1 left, 2 right
  int Pid = -1;             // the record shown (the right one for channel 2)
  int EasySel = 0;          // the choice the combo box shows
};
PaneView PaneContents(const BackgroundParamRow& bg, const Param* params, const PresetFixed& p, int voice, int paramNum);

// The modulation (ParamNum of its depth) that the "Modulation..." button of
// parameter `paramNum`'s pane opens, or -1 when it has none. The Visual
// tab's bottom pane (Visual Phase Difference) carries the second colour's.
int ModulationOfPane(int paramNum);
// Whether any node of the modulation's depth (either channel) is not 0.
bool ModulationOn(const Param* params, int voice, int depthParamNum);
// "Mo&dulation (ON)...", "&Modulation (ON)..." or "M&odulation (ON)..." by
// pane (0 top .. 2 bottom), "(OFF)" when off.
std::string ModulationButtonText(int pane, bool on);

// --- Captions -------------------------------------------------------------------
// The caption of tab t (0 General .. 5 Visual), `name` its bare name: the
// per-voice tabs (1, 2) add the segment ID and the voice row when the
// preset and the segment have several of them, the segment tabs (3..5) the
// segment ID when there are several segments.
std::string TabCaption(int t, const std::string& name, const std::string& segmentId, const std::string& voiceRow,
                       int segments, int voices);
// A pane's name line: the parameter's name, "(Voice n)" for a voice's
// parameter when the segment has several voices, ": Left" / ": Right" for
// one channel of a separated parameter.
std::string PaneNameLine(const std::string& name, int paramNum, int voice, int voices, int channel);

// --- Easy choices -----------------------------------------------------------------
// The EasySel values the combo box of Easy group `group` lists, in table
// order, then 0 ("User-defined..."); empty for group 0.
std::vector<int> EasyChoices(int group);
// Applies Easy choice `easySel` (0: user-defined) to parameter `paramNum` of
// `voice`: the constant curve with both channels joined, and the extra
// effects (the Waveform rule, the ocean waves' period and phase). Returns
// the first pids of the parameters changed, in the order they are to be
// propagated; empty when nothing but EasySel changed (user-defined).
std::vector<int> ApplyEasyChoice(const BackgroundParamRow& bg, Param* params, const Segment& seg, int voice,
                                 int paramNum, int easySel, int nodes);

// --- Channels ---------------------------------------------------------------------
// Sets the channels of a two-channel parameter apart: ChannelMode 1 (left
// shown), the right channel stops tracking and keeps its values. For the
// pitch every parameter tracking the voice's beat stops tracking too (the
// beat becomes right minus left pitch). Separate noise colours clear the
// segment's "noise inside the head", which needs one colour for both ears.
// Returns the pids that stopped tracking besides the right channel.
std::vector<int> SeparateChannels(const BackgroundParamRow& bg, Param* params, Segment& seg, int voice, int paramNum);
// Joins them again: ChannelMode 0 and the right channel tracks the left one
// one to one (the left one stops tracking when its chain reached the right
// one); the right channel and everything tracking it are recomputed.
void JoinChannels(const BackgroundParamRow& bg, Param* params, const Segment& seg, int voice, int paramNum);
// Shows channel 1 (left) or 2 (right) of a separated parameter.
void ShowChannel(Param* params, int voice, int paramNum, int channel);

// --- Tracking ---------------------------------------------------------------------
// The destinations the Track list offers for parameter `paramNum` of
// `voice`, as pids: the current voice's beat (not while its pitch channels
// are separate), pitch and sound volume, then those of the parameter's own
// row (the filter for the waveform and so on). The parameter itself and the
// background's parameter are never offered; a destination with separate
// channels appears once per channel.
std::vector<int> TrackDestinations(const Param* params, int voice, int paramNum);
// The name a destination is listed under: the parameter's name, "(Voice n)"
// for a parameter of a voice other than `voice`, ": Left" / ": Right" for
// one channel of a separated one.
std::string DestinationName(const Param* params, int pid, int voice);

// Whether `dest` depends on `pid`: the walk along the tracking links from
// `dest`, through both pitches of a derived beat, arrives at `pid`.
bool TrackingCycle(const Param* params, const Segment& seg, int pid, int dest);
// "Track:" checked for record `pid` (the channel shown) of `voice`: keeps the
// stored destination when it is still possible, else takes the first
// possible per-voice pid. 0, or 1326 when there is none (nothing changes).
int StartTracking(const BackgroundParamRow& bg, Param* params, const Segment& seg, int voice, int pid);
// A destination chosen in the list: 0 (tracking it, the coefficients mapping
// its range onto this parameter's when it is a new one), 1327 for a voice
// the segment does not have (tracking ends), 1280 when the destination
// already depends on this parameter (nothing changes).
int ChooseDestination(const BackgroundParamRow& bg, Param* params, const Segment& seg, int pid, int dest);
// The coefficients that map the destination's range b1..b2 onto a1..a2
// (stored units of their parameters): Slope = 1000 x (a2 - a1) / (b2 - b1)
// (0 for an empty range) and Intercept = A1 - Slope x B1 / 1000, with A1
// and B1 in thousandths of their display units.
struct TrackCoefficients {
  int32_t Intercept = 0, Slope = 0;
};
TrackCoefficients RangeCoefficients(const BackgroundParamRow& bg, int paramNum, int32_t a1, int32_t a2,
                                    int destParamNum, int32_t b1, int32_t b2);
// The smallest and largest node values of a record (the low half of the
// Waveform's).
void NodeRangeOf(const Param& p, int paramNum, int32_t* lo, int32_t* hi);
// The value, in stored units of parameter `paramNum`, that coefficients `c`
// give for the destination's stored value `b` (the Tracking Options' "from"
// and "to" fields in the direct mode).
int32_t MapThroughCoefficients(const BackgroundParamRow& bg, const TrackCoefficients& c, int paramNum, int destParamNum,
                               int32_t b);

// The Tracking Destination tree: a branch "Voice n Parameters" per voice of
// the segment and "Segment Parameters". Items with a pid are destinations;
// the others (voices, the segment, a parameter split into Left and Right,
// the parameter being edited where it keeps its modulation branch) only
// group. The parameter of record `pid` is never offered.
struct DestinationItem {
  std::string Text;
  int Pid = -1;  // -1: a group item
  std::vector<DestinationItem> Children;
};
std::vector<DestinationItem> DestinationTree(const Param* params, const Segment& seg, int pid);

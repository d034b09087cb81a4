// The preset records shared by every module.
//
// The fixed part of a preset (`PresetFixed`, 1644 bytes) and the segment entry
// (`Segment`, 36 bytes) have exactly the layout they have in a preset file, so
// serialising is a straight copy. The places the file gives to pointers are
// 32-bit placeholders written as 0; the real pointers (description, parameter
// block) are held beside the image in `Preset`. A segment's parameter array is
// slot s of the preset's parameter block: `ParamMem + 176 * s`.
//
// Fixed-point units: a stored value is display value x 10^Digits of its
// parameter (15000 = 15.000 Hz beat, 10000 = 100.00 % volume, 1000000 =
// 1000.000 ms period, 9000 = 90.00 degrees); times inside a segment run 0-10000
// (hundredths of a percent); segment lengths are hundredths of a minute (1000 =
// 10.00 minutes).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int NSPAR = 36;
constexpr int NVPAR = 14;
constexpr int MAXVOICES = 10;
constexpr int NPARAMS = NSPAR + NVPAR * MAXVOICES;  // 176 slots per segment
constexpr int PDBK = 29;
constexpr int MAXPROGRAMS = 1000;
constexpr int MAXSEGMENTS = 25;
constexpr int MAXNODES = 100;
constexpr int MAXCOLORS = 32;
constexpr int COLORSLOTS = 40;
constexpr int NAMELEN = 256;
constexpr int DESCLEN = 4096;
constexpr int MAXSEGLENGTH = 1000000;
constexpr int MAXREPEAT = 10000;

constexpr int AMBIX_NONE = 1024;
constexpr int AMBIX_OTHER = 1025;
constexpr int AMBIX_LONG = 1026;

// ParamNum rows of ParamDef.
// clang-format off
enum ParamNumber {
  PN_BEAT = 0, PN_PITCH, PN_VOLUME, PN_WAVEFORM, PN_FILTER, PN_BGVOLUME, PN_BGPARAM, PN_BGPHASE,
  PN_NOISEVOL, PN_NOISESMOOTH, PN_VISFREQ, PN_VISBRIGHT, PN_VISBRIGHT2, PN_VISPHASE,
  PN_SNDMODDEPTH, PN_SNDMODPERIOD, PN_SNDMODPHASE, PN_BGMODDEPTH, PN_BGMODPERIOD, PN_BGMODPHASE,
  PN_VISMODDEPTH, PN_VISMODPERIOD, PN_VISMODPHASE, PN_VISMOD2DEPTH, PN_VISMOD2PERIOD,
  PN_VISMOD2PHASE, PN_NOISEMODDEPTH, PN_NOISEMODPERIOD, PN_NOISEMODPHASE
};
// clang-format on

// Segment-wide pids (0-35) and the per-voice offsets (pid = 36 + 14 v + k).
// clang-format off
enum SegmentPid {
  PID_BGVOLUME = 0, PID_BGPARAM = 2, PID_BGPHASE = 4, PID_NOISEVOL = 5, PID_NOISESMOOTH = 7,
  PID_BGMODDEPTH = 9, PID_BGMODPERIOD = 11, PID_BGMODPHASE = 13, PID_VISFREQ = 14,
  PID_VISBRIGHT = 16, PID_VISBRIGHT2 = 18, PID_VISMODDEPTH = 20, PID_VISMODPERIOD = 22,
  PID_VISMODPHASE = 24, PID_VISMOD2DEPTH = 25, PID_VISMOD2PERIOD = 27, PID_VISMOD2PHASE = 29,
  PID_NOISEMODDEPTH = 30, PID_NOISEMODPERIOD = 32, PID_NOISEMODPHASE = 34, PID_VISPHASE = 35
};
enum VoicePid {
  VP_BEAT = 0, VP_PITCH = 1, VP_VOLUME = 3, VP_WAVEFORM = 5, VP_FILTER = 7, VP_MODDEPTH = 9,
  VP_MODPERIOD = 11, VP_MODPHASE = 13
};
// clang-format on
constexpr int VoicePidOf(int voice, int k) { return NSPAR + NVPAR * voice + k; }

struct Node {
  int32_t Value;      // stored units; Waveform: low 16 bits shape, high 16 bits Z
  int16_t SweepTime;  // 0-10000 on the segment axis
  uint8_t Weight;     // 0-20, 10 = straight line
  uint8_t Symmetric;  // 0/1 (files accept up to 10)
};
static_assert(sizeof(Node) == 8);
static_assert(offsetof(Node, SweepTime) == 4 && offsetof(Node, Weight) == 6 && offsetof(Node, Symmetric) == 7);

// The 24 bytes of parameter settings, also the parameter header in the file.
struct ParamHeader {
  uint8_t NumNodes;     // 2-100
  uint8_t Tracking;     // 0/1 (files accept up to 10)
  uint8_t TrackSource;  // pid of the tracked parameter
  uint8_t Reserved1;
  int32_t Intercept;  // thousandths of the display unit
  int32_t Slope;      // Y/X x 1000
  int32_t MinLimit;   // display units
  int32_t MaxLimit;
  uint8_t TrackingMode;
  uint8_t ChannelMode;  // 0 one curve, 1 separate (left shown), 2 separate (right shown)
  uint8_t EasySel;
  uint8_t Reserved2;
};
static_assert(sizeof(ParamHeader) == 24);
static_assert(offsetof(ParamHeader, Intercept) == 4 && offsetof(ParamHeader, Slope) == 8 &&
              offsetof(ParamHeader, MinLimit) == 12 && offsetof(ParamHeader, MaxLimit) == 16 &&
              offsetof(ParamHeader, TrackingMode) == 20 && offsetof(ParamHeader, ChannelMode) == 21 &&
              offsetof(ParamHeader, EasySel) == 22);

struct Param {
  struct Node Node[MAXNODES];
  uint8_t NumNodes;
  uint8_t Tracking;
  uint8_t TrackSource;
  uint8_t Reserved1;
  int32_t Intercept;
  int32_t Slope;
  int32_t MinLimit;
  int32_t MaxLimit;
  uint8_t TrackingMode;
  uint8_t ChannelMode;
  uint8_t EasySel;
  uint8_t Reserved2;
};
static_assert(sizeof(Param) == 824);
static_assert(offsetof(Param, NumNodes) == 800);
// The settings of a parameter are laid out like the file's header.
inline ParamHeader* HeaderOf(Param* p) { return reinterpret_cast<ParamHeader*>(&p->NumNodes); }
inline const ParamHeader* HeaderOf(const Param* p) { return reinterpret_cast<const ParamHeader*>(&p->NumNodes); }

// Segment entry (36 bytes, as in the file).
struct Segment {
  uint32_t ParamPlace;  // the file's place of the Param pointer; written as 0
  uint8_t NumVoices;    // 1-10
  char Name[3];         // 1-2 characters and NUL
  int32_t Length;       // hundredths of a minute, 1-1000000
  int32_t Repeat;       // 1-10000
  uint8_t NoiseInsideHead;
  uint8_t Reserved[19];
};
static_assert(sizeof(Segment) == 36);
static_assert(offsetof(Segment, NumVoices) == 4 && offsetof(Segment, Name) == 5 && offsetof(Segment, Length) == 8 &&
              offsetof(Segment, Repeat) == 12 && offsetof(Segment, NoiseInsideHead) == 16);

// Visual colour options (184 bytes). Colours are 0x00BBGGRR.
struct VisOpt {
  uint8_t NumColors;  // 1-32; 0 = not set
  uint8_t Reserved1[3];
  uint32_t Colors[COLORSLOTS];
  uint8_t Override;
  uint8_t Reserved2[19];
};
static_assert(sizeof(VisOpt) == 184);
static_assert(offsetof(VisOpt, Colors) == 4 && offsetof(VisOpt, Override) == 164);

struct PresetData {
  struct Segment Segment[MAXSEGMENTS];
  uint8_t NumSegments;  // 1-25
  int32_t Background;   // < 1024 library background number, or AMBIX_NONE/OTHER/LONG
  char BackgroundFile[NAMELEN];
  struct VisOpt VisOpt;
  uint8_t ContinuePlaying;
  int32_t Reserved[2];
};

// Fixed part of a preset record, exactly the 1644 bytes of the file.
struct PresetFixed {
  int32_t RecordSize;
  uint8_t Deleted;
  char Name[NAMELEN];
  uint8_t IsSchedule;
  uint8_t BuiltIn;
  uint8_t Reserved0;
  uint32_t DescriptionPlace;  // the file's place of the Description pointer; written as 0
  int32_t Reserved1[2];
  PresetData data;
  uint8_t Loaded;
  int32_t LastUse;
};
static_assert(sizeof(PresetFixed) == 1644);
static_assert(offsetof(PresetFixed, Deleted) == 4 && offsetof(PresetFixed, Name) == 5 &&
              offsetof(PresetFixed, IsSchedule) == 261 && offsetof(PresetFixed, BuiltIn) == 262 &&
              offsetof(PresetFixed, DescriptionPlace) == 264 && offsetof(PresetFixed, Reserved1) == 268 &&
              offsetof(PresetFixed, data) == 276);
static_assert(offsetof(PresetFixed, data.NumSegments) == 1176 && offsetof(PresetFixed, data.Background) == 1180 &&
              offsetof(PresetFixed, data.BackgroundFile) == 1184 && offsetof(PresetFixed, data.VisOpt) == 1440 &&
              offsetof(PresetFixed, data.ContinuePlaying) == 1624 && offsetof(PresetFixed, data.Reserved) == 1628 &&
              offsetof(PresetFixed, Loaded) == 1636 && offsetof(PresetFixed, LastUse) == 1640);

// An element of `Program`: the file image plus the memory it owns.
struct Preset : PresetFixed {
  char* Description;  // 4096-byte buffer or nullptr
  Param* ParamMem;    // 25 x 176 parameter slots, reserved; nullptr when none
};

// Parameters of segment s of a preset (slot s of its parameter block).
inline Param* SegParams(const Preset& p, int s) { return p.ParamMem ? p.ParamMem + NPARAMS * s : nullptr; }
inline int SegParamCount(const Segment& s) { return NSPAR + NVPAR * s.NumVoices; }

// One row of the parameter definition table.
struct ParamDefType {
  int Name;      // string id of the display name
  int FirstPid;  // first identifier (voice 0 for voice parameters)
  int Channels;  // 1 or 2
  int Pos;       // page position; -2 none
  int Easy;      // easy-selection type, 0 none
  int Vol;       // 1: volume/brightness (has a modulation button)
  int Unit;      // string id of the unit text
  int FlagA;     // chart always shows Min..Max
  int Min;       // display units
  int Max;
  int Digits;
  int FlagB;  // decimals shown in the chart
  int Step;
  int StepRel;
};

struct EasyModeType {
  int Type;     // the Easy column of ParamDef
  int EasySel;  // value stored in Param::EasySel
  int Text;     // string id
};

// Row 6 of the table is "(Background Param not in use)"; a preset's own row 6
// comes from its background (BackgroundParamRow below).
extern const ParamDefType ParamDef[PDBK];
extern const ParamDefType ParamDefSpare[2];  // "(Background Param not in use)", "Background Interval"

// Row 6 (the background's parameter) as one preset's background gives it,
// with the library's own parameter name when the row came from a library
// (its name id is 0; Name is "" otherwise). Holding it beside the preset
// keeps two presets with different backgrounds from reading each other's.
struct BackgroundParamRow {
  ParamDefType Row = ParamDefSpare[0];
  char Name[64] = {};
};
// Row `row` of the table for a preset whose background gives `bg`.
const ParamDefType& ParamRowOf(const BackgroundParamRow& bg, int row);
// The display name of that row.
const char* ParamRowName(const BackgroundParamRow& bg, int row);
extern const int CalcMax[PDBK];
extern const EasyModeType EasyMode[51];
extern const int PowerOfTen[8];

extern Preset* Program;  // reserved for MAXPROGRAMS records
extern int NumPrograms;
// The main window's selection (an index of Program). Only the window writes
// it; the store reports what an import selected (SelectionAfterImport).
extern int SelProgram;
extern int UseCounter;  // process-wide use counter for LastUse

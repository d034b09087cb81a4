#include "presetjson/presetjson.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "main/arith.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// Colours are written as a person names them, "#RRGGBB"; a stored value
// with bits above the 24 of a colour keeps its exact stored form,
// "0x" and the blue-green-red word, as older files wrote every colour.
std::string ColorText(uint32_t c) {
  if (c >> 24) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", c);
    return buf;
  }
  return ColorRgbText(c);
}

ordered_json ParamToJson(const Param& p) {
  ordered_json j;
  j["NumNodes"] = p.NumNodes;
  j["Tracking"] = p.Tracking;
  j["TrackSource"] = p.TrackSource;
  j["Intercept"] = p.Intercept;
  j["Slope"] = p.Slope;
  j["MinLimit"] = p.MinLimit;
  j["MaxLimit"] = p.MaxLimit;
  j["TrackingMode"] = p.TrackingMode;
  j["ChannelMode"] = p.ChannelMode;
  j["EasySel"] = p.EasySel;
  ordered_json nodes = ordered_json::array();
  int n = p.NumNodes <= MAXNODES ? p.NumNodes : MAXNODES;
  for (int i = 0; i < n; ++i) {
    ordered_json nj;
    nj["Value"] = p.Node[i].Value;
    nj["SweepTime"] = p.Node[i].SweepTime;
    nj["Weight"] = p.Node[i].Weight;
    nj["Symmetric"] = p.Node[i].Symmetric;
    nodes.push_back(nj);
  }
  j["Node"] = nodes;
  return j;
}

// A failure while reading JSON, carrying the path of the field concerned.
struct FieldError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& path, const std::string& what) { throw FieldError(path + ": " + what); }

int64_t GetInt(const json& j, const std::string& path, int64_t lo, int64_t hi) {
  int64_t v;
  if (j.is_number_integer()) {
    v = j.get<int64_t>();
  } else if (j.is_number_unsigned()) {
    uint64_t u = j.get<uint64_t>();
    if (u > static_cast<uint64_t>(INT64_MAX)) Fail(path, "value out of range");
    v = static_cast<int64_t>(u);
  } else if (j.is_number_float()) {
    double d = j.get<double>();
    if (d != std::floor(d)) Fail(path, "must be a whole number");
    if (d < -9.2e18 || d > 9.2e18) Fail(path, "value out of range");
    v = static_cast<int64_t>(d);
  } else if (j.is_boolean()) {
    v = j.get<bool>() ? 1 : 0;
  } else {
    Fail(path, "must be a number");
  }
  if (v < lo || v > hi) Fail(path, std::to_string(v) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
  return v;
}

void GetText(const json& j, const std::string& path, char* dest, size_t size, size_t minLen = 0) {
  if (!j.is_string()) Fail(path, "must be a text");
  std::string s = j.get<std::string>();
  if (s.size() >= size) Fail(path, "longer than " + std::to_string(size - 1) + " characters");
  if (s.size() < minLen) Fail(path, "must not be empty");
  if (s.find('\0') != std::string::npos) Fail(path, "must not contain NUL");
  if (minLen > 0)  // a name: one line
    if (int why = CheckEnteredName(s)) Fail(path, GetStr(why));
  std::memset(dest, 0, size);
  std::memcpy(dest, s.data(), s.size());
}

// "#RRGGBB" is red, green, blue as a person writes them; "0x00BBGGRR" and
// numbers are the stored blue-green-red value (as older files have them).
uint32_t GetColor(const json& j, const std::string& path) {
  if (j.is_string()) {
    std::string s = j.get<std::string>();
    const bool rgb = !s.empty() && s[0] == '#';
    const char* t = s.c_str();
    if (rgb)
      ++t;
    else if (t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
      t += 2;
    else
      t = "";
    char* end = nullptr;
    unsigned long v = std::strtoul(t, &end, 16);
    const bool digits = std::strspn(t, "0123456789abcdefABCDEF") == std::strlen(t);
    if (*t == 0 || *end != 0 || !digits || v > 0xFFFFFFFFul || (rgb && std::strlen(t) != 6))
      Fail(path, "is not a colour (#RRGGBB, or the stored 0x00BBGGRR)");
    if (!rgb) return static_cast<uint32_t>(v);
    return static_cast<uint32_t>(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
  }
  return static_cast<uint32_t>(GetInt(j, path, 0, 0xFFFFFFFFll));
}

const json* Find(const json& obj, const char* key) {
  auto it = obj.find(key);
  return it == obj.end() ? nullptr : &*it;
}

template <typename T>
void Opt(const json& obj, const char* key, const std::string& path, T& dest, int64_t lo, int64_t hi) {
  if (const json* v = Find(obj, key)) dest = static_cast<T>(GetInt(*v, path + "." + key, lo, hi));
}

void CheckKeys(const json& obj, const std::string& path, std::initializer_list<const char*> known) {
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    bool ok = false;
    for (const char* k : known) ok = ok || it.key() == k;
    if (!ok) Fail(path + "." + it.key(), "unknown field");
  }
}

// Display name of a row as the table holds it (row 6 as `bg` gives it; a
// library's own parameter has no table name).
std::string RowName(const BackgroundParamRow& bg, int row) {
  const ParamDefType& r = ParamRowOf(bg, row);
  return HasStr(r.Name) ? GetStr(r.Name) : "";
}

// The pid a display name denotes in a voice (or among the segment-wide
// parameters when voice < 0); "<name> (Right)" names the second channel.
int PidOfName(const BackgroundParamRow& bg, const std::string& name, int voice) {
  std::string base = name;
  int channel = 0;
  auto suffix = [&](const char* s) {
    size_t n = std::strlen(s);
    if (base.size() > n && base.compare(base.size() - n, n, s) == 0) {
      base.resize(base.size() - n);
      return true;
    }
    return false;
  };
  if (suffix(" (Right)"))
    channel = 1;
  else
    suffix(" (Left)");
  for (int row = 0; row < PDBK; ++row) {
    bool isVoice = ParamDef[row].FirstPid >= NSPAR;
    if (isVoice != (voice >= 0)) continue;
    std::string rn = row == PN_BGPARAM ? "Background Param" : RowName(bg, row);
    if (rn != base && !(row == PN_BGPARAM && (base == RowName(bg, row) || base == "Background Interval"))) continue;
    if (channel && ParamRowOf(bg, row).Channels != 2) return -1;
    return PARAMID(voice < 0 ? 0 : voice, row) + channel;
  }
  return -1;
}

int EasyOfText(const BackgroundParamRow& bg, const json& j, const std::string& path, int row) {
  const int group = ParamRowOf(bg, row).Easy;
  if (j.is_string()) {
    std::string t = j.get<std::string>(), choices;
    for (const EasyModeType& e : EasyMode) {
      if (e.Type != group || e.Type == 0 || !HasStr(e.Text)) continue;
      if (SameTextNoCase(t, GetStr(e.Text))) return e.EasySel;
      choices += std::string(choices.empty() ? "" : ", ") + "\"" + GetStr(e.Text) + "\"";
    }
    if (choices.empty()) Fail(path, "this parameter has no easy choices");
    Fail(path, "'" + t + "' is not an easy choice of this parameter; its choices are " + choices);
  }
  int sel = static_cast<int>(GetInt(j, path, 1, 255));
  int idx = FindEasyEntry(sel);
  if (idx < 0 || EasyMode[idx].Type != group || group == 0)
    Fail(path, std::to_string(sel) + " is not an easy choice of this parameter");
  return sel;
}

void ReadFullNodes(const json& arr, const std::string& path, Param& p) {
  if (!arr.is_array()) Fail(path, "must be an array");
  if (arr.size() < 2 || arr.size() > MAXNODES) Fail(path, "must hold 2..100 nodes");
  p.NumNodes = static_cast<uint8_t>(arr.size());
  for (size_t i = 0; i < arr.size(); ++i) {
    std::string np = path + "[" + std::to_string(i) + "]";
    const json& n = arr[i];
    if (!n.is_object()) Fail(np, "must be an object");
    CheckKeys(n, np, {"Value", "SweepTime", "Weight", "Symmetric"});
    Node& d = p.Node[i];
    d = {0, 0, 10, 1};
    Opt(n, "Value", np, d.Value, INT32_MIN, INT32_MAX);
    Opt(n, "SweepTime", np, d.SweepTime, 0, 10000);
    Opt(n, "Weight", np, d.Weight, 0, 20);
    Opt(n, "Symmetric", np, d.Symmetric, 0, 10);
  }
}

// "Curve": [[percent, value, weight?], ...] in display units.
void ReadCurve(const BackgroundParamRow& bg, const json& arr, const std::string& path, Param& p, int row) {
  if (!arr.is_array() || arr.size() < 2 || arr.size() > MAXNODES) Fail(path, "must be an array of 2..100 points");
  const ParamDefType& r = ParamRowOf(bg, row);
  double scale = PowerOfTen[r.Digits];
  p.NumNodes = static_cast<uint8_t>(arr.size());
  for (size_t i = 0; i < arr.size(); ++i) {
    std::string np = path + "[" + std::to_string(i) + "]";
    const json& pt = arr[i];
    if (!pt.is_array() || pt.size() < 2 || pt.size() > 3 || !pt[0].is_number() || !pt[1].is_number())
      Fail(np, "must be [percent, value] or [percent, value, weight]");
    double t = pt[0].get<double>(), v = pt[1].get<double>();
    if (t < 0 || t > 100) Fail(np, "time outside 0..100 %");
    double lo = r.Min, hi = r.Max;
    if (row == PN_WAVEFORM) lo = 0, hi = 100;
    if (v < lo || v > hi)
      Fail(np, "value outside " + std::to_string(static_cast<int>(lo)) + ".." + std::to_string(static_cast<int>(hi)));
    Node& d = p.Node[i];
    d.SweepTime = static_cast<int16_t>(std::lround(t * 100));
    long stored = std::lround(v * scale);
    // A waveform curve written by hand gives the shape; Z stays at 50.0 %.
    d.Value = row == PN_WAVEFORM ? static_cast<int32_t>((500u << 16) | static_cast<uint32_t>(stored))
                                 : static_cast<int32_t>(stored);
    d.Weight = pt.size() == 3 ? static_cast<uint8_t>(GetInt(pt[2], np + "[2]", 0, 20)) : 10;
    d.Symmetric = 1;
  }
  p.Tracking = 0;
  p.EasySel = 0;
}

void CheckNodeTimes(const Param& p, const std::string& path) {
  if (p.Node[0].SweepTime != 0) Fail(path, "the first node must be at time 0");
  if (p.Node[p.NumNodes - 1].SweepTime != 10000) Fail(path, "the last node must be at time 10000");
  for (int i = 1; i < p.NumNodes; ++i)
    if (p.Node[i].SweepTime < p.Node[i - 1].SweepTime) Fail(path, "node times must not decrease");
}

int TrackSourceOf(const BackgroundParamRow& bg, const json& j, const std::string& path, int voice, int count) {
  if (j.is_string()) {
    int pid = PidOfName(bg, j.get<std::string>(), voice < 0 ? -1 : voice);
    if (pid < 0) pid = PidOfName(bg, j.get<std::string>(), voice < 0 ? 0 : -1);
    if (pid < 0) Fail(path, "no parameter named '" + j.get<std::string>() + "'");
    return pid;
  }
  return static_cast<int>(GetInt(j, path, 0, count - 1));
}

// Applies one parameter description (full or authoring) to params[pid].
void ReadParam(const BackgroundParamRow& bg, const json& j, const std::string& path, Param* params, const Segment& seg,
               int pid, bool full) {
  if (!j.is_object()) Fail(path, "must be an object");
  CheckKeys(j, path,
            {"NumNodes", "Tracking", "TrackSource", "Intercept", "Slope", "MinLimit", "MaxLimit", "TrackingMode",
             "ChannelMode", "EasySel", "Node", "Easy", "Curve", "Value"});
  Param& p = params[pid];
  int row = ParamNumOfPid(pid);
  int count = SegParamCount(seg);
  int voice = pid >= NSPAR ? (pid - NSPAR) / NVPAR : -1;
  if (const json* e = Find(j, "Easy")) {
    int sel = EasyOfText(bg, *e, path + ".Easy", row);
    SetFromEasySelection(bg, params, seg, pid, sel, p.TrackSource, 3);
  }
  if (const json* v = Find(j, "Value")) {
    if (!v->is_number()) Fail(path + ".Value", "must be a number");
    json curve = json::array({json::array({0, *v}), json::array({100, *v})});
    ReadCurve(bg, curve, path + ".Value", p, row);
  }
  if (const json* c = Find(j, "Curve")) ReadCurve(bg, *c, path + ".Curve", p, row);
  if (const json* n = Find(j, "Node")) ReadFullNodes(*n, path + ".Node", p);
  if (const json* n = Find(j, "NumNodes")) {
    int64_t v = GetInt(*n, path + ".NumNodes", 2, MAXNODES);
    if (const json* nodes = Find(j, "Node"); nodes && static_cast<int64_t>(nodes->size()) != v)
      Fail(path + ".NumNodes", "does not match the number of nodes");
  }
  Opt(j, "Tracking", path, p.Tracking, 0, 10);
  if (const json* t = Find(j, "TrackSource")) {
    p.TrackSource = static_cast<uint8_t>(TrackSourceOf(bg, *t, path + ".TrackSource", voice, count));
    if (!full && !Find(j, "Slope")) ResetTrackingDefaults(bg, params, pid);
    if (!full && !Find(j, "Tracking")) p.Tracking = 1;
  }
  Opt(j, "Intercept", path, p.Intercept, INT32_MIN, INT32_MAX);
  Opt(j, "Slope", path, p.Slope, INT32_MIN, INT32_MAX);
  Opt(j, "MinLimit", path, p.MinLimit, INT32_MIN, INT32_MAX);
  Opt(j, "MaxLimit", path, p.MaxLimit, INT32_MIN, INT32_MAX);
  Opt(j, "TrackingMode", path, p.TrackingMode, 0, 10);
  Opt(j, "ChannelMode", path, p.ChannelMode, 0, 2);
  Opt(j, "EasySel", path, p.EasySel, 0, 255);
  if (p.TrackSource >= count) Fail(path + ".TrackSource", "names a parameter the segment does not have");
  if (!full && (Find(j, "Curve") || Find(j, "Value") || Find(j, "Node")) && !Find(j, "Tracking")) p.Tracking = 0;
  CheckNodeTimes(p, path + ".Node");
}

void ReadSegment(const BackgroundParamRow& bg, const json& j, const std::string& path, Preset& pr, int s) {
  if (!j.is_object()) Fail(path, "must be an object");
  CheckKeys(j, path, {"Name", "Length", "Repeat", "NumVoices", "NoiseInsideHead", "Param", "Voice"});
  Segment& seg = pr.data.Segment[s];
  std::memset(&seg, 0, sizeof seg);
  seg.Name[0] = static_cast<char>('A' + s);
  seg.Length = 1000;
  seg.Repeat = 1;
  if (const json* n = Find(j, "Name")) GetText(*n, path + ".Name", seg.Name, sizeof seg.Name, 1);
  Opt(j, "Length", path, seg.Length, 1, MAXSEGLENGTH);
  Opt(j, "Repeat", path, seg.Repeat, 1, MAXREPEAT);
  Opt(j, "NoiseInsideHead", path, seg.NoiseInsideHead, 0, 255);
  const json* params = Find(j, "Param");
  const json* voices = Find(j, "Voice");
  bool full = params && params->is_array();
  int nv = 1;
  if (const json* n = Find(j, "NumVoices"))
    nv = static_cast<int>(GetInt(*n, path + ".NumVoices", 1, MAXVOICES));
  else if (full)
    nv = static_cast<int>((params->size() >= NSPAR ? params->size() - NSPAR : 0) / NVPAR);
  else if (voices && voices->is_array())
    nv = static_cast<int>(voices->size());
  if (nv < 1 || nv > MAXVOICES) Fail(path + ".NumVoices", "must be 1..10");
  Param* pp = CommitSegmentSlot(pr, s, nv);
  if (!pp) Fail(path, "out of memory");
  FillDefaultSegment(pp, seg, nv, 3);
  if (full) {
    if (voices) Fail(path + ".Voice", "cannot be combined with a Param array");
    if (static_cast<int>(params->size()) != SegParamCount(seg))
      Fail(path + ".Param",
           "must hold " + std::to_string(SegParamCount(seg)) + " parameters for " + std::to_string(nv) + " voices");
    for (int pid = 0; pid < SegParamCount(seg); ++pid)
      ReadParam(bg, (*params)[static_cast<size_t>(pid)], path + ".Param[" + std::to_string(pid) + "]", pp, seg, pid,
                true);
    return;
  }
  RecomputeAllTracked(bg, pp, seg);
  auto named = [&](const json& obj, const std::string& base, int voice) {
    if (!obj.is_object()) Fail(base, "must be an object of parameters by name");
    for (auto it = obj.begin(); it != obj.end(); ++it) {
      int pid = PidOfName(bg, it.key(), voice);
      if (pid < 0) Fail(base + "." + it.key(), "no such parameter");
      ReadParam(bg, it.value(), base + "." + it.key(), pp, seg, pid, false);
    }
  };
  if (params) named(*params, path + ".Param", -1);
  if (voices) {
    if (!voices->is_array() || static_cast<int>(voices->size()) > nv)
      Fail(path + ".Voice", "must be an array of at most NumVoices voices");
    for (size_t v = 0; v < voices->size(); ++v)
      named((*voices)[v], path + ".Voice[" + std::to_string(v) + "]", static_cast<int>(v));
  }
  // Hand-written presets give source curves only; what tracks is derived.
  RecomputeAllTracked(bg, pp, seg);
}

void ReadPreset(const BackgroundParamRow& bg, const json& j, Preset& p) {
  if (!j.is_object()) Fail("preset", "must be an object");
  CheckKeys(j, "preset",
            {"Name", "Description", "BuiltIn", "IsSchedule", "Background", "BackgroundFile", "ContinuePlaying",
             "VisOpt", "Segment"});
  NewDefaultPreset(p);
  ReleaseParams(p);
  if (const json* n = Find(j, "Name")) GetText(*n, "Name", p.Name, sizeof p.Name, 1);
  if (const json* d = Find(j, "Description")) GetText(*d, "Description", p.Description, DESCLEN);
  Opt(j, "BuiltIn", "preset", p.BuiltIn, 0, 10);
  Opt(j, "IsSchedule", "preset", p.IsSchedule, 0, 10);
  Opt(j, "Background", "preset", p.data.Background, INT32_MIN, INT32_MAX);
  if (const json* f = Find(j, "BackgroundFile")) GetText(*f, "BackgroundFile", p.data.BackgroundFile, NAMELEN);
  Opt(j, "ContinuePlaying", "preset", p.data.ContinuePlaying, 0, 255);
  if (const json* v = Find(j, "VisOpt")) {
    if (!v->is_object()) Fail("VisOpt", "must be an object");
    CheckKeys(*v, "VisOpt", {"NumColors", "Colors", "Override"});
    VisOpt& o = p.data.VisOpt;
    if (const json* c = Find(*v, "Colors")) {
      if (!c->is_array() || c->size() > COLORSLOTS) Fail("VisOpt.Colors", "must be an array of at most 40 colours");
      std::memset(o.Colors, 0, sizeof o.Colors);
      for (size_t i = 0; i < c->size(); ++i)
        o.Colors[i] = GetColor((*c)[i], "VisOpt.Colors[" + std::to_string(i) + "]");
      o.NumColors = static_cast<uint8_t>(c->size() < MAXCOLORS ? c->size() : MAXCOLORS);
    }
    Opt(*v, "NumColors", "VisOpt", o.NumColors, 0, MAXCOLORS);
    Opt(*v, "Override", "VisOpt", o.Override, 0, 255);
  }
  const json* segs = Find(j, "Segment");
  if (!segs) {
    Param* pp = CommitSegmentSlot(p, 0, 1);
    FillDefaultSegment(pp, p.data.Segment[0], 1, 3);
    RecomputeAllTracked(bg, pp, p.data.Segment[0]);
    std::strcpy(p.data.Segment[0].Name, "A");
    p.data.Segment[0].Length = 1000;
    p.data.Segment[0].Repeat = 1;
    return;
  }
  if (!segs->is_array() || segs->empty() || segs->size() > MAXSEGMENTS)
    Fail("Segment", "must be an array of 1..25 segments");
  p.data.NumSegments = static_cast<uint8_t>(segs->size());
  for (size_t s = 0; s < segs->size(); ++s)
    ReadSegment(bg, (*segs)[s], "Segment[" + std::to_string(s) + "]", p, static_cast<int>(s));
}

}  // namespace

std::string ColorRgbText(uint32_t stored) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", stored & 0xFF, (stored >> 8) & 0xFF, (stored >> 16) & 0xFF);
  return buf;
}

ordered_json PresetToJson(const Preset& p) {
  ordered_json j;
  // Text of any bytes is given as UTF-8 by the program's one text rule.
  j["Name"] = TextToUtf8({p.Name, strnlen(p.Name, NAMELEN)});
  j["Description"] = p.Description ? TextToUtf8({p.Description, strnlen(p.Description, DESCLEN)}) : std::string();
  j["BuiltIn"] = p.BuiltIn;
  j["IsSchedule"] = p.IsSchedule;
  j["Background"] = p.data.Background;
  j["BackgroundFile"] = TextToUtf8({p.data.BackgroundFile, strnlen(p.data.BackgroundFile, NAMELEN)});
  j["ContinuePlaying"] = p.data.ContinuePlaying;
  ordered_json vis;
  vis["NumColors"] = p.data.VisOpt.NumColors;
  int shown = p.data.VisOpt.NumColors <= COLORSLOTS ? p.data.VisOpt.NumColors : COLORSLOTS;
  for (int i = COLORSLOTS - 1; i >= shown; --i)
    if (p.data.VisOpt.Colors[i]) {
      shown = i + 1;
      break;
    }
  ordered_json colors = ordered_json::array();
  for (int i = 0; i < shown; ++i) colors.push_back(ColorText(p.data.VisOpt.Colors[i]));
  vis["Colors"] = colors;
  vis["Override"] = p.data.VisOpt.Override;
  j["VisOpt"] = vis;
  ordered_json segs = ordered_json::array();
  int ns = p.data.NumSegments <= MAXSEGMENTS ? p.data.NumSegments : MAXSEGMENTS;
  for (int s = 0; s < ns; ++s) {
    const Segment& seg = p.data.Segment[s];
    ordered_json sj;
    sj["Name"] = TextToUtf8({seg.Name, strnlen(seg.Name, sizeof seg.Name)});
    sj["Length"] = seg.Length;
    sj["Repeat"] = seg.Repeat;
    sj["NumVoices"] = seg.NumVoices;
    sj["NoiseInsideHead"] = seg.NoiseInsideHead;
    ordered_json params = ordered_json::array();
    const Param* pp = SegParams(p, s);
    int count = seg.NumVoices <= MAXVOICES ? SegParamCount(seg) : NSPAR;
    for (int pid = 0; pp && pid < count; ++pid) params.push_back(ParamToJson(pp[pid]));
    sj["Param"] = params;
    segs.push_back(sj);
  }
  j["Segment"] = segs;
  return j;
}

namespace {

// A preset read with row 6 taken from `bg`.
bool PresetFromJsonIn(const BackgroundParamRow& bg, const json& j, Preset& p, std::string* error) {
  bool ok = false;
  try {
    ReadPreset(bg, j, p);
    ok = true;
  } catch (const FieldError& e) {
    if (error) *error = e.what();
  } catch (const json::exception& e) {
    if (error) *error = e.what();
  }
  if (!ok) FreePreset(p);
  return ok;
}

}  // namespace

bool PresetFromJson(const json& j, Preset& p, std::string* error) {
  // Preset files have always been read in the table's own row 6, whatever
  // background they name.
  return PresetFromJsonIn(BackgroundParamRow{}, j, p, error);
}

ordered_json CurveClipToJson(const CurveClip& c) {
  const int row = std::clamp(c.ParamNum, 0, PDBK - 1);
  const int64_t scale = PowerOfTen[std::clamp(c.Digits, 0, 7)];
  ordered_json curve = ordered_json::array();
  for (int i = 0; i < std::clamp(c.NumNodes, 0, MAXNODES); ++i) {
    const Node& n = c.Nodes[i];
    const int64_t v = c.Z ? int64_t(uint32_t(n.Value) & 0xFFFFu) : int64_t(n.Value);
    ordered_json pt = ordered_json::array();
    if (n.SweepTime % 100 == 0)
      pt.push_back(n.SweepTime / 100);
    else
      pt.push_back(n.SweepTime / 100.0);
    if (v % scale == 0)
      pt.push_back(v / scale);
    else
      pt.push_back(double(v) / double(scale));
    if (n.Weight != 10) pt.push_back(n.Weight);
    curve.push_back(pt);
  }
  ordered_json param;
  param[row == PN_BGPARAM ? std::string("Background Param") : RowName(BackgroundParamRow{}, row)]["Curve"] = curve;
  ordered_json seg;
  seg["Length"] = c.Length;
  if (ParamDef[row].FirstPid >= NSPAR)
    seg["Voice"] = ordered_json::array({param});
  else
    seg["Param"] = param;
  ordered_json j;
  j["Segment"] = ordered_json::array({seg});
  return j;
}

bool CurveClipFromJson(const BackgroundParamRow& bg, const json& j, CurveClip* out, std::string* error) {
  try {
    // The one named parameter, where it stands.
    const json* named = nullptr;
    std::string where;
    int32_t length = 1000;
    auto take = [&](const json& obj, const std::string& path) {
      if (!obj.is_object()) Fail(path, "must be an object of parameters by name");
      for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (named) Fail(path + "." + it.key(), "a curve is one parameter; this names another");
        named = &obj;
        where = path;
      }
    };
    if (!j.is_object()) Fail("curve", "must be an object");
    if (const json* segs = Find(j, "Segment")) {
      if (!segs->is_array() || segs->size() != 1) Fail("Segment", "a curve is an array of one segment");
      const json& seg = (*segs)[0];
      if (!seg.is_object()) Fail("Segment[0]", "must be an object");
      if (const json* l = Find(seg, "Length"))
        length = static_cast<int32_t>(GetInt(*l, "Segment[0].Length", 1, MAXSEGLENGTH));
      if (const json* p = Find(seg, "Param")) take(*p, "Segment[0].Param");
      if (const json* v = Find(seg, "Voice")) {
        if (!v->is_array()) Fail("Segment[0].Voice", "must be an array");
        for (size_t i = 0; i < v->size(); ++i) take((*v)[i], "Segment[0].Voice[" + std::to_string(i) + "]");
      }
    } else {
      take(j, "curve");
    }
    if (!named) Fail("curve", "names no parameter");
    const std::string name = named->begin().key();
    // A row of a voice goes into the first voice, a row of the segment into
    // the segment's parameters.
    int pid = PidOfName(bg, name, 0);
    const bool voice = pid >= 0;
    if (!voice) pid = PidOfName(bg, name, -1);
    if (pid < 0) Fail(where + "." + name, "no such parameter");
    json seg;
    seg["Length"] = length;
    if (voice)
      seg["Voice"] = json::array({*named});
    else
      seg["Param"] = *named;
    Preset p{};
    std::string why;
    // Read in the row the clip is labelled with, so the values keep their
    // meaning in the chart it is pasted into.
    if (!PresetFromJsonIn(bg, json{{"Segment", json::array({seg})}}, p, &why)) throw FieldError(why);
    const int row = ParamNumOfPid(pid);
    const Param& q = SegParams(p, 0)[pid];
    CurveClip c;
    c.ParamNum = row;
    c.Digits = ParamRowOf(bg, row).Digits;
    c.Unit = ParamRowOf(bg, row).Unit;
    c.Z = false;
    c.Length = length;
    c.NumNodes = q.NumNodes;
    for (int i = 0; i < c.NumNodes; ++i) {
      c.Nodes[i] = q.Node[i];
      if (row == PN_WAVEFORM) c.Nodes[i].Value = static_cast<int32_t>(uint32_t(q.Node[i].Value) & 0xFFFFu);
    }
    FreePreset(p);
    if (!ValidCurveClip(c)) Fail(where + "." + name, "is not a curve");
    *out = c;
    return true;
  } catch (const FieldError& e) {
    if (error) *error = e.what();
  } catch (const json::exception& e) {
    if (error) *error = e.what();
  }
  return false;
}

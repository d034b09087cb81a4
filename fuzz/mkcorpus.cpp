// Writes the seed corpora of the fuzz targets into OUTDIR:
//   preset_file/  one file per built-in JSON (what `build` makes of it), a new
//                 default preset (what `new` makes), valid-but-extreme presets
//                 and their union in one file, and damaged files
//   json/         the built-in JSON files, the full form of the extreme
//                 presets, small authoring forms
//   wave/         WAV images of every accepted and every refused kind
//   sound/        short FLAC, Ogg Vorbis, Opus, MP3 and 24-bit and float WAV
//                 files, whole, cut short and bit-flipped
//   light/        sounds with a 19.2 kHz carrier keyed at 10 Hz (WAV, FLAC,
//                 Ogg Vorbis; stereo, mono, 8 channels, 96 kHz, 1 Hz), whole,
//                 cut short and bit-flipped, and raw decoder inputs
//   bgrecord/     background library records, sound and broken
//   oldformat/    files of the earlier format (tests/convold's writer)
// The render target replays preset_file/.
//
// Usage: mkcorpus OUTDIR BUILTIN.json...
#include <sndfile.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "background/bgrecord.h"
#include "common/riffimage.h"
#include "convold/oldwriter.h"
#include "engine/startup.h"
#include "file/fileformat.h"
#include "file/filewrite.h"
#include "main/curveclip.h"
#include "main/preset.h"
#include "presetjson/presetjson.h"

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

namespace {

fs::path gOut;

void Save(const std::string& dir, const std::string& name, const Bytes& b) {
  fs::create_directories(gOut / dir);
  std::ofstream f(gOut / dir / name, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
void SaveText(const std::string& dir, const std::string& name, const std::string& s) {
  Save(dir, name, Bytes(s.begin(), s.end()));
}

Bytes FileOf(Preset* p, int n) {
  Bytes out;
  ByteDev dev = DevFromBuffer(out);
  if (WritePresetFile(dev, 0, p, n) != 0) std::fprintf(stderr, "mkcorpus: a preset could not be written\n");
  return out;
}

// --- Presets ---------------------------------------------------------------

int32_t Stored(int paramNum, int display) { return display * PowerOfTen[ParamDef[paramNum].Digits]; }

// The row's lower or upper limit in stored units (both halves for Waveform).
int32_t Limit(int paramNum, bool upper) {
  int32_t v = Stored(paramNum, upper ? ParamDef[paramNum].Max : ParamDef[paramNum].Min);
  if (paramNum == PN_WAVEFORM) return static_cast<int32_t>((static_cast<uint32_t>(v) << 16) | static_cast<uint32_t>(v));
  return v;
}

// Every parameter of segment s gets `nodes` nodes alternating between the
// row's limits, with every weight and both symmetries in turn.
void Alternate(Preset& p, int s, int nodes, int phase) {
  Param* params = SegParams(p, s);
  const Segment& seg = p.data.Segment[s];
  for (int pid = 0; pid < SegParamCount(seg); ++pid) {
    Param& q = params[pid];
    int n = ParamNumOfPid(pid);
    q.Tracking = 0;
    q.NumNodes = static_cast<uint8_t>(nodes);
    for (int i = 0; i < nodes; ++i) {
      q.Node[i].Value = Limit(n, (i + phase + pid) % 2 == 1);
      q.Node[i].SweepTime = static_cast<int16_t>(i == nodes - 1 ? 10000 : 10000 * i / (nodes - 1));
      q.Node[i].Weight = static_cast<uint8_t>((i + pid) % 21);
      q.Node[i].Symmetric = static_cast<uint8_t>(i % 2);
    }
  }
}

// Every parameter of segment s constant at `value` (nullptr: the row's
// limit, lower or upper).
void Constant(Preset& p, int s, const int32_t* value, bool upper) {
  Param* params = SegParams(p, s);
  const Segment& seg = p.data.Segment[s];
  for (int pid = 0; pid < SegParamCount(seg); ++pid) {
    Param& q = params[pid];
    q.Tracking = 0;
    q.NumNodes = 2;
    q.Node[0] = {value ? *value : Limit(ParamNumOfPid(pid), upper), 0, 10, 1};
    q.Node[1] = {q.Node[0].Value, 10000, 10, 1};
  }
}

void Shape(Preset& p, const char* name, int segments, int voices, int length, int repeat) {
  NewDefaultPreset(p, 3);
  std::snprintf(p.Name, NAMELEN, "%s", name);
  p.data.NumSegments = static_cast<uint8_t>(segments);
  for (int s = 0; s < segments; ++s) {
    Segment& seg = p.data.Segment[s];
    seg.Name[0] = static_cast<char>('A' + s % 26), seg.Name[1] = 0;
    seg.Length = length;
    seg.Repeat = repeat;
    Param* params = CommitSegmentSlot(p, s, voices);
    FillDefaultSegment(params, seg, voices, 3);
    RecomputeAllTracked(BackgroundParamRow{}, params, seg);
  }
}

// Voice v's pitch follows voice v-1's, the beat of every voice follows
// voice 0's, each with its own slope and intercept.
void Chain(Preset& p, int s) {
  Param* params = SegParams(p, s);
  Segment& seg = p.data.Segment[s];
  for (int v = 1; v < seg.NumVoices; ++v) {
    Param& pitch = params[VoicePidOf(v, 1)];
    pitch.Tracking = 1;
    pitch.TrackSource = static_cast<uint8_t>(VoicePidOf(v - 1, 1));
    pitch.Slope = 1000 + 250 * v;
    pitch.Intercept = -5000 * v;
    pitch.TrackingMode = static_cast<uint8_t>(v % 3);
    Param& beat = params[VoicePidOf(v, 0)];
    beat.Tracking = 1;
    beat.TrackSource = static_cast<uint8_t>(VoicePidOf(0, 0));
    beat.Slope = -1000 * v;
    beat.Intercept = 0;
  }
  RecomputeAllTracked(BackgroundParamRow{}, params, seg);
}

struct Named {
  std::string Name;
  Preset P;
};

std::vector<Named> ExtremePresets() {
  std::vector<Named> out;
  auto add = [&](const std::string& name) -> Preset& {
    out.push_back({name, Preset{}});
    return out.back().P;
  };
  {
    Preset& p = add("limits");
    Shape(p, "Limits of every row", 2, 10, 100, 1);
    Alternate(p, 0, 2, 0);
    Alternate(p, 1, 3, 1);
  }
  for (int k = 0; k < 4; ++k) {
    static const char* names[] = {"low", "high", "int-min", "int-max"};
    static const int32_t wide[] = {INT32_MIN, INT32_MAX};
    Preset& p = add(names[k]);
    Shape(p, names[k], 1, MAXVOICES, 4, 1);
    Constant(p, 0, k >= 2 ? &wide[k - 2] : nullptr, k % 2 == 1);
    p.data.ContinuePlaying = 1;
    p.data.Background = AMBIX_OTHER;
  }
  // Each parameter at one of the awkward values, chosen per pid and seed;
  // separate channels, tracking with extreme slopes and intercepts.
  for (int k = 0; k < 4; ++k) {
    static const int32_t odd[] = {INT32_MIN, INT32_MAX, 0, -1, 1, INT32_MIN + 1, INT32_MAX - 1, 65535};
    Preset& p = add("mixed-" + std::to_string(k));
    Shape(p, "Mixed extremes", 2, k + 1, 2, 2 + k);
    for (int s = 0; s < 2; ++s) {
      Param* params = SegParams(p, s);
      for (int pid = 0; pid < SegParamCount(p.data.Segment[s]); ++pid) {
        Param& q = params[pid];
        int32_t a = odd[(pid * 7 + k * 3 + s) % 8], b = odd[(pid * 5 + k + 1) % 8];
        if ((pid + k) % 3 == 0) a = Limit(ParamNumOfPid(pid), (pid + s) % 2 == 0);
        q.Tracking = 0;
        q.NumNodes = 3;
        q.Node[0] = {a, 0, static_cast<uint8_t>(pid % 21), 0};
        q.Node[1] = {b, static_cast<int16_t>(1000 * (k + 1)), static_cast<uint8_t>((pid + 10) % 21), 1};
        q.Node[2] = {a, 10000, 10, 1};
        q.ChannelMode = static_cast<uint8_t>((pid + k) % 3);
      }
      for (int v = 1; v < p.data.Segment[s].NumVoices; ++v) {
        Param& t = params[VoicePidOf(v, 1)];
        t.Tracking = 1;
        t.TrackSource = static_cast<uint8_t>(VoicePidOf(v - 1, 1));
        t.Slope = odd[(v + k) % 8];
        t.Intercept = odd[(v + k + 3) % 8];
        t.MinLimit = odd[(v + 5) % 8];
        t.MaxLimit = odd[(v + 6) % 8];
        t.TrackingMode = static_cast<uint8_t>(v % 11);
      }
      RecomputeAllTracked(BackgroundParamRow{}, params, p.data.Segment[s]);
    }
    p.data.Background = k % 2 ? AMBIX_OTHER : AMBIX_LONG;
    p.data.ContinuePlaying = static_cast<uint8_t>(k % 2);
  }
  {
    Preset& p = add("nodes100");
    Shape(p, "100 alternating nodes", 1, 10, 1, 1);
    Alternate(p, 0, MAXNODES, 0);
  }
  {
    Preset& p = add("largest");
    Shape(p, "25 segments of 10 voices", MAXSEGMENTS, MAXVOICES, 3, 2);
    for (int s = 0; s < MAXSEGMENTS; ++s) Alternate(p, s, 4 + s, s);
  }
  {
    Preset& p = add("tracking");
    Shape(p, "Tracking chains", 2, MAXVOICES, 50, 3);
    Chain(p, 0);
    Alternate(p, 1, 5, 0);
    Chain(p, 1);
  }
  {
    Preset& p = add("repeats");
    Shape(p, "Repeats of 10000", 3, 2, 1, MAXREPEAT);
    p.data.Segment[2].Length = MAXSEGLENGTH;
    p.data.ContinuePlaying = 1;
  }
  {
    Preset& p = add("background");
    Shape(p, "Background file in interval mode", 1, 1, 2, 1);
    p.data.Background = AMBIX_OTHER;
    std::snprintf(p.data.BackgroundFile, NAMELEN, "rain.wav");
    Alternate(p, 0, 3, 0);
  }
  {
    Preset& p = add("steady");
    Shape(p, "Steady, continue playing", 1, 1, 1, 1);
    p.data.ContinuePlaying = 1;
    p.data.Background = AMBIX_LONG;
    p.data.VisOpt.NumColors = MAXCOLORS;
    for (int i = 0; i < MAXCOLORS; ++i) p.data.VisOpt.Colors[i] = 0x010101u * static_cast<uint32_t>(i * 8);
  }
  return out;
}

void WritePresets(const std::vector<std::string>& jsonFiles) {
  for (const std::string& path : jsonFiles) {
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string base = fs::path(path).stem().string();
    SaveText("json", base + ".json", text);
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    Preset p{};
    std::string error;
    if (j.is_discarded() || !PresetFromJson(j, p, &error)) {
      std::fprintf(stderr, "mkcorpus: %s: %s\n", path.c_str(), error.c_str());
      continue;
    }
    Save("preset_file", "builtin-" + base + ".tvk", FileOf(&p, 1));
    FreePreset(p);
  }
  {
    Preset p{};
    NewDefaultPreset(p, 3);
    std::snprintf(p.Name, NAMELEN, "New preset");
    Save("preset_file", "new.tvk", FileOf(&p, 1));
    SaveText("json", "new-full.json", PresetToJson(p).dump(1));
    FreePreset(p);
  }
  std::vector<Named> extreme = ExtremePresets();
  for (Named& n : extreme) {
    Save("preset_file", "extreme-" + n.Name + ".tvk", FileOf(&n.P, 1));
    if (n.Name != "largest") SaveText("json", "extreme-" + n.Name + ".json", PresetToJson(n.P).dump());
  }
  // Two extremes behind a deleted record, which the reader skips.
  {
    Preset two[3] = {};
    CopyPreset(two[0], extreme[1].P);
    two[0].Deleted = 1;
    CopyPreset(two[1], extreme[0].P);
    CopyPreset(two[2], extreme[3].P);
    Bytes b = FileOf(two, 3);
    Save("preset_file", "deleted-then-two.tvk", b);
    // Damaged: cut inside the last record, and a record size one too large.
    Save("preset_file", "cut.tvk", Bytes(b.begin(), b.end() - 100));
    Bytes big = b;
    size_t first = FILE_HEADER_SIZE;
    PutLE32(big.data() + first, GetLE32(big.data() + first) + 1);
    Save("preset_file", "size-off.tvk", big);
    for (Preset& p : two) FreePreset(p);
  }
  {
    Bytes header = FileOf(nullptr, 0);
    Save("preset_file", "header-only.tvk", header);
    Bytes old = header;
    PutLE32(old.data() + 128, OLD_FILE_VERSION);
    Save("preset_file", "old-version.tvk", old);
    Save("preset_file", "empty.tvk", Bytes());
  }
  for (Named& n : extreme) FreePreset(n.P);

  SaveText("json", "authoring-small.json", R"({"Name":"Small","Segments":[{"Name":"A","Length":1,"Voices":1}]})");
  SaveText("json", "not-an-object.json", "[1,2,3]");
  SaveText("json", "numbers.json", R"({"Name":"X","NumSegments":25,"Background":-2147483648})");
  // Curves as the editor's clipboard carries them.
  SaveText("json", "curve-voice.json",
           R"({"Segment":[{"Length":1000,"Voice":[{"Sound Volume":{"Curve":[[0,100],[25.5,80.25,17],[100,0]]}}]}]})");
  SaveText("json", "curve-segment.json", R"j({"Noise Volume (Right)":{"Curve":[[0,50],[100,12.5,3]]}})j");
  SaveText("json", "curve-waveform.json", R"({"Waveform":{"Curve":[[0,10],[33.33,90],[100,50]]}})");
  SaveText("json", "curve-two.json", R"({"Segment":[{"Param":{"Noise Volume":{"Value":5},"Visual Frequency":{}}}]})");
  {
    // And in the clipboard's own bytes.
    Param q{};
    q.NumNodes = 3;
    q.Node[0] = {(500 << 16) | 100, 0, 4, 1};
    q.Node[1] = {(200 << 16) | 900, 6000, 17, 0};
    q.Node[2] = {(500 << 16) | 300, 10000, 10, 1};
    const std::string b = EncodeCurveClip(CopyCurve(BackgroundParamRow{}, q, PN_WAVEFORM, 1234));
    Save("json", "curve-own.bin", Bytes(b.begin(), b.end()));
  }
}

// --- WAV images ---------------------------------------------------------------

using riffimg::Chunk;
using riffimg::Fmt;
using riffimg::Put16;
using riffimg::Riff;

Bytes Samples(int channels, int bits, int frames) {
  Bytes s;
  for (int i = 0; i < frames * channels; ++i) {
    if (bits == 16)
      Put16(s, static_cast<unsigned>((i * 2731) & 0xFFFF));
    else
      s.push_back(static_cast<unsigned char>(i * 37));
  }
  return s;
}

void WriteWaves() {
  const uint32_t rates[] = {1, 8000, 11025, 22050, 44100, 48000, 96000, 192000};
  for (int ch = 1; ch <= 2; ++ch)
    for (int bits : {8, 16})
      for (uint32_t rate : rates) {
        int frames = rate == 1 ? 2 : 50;
        Save("wave", "ok-" + std::to_string(ch) + "ch-" + std::to_string(bits) + "bit-" + std::to_string(rate) + ".wav",
             Riff({Chunk("fmt ", Fmt(1, ch, rate, bits)), Chunk("data", Samples(ch, bits, frames))}));
      }
  Save("wave", "ok-one-frame.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Samples(2, 16, 1))}));
  Save("wave", "ok-odd-data.wav", Riff({Chunk("fmt ", Fmt(1, 1, 22050, 8)), Chunk("data", Samples(1, 8, 33))}));
  Save("wave", "ok-fmt18.wav", Riff({Chunk("fmt ", Fmt(1, 2, 22050, 16, 2)), Chunk("data", Samples(2, 16, 20))}));
  Save("wave", "ok-fmt-odd.wav", Riff({Chunk("fmt ", Fmt(1, 2, 22050, 16, 3)), Chunk("data", Samples(2, 16, 20))}));
  Save("wave", "ok-extra-chunks.wav",
       Riff({Chunk("LIST", Bytes(9, 'x')), Chunk("fmt ", Fmt(1, 2, 32000, 16)), Chunk("fact", Bytes(4, 0)),
             Chunk("data", Samples(2, 16, 20)), Chunk("cue ", Bytes(3, 1))}));
  Save("wave", "ok-trailing-partial-frame.wav",
       Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Samples(1, 8, 11))}));

  Save("wave", "bad-empty.wav", Bytes());
  Save("wave", "bad-not-riff.wav", Chunk("RIFX", Bytes(12, 0)));
  Save("wave", "bad-form.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16))}, "AVI "));
  Save("wave", "bad-riff-short.wav", Bytes{'R', 'I', 'F', 'F', 2, 0, 0, 0, 'W', 'A'});
  Save("wave", "bad-no-fmt.wav", Riff({Chunk("data", Samples(2, 16, 4))}));
  Save("wave", "bad-fmt-short.wav", Riff({Chunk("fmt ", Bytes(14, 1)), Chunk("data", Samples(2, 16, 4))}));
  {
    Bytes w = Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16))});
    Save("wave", "bad-fmt-cut.wav", Bytes(w.begin(), w.end() - 6));
  }
  Save("wave", "bad-float.wav", Riff({Chunk("fmt ", Fmt(3, 2, 44100, 32)), Chunk("data", Bytes(32, 0))}));
  Save("wave", "bad-extensible.wav", Riff({Chunk("fmt ", Fmt(0xFFFE, 2, 44100, 16, 24)), Chunk("data", Bytes(8, 0))}));
  Save("wave", "bad-channels0.wav", Riff({Chunk("fmt ", Fmt(1, 0, 44100, 16)), Chunk("data", Bytes(8, 0))}));
  Save("wave", "bad-channels3.wav", Riff({Chunk("fmt ", Fmt(1, 3, 44100, 16)), Chunk("data", Bytes(12, 0))}));
  Save("wave", "bad-bits24.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 24)), Chunk("data", Bytes(12, 0))}));
  Save("wave", "bad-bits12.wav", Riff({Chunk("fmt ", Fmt(1, 1, 44100, 12)), Chunk("data", Bytes(12, 0))}));
  Save("wave", "bad-rate0.wav", Riff({Chunk("fmt ", Fmt(1, 2, 0, 16)), Chunk("data", Bytes(8, 0))}));
  Save("wave", "bad-no-data.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("LIST", Bytes(4, 0))}));
  Save("wave", "bad-data-before-fmt.wav", Riff({Chunk("data", Bytes(8, 0)), Chunk("fmt ", Fmt(1, 2, 44100, 16))}));
  Save("wave", "bad-data-empty.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Bytes())}));
  Save("wave", "bad-data-huge.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Bytes(8, 0), 50000001)}));
  Save("wave", "bad-data-max.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Bytes(8, 0), 50000000)}));
  Save("wave", "bad-data-cut.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Bytes(8, 0), 800)}));
  Save("wave", "bad-less-than-frame.wav", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Bytes(3, 0))}));
  Save("wave", "bad-too-long-converted.wav",
       Riff({Chunk("fmt ", Fmt(1, 1, 1, 8)), Chunk("data", Samples(1, 8, 2000))}));
  Save("wave", "bad-riff-size-large.wav",
       Chunk("RIFF", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Samples(2, 16, 4))}), 0x7FFFFFFF));
}

// --- Files of the earlier format ----------------------------------------------

// 32 nodes alternating between a and b.
OldParamSpec OldZigzag(int32_t a, int32_t b) {
  OldParamSpec p;
  for (int i = 0; i < 32; ++i)
    p.Nodes.push_back({i % 2 ? b : a, static_cast<int16_t>(i == 31 ? 10000 : 10000 * i / 31),
                       static_cast<uint8_t>(i % 21), static_cast<uint8_t>(i % 2)});
  return p;
}

void WriteOldFiles() {
  Save("oldformat", "typical.old", OldFile({OldTypicalPreset("BUILTIN: typical")}));
  Save("oldformat", "two.old", OldFile({OldTypicalPreset("first", 3, 4), OldTypicalPreset("second", 2, 2)}));
  Save("oldformat", "sixteen-segments.old", OldFile({OldTypicalPreset("sixteen", 16, 4)}));
  {
    OldPresetSpec gone = OldTypicalPreset("gone");
    gone.Deleted = true;
    Save("oldformat", "deleted-first.old", OldFile({gone, OldTypicalPreset("kept", 1, 3)}));
  }
  // Every background code the table knows, and some it does not.
  std::vector<OldPresetSpec> bgs;
  for (int code : {0,   -1,  -2,  -3,  100, 101, 102, 103, 104, 105, 106, 107,  108,
                   109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 50,  -128, 127}) {
    OldPresetSpec p = OldTypicalPreset("bg " + std::to_string(code));
    p.BackgroundCode = static_cast<int8_t>(code);
    if (code == -1) p.BackgroundPath = "C:\\Sounds\\rain.wav";
    bgs.push_back(p);
  }
  Save("oldformat", "backgrounds.old", OldFile(bgs));
  {
    // Voice flags, every waveform code, tracking of every type.
    OldPresetSpec p = OldTypicalPreset("voices", 2, 4);
    for (int v = 0; v < 4; ++v) {
      p.Segments[0].VoiceFlag[v] = static_cast<uint8_t>(v % 2);
      p.Segments[0].Waveform[v] = static_cast<uint8_t>(v + 1);
      p.Segments[1].Waveform[v] = static_cast<uint8_t>(v == 0 ? 5 : 0);
    }
    for (size_t j = 6; j < p.Segments[1].Params.size(); ++j) {
      OldParamSpec& q = p.Segments[1].Params[j];
      q.Tracking = 1;
      q.Type = static_cast<uint8_t>(j % 11);
      q.Mode = static_cast<uint8_t>(j % 3);
      for (int k = 0; k < 4; ++k) q.Setting[k][q.Type] = (k + 1) * 1000 - 2500;
    }
    p.Description = "Old description";
    Save("oldformat", "voices-tracking.old", OldFile({p}));
  }
  {
    // Valid but extreme: 32-node curves between the int32 limits, the
    // longest segments and repeats, a description that fills its field.
    OldPresetSpec p = OldTypicalPreset("extreme", 2, 4);
    for (OldSegmentSpec& seg : p.Segments) {
      seg.Minutes = 10000;
      seg.Repeat = 10000;
      for (OldParamSpec& q : seg.Params) q = OldZigzag(INT32_MIN, INT32_MAX);
    }
    p.Description = std::string(4095, 'd');
    Save("oldformat", "extreme.old", OldFile({p}));
    OldPresetSpec wide = OldTypicalPreset("wide lengths", 3, 1);
    wide.Segments[0].Minutes = INT32_MAX, wide.Segments[0].Repeat = INT32_MAX;
    wide.Segments[1].Minutes = 0, wide.Segments[1].Repeat = 0;
    wide.Segments[2].Minutes = -1, wide.Segments[2].Repeat = -1;
    Save("oldformat", "wide-lengths.old", OldFile({wide}));
    OldPresetSpec nul = OldTypicalPreset("no nul");
    nul.Description = std::string(4096, 'x');
    nul.DescriptionNul = false;
    Save("oldformat", "description-without-nul.old", OldFile({nul}));
  }
  Bytes b = OldFile({OldTypicalPreset("cut", 2, 2)});
  Save("oldformat", "cut.old", Bytes(b.begin(), b.end() - 7));
  Save("oldformat", "header-only.old", OldFile({}));
  Save("oldformat", "version3.old", OldFile({OldTypicalPreset("v3")}, 3));
  Save("oldformat", "version13.old", OldFile({OldTypicalPreset("v13")}, 13));
  Save("oldformat", "empty.old", Bytes());
}

// --- Background records -----------------------------------------------------

AmbixRecord Record(int number, const char* name, bool param) {
  AmbixRecord r;
  std::memset(&r, 0, sizeof r);
  r.Number = number;
  std::snprintf(r.Name, sizeof r.Name, "%s", name);
  r.HasParam = r.IntervalMode = param ? 1 : 0;
  const int32_t row[14] = {0, 0, 2, 0, 0, 0, 159, 1, 0, 100, 2, 0, 1000, 0};
  std::memcpy(r.ParamRow, row, sizeof row);
  std::snprintf(r.ParamName, sizeof r.ParamName, "%s Interval", name);
  return r;
}

void SaveRecords(const std::string& name, std::initializer_list<AmbixRecord> recs) {
  Bytes b;
  for (const AmbixRecord& r : recs) {
    const auto* p = reinterpret_cast<const unsigned char*>(&r);
    b.insert(b.end(), p, p + sizeof r);
  }
  Save("bgrecord", name, b);
}

// A tenth of a second of two tones in each format the codec library reads.
void WriteSounds() {
  struct Kind {
    const char* Name;
    int Format, Rate;
  } kinds[] = {{"tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050},
               {"tone8.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_S8, 8000},
               {"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050},
               {"tone.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 16000},
               {"tone.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 22050},
               {"tone24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 22050},
               {"tonefloat.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 11025}};
  fs::create_directories(gOut / "sound");
  for (const Kind& k : kinds) {
    std::string path = (gOut / "sound" / k.Name).string();
    SF_INFO info{};
    info.samplerate = k.Rate;
    info.channels = 2;
    info.format = k.Format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) {
      std::fprintf(stderr, "mkcorpus: %s: %s\n", k.Name, sf_strerror(nullptr));
      continue;
    }
    std::vector<short> s;
    for (int i = 0; i < k.Rate / 10; ++i) {
      s.push_back(static_cast<short>(8000 * std::sin(2 * M_PI * 440 * i / k.Rate)));
      s.push_back(static_cast<short>(8000 * std::sin(2 * M_PI * 330 * i / k.Rate)));
    }
    sf_write_short(f, s.data(), static_cast<sf_count_t>(s.size()));
    sf_close(f);
    // Damaged copies: cut in half, and a few bits flipped past the header.
    std::ifstream in(path, std::ios::binary);
    Bytes b{std::istreambuf_iterator<char>(in), {}};
    Save("sound", std::string("cut-") + k.Name,
         Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(b.size() / 2)));
    for (size_t at = 64; at < b.size(); at += b.size() / 5 + 1) b[at] ^= 0x21;
    Save("sound", std::string("flipped-") + k.Name, b);
  }
  SaveText("sound", "text.mp3", "no sound in here");
}

// Frames whose first two channels carry the light carrier at half full
// scale, keyed down to a tenth at 10 Hz; any further channel a low tone.
std::vector<short> CarrierFrames(int rate, int channels, double seconds) {
  std::vector<short> s;
  for (int64_t n = 0; n < static_cast<int64_t>(seconds * rate); ++n) {
    double t = static_cast<double>(n) / rate;
    double v = (std::fmod(t * 10, 1.0) < 0.5 ? 16000 : 1600) * std::sin(2 * M_PI * 19200 * t);
    for (int c = 0; c < channels; ++c) s.push_back(static_cast<short>(c < 2 ? v : 3000 * std::sin(t * 2000)));
  }
  return s;
}

void WriteLightSounds() {
  struct Kind {
    const char* Name;
    int Format, Rate, Channels;
    double Seconds;
  } kinds[] = {{"carrier.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 0.6},
               {"carrier.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, 0.6},
               {"carrier.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 0.6},
               {"mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 0.4},
               {"eight-96k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 96000, 8, 0.3},
               {"one-hertz.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 2, 20}};
  fs::create_directories(gOut / "light");
  for (const Kind& k : kinds) {
    std::string path = (gOut / "light" / k.Name).string();
    SF_INFO info{};
    info.samplerate = k.Rate;
    info.channels = k.Channels;
    info.format = k.Format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) {
      std::fprintf(stderr, "mkcorpus: %s: %s\n", k.Name, sf_strerror(nullptr));
      continue;
    }
    std::vector<short> s = CarrierFrames(k.Rate, k.Channels, k.Seconds);
    sf_write_short(f, s.data(), static_cast<sf_count_t>(s.size()));
    sf_close(f);
    std::ifstream in(path, std::ios::binary);
    Bytes b{std::istreambuf_iterator<char>(in), {}};
    Save("light", std::string("cut-") + k.Name,
         Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(b.size() / 2)));
    for (size_t at = 64; at < b.size(); at += b.size() / 5 + 1) b[at] ^= 0x21;
    Save("light", std::string("flipped-") + k.Name, b);
  }
  // Raw decoder inputs: "LDEC", rate and channel bytes, then samples.
  std::vector<short> s = CarrierFrames(44100, 2, 0.3);
  Bytes raw = {'L', 'D', 'E', 'C', 0x44, 0xAC, 0, 2};
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  raw.insert(raw.end(), p, p + s.size() * sizeof(short));
  Save("light", "raw-44100.bin", raw);
}

void WriteRecords() {
  SaveRecords("plain.bin", {Record(1, "Rain", false)});
  SaveRecords("with-param.bin", {Record(2, "Bell", true)});
  SaveRecords("two.bin", {Record(1, "Hum", false), Record(2, "Bell", true)});
  AmbixRecord r = Record(3, "Odd", true);
  r.ParamRow[APR_CHANNELS] = 3;
  SaveRecords("channels3.bin", {r});
  r = Record(4, "Digits", true);
  r.ParamRow[APR_DIGITS] = 8;
  SaveRecords("digits8.bin", {r});
  r = Record(5, "Swapped", true);
  r.ParamRow[APR_MIN] = 100, r.ParamRow[APR_MAX] = 0;
  SaveRecords("min-above-max.bin", {r});
  r = Record(6, "Wide", true);
  r.ParamRow[APR_MIN] = INT32_MIN, r.ParamRow[APR_MAX] = INT32_MAX, r.ParamRow[APR_DIGITS] = 7;
  r.ParamRow[APR_STEP] = INT32_MAX, r.ParamRow[APR_STEPREL] = INT32_MAX;
  SaveRecords("int-limits.bin", {r});
  r = Record(7, "Negative step", true);
  r.ParamRow[APR_STEP] = INT32_MIN, r.ParamRow[APR_STEPREL] = -1;
  SaveRecords("negative-step.bin", {r});
  r = Record(8, "", true);
  std::memset(r.Name, 'N', sizeof r.Name);
  std::memset(r.ParamName, 'P', sizeof r.ParamName);
  std::memset(r.LibraryFile, 'L', sizeof r.LibraryFile);
  std::memset(r.Reserved2, 0xFF, sizeof r.Reserved2);
  SaveRecords("no-nul.bin", {r});
  SaveRecords("numbers.bin", {Record(-1, "Minus", true), Record(1024, "None", true), Record(1025, "Other", false),
                              Record(INT32_MAX, "Max", true)});
  Save("bgrecord", "short.bin", Bytes(100, 0x41));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: mkcorpus OUTDIR BUILTIN.json...\n");
    return 2;
  }
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return 1;
  gOut = argv[1];
  fs::create_directories(gOut);
  WritePresets(std::vector<std::string>(argv + 2, argv + argc));
  WriteWaves();
  WriteSounds();
  WriteLightSounds();
  WriteRecords();
  WriteOldFiles();
  return 0;
}

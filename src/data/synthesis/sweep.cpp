// The calculation of the sweep record list ("Calculating preset data").
#include "data/synthesis/sweep.h"

#include <algorithm>
#include <cstring>

#include "assert/check.h"
#include "data/synthesis/options.h"
#include "data/synthesis/wavetab.h"
#include "main/arith.h"
#include "main/preset.h"

namespace {

// Segment time t falls in block round(B * t / 10000).
int32_t BlockOf(int32_t b, int t) { return static_cast<int32_t>((static_cast<int64_t>(b) * t + 5000) / 10000); }

// v0 + (v1 - v0) * w / 100 for a weight 0..100. Values from files span the
// whole int32 range, so a difference that does not fit in 32 bits is taken
// in 64 (rounded as MulDiv rounds); the result lies between v0 and v1.
int32_t Weighted(int32_t v0, int32_t v1, int w) {
  int64_t d = static_cast<int64_t>(v1) - v0;
  // Below 2^24, d times a weight (7 bits) always fits: MulDiv's rounding
  // division, which cannot step past d.
  if (d > -(1 << 24) && d < (1 << 24)) {
    int32_t n = static_cast<int32_t>(d) * w;
    return v0 + n / 100 + (n % 100 >= 50 ? 1 : 0);
  }
  if (d >= INT32_MIN && d <= INT32_MAX) {
    // MulDiv divides early when d * w would not fit, and its rounding can
    // then step past d; the point stays between the two nodes.
    int64_t r = static_cast<int64_t>(v0) + MulDiv(static_cast<int32_t>(d), w, 100);
    return static_cast<int32_t>(std::clamp<int64_t>(r, std::min(v0, v1), std::max(v0, v1)));
  }
  int64_t x = d * w;
  return static_cast<int32_t>(v0 + (x > 0 ? (x + 50) / 100 : x / 100));
}

void StartSweep(ProgressRecord& p, const Param& param, bool packed) {
  int last = param.NumNodes - 1;
  int k = std::clamp(p.CurNode, 0, std::max(last, 0));
  const Node& n0 = param.Node[k];
  // A curve whose last node lies before the segment end (only in hand-made
  // files) holds its last value to the end.
  const Node& n1 = k < last ? param.Node[k + 1] : param.Node[k];
  int32_t t0 = n0.SweepTime, t1 = k < last ? n1.SweepTime : 10000;
  const uint8_t* w = WeightTable[std::min<int>(n0.Weight, 20)];
  p.CurValue = n0.Value;
  for (int i = 0; i <= 20; i++) {
    p.WTimes[i] = t0 + (t1 - t0) * i / 20;
    if (packed) {
      int32_t hi0 = static_cast<int32_t>(static_cast<uint32_t>(n0.Value) >> 16);
      int32_t lo0 = static_cast<int32_t>(static_cast<uint32_t>(n0.Value) & 0xFFFF);
      int32_t hi1 = static_cast<int32_t>(static_cast<uint32_t>(n1.Value) >> 16);
      int32_t lo1 = static_cast<int32_t>(static_cast<uint32_t>(n1.Value) & 0xFFFF);
      int32_t hi = hi0 + MulDiv(hi1 - hi0, w[i], 100), lo = lo0 + MulDiv(lo1 - lo0, w[i], 100);
      p.WValues[i] = static_cast<int32_t>((static_cast<uint32_t>(hi) << 16) | (static_cast<uint32_t>(lo) & 0xFFFF));
    } else {
      p.WValues[i] = Weighted(n0.Value, n1.Value, w[i]);
    }
  }
  p.SweepInProgress = true;
  PrepareSweep(p, packed);
}

bool Audible(const SweepRecord* r, int background, bool strobe) {
  for (int i = 0; i < r->NumVoices; i++)
    if (r->Voice[i].Volume[0] > 0 || r->Voice[i].Volume[1] > 0) return true;
  if (strobe && (StrobeSlot(r).Volume[0] != 0 || StrobeSlot(r).Volume[1] != 0)) return true;
  // Noise is as audible as a voice; ending a preset that only plays noise
  // would cut it off although the user asked for it to continue.
  if (r->NoiseVolume[0] > 0 || r->NoiseVolume[1] > 0) return true;
  return background != AMBIX_NONE;
}

bool HasNoise(const SweepRecord* r) { return r->NoiseVolume[0] != 0 || r->NoiseVolume[1] != 0; }

struct Calc {
  PlaybackState& Pb;
  const Preset& P;
  const ProgressSink* Sink;
  SweepRecord* Rec;  // where the next record goes
  bool Noise = false;
};

// Appends a copy of `src` at c.Rec.
bool AppendCopy(Calc& c, const SweepRecord* src) {
  if (!NextSweepRecord(c.Pb, c.Rec, true)) return false;
  std::memcpy(static_cast<void*>(c.Rec), src, SweepRecordBytes(src->NumVoices));
  c.Rec = FollowingRecord(c.Rec);
  return true;
}

// Gives `prev` its block count, splitting counts over MAXRECORDBLOCKS into
// copies that follow it.
bool SetBlocks(Calc& c, SweepRecord* prev, int32_t blocks) {
  prev->Blocks = std::min(blocks, MAXRECORDBLOCKS);
  blocks -= prev->Blocks;
  while (blocks > 0) {
    SweepRecord* copy = c.Rec;
    if (!AppendCopy(c, prev)) return false;
    copy->Blocks = std::min(blocks, MAXRECORDBLOCKS);
    blocks -= copy->Blocks;
  }
  return true;
}

int Write(Calc& c, int s, int v) {
  int status = 0;
  SweepRecord* next = FillSweepRecord(c.Pb, c.P, s, Progress, v, c.Rec, &status);
  if (!next) return status;
  if (HasNoise(c.Rec)) c.Noise = true;
  c.Rec = next;
  return 0;
}

int CalculateSegment(Calc& c, int s) {
  const Segment& seg = c.P.data.Segment[s];
  const Param* params = SegParams(c.P, s);
  int n = SegParamCount(seg);
  c.Pb.SweepDataVoices = std::max<int>(c.Pb.SweepDataVoices, seg.NumVoices);
  for (int j = 0; j < n; j++) {
    Progress[j].SweepInProgress = false;
    Progress[j].CurNode = -1;
  }
  int pn[NPARAMS];  // each parameter's row
  // Whether a curve's node times never fall: then no node before CurNode
  // lies after the time reached, and the search for the next node may start
  // at CurNode.
  bool sorted[NPARAMS];
  for (int j = 0; j < n; j++) {
    pn[j] = ParamNumOfPid(j);
    const Param& p = params[j];
    sorted[j] = true;
    for (int k = 0; k + 1 < p.NumNodes; k++) sorted[j] = sorted[j] && p.Node[k].SweepTime <= p.Node[k + 1].SweepTime;
  }
  int32_t B = MulDiv(seg.Length, 600, c.Pb.Options.LenOfBlocks);
  int32_t blockStep = (10000 + std::max(B, 1) - 1) / std::max(B, 1);
  int numSegments = c.P.data.NumSegments;
  SweepRecord* first = c.Rec;
  SweepRecord* prev = nullptr;
  int prevV = 0;
  int v = 0;
  for (;;) {
    // The stretch up to the next node of any parameter.
    int StartTime = v, EndTime = 10000;
    bool changed = false;
    for (int j = 0; j < n; j++) {
      const Param& p = params[j];
      int at = -1;
      for (int k = sorted[j] ? std::max(Progress[j].CurNode, 0) : 0; k < p.NumNodes; k++) {
        int t = p.Node[k].SweepTime;
        if (t > v) {
          EndTime = std::min(EndTime, t);
          break;
        }
        if (t == v) at = k;
      }
      if (at >= 0 && at != Progress[j].CurNode) {
        if (Progress[j].CurNode >= 0 && p.Node[at].Value != p.Node[Progress[j].CurNode].Value) changed = true;
        Progress[j].CurNode = at;
        Progress[j].SweepInProgress = false;
      }
    }
    TVK_CHECK(EndTime > StartTime && EndTime <= 10000, EndTime);
    if (EndTime <= StartTime) EndTime = std::min(10000, StartTime + 1);
    for (int j = 0; j < n; j++)
      if (!Progress[j].SweepInProgress) StartSweep(Progress[j], params[j], pn[j] == PN_WAVEFORM);
    for (;;) {
      if (c.Sink && c.Sink->Report) {
        int pos = s * 9000 / numSegments + v * 9000 / numSegments / 10000 + 500;
        if (c.Sink->Report(c.Sink->Ctx, pos)) return CALC_ABORTED;
      }
      if (prev && !changed) {
        int next = 100000;
        for (int j = 0; j < n; j++) {
          const ProgressRecord& pr = Progress[j];
          int t;
          if (pn[j] == PN_WAVEFORM) {
            int32_t hi = static_cast<int32_t>(static_cast<uint32_t>(pr.CurValue) >> 16);
            int32_t lo = static_cast<int32_t>(static_cast<uint32_t>(pr.CurValue) & 0xFFFF);
            t = NextChangeTimePacked(pr.CurValue, ParamStep(c.Pb, pn[j], std::min(hi, lo)), pr, v);
          } else {
            t = NextChangeTime(pr.CurValue, ParamStep(c.Pb, pn[j], pr.CurValue), pr, v);
          }
          next = std::min(next, t);
        }
        // Nothing changes before the next node: the stretch ends there with
        // no record of its own (the next stretch writes one only when a node
        // value changes), so a steady segment is a single record.
        if (next > EndTime) {
          v = EndTime;
          break;
        }
        if (BlockOf(B, next) > BlockOf(B, v))
          v = next;
        else
          v = std::min(v + blockStep, EndTime);
      }
      if (prev) {
        int32_t blocks = BlockOf(B, v) - BlockOf(B, prevV);
        if (!SetBlocks(c, prev, blocks > 0 ? blocks : 1)) return CALC_TOOCOMPLEX;
      }
      prev = c.Rec;
      prevV = v;
      if (int st = Write(c, s, v)) return st;
      changed = false;
      if (v >= EndTime) break;
    }
    if (v >= 10000) break;
    // Every parameter whose next node lies at EndTime moves on to it.
    for (int j = 0; j < n; j++) {
      ProgressRecord& pr = Progress[j];
      const Param& p = params[j];
      // CurNode is an index here; the checks keep the expressions of the
      // node-pointer form so that reports read the same.
      if (!pr.SweepInProgress) CheckFail(TVK_MODULE, __LINE__, "Progress[j].SweepInProgress", "j", j);
      int cur = std::max(pr.CurNode, 0);
      if (cur + 1 >= p.NumNodes) {
        CheckFail(TVK_MODULE, __LINE__, "Progress[j].CurNode-&seg->Param[j].Node[0]+1<seg->Param[j].NumNodes", "j", j);
        continue;
      }
      if (p.Node[cur + 1].SweepTime < EndTime) {
        CheckFail(TVK_MODULE, __LINE__, "(Progress[j].CurNode+1)->SweepTime>=EndTime", "j", j);
        continue;
      }
      if (p.Node[cur + 1].SweepTime == EndTime) {
        pr.CurNode = cur + 1;
        pr.SweepInProgress = false;
      }
    }
  }
  prev->Blocks = std::max<int32_t>(1, B - BlockOf(B, prevV));
  if (seg.Repeat > 1) {
    prev->RepeatCount = static_cast<uint16_t>(std::min(seg.Repeat - 1, 65535));
    prev->RepeatTarget = first;
  }
  return 0;
}

}  // namespace

int CalculatePreset(PlaybackState& pb, const Preset& preset, bool toDevice, const ProgressSink* sink) {
  (void)toDevice;  // the list is the same for the device and for a file
  ResetWaveformCache(pb);
  pb.SweepDataVoices = 0;
  pb.NoiseOn = false;
  if (!EnsureSweepData(pb, 2 * MAXSWEEPRECORD)) return CALC_TOOCOMPLEX;
  Calc c{pb, preset, sink, FirstSweepRecord(pb)};
  int segments = std::clamp<int>(preset.data.NumSegments, 1, MAXSEGMENTS);
  for (int s = 0; s < segments; s++)
    if (int st = CalculateSegment(c, s)) return st;
  // The final record: every parameter at its last node.
  SweepRecord* last = c.Rec;
  int status = 0;
  if (!FillSweepRecord(pb, preset, segments - 1, nullptr, 10000, last, &status)) return status;
  if (HasNoise(last)) c.Noise = true;
  last->Blocks =
      preset.data.ContinuePlaying && Audible(last, preset.data.Background, pb.AudioStrobeOn.load() != 0) ? 0 : -1;
  if (c.Noise) {
    pb.NoiseOn = true;
    pb.ExtraSourceShare += 1;
  }
  BuildStrobeShapes(pb.Options);
  return 0;
}

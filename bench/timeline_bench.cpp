// The whole-preset timeline's redraw on the largest preset: 25 segments of
// 10 voices, every curve shown of 100 nodes, repeated segments and separate
// channels among them. Times an edit's redraw (a node of one segment's
// curve changed, the timeline sampled again and painted), a redraw with
// every segment's curve worked out anew (another parameter shown) and a
// plain repaint, each into a pixmap (a grab of the timeline), in the
// thread's CPU time so that other work on a shared machine does not count;
// prints the median and the slowest of many runs. Target: an edit's redraw,
// and every segment anew, under 10 ms.
//
//   sonavel_timeline_bench [DPR]   (bench/timeline_bench.sh runs it at 1 and 2)
#include <time.h>

#include <QApplication>
#include <QTabBar>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "engine/startup.h"
#include "main/preset.h"
#include "main/presetedit.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/PresetTimeline.h"
#include "reg/settings.h"

namespace {

double CpuMicros() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

void Report(const char* what, std::vector<double> us) {
  std::sort(us.begin(), us.end());
  std::printf("%-34s median %7.2f ms   slowest %7.2f ms   (%zu runs)\n", what, us[us.size() / 2] / 1000.0,
              us.back() / 1000.0, us.size());
}

// 100 nodes of every weight between lo and hi (stored units).
void Busy(Param& q, int32_t lo, int32_t hi, int seed) {
  q.NumNodes = MAXNODES;
  for (int i = 0; i < MAXNODES; ++i)
    q.Node[i] = Node{lo + ((i * 7919 + seed * 104729) % 97) * (hi - lo) / 96,
                     static_cast<int16_t>(i * 10000 / (MAXNODES - 1)), static_cast<uint8_t>((i + seed) % 21), 0};
  q.Tracking = 0;
  q.EasySel = 0;
}

// 25 segments of 10 voices; the beat, pitch (left and right apart in every
// third segment) and volume of every voice with 100 nodes; lengths of 1 to
// 49 minutes, every fourth segment repeated (the last one 100 times).
void MakeLargest(Preset& p) {
  NewDefaultPreset(p);
  const EditRules off{false, 3, {}};
  for (int s = 1; s < MAXSEGMENTS; ++s) AddSegment(p, 0, off);
  for (int s = 0; s < MAXSEGMENTS; ++s) {
    while (p.data.Segment[s].NumVoices < MAXVOICES) AddVoice(p, s, 0, off);
    Segment& seg = p.data.Segment[s];
    seg.Length = 100 + 200 * s;
    seg.Repeat = s == MAXSEGMENTS - 1 ? 100 : s % 4 == 3 ? 3 : 1;
    Param* params = SegParams(p, s);
    for (int v = 0; v < MAXVOICES; ++v) {
      Busy(params[VoicePidOf(v, VP_BEAT)], 1000, 20000, s + v);
      Busy(params[VoicePidOf(v, VP_PITCH)], 10000, 40000, s + 2 * v);
      Busy(params[VoicePidOf(v, VP_PITCH) + 1], 11000, 42000, s + 3 * v);
      params[VoicePidOf(v, VP_PITCH)].ChannelMode = s % 3 == 0 ? 1 : 0;
      Busy(params[VoicePidOf(v, VP_VOLUME)], 0, 10000, s + 4 * v);
      Busy(params[VoicePidOf(v, VP_VOLUME) + 1], 0, 10000, s + 5 * v);
      params[VoicePidOf(v, VP_VOLUME)].ChannelMode = static_cast<uint8_t>(s % 2);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int dpr = argc > 1 ? std::atoi(argv[1]) : 1;
  if (dpr != 1 && dpr != 2) {
    std::fprintf(stderr, "usage: sonavel_timeline_bench [1|2]\n");
    return 2;
  }
  qputenv("QT_SCALE_FACTOR", QByteArray::number(dpr));
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return 1;
  DefaultSettings(Cfg, false);
  const int n = NumPrograms;
  CommitProgramRecord(n);
  MakeLargest(Program[n]);
  NumPrograms = n + 1;
  {
    PresetOptionsDialog d(nullptr, n, false);
    d.resize(1200, 700);
    d.show();
    d.tabs()->setCurrentIndex(1);
    d.selectVoice(MAXVOICES - 1);
    QApplication::processEvents();
    PresetTimeline* t = d.timeline();
    std::printf("timeline %d x %d at device-pixel ratio %d, %d columns\n", t->width(), t->height(), dpr,
                int(t->columns().size()));
    for (int row : {int(PN_BEAT), int(PN_PITCH), int(PN_VOLUME)}) {
      const int other = row == PN_VOLUME ? int(PN_BEAT) : int(PN_VOLUME);
      const int pid = PARAMID(MAXVOICES - 1, row);
      std::vector<double> edit, whole, plain;
      for (int i = 0; i < 100; ++i) {
        // An edit: one node of one segment's curve, then the redraw every
        // edit asks for.
        t->setParameter(row);
        t->grab();
        Param& q = SegParams(d.prg(), i % MAXSEGMENTS)[pid];
        q.Node[50].Value ^= 1;
        double t0 = CpuMicros();
        t->presetChanged();
        t->grab();
        edit.push_back(CpuMicros() - t0);
        // Every segment worked out anew: another parameter shown.
        t->setParameter(other);
        t->grab();
        t0 = CpuMicros();
        t->setParameter(row);
        t->grab();
        whole.push_back(CpuMicros() - t0);
        // Nothing changed.
        t0 = CpuMicros();
        t->grab();
        plain.push_back(CpuMicros() - t0);
      }
      const char* name = row == PN_BEAT ? "beat" : row == PN_PITCH ? "pitch" : "volume";
      char what[64];
      std::snprintf(what, sizeof what, "%s: redraw after an edit", name);
      Report(what, edit);
      std::snprintf(what, sizeof what, "%s: every segment anew", name);
      Report(what, whole);
      std::snprintf(what, sizeof what, "%s: repaint", name);
      Report(what, plain);
    }
    d.hide();
  }
  EngineShutdown();
  return 0;
}

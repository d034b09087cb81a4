// The parameter pages' switching speed on a segment of 10 voices: a change
// of the display tab and a change of the voice, each until the dialog has
// repainted (a grab of the dialog). Prints the median and the slowest of
// many switches, in the thread's CPU time, so that other work on a shared
// machine does not count. Target: under 30 ms each.
//
//   sonavel_pages_bench      (bench/pages_bench.sh runs it offscreen)
#include <time.h>

#include <QApplication>
#include <QTabBar>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "engine/startup.h"
#include "main/preset.h"
#include "main/presetedit.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "reg/settings.h"

namespace {

double CpuMicros() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

void Report(const char* what, std::vector<double> us) {
  std::sort(us.begin(), us.end());
  std::printf("%-28s median %7.2f ms   slowest %7.2f ms   (%zu runs)\n", what, us[us.size() / 2] / 1000.0,
              us.back() / 1000.0, us.size());
}

// Times `step(i)` followed by the repaint it causes.
std::vector<double> Time(QWidget* d, int runs, const std::function<void(int)>& step) {
  std::vector<double> us;
  for (int i = 0; i < runs; ++i) {
    const double t0 = CpuMicros();
    step(i);
    QApplication::processEvents();
    d->grab();
    us.push_back(CpuMicros() - t0);
  }
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return 1;
  DefaultSettings(Cfg, false);
  const int n = NumPrograms;
  CommitProgramRecord(n);
  NewDefaultPreset(Program[n]);
  for (int v = 1; v < MAXVOICES; ++v) AddVoice(Program[n], 0, 0, EditRules{false, 3, {}});
  NumPrograms = n + 1;
  {
    PresetOptionsDialog d(nullptr, n, false);
    d.resize(720, 600);
    d.show();
    d.tabs()->setCurrentIndex(1);
    QApplication::processEvents();
    Report("switch tab (1..5)", Time(&d, 200, [&](int i) { d.tabs()->setCurrentIndex(1 + (i + 1) % 5); }));
    d.tabs()->setCurrentIndex(1);
    Report("switch voice (Sound tab)", Time(&d, 200, [&](int i) { d.selectVoice((i + 1) % MAXVOICES); }));
    d.tabs()->setCurrentIndex(2);
    Report("switch voice (Waveform tab)", Time(&d, 200, [&](int i) { d.selectVoice((i + 1) % MAXVOICES); }));
    d.hide();
  }
  EngineShutdown();
  return 0;
}

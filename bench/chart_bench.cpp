// The parameter chart's drawing speed: a full repaint of a 100-node chart
// into a 900 x 300 image, and one drag step (a mouse move and the repaint
// of what it changed), at the device-pixel ratio given. Prints the median
// and the slowest of many runs, in the thread's CPU time, so that other work
// on a shared machine does not count. Targets: full repaint under 4 ms, drag
// step under 1 ms.
//
//   sonavel_chart_bench [DPR]     (bench/chart_bench.sh runs it at 1 and 2)
#include <time.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "chart/ParameterChart.h"
#include "engine/startup.h"
#include "main/model.h"

namespace {

struct Figures {
  double Median, Worst;
};

Figures Summary(std::vector<double> us) {
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2] / 1000.0, us.back() / 1000.0};
}

// CPU time of this thread, microseconds.
double CpuMicros() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

// Counts the paint events, so a drag step is timed until its repaint is done.
class PaintCounter : public QObject {
 public:
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int dpr = argc > 1 ? std::atoi(argv[1]) : 1;
  if (dpr != 1 && dpr != 2) {
    std::fprintf(stderr, "usage: sonavel_chart_bench [1|2]\n");
    return 2;
  }
  // The window's own repaints follow the screen's ratio.
  qputenv("QT_SCALE_FACTOR", QByteArray::number(dpr));
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  EngineSetup setup;
  setup.ScanLibraries = false;  // no background is played here
  if (EngineStartup(setup) != 0) return 1;

  // 100 nodes of Audible Pitch, every weight, some symmetric.
  Param p{};
  p.NumNodes = MAXNODES;
  for (int i = 0; i < MAXNODES; ++i)
    p.Node[i] = Node{20000 + ((i * 7919) % 40) * 1000, static_cast<int16_t>(i * 10000 / (MAXNODES - 1)),
                     static_cast<uint8_t>(i % 21), static_cast<uint8_t>(i % 3 == 0)};
  ParameterChart chart;
  chart.resize(900, 300);
  chart.bind(PN_PITCH, &p, nullptr, false, 6000);
  chart.show();
  chart.activateWindow();
  chart.setFocus();
  for (int i = 0; i < 50 && !chart.hasFocus(); ++i) QApplication::processEvents();
  chart.setFocusedNode(50);
  QApplication::processEvents();

  // Full repaint into an image of the chart's size at this ratio.
  QImage img(900 * dpr, 300 * dpr, QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(dpr);
  std::vector<double> full;
  for (int run = 0; run < 300; ++run) {
    const double t0 = CpuMicros();
    chart.render(&img);
    full.push_back(CpuMicros() - t0);
  }

  // Drag steps: node 50 pressed and moved up and down by 3 pixels.
  PaintCounter counter;
  chart.installEventFilter(&counter);
  const QPointF at = chart.nodePoint(50);
  auto send = [&](QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
    QMouseEvent e(type, pos, chart.mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&chart, &e);
  };
  send(QEvent::MouseButtonPress, at, Qt::LeftButton);
  send(QEvent::MouseMove, at + QPointF(0, -20), Qt::LeftButton);  // past the 5-pixel threshold
  QApplication::processEvents();
  std::vector<double> drag;
  for (int run = 0; run < 300; ++run) {
    const QPointF pos = at + QPointF(run % 2 ? 2 : -2, -20 + (run % 2 ? 3 : -3));
    const int before = counter.Paints;
    const double t0 = CpuMicros();
    send(QEvent::MouseMove, pos, Qt::LeftButton);
    QApplication::processEvents();
    if (counter.Paints == before) continue;  // nothing changed: no repaint to time
    drag.push_back(CpuMicros() - t0);
  }
  send(QEvent::MouseButtonRelease, at, Qt::NoButton);
  if (drag.empty()) {
    std::fprintf(stderr, "the drag steps did not repaint\n");
    return 1;
  }

  const Figures f = Summary(full), d = Summary(drag);
  std::printf("chart 900x300, 100 nodes, device-pixel ratio %d:\n", dpr);
  std::printf("  full repaint: median %.2f ms, slowest %.2f ms (target < 4 ms)\n", f.Median, f.Worst);
  std::printf("  drag step:    median %.2f ms, slowest %.2f ms over %zu steps (target < 1 ms)\n", d.Median, d.Worst,
              drag.size());
  EngineShutdown();
  return 0;
}

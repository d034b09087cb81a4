// The flashing thread's deadline error: runs it at one visual frequency for
// a while with a sink that only notes when each drawing happened, then
// prints the lateness of the drawings (median, 99th percentile, worst) and
// the drift of the deadlines over the run.
//
//   sonavel_flash_timing <frequency mHz> <seconds>
// (bench/flash_timing.sh runs it at 10 and 40 Hz with the other core busy.)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "data/synthesis/wavetab.h"
#include "main/preset.h"
#include "visual/flashthread.h"

namespace {

struct Run {
  int32_t MilliHz;
  std::vector<int64_t> Due, Late;  // ns; reserved before the run
};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <frequency mHz> <seconds>\n", argv[0]);
    return 2;
  }
  BuildParamTables();
  InitEngineTables();
  Run run{static_cast<int32_t>(std::atoi(argv[1])), {}, {}};
  int seconds = std::atoi(argv[2]);
  int32_t interval = FlashInterval(run.MilliHz);
  if (interval <= 0 || seconds <= 0) return 2;
  size_t expected = static_cast<size_t>(seconds) * 1000 / static_cast<size_t>(interval) + 16;
  run.Due.reserve(expected);
  run.Late.reserve(expected);

  FlashHooks h;
  h.Ctx = &run;
  h.Take = [](void* c, FlashValues* v) {
    v->Frequency = static_cast<Run*>(c)->MilliHz;
    v->Brightness = 10000;
    return 1u;
  };
  h.Draw = [](void* c, FlashFrame, int64_t due) {
    auto* r = static_cast<Run*>(c);
    if (r->Due.size() == r->Due.capacity()) return;
    r->Late.push_back(NowNs() - due);
    r->Due.push_back(due);
  };
  FlashThread t;
  t.Start(2, h);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  t.Stop();

  // The first drawing holds the colour when the values arrive; the timed
  // ones follow.
  if (run.Due.size() < 3) return 1;
  std::vector<int64_t> late(run.Late.begin() + 1, run.Late.end());
  std::sort(late.begin(), late.end());
  auto at = [&](double q) { return late[std::min(late.size() - 1, static_cast<size_t>(q * double(late.size())))]; };
  size_t n = run.Due.size() - 1;
  // Deadlines are absolute: the last one lies exactly n intervals after the
  // first drawing, whatever the lateness of the drawings in between.
  int64_t drift = run.Due.back() - run.Due.front() - static_cast<int64_t>(n) * interval * 1000000;
  size_t tenth = std::max<size_t>(1, n / 10);
  double firstMean = 0, lastMean = 0;
  for (size_t i = 1; i <= tenth; ++i) firstMean += double(run.Late[i]) / double(tenth);
  for (size_t i = run.Late.size() - tenth; i < run.Late.size(); ++i) lastMean += double(run.Late[i]) / double(tenth);
  std::printf(
      "%6.3f Hz, %d ms interval, %zu drawings in %d s: lateness median %.3f ms, 99th percentile %.3f ms, worst "
      "%.3f ms; deadline drift %lld ns; mean lateness first/last tenth %.3f/%.3f ms\n",
      run.MilliHz / 1000.0, interval, n, seconds, double(at(0.5)) / 1e6, double(at(0.99)) / 1e6,
      double(late.back()) / 1e6, static_cast<long long>(drift), firstMean / 1e6, lastMean / 1e6);
  return 0;
}

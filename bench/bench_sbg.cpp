// Importing a .sbg session of 1,000 lines (a description, options, 300
// tone-sets of two tones and noise, blocks, and 640 time lines over ten
// hours, sliding and fading), the target being under 50 ms; and writing the
// preset it gives back out as a session.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "benchpreset.h"
#include "main/preset.h"
#include "sbg/sbg.h"

namespace {

std::string ThousandLines() {
  std::string s;
  char line[160];
  for (int i = 0; i < 20; ++i) s += "## A long night session, line " + std::to_string(i + 1) + " of its description\n";
  s += "-SE\n-F 30000\n\n# the sets\n# (two tones and pink noise each)\n# carriers 90-290 Hz and 200-500 Hz\n"
       "# beats 0.5-12.4 Hz and 1-8.9 Hz\n# the right ear higher for the second tone\n\n";
  for (int i = 0; i < 300; ++i) {
    std::snprintf(line, sizeof line, "s%03d: pink/%d %.2f+%.2f/%d %.2f-%.2f/%d\n", i, 20 + i % 30,
                  90 + (i * 37) % 400 / 2.0, 0.5 + (i * 13) % 120 / 10.0, 10 + i % 20, 200.0 + (i * 17) % 300,
                  1 + (i * 7) % 80 / 10.0, 5 + i % 15);
    s += line;
  }
  for (int b = 0; b < 5; ++b) {
    s += "burst" + std::to_string(b) + ": {\n";
    for (int k = 0; k < 4; ++k) {
      std::snprintf(line, sizeof line, "  +00:00:%02d s%03d%s\n", k * 12, (b * 40 + k * 7) % 300, k % 2 ? " ->" : "");
      s += line;
    }
    s += "}\n";
  }
  s += "off: -\n";
  // 640 time lines 56 s apart: slides, fades and now and then a block.
  for (int i = 0; i < 640; ++i) {
    int t = i * 56;
    if (i % 64 == 10)
      std::snprintf(line, sizeof line, "NOW+%02d:%02d:%02d burst%d\n", t / 3600, t / 60 % 60, t % 60, i / 64 % 5);
    else
      std::snprintf(line, sizeof line, "NOW+%02d:%02d:%02d %s s%03d%s\n", t / 3600, t / 60 % 60, t % 60,
                    i % 3 ? "==" : "--", (i * 11) % 300, i % 3 ? " ->" : "");
    s += line;
  }
  return s;
}

void BM_ImportThousandLineSession(benchmark::State& state) {
  BenchStartUp();
  std::string text = ThousandLines();
  int lines = 0;
  for (char c : text) lines += c == '\n';
  int segments = 0;
  for (auto _ : state) {
    Preset p{};
    SbgImport info;
    if (!ImportSessionText(text, "bench", "/tmp", p, &info)) {
      state.SkipWithError(info.Error.Text.c_str());
      return;
    }
    segments = p.data.NumSegments;
    FreePreset(p);
  }
  state.counters["lines"] = lines;
  state.counters["segments"] = segments;
}
BENCHMARK(BM_ImportThousandLineSession)->Unit(benchmark::kMillisecond);

void BM_ExportThousandLineSession(benchmark::State& state) {
  BenchStartUp();
  Preset p{};
  SbgImport info;
  if (!ImportSessionText(ThousandLines(), "bench", "/tmp", p, &info)) {
    state.SkipWithError(info.Error.Text.c_str());
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) bytes = SessionText(p).size();
  state.counters["bytes"] = static_cast<double>(bytes);
  FreePreset(p);
}
BENCHMARK(BM_ExportThousandLineSession)->Unit(benchmark::kMillisecond);

}  // namespace

#include "cli/progress.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "main/strtab.h"

namespace {

std::atomic<bool> gAbort{false};
struct BarState {
  std::string Caption;
  int Max = 0;
  int Shown = -1;  // last percentage drawn
  bool Tty = false;
  bool Open = false;
} gBar;

void OnInterrupt(int) { gAbort.store(true); }

void ShowBar(void*, int captionId, int max) {
  FinishProgress();
  gBar.Caption = GetStr(captionId);
  gBar.Max = max > 0 ? max : 1;
  gBar.Shown = -1;
}

bool SetBar(void*, int position) {
  int pct = static_cast<int>(static_cast<int64_t>(position) * 100 / gBar.Max);
  if (pct < 0) pct = 0;
  if (pct > 100) pct = 100;
  // The playback start polls a lower position once after the calculation
  // (only to look for an abort); a bar on a terminal never moves back.
  if (pct > gBar.Shown) {
    gBar.Shown = pct;
    if (gBar.Tty) {
      char bar[41];
      int filled = pct * 40 / 100;
      for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
      bar[40] = 0;
      std::fprintf(stderr, "\r%-28s [%s] %3d%%", gBar.Caption.c_str(), bar, pct);
      gBar.Open = true;
    } else if (pct % 10 == 0) {
      std::fprintf(stderr, "%s: %d%%\n", gBar.Caption.c_str(), pct);
    }
  }
  return gAbort.load();
}

}  // namespace

PlaybackUi TerminalProgress() {
  gBar.Tty = isatty(STDERR_FILENO) != 0;
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  PlaybackUi ui;
  ui.ShowProgress = ShowBar;
  ui.Progress = SetBar;
  return ui;
}

void FinishProgress() {
  if (gBar.Open) std::fprintf(stderr, "\n");
  gBar.Open = false;
}

bool AbortRequested() { return gAbort.load(); }

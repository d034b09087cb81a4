// The notice ring watched from the main window's event loop, and the visual
// values handed over by the audio thread.
#include "mwnd/EngineLink.h"

#include <QSocketNotifier>
#include <QTimer>
#include <atomic>

#include "data/playback/playevents.h"
#include "mwnd/MainWindow.h"
#include "prgdlg/TestPlayback.h"

namespace {

// One writer at a time (the generating thread: the audio thread, or the main
// thread while a start makes its first blocks), any number of readers. The
// writer makes the counter odd while it writes; a reader that sees it odd or
// changed reads again. Nothing here locks or allocates.
std::atomic<uint32_t> gVisualSeq{0};
std::atomic<int32_t> gVisual[4];

void NewVisualValues(void*, const SweepRecord* r) {
  uint32_t seq = gVisualSeq.load(std::memory_order_relaxed);
  gVisualSeq.store(seq + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  gVisual[0].store(r->VisualFrequency[0], std::memory_order_relaxed);
  gVisual[1].store(r->VisualBrightness[0], std::memory_order_relaxed);
  gVisual[2].store(r->VisualModDepth[0], std::memory_order_relaxed);
  gVisual[3].store(r->VisualModRate[0], std::memory_order_relaxed);
  gVisualSeq.store(seq + 2, std::memory_order_release);
}

}  // namespace

uint32_t PublishedVisualValues(VisualValues* out) {
  for (;;) {
    uint32_t before = gVisualSeq.load(std::memory_order_acquire);
    if (before & 1) continue;
    out->Frequency = gVisual[0].load(std::memory_order_relaxed);
    out->Brightness = gVisual[1].load(std::memory_order_relaxed);
    out->ModDepth = gVisual[2].load(std::memory_order_relaxed);
    out->ModRate = gVisual[3].load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (gVisualSeq.load(std::memory_order_relaxed) == before) return before / 2;
  }
}

PlaybackWindow EngineWindowFor(MainWindow* window) {
  PlaybackWindow w;
  w.Ctx = window;
  w.NewVisualValues = NewVisualValues;
  w.SynchPoint = [](void* ctx, int which) { static_cast<MainWindow*>(ctx)->synchPoint(which); };
  return w;
}

EngineLink::EngineLink(MainWindow* window) : QObject(window), Window(window) {
  int fd = PlayEventFd();
  if (fd >= 0) {
    // Level-triggered: it fires again only once the ring has been emptied
    // and something new has come.
    Notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &EngineLink::drain);
  } else {
    // No descriptor to be had: look at the ring often enough for the status
    // to tick smoothly.
    Poll = new QTimer(this);
    Poll->setInterval(20);
    connect(Poll, &QTimer::timeout, this, &EngineLink::drain);
    Poll->start();
  }
}

void EngineLink::drain() {
  // A notice's handler may open a dialog whose loop drains the rest; the
  // ring hands each notice out once, in order, either way.
  PlayEvent e;
  while (TakePlayEvent(&e)) deliver(e);
}

void EngineLink::deliver(const PlayEvent& e) {
  // The preset editor's test playback uses the same audio thread with a
  // record of its own: its notices are not the window's.
  if (TestPlayback::takeNotice(e)) return;
  // Null: the thread had no record yet (a stop before any start).
  if (e.Playback && e.Playback != &Playback) return;
  switch (e.Kind) {
    case WM_PLAYSTATUS: Window->playStatus(e.Status); break;
    case WM_PLAYEND: Window->playEnded(); break;
    case WM_PLAYSTOPPED: Window->playStopped(e.Device); break;
    default: break;
  }
}

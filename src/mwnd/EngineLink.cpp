// Engine notices as events of the main window.
#include "mwnd/EngineLink.h"

#include <QCoreApplication>
#include <QThread>

#include "mwnd/MainWindow.h"

const QEvent::Type EngineNotice::Kind = static_cast<QEvent::Type>(QEvent::registerEventType());

namespace {

void Post(void* ctx, uint32_t msg, uintptr_t w, intptr_t l) {
  QCoreApplication::postEvent(static_cast<MainWindow*>(ctx), new EngineNotice(msg, w, l));
}

// A status text sent from the main thread (the first one of a start) is
// shown at once; from the audio thread it is queued like the others, so the
// audio thread never waits for the window. Its text stays valid in the
// engine's rotating buffers until the window has read it.
intptr_t Send(void* ctx, uint32_t msg, uintptr_t w, intptr_t l) {
  auto* window = static_cast<MainWindow*>(ctx);
  if (QThread::currentThread() == window->thread()) {
    DeliverNotice(window, EngineNotice(msg, w, l));
    return 0;
  }
  Post(ctx, msg, w, l);
  return 0;
}

}  // namespace

PlaybackWindow EngineWindowFor(MainWindow* window) {
  PlaybackWindow w;
  w.Ctx = window;
  w.Post = Post;
  w.Send = Send;
  return w;
}

void DeliverNotice(MainWindow* window, const EngineNotice& n) {
  switch (n.Msg) {
    case WM_PLAYSTATUS:
      window->playStatus(static_cast<int>(n.WParam), QString::fromUtf8(reinterpret_cast<const char*>(n.LParam)));
      break;
    case WM_PLAYEND: window->playEnded(); break;
    case WM_PLAYSTOPPED: window->playStopped(); break;
    default: break;
  }
}

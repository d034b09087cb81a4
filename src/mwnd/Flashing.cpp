// Screen flashing: the surfaces and the hand-over from the flashing thread.
#include "mwnd/Flashing.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QToolBar>
#include <QWindow>
#include <atomic>
#include <cmath>

#include "assert/check.h"
#include "dialog/MessageBox.h"
#include "dialog/WarningBox.h"
#include "dialog/strids.h"
#include "mwnd/EngineLink.h"
#include "mwnd/MainWindow.h"
#include "mwnd/Startup.h"
#include "reg/settings.h"
#include "visual/flash.h"
#include "visual/flashthread.h"

namespace {

// Fills itself with the colour drawn last.
class FlashSurface : public QWidget {
 public:
  FlashSurface(QWidget* parent, bool fullScreen);

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent* e) override;
};

// The smooth full-screen path: a frameless OpenGL window on top, cleared to
// the colour drawn last, whose buffer swaps wait for the display's refresh
// (swap interval 1), so a colour never changes in the middle of a frame. It
// keeps its own context: context creation and makeCurrent report failure,
// and a failure takes the flashing to the plain path.
class SmoothFlashWindow : public QWindow {
 public:
  explicit SmoothFlashWindow(QScreen* screen);
  bool createContext() { return Context.create(); }
  // Clears to the colour drawn last and swaps.
  void render();

 protected:
  void exposeEvent(QExposeEvent*) override { render(); }
  void keyPressEvent(QKeyEvent* e) override;

 private:
  QOpenGLContext Context;
  bool Failed = false;
};

// The steps whose failure the internal error reports (its value "err").
enum SmoothError { SMOOTH_OK = 0, SMOOTH_CONTEXT = 1, SMOOTH_MAKECURRENT = 2 };

struct Flashing {
  MainWindow* Window = nullptr;
  int Mode = 0;
  QColor Table[FLASH_MAXCOLORS][FLASH_LEVELS];
  QPointer<FlashSurface> Surface;
  QPointer<SmoothFlashWindow> Smooth;  // instead of Surface on the smooth path
  FlashThread Thread;
  FlashHooks ThreadHooks;
  int NumColours = 0;
  // colour << 8 | level, written by the flashing thread.
  std::atomic<uint32_t> Shown{0};
  std::atomic<bool> RepaintPosted{false};
  bool MenuVisible = true, ToolsVisible = true;
  int32_t RefreshMilliHz = 0;
  QMetaObject::Connection ActiveWatch;  // full screen: on top while the program is active
};
Flashing* gFlash = nullptr;
bool gWarned = false;  // once a run

FlashSurface::FlashSurface(QWidget* parent, bool fullScreen)
    : QWidget(parent, fullScreen ? Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint : Qt::Widget) {
  setObjectName(fullScreen ? QStringLiteral("flashScreen") : QStringLiteral("flashArea"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(fullScreen ? Qt::StrongFocus : Qt::NoFocus);
  setCursor(fullScreen ? Qt::BlankCursor : Qt::ArrowCursor);
}

void FlashSurface::paintEvent(QPaintEvent*) {
  if (!gFlash) return;
  uint32_t s = gFlash->Shown.load(std::memory_order_relaxed);
  QPainter p(this);
  p.fillRect(rect(), gFlash->Table[(s >> 8) % FLASH_MAXCOLORS][s & 63]);
}

void FlashSurface::keyPressEvent(QKeyEvent* e) {
  // The way out of a screen that shows nothing else.
  if (e->key() == Qt::Key_Escape && gFlash && gFlash->Window) {
    gFlash->Window->stopPlaying();
    return;
  }
  QWidget::keyPressEvent(e);
}

QSurfaceFormat SmoothFormat() {
  QSurfaceFormat f = QSurfaceFormat::defaultFormat();
  f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  f.setSwapInterval(1);
  return f;
}

SmoothFlashWindow::SmoothFlashWindow(QScreen* screen) {
  setObjectName(QStringLiteral("flashScreenSmooth"));
  setSurfaceType(QSurface::OpenGLSurface);
  setFormat(SmoothFormat());
  setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setScreen(screen);
  setGeometry(screen->geometry());
  setCursor(Qt::BlankCursor);
  Context.setFormat(requestedFormat());
  Context.setScreen(screen);
}

void FallBackToPlain(int err);

void SmoothFlashWindow::render() {
  if (Failed || !isExposed() || !gFlash) return;
  if (!Context.isValid() || !Context.makeCurrent(this)) {
    // Never from inside this window's own event: the fallback deletes it.
    Failed = true;
    QMetaObject::invokeMethod(
        gFlash->Window, [] { FallBackToPlain(SMOOTH_MAKECURRENT); }, Qt::QueuedConnection);
    return;
  }
  uint32_t s = gFlash->Shown.load(std::memory_order_relaxed);
  const QColor& c = gFlash->Table[(s >> 8) % FLASH_MAXCOLORS][s & 63];
  QOpenGLFunctions* gl = Context.functions();
  gl->glClearColor(static_cast<float>(c.redF()), static_cast<float>(c.greenF()), static_cast<float>(c.blueF()), 1.0f);
  gl->glClear(GL_COLOR_BUFFER_BIT);
  Context.swapBuffers(this);
}

void SmoothFlashWindow::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape && gFlash && gFlash->Window) {
    gFlash->Window->stopPlaying();
    return;
  }
  QWindow::keyPressEvent(e);
}

uint32_t TakeValues(void*, FlashValues* out) {
  VisualValues v;
  uint32_t n = PublishedVisualValues(&v);
  *out = {v.Frequency, v.Brightness, v.ModDepth, v.ModRate};
  return n;
}

// On the flashing thread: note the colour, and have the GUI thread paint it
// unless a repaint is already on its way.
void Draw(void* ctx, FlashFrame f, int64_t) {
  auto* fl = static_cast<Flashing*>(ctx);
  fl->Shown.store(static_cast<uint32_t>(f.Colour) << 8 | static_cast<uint32_t>(f.Level), std::memory_order_relaxed);
  if (fl->RepaintPosted.exchange(true)) return;
  // The surfaces change only while this thread is stopped.
  if (SmoothFlashWindow* g = fl->Smooth.data()) {
    QMetaObject::invokeMethod(
        g,
        [fl, g] {
          fl->RepaintPosted = false;
          g->render();
        },
        Qt::QueuedConnection);
    return;
  }
  FlashSurface* s = fl->Surface.data();
  if (!s) return;
  QMetaObject::invokeMethod(
      s,
      [fl, s] {
        fl->RepaintPosted = false;
        s->update();
      },
      Qt::QueuedConnection);
}

void ShowPlainFullScreen(Flashing* fl, QScreen* screen) {
  fl->Surface = new FlashSurface(fl->Window, true);
  fl->Surface->setGeometry(screen->geometry());
  fl->Surface->showFullScreen();
  fl->Surface->activateWindow();
  fl->Surface->setFocus();
}

// A failed OpenGL step while flashing: the internal error, then the plain
// full screen from the colour the flashing thread starts again with.
void FallBackToPlain(int err) {
  Flashing* fl = gFlash;
  if (!fl || !fl->Smooth) return;
  fl->Thread.Stop();
  QScreen* screen = fl->Smooth->screen();
  delete fl->Smooth.data();
  fl->RepaintPosted = false;  // a repaint queued to the window went with it
  TVK_CHECK_AS(err == SMOOTH_OK, "err==DD_OK", err);
  // The report's dialog may have run while playback stopped.
  if (gFlash != fl) return;
  ShowPlainFullScreen(fl, screen ? screen : QGuiApplication::primaryScreen());
  fl->Thread.Start(fl->NumColours, fl->ThreadHooks);
}

// The full-screen window stays above the others only while the program is
// active: switched away from, the user's other windows come to the front.
void KeepOnTop(Flashing* fl, bool on) {
  QWindow* w = fl->Smooth    ? static_cast<QWindow*>(fl->Smooth.data())
               : fl->Surface ? fl->Surface->windowHandle()
                             : nullptr;
  if (!w || w->flags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
  w->setFlag(Qt::WindowStaysOnTopHint, on);
  if (on) w->raise();
}

bool AskOnce(QWidget* window) {
  if (gWarned) return true;
  if (!WarningBox::ask(window, strid::FlashingWarning, QString(), &Cfg.DoNotShowFlashingWarning, false)) return false;
  gWarned = true;
  return true;
}

}  // namespace

int StartFlashing(QWidget* window, const VisOpt& colours) {
  StopFlashing();
  auto* w = qobject_cast<MainWindow*>(window);
  if (!w) return -1;
  if (colours.NumColors == 0) {
    MessageBox::show(window, strid::NoVisualColors);
    return -1;
  }
  if (!AskOnce(window)) return -1;
  auto* fl = new Flashing;
  fl->Window = w;
  fl->Mode = w->visualMode();
  int n = std::min<int>(colours.NumColors, FLASH_MAXCOLORS);
  for (int c = 0; c < n; ++c)
    for (int l = 0; l < FLASH_LEVELS; ++l) {
      uint32_t rgb = FlashLevelColour(colours.Colors[c], l);  // 0x00BBGGRR
      fl->Table[c][l] = QColor(int(rgb & 0xFF), int(rgb >> 8 & 0xFF), int(rgb >> 16 & 0xFF));
    }
  fl->Shown = FLASH_LEVELS - 1;  // dark until the first values arrive
  gFlash = fl;

  if (fl->Mode == VISUAL_FULLSCREEN) {
    fl->MenuVisible = w->menuBar()->isVisible();
    fl->ToolsVisible = w->toolBar()->isVisible();
    w->menuBar()->hide();
    w->toolBar()->hide();
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    ResolveSmoothFlashingDefault();
    if (FlashSmoothPath(true, SmoothFlashingAvailable(), Cfg.Advanced.UseDirectDraw)) {
      auto* g = new SmoothFlashWindow(screen);
      if (g->createContext()) {
        fl->Smooth = g;
        g->showFullScreen();
        g->requestActivate();
      } else {
        delete g;
        int err = SMOOTH_CONTEXT;
        TVK_CHECK_AS(err == SMOOTH_OK, "err==DD_OK", err);
      }
    }
    if (!fl->Smooth) ShowPlainFullScreen(fl, screen);
    fl->RefreshMilliHz = static_cast<int32_t>(std::lround(screen->refreshRate() * 1000));
    fl->ActiveWatch =
        QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, w, [fl](Qt::ApplicationState state) {
          if (gFlash == fl) KeepOnTop(fl, state == Qt::ApplicationActive);
        });
  } else {
    if (fl->Mode == VISUAL_WINDOW_TOP) {
      w->setWindowFlag(Qt::WindowStaysOnTopHint, true);
      w->show();
    }
    fl->Surface = new FlashSurface(w->centralArea(), false);
    fl->Surface->setGeometry(w->flashArea());
    fl->Surface->show();
    if (QScreen* screen = w->screen())
      fl->RefreshMilliHz = static_cast<int32_t>(std::lround(screen->refreshRate() * 1000));
  }

  FlashHooks h;
  h.Ctx = fl;
  h.Take = TakeValues;
  h.Draw = Draw;
  fl->ThreadHooks = h;
  fl->NumColours = n;
  fl->Thread.Start(n, h);
  return 0;
}

void StopFlashing() {
  Flashing* fl = gFlash;
  if (!fl) return;
  // The thread first: nothing draws into what goes next.
  fl->Thread.Stop();
  QObject::disconnect(fl->ActiveWatch);
  MainWindow* w = fl->Window;
  delete fl->Surface.data();
  delete fl->Smooth.data();
  if (fl->Mode == VISUAL_FULLSCREEN) {
    w->menuBar()->setVisible(fl->MenuVisible);
    w->toolBar()->setVisible(fl->ToolsVisible);
    w->activateWindow();
  } else if (fl->Mode == VISUAL_WINDOW_TOP) {
    w->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    w->show();
  }
  w->update();
  gFlash = nullptr;
  delete fl;
}

QWidget* FlashingSurface() { return gFlash ? gFlash->Surface.data() : nullptr; }

QWindow* FlashingSmoothWindow() { return gFlash ? gFlash->Smooth.data() : nullptr; }

bool ProbeSmoothFlashing() {
  if (!QGuiApplication::instance()) return false;
  QOpenGLContext context;
  context.setFormat(SmoothFormat());
  if (!context.create()) return false;
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  bool ok = surface.isValid() && context.makeCurrent(&surface);
  if (ok) context.doneCurrent();
  return ok;
}

int32_t FlashingRefreshMilliHz() { return gFlash ? std::max(gFlash->RefreshMilliHz, 0) : 0; }

void FlashingShown(int* colour, int* level) {
  uint32_t s = gFlash ? gFlash->Shown.load() : 0;
  *colour = static_cast<int>(s >> 8);
  *level = static_cast<int>(s & 63);
}

void ForgetFlashingWarning() { gWarned = false; }

// Screen flashing: the surfaces and the hand-over from the flashing thread.
#include "mwnd/Flashing.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QToolBar>
#include <atomic>
#include <cmath>

#include "dialog/MessageBox.h"
#include "dialog/WarningBox.h"
#include "mwnd/EngineLink.h"
#include "mwnd/MainWindow.h"
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

struct Flashing {
  MainWindow* Window = nullptr;
  int Mode = 0;
  QColor Table[FLASH_MAXCOLORS][FLASH_LEVELS];
  QPointer<FlashSurface> Surface;
  FlashThread Thread;
  // colour << 8 | level, written by the flashing thread.
  std::atomic<uint32_t> Shown{0};
  std::atomic<bool> RepaintPosted{false};
  bool MenuVisible = true, ToolsVisible = true;
  int32_t RefreshMilliHz = 0;
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

bool AskOnce(QWidget* window) {
  if (gWarned) return true;
  if (!WarningBox::ask(window, 1460, QString(), &Cfg.DoNotShowFlashingWarning, false)) return false;
  gWarned = true;
  return true;
}

}  // namespace

int StartFlashing(QWidget* window, const VisOpt& colours) {
  StopFlashing();
  auto* w = qobject_cast<MainWindow*>(window);
  if (!w) return -1;
  if (colours.NumColors == 0) {
    MessageBox::show(window, 1322);
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
    fl->Surface = new FlashSurface(w, true);
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    fl->Surface->setGeometry(screen->geometry());
    fl->Surface->showFullScreen();
    fl->Surface->activateWindow();
    fl->Surface->setFocus();
    fl->RefreshMilliHz = static_cast<int32_t>(std::lround(screen->refreshRate() * 1000));
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
  fl->Thread.Start(n, h);
  return 0;
}

void StopFlashing() {
  Flashing* fl = gFlash;
  if (!fl) return;
  // The thread first: nothing draws into what goes next.
  fl->Thread.Stop();
  MainWindow* w = fl->Window;
  delete fl->Surface.data();
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

int32_t FlashingRefreshMilliHz() { return gFlash ? std::max(gFlash->RefreshMilliHz, 0) : 0; }

void FlashingShown(int* colour, int* level) {
  uint32_t s = gFlash ? gFlash->Shown.load() : 0;
  *colour = static_cast<int>(s >> 8);
  *level = static_cast<int>(s & 63);
}

void ForgetFlashingWarning() { gWarned = false; }

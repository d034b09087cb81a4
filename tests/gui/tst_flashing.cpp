// Screen flashing from the main window: the window's area and the full
// screen in the colours of the colour options, the warning before the
// first flashing of a run, no colours (1322), Esc on the full screen, and
// the switch to AudioStrobe dropping the queued sound once, and the note of
// a frequency beyond the display's refresh rate; the smooth (OpenGL) full
// screen where the machine has it.
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QWindow>
#include <cstring>
#include <memory>

#include "dialog/MessageBox.h"
#include "dialog/WarningBox.h"
#include "file/store.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "mwnd/Flashing.h"
#include "mwnd/Startup.h"
#include "reg/settings.h"

namespace {

constexpr uint32_t kRed = 0x000000FF, kBlue = 0x00FF0000;  // 0x00BBGGRR

int32_t gVisFreq = 10000;  // mHz

// The editor gives the preset a 10 Hz (gVisFreq) flashing at full brightness.
int FlashingEditor(QWidget*, int index, bool* renamed) {
  Preset& p = Program[index];
  for (int s = 0; s < p.data.NumSegments; ++s) {
    Param* params = SegParams(p, s);
    for (int pid : {int(PID_VISFREQ), PID_VISFREQ + 1, int(PID_VISBRIGHT), PID_VISBRIGHT + 1}) {
      Param& q = params[pid];
      bool freq = pid == PID_VISFREQ || pid == PID_VISFREQ + 1;
      for (int n = 0; n < q.NumNodes; ++n) q.Node[n].Value = freq ? gVisFreq : 10000;  // 100 %
      q.EasySel = 0;
      q.Tracking = 0;
    }
  }
  std::strcpy(p.Name, "Flashing");
  *renamed = true;
  return 2;
}

bool IsOneOf(const QColor& c, std::initializer_list<uint32_t> colours) {
  for (uint32_t rgb : colours)
    if (c == QColor(int(rgb & 0xFF), int(rgb >> 8 & 0xFF), int(rgb >> 16 & 0xFF))) return true;
  return false;
}

}  // namespace

class FlashingTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  std::unique_ptr<gui::FakeDevice> Dev;

  void openWithFlashingPreset(int mode, int colours = 2) {
    Dev = std::make_unique<gui::FakeDevice>();
    W = gui::OpenMainWindow();
    W->setPresetEditor(FlashingEditor);
    W->actions().New->trigger();
    W->actions().Save->trigger();
    Cfg.VisualOptions.Override = 1;
    Cfg.VisualOptions.NumColors = static_cast<uint8_t>(colours);
    Cfg.VisualOptions.Colors[0] = kRed;
    Cfg.VisualOptions.Colors[1] = kBlue;
    QAction* a = mode == VISUAL_FULLSCREEN ? W->actions().VisFullScreen : W->actions().VisWindow;
    a->trigger();
  }
  void advance(int steps) {
    for (int i = 0; i < steps; ++i) {
      plat::FakeAdvance(Dev->Fake, 2205);
      QTest::qWait(10);
    }
  }

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    ForgetFlashingWarning();
    MessageBox::clearShown();
  }
  void cleanup() {
    if (W && W->waveOptChanged()) MessageBox::setNextAnswer(MessageBox::AnsNo);
    gui::CloseMainWindow(W);
    Dev.reset();
    gVisFreq = 10000;
    SetSmoothFlashingAvailable(-1);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void windowAreaCyclesTheColoursAfterOneWarning() {
    openWithFlashingPreset(VISUAL_WINDOW);
    int warned = WarningBox::shownCount();
    WarningBox::setNextAnswer(WarningBox::Yes, false);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QCOMPARE(WarningBox::shownCount(), warned + 1);
    QWidget* area = FlashingSurface();
    QVERIFY(area);
    QCOMPARE(area->objectName(), QString("flashArea"));
    QCOMPARE(area->parentWidget(), W->centralArea());
    QCOMPARE(area->geometry(), W->flashArea());
    QVERIFY(!area->geometry().intersects(W->statusText()->geometry()));
    // Both colours show, at full brightness, within a second of 10 Hz.
    bool seen[2] = {false, false};
    for (int i = 0; i < 100 && !(seen[0] && seen[1]); ++i) {
      advance(1);
      int colour, level;
      FlashingShown(&colour, &level);
      if (colour < 2 && level == 0) seen[colour] = true;
    }
    QVERIFY(seen[0] && seen[1]);
    QVERIFY(IsOneOf(area->grab().toImage().pixelColor(area->width() / 2, area->height() / 2), {kRed, kBlue}));

    W->actions().Stop->trigger();
    QTRY_VERIFY(!W->playing() || (advance(1), false));
    QVERIFY(!FlashingSurface());
    // Once a run: the next start does not ask again.
    W->actions().Play->trigger();
    QVERIFY(FlashingSurface());
    QCOMPARE(WarningBox::shownCount(), warned + 1);
  }

  void fullScreenHidesTheMenuAndEscStops() {
    openWithFlashingPreset(VISUAL_FULLSCREEN);
    WarningBox::setNextAnswer(WarningBox::Yes, false);
    W->actions().Play->trigger();
    QWidget* screen = FlashingSurface();
    QVERIFY(screen && screen->isWindow() && screen->isVisible());
    QCOMPARE(screen->objectName(), QString("flashScreen"));
    QCOMPARE(screen->geometry(), W->screen()->geometry());
    QVERIFY(!W->menuBar()->isVisible() && !W->toolBar()->isVisible());
    // Above the other windows only while the program is active.
    QWindow* window = screen->windowHandle();
    QVERIFY(window->flags() & Qt::WindowStaysOnTopHint);
    for (Qt::ApplicationState state : {Qt::ApplicationInactive, Qt::ApplicationActive}) {
      emit qGuiApp->applicationStateChanged(state);
      QCOMPARE(bool(window->flags() & Qt::WindowStaysOnTopHint), state == Qt::ApplicationActive);
    }
    QTest::keyClick(screen, Qt::Key_Escape);
    QTRY_VERIFY(!W->playing() || (advance(1), false));
    QVERIFY(!FlashingSurface());
    QVERIFY(W->menuBar()->isVisible() && W->toolBar()->isVisible());
  }

  void fullScreenPathFollowsTheOptionAndTheMachine_data() {
    QTest::addColumn<int>("option");
    QTest::newRow("UseDirectDraw on") << 1;
    QTest::newRow("UseDirectDraw off") << 0;
  }
  void fullScreenPathFollowsTheOptionAndTheMachine() {
    QFETCH(int, option);
    // Without OpenGL here (the offscreen platform usually has none) the
    // plain path must be the one chosen.
    bool smooth = option && SmoothFlashingAvailable();
    openWithFlashingPreset(VISUAL_FULLSCREEN);
    Cfg.Advanced.UseDirectDraw = option;
    WarningBox::setNextAnswer(WarningBox::Yes, false);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QCOMPARE(FlashingSmoothWindow() != nullptr, smooth);
    QCOMPARE(FlashingSurface() != nullptr, !smooth);
    if (QWindow* g = FlashingSmoothWindow()) {
      QCOMPARE(g->geometry(), W->screen()->geometry());
      QVERIFY(g->flags() & Qt::FramelessWindowHint && g->flags() & Qt::WindowStaysOnTopHint);
      QCOMPARE(g->requestedFormat().swapInterval(), 1);
      advance(5);
    }
    QVERIFY(!W->menuBar()->isVisible());
    W->actions().Stop->trigger();
    QTRY_VERIFY(!W->playing() || (advance(1), false));
    QVERIFY(!FlashingSmoothWindow() && !FlashingSurface());
    QVERIFY(W->menuBar()->isVisible());
  }

  void failedContextIsAnInternalErrorThenThePlainPath() {
    if (ProbeSmoothFlashing()) QSKIP("OpenGL works here: no context creation fails");
    SetSmoothFlashingAvailable(1);  // as if the start-up had found it
    openWithFlashingPreset(VISUAL_FULLSCREEN);
    Cfg.Advanced.UseDirectDraw = 1;
    WarningBox::setNextAnswer(WarningBox::Yes, false);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QVERIFY(!FlashingSmoothWindow());
    QVERIFY(FlashingSurface() && FlashingSurface()->isVisible());
    QStringList checks = gui::TakeCheckFailures();
    QCOMPARE(checks.size(), 1);
    QVERIFY2(checks[0].contains("err==DD_OK"), qPrintable(checks[0]));
  }

  void declinedOrColourlessFlashingPlaysWithoutIt_data() {
    QTest::addColumn<int>("colours");
    QTest::newRow("no colours") << 0;  // 1322, and no warning first
    QTest::newRow("warning declined") << 2;
  }
  void declinedOrColourlessFlashingPlaysWithoutIt() {
    QFETCH(int, colours);
    openWithFlashingPreset(VISUAL_WINDOW, colours);
    int warned = WarningBox::shownCount();
    if (colours) WarningBox::setNextAnswer(WarningBox::No, false);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QVERIFY(!FlashingSurface());
    QVERIFY(W->actions().VisNone->isChecked());
    QCOMPARE(MessageBox::lastText().startsWith("This preset does not contain any visual color options."), colours == 0);
    QCOMPARE(WarningBox::shownCount(), warned + (colours ? 1 : 0));
  }

  void frequencyBeyondTheRefreshIsNotedOnce() {
    gVisFreq = 40000;  // the offscreen display refreshes at 60 Hz
    openWithFlashingPreset(VISUAL_WINDOW);
    WarningBox::setNextAnswer(WarningBox::Yes, false);
    W->actions().Play->trigger();
    QVERIFY(FlashingRefreshMilliHz() > 0 && FlashingRefreshMilliHz() < 80000);
    const QString note = "Note: this display cannot show flashing faster than";
    for (int i = 0; i < 50 && !W->statusText()->text().contains(note); ++i) advance(1);
    QCOMPARE(W->statusText()->text().count(note), 1);
    advance(3);  // later statuses keep it
    QCOMPARE(W->statusText()->text().count(note), 1);
    // Back within the rate the note goes, and a later record beyond it
    // again does not bring it back.
    PlayStatus next{};
    next.Forced = 1;
    next.Voices = 1;
    next.Lines = 2;
    for (int32_t f : {20000, 45000}) {
      next.VisualFrequency[0] = next.VisualFrequency[1] = f;
      W->playStatus(next);
      QVERIFY(!W->statusText()->text().contains(note));
    }
  }

  void switchToAudioStrobeDropsTheQueuedSoundOnce() {
    openWithFlashingPreset(VISUAL_WINDOW);
    WarningBox::setNextAnswer(WarningBox::Yes, false);
    W->actions().Play->trigger();
    advance(5);
    int resets = plat::FakeResets(Dev->Fake);
    W->actions().VisAudioStrobe->trigger();
    QVERIFY(!FlashingSurface());
    QCOMPARE(plat::FakeResets(Dev->Fake), resets + 1);
    W->actions().VisWindow->trigger();  // and back: a screen mode again
    QVERIFY(FlashingSurface());
    QCOMPARE(plat::FakeResets(Dev->Fake), resets + 2);
  }
};

GUI_TEST(FlashingTest);
#include "tst_flashing.moc"

// The sleep timer from the Wave menu (its dialog, its refusals, the status
// line's time left, the fades reaching the device) and a window without any
// session bus.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <memory>

#include "data/playback/fade.h"
#include "dialog/MessageBox.h"
#include "dialog/SleepTimerDialog.h"
#include "gui/guitest.h"
#include "main/strtab.h"
#include "mwnd/DesktopLink.h"
#include "reg/settings.h"
#include "sessionbus/KeepAwake.h"
#include "sessionbus/note.h"

namespace {

template <class F>
bool AdvanceUntil(plat::FakeWave* fake, F done, gui::FakeClock* clock = nullptr, int maxSteps = 400) {
  for (int i = 0; i < maxSteps; ++i) {
    if (done()) return true;
    if (clock) clock->Now += 50;
    plat::FakeAdvance(fake, 2205);
    QTest::qWait(5);
  }
  return done();
}

// Opens the Sleep Timer from the Wave menu and runs `f` in it.
void InSleepTimer(MainWindow* w, std::function<void(SleepTimerDialog*)> f) {
  gui::OnDialog<SleepTimerDialog>([f](SleepTimerDialog* d) {
    QVERIFY(QTest::qWaitForWindowActive(d));
    f(d);
    if (d->isVisible()) d->reject();
  });
  w->actions().SleepTimer->trigger();
}

template <class T>
T* Child(QWidget* d, const char* name) {
  T* c = d->findChild<T*>(QString::fromLatin1(name));
  if (!c) qWarning("no control %s", name);
  return c;
}

// Clicks a radio button on its mark (its box reaches across the dialog).
void Pick(QRadioButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }

// Types into the editable box as a user does: select all, then the keys.
void Type(QWidget* field, const QString& text) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

}  // namespace

class ListeningTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  std::unique_ptr<gui::FakeDevice> Dev;

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    Dev.reset();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void sleepTimerCountsDownInTheStatusAndFollowsChangesWhilePlaying() {
    Dev = std::make_unique<gui::FakeDevice>();
    gui::FakeClock clock;
    W = gui::OpenMainWindow();
    auto* wave = W->menuBar()->findChild<QMenu*>("menuWave");
    QVERIFY(wave && wave->actions().contains(W->actions().SleepTimer));
    QCOMPARE(W->actions().SleepTimer->text(), QString("Sleep &Timer..."));

    // From the keyboard: the arrow key moves from "Off" to "Stop after",
    // the time is typed.
    InSleepTimer(W, [](SleepTimerDialog* d) {
      auto* off = Child<QRadioButton>(d, "sleepOff");
      QVERIFY(off->isChecked());
      off->setFocus();
      d->activateWindow();
      QTRY_VERIFY(off->hasFocus());
      QTest::keyClick(off, Qt::Key_Down);
      QVERIFY(Child<QRadioButton>(d, "sleepAfter")->isChecked());
      Type(Child<QComboBox>(d, "sleepMinutes"), "1:30");
      QTest::keyClick(d, Qt::Key_Return);
    });
    QCOMPARE(Cfg.Listening.SleepTimer, int(SLEEP_AFTER));
    QCOMPARE(Cfg.Listening.SleepMinutes, 90);
    QCOMPARE(Cfg.Listening.SleepFadeSeconds, 60);

    W->actions().Play->trigger();
    QRegularExpression left("\nSleep timer: 1:(30:00|29:5\\d) left$");
    QVERIFY2(AdvanceUntil(
                 Dev->Fake, [&] { return W->statusText()->text().contains(left); }, &clock),
             qPrintable(W->statusText()->text()));

    // Changed while playing: the end of the preset fades out instead.
    InSleepTimer(W, [](SleepTimerDialog* d) {
      Pick(Child<QRadioButton>(d, "sleepAtEnd"));
      QVERIFY(!Child<QComboBox>(d, "sleepMinutes")->isEnabled());
      QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY2(AdvanceUntil(
                 Dev->Fake, [&] { return W->statusText()->text().contains("\nFade-out at the end of the preset: "); },
                 &clock),
             qPrintable(W->statusText()->text()));
    InSleepTimer(W, [](SleepTimerDialog* d) {
      Pick(Child<QRadioButton>(d, "sleepOff"));
      QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY2(AdvanceUntil(
                 Dev->Fake, [&] { return !W->statusText()->text().contains("end of the preset"); }, &clock),
             qPrintable(W->statusText()->text()));
    QVERIFY(W->statusText()->text().startsWith("Time "));
    QCOMPARE(Cfg.Listening.SleepTimer, int(SLEEP_OFF));
  }

  void badTimesAreRefusedWithTheirMessage_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("message");
    QTest::newRow("no time") << "sleepMinutes"
                             << "0" << 1494;
    QTest::newRow("beyond a day") << "sleepMinutes"
                                  << "25:00" << 1494;
    QTest::newRow("minutes past 59") << "sleepMinutes"
                                     << "1:75" << 1494;
    QTest::newRow("words") << "sleepMinutes"
                           << "soon" << 1494;
    QTest::newRow("fade beyond an hour") << "sleepFade"
                                         << "2h" << 1495;
    QTest::newRow("fade not a number") << "sleepFade"
                                       << "-5" << 1495;
  }
  void badTimesAreRefusedWithTheirMessage() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, message);
    W = gui::OpenMainWindow();
    bool stayed = false;
    InSleepTimer(W, [&](SleepTimerDialog* d) {
      Pick(Child<QRadioButton>(d, "sleepAfter"));
      QWidget* f = d->findChild<QWidget*>(field);
      QVERIFY(f);
      Type(f, text);
      QTest::keyClick(d, Qt::Key_Return);
      stayed = d->isVisible();
      // (The dialog's own focus child: the window may not be active yet.)
      QVERIFY(d->focusWidget() == f || f->isAncestorOf(d->focusWidget()));
    });
    QVERIFY(stayed);
    QCOMPARE(MessageBox::lastText(), QString::fromUtf8(GetStr(message)));
    QCOMPARE(Cfg.Listening.SleepTimer, int(SLEEP_OFF));
  }

  // With "Fade in at the start and out when stopped" the device hears the
  // sound rise from silence and fall back to it.
  void softStartAndStopReachTheDevice() {
    Dev = std::make_unique<gui::FakeDevice>();
    W = gui::OpenMainWindow();
    Cfg.Listening.SoftStartStop = 1;
    W->actions().Play->trigger();
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return plat::FakePlayedBytes(Dev->Fake) > 44100 * 4; }));
    W->actions().Stop->trigger();
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return !W->playing(); }));
    std::vector<unsigned char> b = plat::FakePlayed(Dev->Fake);
    auto sample = [&](size_t frame) { return static_cast<int16_t>(b[4 * frame] | b[4 * frame + 1] << 8); };
    auto peak = [&](size_t from, size_t to) {
      int m = 0;
      for (size_t f = from; f < to; ++f) m = std::max(m, std::abs(int(sample(f))));
      return m;
    };
    size_t frames = b.size() / 4;
    QCOMPARE(sample(0), int16_t(0));
    int full = peak(4410, 8820);
    QVERIFY(full > 1000);
    QVERIFY(peak(0, 100) < full / 10);                // rising from silence
    QVERIFY(peak(frames - 400, frames) < full / 10);  // fallen back to it
  }

  // No session bus: the window plays as ever; one line says why the desktop
  // does not know of it.
  void withoutABusPlaybackGoesOnAndOneLineIsWritten() {
    ResetNote();
    Dev = std::make_unique<gui::FakeDevice>();
    Cfg.Listening.KeepAwake = 1;
    W = gui::OpenMainWindow();
    QTRY_VERIFY(W->desktopLink() != nullptr);
    QVERIFY(!W->desktopLink()->mediaPlayer()->registered());
    QVERIFY(NoteWritten());
    W->actions().Play->trigger();
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return W->statusText()->text().startsWith("Time 0:0"); }));
    QCOMPARE(W->desktopLink()->keepAwake()->held(), int(KeepAwake::NONE));
    QVERIFY(MessageBox::shownTexts().isEmpty());
  }
};

GUI_TEST(ListeningTest);
#include "tst_listening.moc"

// Playback from the main window: play, freeze (both ways), stop, the end of
// a preset, closing while playing and "-p", on the fake device; the audio
// thread's notices (no allocation on its side, a busy window, a stale
// stop, those of another playback's record); the device
// diagnosis; ALSA's file plugin through the user's .asoundrc; play into a
// WAV file (the same bytes as the command-line tool's render) and play with
// a delay.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "data/playback/audiothread.h"
#include "data/playback/fade.h"
#include "data/playback/playevents.h"
#include "data/synthesis/state.h"
#include "dialog/FileDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/PlayDelayDialog.h"
#include "dialog/PlayWavDialog.h"
#include "file/store.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "mwnd/EngineLink.h"
#include "mwnd/PresetCombo.h"
#include "mwnd/ProgressLine.h"
#include "platform/soundfile.h"
#include "prgdlg/TestPlayback.h"
#include "reg/settings.h"

namespace {

// The editor makes the preset short (0.01 minutes) and names it.
int ShortEditor(QWidget*, int index, bool* renamed) {
  Program[index].data.Segment[0].Length = 1;
  Program[index].data.ContinuePlaying = 0;  // it ends rather than holding its last values
  std::strcpy(Program[index].Name, "Short");
  *renamed = true;
  return 2;
}

// A new preset (one voice, no noise, no background) saved as "Short".
void MakeShortPreset(MainWindow* w) {
  w->setPresetEditor(ShortEditor);
  w->actions().New->trigger();
  w->actions().Save->trigger();
  QCOMPARE(w->presetList()->currentText(), QString("Short"));
}

// Plays the fake device forward in steps of 50 ms until `done` holds; the
// fake clock, when given, goes along.
template <class F>
bool AdvanceUntil(plat::FakeWave* fake, F done, int maxSteps = 400, gui::FakeClock* clock = nullptr) {
  for (int i = 0; i < maxSteps; ++i) {
    if (done()) return true;
    if (clock) clock->Now += 50;
    plat::FakeAdvance(fake, 2205);
    QTest::qWait(5);
  }
  return done();
}

// Holds the audio thread before the second stop request it takes, until
// released.
std::atomic<int> gStops{0};
std::atomic<bool> gReleaseSecondStop{false};
void HoldSecondStop(uint32_t msg, uintptr_t) {
  if (msg != TM_STOP || ++gStops != 2) return;
  for (int i = 0; i < 5000 && !gReleaseSecondStop.load(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool Audible(const std::vector<unsigned char>& bytes) {
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    if (bytes[i] != 0 || bytes[i + 1] != 0) return true;
  return false;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString gAlsaRaw;

}  // namespace

class Playback : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  // Outlives the window even when a check fails half-way.
  std::unique_ptr<gui::FakeDevice> Dev;
  gui::FakeDevice& Device(const plat::FakeWaveConfig& c = plat::FakeWaveConfig()) {
    Dev = std::make_unique<gui::FakeDevice>(c);
    return *Dev;
  }

 private Q_SLOTS:
  void initTestCase() { gAlsaRaw = gui::AlsaCaptureFile(); }
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
  }
  void cleanup() {
    if (W && W->waveOptChanged()) MessageBox::setNextAnswer(MessageBox::AnsNo);
    gui::CloseMainWindow(W);
    Dev.reset();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void playFreezeStop_data() {
    QTest::addColumn<int>("immediatePause");
    QTest::newRow("immediate") << 1;
    QTest::newRow("queued") << 0;
  }
  void playFreezeStop() {
    QFETCH(int, immediatePause);
    gui::FakeDevice& dev = Device();
    W = gui::OpenMainWindow();
    Cfg.Advanced.ImmediatePause = immediatePause;
    W->actions().ToolPlay->trigger();
    QVERIFY(W->playing());
    // The first status comes from the audio thread like every later one.
    QTRY_VERIFY(W->statusText()->text().startsWith("Time 0:00"));
    QVERIFY(!W->actions().Play->isEnabled() && W->actions().Stop->isEnabled() && W->actions().ToolFreeze->isVisible());
    QVERIFY(!W->actions().ToolPlay->isVisible());
    QVERIFY(AdvanceUntil(dev.Fake, [&] { return W->statusText()->text().startsWith("Time 0:01"); }));
    QVERIFY(W->statusText()->text().contains("Voice 1: volume"));

    int resets = plat::FakeResets(dev.Fake);
    W->actions().Freeze->trigger();
    QCOMPARE(W->actions().ToolFreeze->toolTip(), QString("Restart"));
    QVERIFY(AdvanceUntil(dev.Fake, [&] { return W->statusText()->text().startsWith("(Parameters frozen)"); }));
    // Immediate: the queued blocks were dropped; queued: nothing was reset.
    QCOMPARE(plat::FakeResets(dev.Fake) > resets, immediatePause == 1);
    W->actions().ToolFreeze->trigger();
    QCOMPARE(W->actions().ToolFreeze->toolTip(), QString("Freeze parameters"));
    QVERIFY(AdvanceUntil(dev.Fake, [&] { return W->statusText()->text().startsWith("Time"); }));

    W->actions().Stop->trigger();
    QVERIFY(AdvanceUntil(dev.Fake, [&] { return !W->playing(); }));
    QCOMPARE(W->statusText()->text(), QString("Not playing"));
    QVERIFY(W->actions().Play->isEnabled() && !W->actions().Stop->isEnabled());
    QVERIFY(Audible(plat::FakePlayed(dev.Fake)));
  }

  void presetEndStopsAndPlaysItsTail() {
    gui::FakeDevice& dev = Device();
    W = gui::OpenMainWindow();
    MakeShortPreset(W);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QVERIFY(AdvanceUntil(dev.Fake, [&] { return !W->playing(); }));
    // 0.6 s of sound were played (16-bit stereo at 44100 Hz), the tail too.
    QVERIFY(plat::FakePlayedBytes(dev.Fake) >= int64_t(44100) * 4 * 6 / 10);
    QCOMPARE(W->statusText()->text(), QString("Not playing"));
    QVERIFY(W->isVisible());
  }

  // The audio thread's side of a playback from the window allocates
  // nothing: the statuses, the record changes with their visual values, the
  // end of the preset and the stop.
  void audioThreadAllocatesNothing_data() {
    QTest::addColumn<bool>("toTheEnd");
    QTest::addColumn<bool>("fades");
    QTest::newRow("a built-in, stopped") << false << false;
    QTest::newRow("a short preset, to its end") << true << false;
    QTest::newRow("fading in, out over a minute, and at the stop") << false << true;
  }
  void audioThreadAllocatesNothing() {
    QFETCH(bool, toTheEnd);
    QFETCH(bool, fades);
    plat::FakeWaveConfig c;
    c.Record = false;
    gui::FakeDevice& dev = Device(c);
    gui::FakeClock clock;
    if (fades) Cfg.Listening = {SLEEP_AFTER, 1, 60, 1, 0};
    W = gui::OpenMainWindow();
    if (toTheEnd) MakeShortPreset(W);
    VisualValues v;
    uint32_t published = PublishedVisualValues(&v);
    gui::AudioAllocationWatch watch;
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    if (toTheEnd) {
      QVERIFY(AdvanceUntil(
          dev.Fake, [&] { return !W->playing(); }, 400, &clock));
    } else {
      QVERIFY(AdvanceUntil(
          dev.Fake, [&] { return W->statusText()->text().startsWith("Time 0:03"); }, 400, &clock));
      W->actions().Stop->trigger();
      QVERIFY(AdvanceUntil(
          dev.Fake, [&] { return !W->playing(); }, 400, &clock));
    }
    QCOMPARE(watch.count(), 0);
    QVERIFY(PublishedVisualValues(&v) > published);  // the records were handed over
  }

  // A window that handles nothing for a while (a long repaint, a save, a
  // blocking call) does not hold up the audio thread: the device is
  // refilled block by block, and once the window looks again it shows the
  // latest time.
  void busyWindowDoesNotHoldUpTheAudioThread() {
    plat::FakeWaveConfig c;
    c.Record = false;
    gui::FakeDevice& dev = Device(c);
    gui::FakeClock clock;
    W = gui::OpenMainWindow();
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QTRY_VERIFY(W->statusText()->text().startsWith("Time 0:00"));
    const int blocks = Cfg.Advanced.MemoryBlocks;
    const int64_t frames = int64_t(Cfg.Advanced.SamplesPerSec) * Cfg.Advanced.LenOfBlocks / 1000;
    int refilled = 0;
    std::thread device([&] {
      for (int i = 0; i < 10000 / Cfg.Advanced.LenOfBlocks; ++i) {
        clock.Now += Cfg.Advanced.LenOfBlocks;
        plat::FakeAdvance(dev.Fake, frames);
        if (plat::FakeWaitQueued(dev.Fake, blocks, 5000)) ++refilled;
      }
    });
    device.join();  // the main thread handles no event meanwhile
    QCOMPARE(refilled, 10000 / Cfg.Advanced.LenOfBlocks);
    QTRY_VERIFY2(W->statusText()->text().startsWith("Time 0:10"), qPrintable(W->statusText()->text()));
    QCOMPARE(PlayStatusesDropped(), int64_t(0));
    W->actions().Stop->trigger();
    QTRY_VERIFY(!W->playing());
  }

  // Stop pressed twice (or the end of the preset crossing the user's Stop)
  // makes two stop requests; the second finds no device. Its notice may
  // come after a new playback has started and must not end that one.
  void secondStopCannotEndTheNextPlayback() {
    gui::FakeDevice& dev = Device();
    W = gui::OpenMainWindow();
    gStops = 0;
    gReleaseSecondStop = false;
    AudioMessageHook.store(HoldSecondStop);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    W->actions().Stop->trigger();
    W->actions().ToolStop->trigger();
    QTRY_VERIFY(!W->playing());  // the first stop, while the second is held
    gReleaseSecondStop = true;
    W->actions().Play->trigger();
    AudioMessageHook.store(nullptr);
    QVERIFY(W->playing());
    int64_t before = plat::FakePlayedBytes(dev.Fake);
    QVERIFY(AdvanceUntil(dev.Fake, [&] { return plat::FakePlayedBytes(dev.Fake) > before + 44100 * 4; }));
    QVERIFY(W->playing());
    QVERIFY(W->statusText()->text().startsWith("Time"));
  }

  // Notices go to the owner of the record they were played from. Those of
  // the editor's test playback (still queued after its stop when the window
  // starts) neither show in nor stop the window; the window's own do.
  void noticesReachOnlyTheOwnerOfTheirRecord_data() {
    QTest::addColumn<bool>("windows");
    QTest::addColumn<uint32_t>("kind");
    QTest::addColumn<bool>("takesEffect");
    QTest::newRow("the test's status") << false << WM_PLAYSTATUS << false;
    QTest::newRow("the test's end") << false << WM_PLAYEND << false;
    QTest::newRow("the test's stop, naming the window's device") << false << WM_PLAYSTOPPED << false;
    QTest::newRow("the window's status") << true << WM_PLAYSTATUS << true;
    QTest::newRow("the window's end") << true << WM_PLAYEND << true;
  }
  void noticesReachOnlyTheOwnerOfTheirRecord() {
    QFETCH(bool, windows);
    QFETCH(uint32_t, kind);
    QFETCH(bool, takesEffect);
    gui::FakeDevice& dev = Device();
    gui::FakeClock clock;
    W = gui::OpenMainWindow();
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QTRY_VERIFY(W->statusText()->text().startsWith("Time 0:00"));
    EngineLink* link = W->findChild<EngineLink*>();
    QVERIFY(link);
    PlayEvent e;
    e.Kind = kind;
    e.Playback = windows ? &link->playback() : &TestPlayback::instance()->playback();
    e.Device = kind == WM_PLAYSTOPPED ? link->playback().hWaveOut.load() : nullptr;
    QVERIFY(kind != WM_PLAYSTOPPED || e.Device);
    e.Status.ElapsedSeconds = 3599;
    e.Status.Voices = 1;
    e.Status.Lines = 2;
    link->deliver(e);
    if (kind == WM_PLAYSTATUS) {
      QCOMPARE(W->statusText()->text().startsWith("Time 59:59"), takesEffect);
    } else {
      QCOMPARE(AdvanceUntil(
                   dev.Fake, [&] { return !W->playing(); }, 40, &clock),
               takesEffect);
    }
    W->actions().Stop->trigger();
    QVERIFY(AdvanceUntil(
        dev.Fake, [&] { return !W->playing(); }, 400, &clock));
  }

  void closingWhilePlayingWaitsForTheStop() {
    gui::FakeDevice& dev = Device();
    W = gui::OpenMainWindow();
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    W->close();
    QVERIFY(W->isVisible());  // not before the audio thread confirms
    QVERIFY(AdvanceUntil(dev.Fake, [&] { return !W->playing(); }));
    QTRY_VERIFY(!W->isVisible());
  }

  void loadNamePlaysAndClosesAtTheEnd() {
    gui::FakeDevice& dev = Device();
    W = gui::OpenMainWindow();
    MakeShortPreset(W);
    gui::CloseMainWindow(W);
    StartRequest start;
    start.HasLoadName = true;
    start.LoadName = "sho";
    W = gui::OpenMainWindow(start);
    QCOMPARE(W->presetList()->currentText(), QString("Short"));
    QVERIFY(W->playing());
    QVERIFY(AdvanceUntil(dev.Fake, [&] { return !W->playing(); }));
    QTRY_VERIFY(!W->isVisible());
  }

  void deviceDiagnosis_data() {
    QTest::addColumn<int>("maxBits");
    QTest::addColumn<int>("maxRate");
    QTest::addColumn<int>("maxChannels");
    QTest::addColumn<int>("queryError");
    QTest::addColumn<int>("openError");
    QTest::addColumn<QString>("message");
    QTest::newRow("8-bit only") << 8 << 192000 << 2 << 0 << 0 << "Your sound card does not support 16-bit sound.";
    // 8 bits, 40000 Hz and mono tried in turn, none fits.
    QTest::newRow("nothing fits") << 8 << 22050 << 2 << 0 << 0
                                  << "Your sound card does not support the required wave format.";
    QTest::newRow("mono") << 16 << 192000 << 1 << 0 << 0 << "Your sound card does not support stereo sound.";
    QTest::newRow("in use") << 16 << 192000 << 2 << 4 << 0 << "The wave device is already in use";
    QTest::newRow("none") << 16 << 192000 << 2 << 2 << 0 << "No sound card found in your system.";
    QTest::newRow("memory") << 16 << 192000 << 2 << 0 << 7 << "The wave device could not allocate enough memory";
    QTest::newRow("other") << 16 << 192000 << 2 << 0 << 11 << "Unable to open wave device (error code 11).";
  }
  void deviceDiagnosis() {
    QFETCH(int, maxBits);
    QFETCH(int, maxRate);
    QFETCH(int, maxChannels);
    QFETCH(int, queryError);
    QFETCH(int, openError);
    QFETCH(QString, message);
    plat::FakeWaveConfig c;
    c.MaxBits = maxBits;
    c.MaxRate = maxRate;
    c.MaxChannels = maxChannels;
    c.QueryError = queryError;
    c.OpenError = openError;
    gui::FakeDevice& dev = Device(c);
    W = gui::OpenMainWindow();
    W->actions().Play->trigger();
    QVERIFY(!W->playing());
    QVERIFY2(MessageBox::lastText().startsWith(message), qPrintable(MessageBox::lastText()));
    QCOMPARE(plat::FakePlayedBytes(dev.Fake), int64_t(0));
  }

  void slowDeviceWithSixteenBitsSaysSampleRate() {
    // 8 bits work only at 40000 Hz or below: the second fallback's message.
    plat::FakeWaveConfig c;
    c.MaxBits = 8;
    c.MaxRate = 40000;
    Device(c);
    W = gui::OpenMainWindow();
    Cfg.Advanced.Bits16 = 0;
    W->actions().Play->trigger();
    QVERIFY(MessageBox::lastText().startsWith("Your sound card does not support the specified sample frequency."));
  }

  void alsaFilePluginReceivesTheSoundAndCloseWaitsForTheStop() {
    QFile::remove(gAlsaRaw);
    W = gui::OpenMainWindow();
    Cfg.Device = "sonavel_capture";
    W->actions().Play->trigger();
    QVERIFY2(W->playing(), qPrintable(MessageBox::lastText()));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(gAlsaRaw).size() > 44100 * 4, 10000);
    // Closed while playing: the window goes once the stop is confirmed.
    W->close();
    QTRY_VERIFY_WITH_TIMEOUT(!W->playing(), 10000);
    QTRY_VERIFY(!W->isVisible());
    QByteArray raw = ReadFile(gAlsaRaw);
    QVERIFY(Audible(std::vector<unsigned char>(raw.begin(), raw.end())));
  }

  void playIntoWavMatchesTheCommandLineRender() {
    QString store = gui::FreshStore();
    W = gui::OpenMainWindow();
    MakeShortPreset(W);
    QString wav = gui::NewFolder("wav") + "/short.wav";
    gui::OnDialog<PlayWavDialog>([](PlayWavDialog* d) {
      d->minutesEdit()->setText("0.05");
      QTest::keyClick(d, Qt::Key_Return);
    });
    FileDialog::setNextFileName(wav);
    W->actions().PlayWav->trigger();
    QCOMPARE(MessageBox::lastText(), QString("0.05 minutes of output was successfully played to a .wav file."));
    QVERIFY(!W->progressLine()->isVisible());
    QString cliWav = gui::NewFolder("cli") + "/short.wav";
    QProcess cli;
    cli.start(QStringLiteral(SONAVEL_BIN_DIR "/sonavel-cli"),
              {"render", "--store", store, "--name", "Short", "-o", cliWav, "--minutes", "0.05", "--block-ms", "10"});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QByteArray mine = ReadFile(wav), theirs = ReadFile(cliWav);
    QCOMPARE(mine.size(), 44 + 2 + 300 * 1764);  // 300 blocks of 10 ms
    QCOMPARE(mine, theirs);

    // The same into FLAC, chosen by the name: it decodes to those samples.
    QString flac = gui::NewFolder("flac") + "/short.flac";
    gui::OnDialog<PlayWavDialog>([](PlayWavDialog* d) {
      d->minutesEdit()->setText("0.05");
      QTest::keyClick(d, Qt::Key_Return);
    });
    FileDialog::setNextFileName(flac);
    W->actions().PlayWav->trigger();
    QCOMPARE(MessageBox::lastText(), QString("0.05 minutes of output was successfully played to a .wav file."));
    QCOMPARE(ReadFile(flac).left(4), QByteArray("fLaC"));
    plat::DecodedSound info;
    std::string reason;
    plat::SoundReader* r = plat::DecoderOpen(flac.toUtf8().constData(), &info, &reason);
    QVERIFY2(r, reason.c_str());
    std::vector<int16_t> samples(static_cast<size_t>(info.Frames) * 2);
    int64_t n = plat::DecoderRead(r, samples.data(), info.Frames, &reason);
    plat::DecoderClose(r);
    QCOMPARE(n, int64_t(300 * 441));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(samples.data()), static_cast<int>(samples.size() * 2)),
             theirs.mid(46));
  }

  // During the delay the line says how to cancel, Stop stays usable while
  // the rest of the window waits, and each way of cancelling cancels.
  void playWithDelayShowsHowToCancelAndStopCancels_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Esc") << 0;
    QTest::newRow("the Stop button") << 1;
    QTest::newRow("Alt+S") << 2;
  }
  void playWithDelayShowsHowToCancelAndStopCancels() {
    QFETCH(int, way);
    Device();
    W = gui::OpenMainWindow();
    gui::OnDialog<PlayDelayDialog>([](PlayDelayDialog* d) {
      d->delayEdit()->setText("1");
      QTest::keyClick(d, Qt::Key_Return);
    });
    QString caption, hint;
    bool barShown = false, stopUsable = false, othersUsable = true;
    QTimer watch;
    watch.setInterval(20);
    connect(&watch, &QTimer::timeout, W, [&] {
      if (!W->progressLine()->caption()->text().startsWith("Delaying")) return;
      watch.stop();
      caption = W->progressLine()->caption()->text();
      hint = W->progressLine()->hint()->isVisible() ? W->progressLine()->hint()->text() : QString();
      barShown = W->progressLine()->isVisible() && W->progressLine()->bar()->isVisible();
      QWidget* stop = W->toolBar()->widgetForAction(W->actions().ToolStop);
      QWidget* options = W->toolBar()->widgetForAction(W->actions().ToolOptions);
      stopUsable = stop->isEnabled() && stop->isVisible();
      othersUsable = options->isEnabled() || W->menuBar()->isEnabled();
      if (way == 0) QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : W, Qt::Key_Escape);
      if (way == 1) QTest::mouseClick(stop, Qt::LeftButton);
      if (way == 2) {
        // The window is active again once the dialog is gone, as a window
        // manager has it; shortcuts reach the active window only.
        W->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(W));
        QTest::keyClick(W, Qt::Key_S, Qt::AltModifier);
      }
    });
    watch.start();
    MessageBox::clearShown();
    W->actions().PlayDelay->trigger();
    QCOMPARE(caption, QString("Delaying for 1 minutes"));
    QCOMPARE(hint, QString("Press Esc or choose Stop to cancel."));
    QVERIFY(barShown);
    QVERIFY(stopUsable);
    QVERIFY(!othersUsable);  // the rest waits
    QCOMPARE(Cfg.Advanced.PlayDelayTime, 1000);
    QVERIFY(!W->playing());
    QVERIFY(!W->progressLine()->isVisible());
    QVERIFY(MessageBox::shownTexts().isEmpty());  // the user's abort is no error
    QVERIFY(W->isEnabled() && W->actions().Play->isEnabled() && !W->actions().Stop->isEnabled());
    QVERIFY(W->toolBar()->widgetForAction(W->actions().ToolOptions)->isEnabled());
  }
};

GUI_TEST(Playback);
#include "tst_playback.moc"

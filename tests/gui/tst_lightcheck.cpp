// Check Light Signal, and the light check of Play Into .WAV File with
// AudioStrobe into lossy formats.
#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <functional>

#include "dialog/FileDialog.h"
#include "dialog/LightChart.h"
#include "dialog/LightCheckDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/PlayWavDialog.h"
#include "gui/guitest.h"
#include "lightchk/lightfile.h"
#include "main/preset.h"
#include "mwnd/PresetCombo.h"
#include "mwnd/ProgressLine.h"

namespace {

// The editor makes the new preset a 3-second light flashing at 10 Hz with
// 60 % brightness, named "Lit".
int LitEditor(QWidget*, int index, bool* renamed) {
  Preset& p = Program[index];
  p.data.Segment[0].Length = 5;
  p.data.ContinuePlaying = 0;
  Param* params = SegParams(p, 0);
  for (auto [pid, value] : {std::pair{PID_VISFREQ, 10000}, {PID_VISBRIGHT, 6000}}) {
    for (int e = 0; e < 2; ++e) {
      Param& q = params[pid + e];
      q.NumNodes = 2;
      q.Node[0] = Node{value, 0, 10, 1};
      q.Node[1] = Node{value, 10000, 10, 1};
      q.Tracking = 0;
    }
  }
  std::strcpy(p.Name, "Lit");
  *renamed = true;
  return 2;
}

// Writes the selected preset with AudioStrobe into `file` through Play Into
// .WAV File; the message shown after it.
QString PlayIntoFile(MainWindow* w, const QString& file) {
  gui::OnDialog<PlayWavDialog>([](PlayWavDialog* d) {
    d->minutesEdit()->setText("0.05");
    MessageBox::setNextAnswer(MessageBox::AnsYes);  // the notice about the signalling system
    d->audioStrobeBox()->setChecked(true);
    QTest::keyClick(d, Qt::Key_Return);
  });
  FileDialog::setNextFileName(file);
  w->actions().PlayWav->trigger();
  return MessageBox::lastText();
}

// Runs `f` once the dialog has read its file. The reading pumps the events
// itself, so a check that waited inside it would hold the reading up: the
// wait goes back to the dialog's loop between looks. A dialog that never
// finishes is closed after about 30 s.
void AfterCheck(LightCheckDialog* d, std::function<void()> f, int tries = 3000) {
  if (d->checking() || !d->summary()->isVisible()) {
    if (tries > 0)
      QTimer::singleShot(10, d, [=] { AfterCheck(d, f, tries - 1); });
    else
      d->reject();
    return;
  }
  f();
  if (QTest::currentTestFailed()) d->reject();
}

}  // namespace

class LightCheckTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  QString Wav;

 private slots:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    W = gui::OpenMainWindow();
    W->setPresetEditor(LitEditor);
    W->actions().New->trigger();
    W->actions().Save->trigger();
    QCOMPARE(W->presetList()->currentText(), QString("Lit"));
    Wav = gui::NewFolder("light") + "/Lit.wav";
    QCOMPARE(PlayIntoFile(W, Wav), QString("0.05 minutes of output was successfully played to a .wav file."));
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  // The file's light with the selected preset's laid over it (the file
  // carries its name), read from the keyboard along the chart.
  void showsTheLightAndThePresetsCurves() {
    bool seen = false;
    gui::OnDialog<LightCheckDialog>([&](LightCheckDialog* d) {
      AfterCheck(d, [&seen, d] {
        QVERIFY2(d->summary()->text().startsWith("Carrier from 0:00 to 0:03, lowest carrier level -1"),
                 qPrintable(d->summary()->text()));
        QVERIFY(d->summary()->text().endsWith("dBFS, no gaps."));
        QVERIFY(!d->progressBar()->isVisible());
        QVERIFY(d->presetBox()->isEnabled() && d->presetBox()->isChecked());
        QCOMPARE(QApplication::focusWidget(), d->chart());
        QTest::keyClick(d->chart(), Qt::Key_Right);
        QTest::keyClick(d->chart(), Qt::Key_Right);
        QCOMPARE(
            d->readout()->text(),
            QString("0:02   left: 60 %, 10.00 Hz   right: 60 %, 10.00 Hz   preset: 60 % / 60 %, 10.00 / 10.00 Hz"));
        // A screen reader hears the values at the cursor, and every control
        // the keyboard reaches has a name.
        QCOMPARE(QAccessible::queryAccessibleInterface(d->chart())->text(QAccessible::Description),
                 d->readout()->text());
        for (QWidget* c : d->findChildren<QWidget*>())
          if (c->isVisible() && (c->focusPolicy() & Qt::TabFocus))
            QVERIFY2(!QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name).isEmpty(),
                     qPrintable(c->objectName()));
        QTest::keyClick(d->chart(), Qt::Key_End);
        QCOMPARE(d->chart()->cursorTime(), 3.0);
        seen = true;
        QTest::keyClick(d, Qt::Key_Escape);
      });
    });
    FileDialog::setNextFileName(Wav);
    W->actions().CheckLight->trigger();
    QVERIFY(seen);
  }

  // Cancel, or Esc, stops the reading; what was read is shown.
  void cancelShowsThePartRead() {
    for (int key : {0, int(Qt::Key_Escape)}) {
      LightCheckDialog d(W, Wav, LightLevels(), nullptr);
      d.show();
      // Pressed at the first chance the check gives the events.
      QTimer press;
      connect(&press, &QTimer::timeout, &d, [&] {
        if (!d.checking()) return;
        if (key)
          QTest::keyClick(&d, Qt::Key(key));
        else
          QTest::mouseClick(d.cancelButton(), Qt::LeftButton);
      });
      press.start(0);
      d.runCheck();
      press.stop();
      QVERIFY(d.report().Frames < 132300);
      QVERIFY2(d.summary()->text().startsWith("The check was stopped at 0:00."), qPrintable(d.summary()->text()));
      // Esc while reading closes the dialog once the reading has stopped.
      QCOMPARE(d.isVisible(), key == 0);
    }
  }

  void unreadableFileIsNamed() {
    QString junk = gui::NewFolder("junk") + "/junk.mp3";
    QFile f(junk);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("no sound in here");
    f.close();
    MessageBox::setNextAnswer(MessageBox::AnsOk);
    FileDialog::setNextFileName(junk);
    W->actions().CheckLight->trigger();
    QVERIFY2(MessageBox::lastText().startsWith("The file '" + junk + "' cannot be read: "),
             qPrintable(MessageBox::lastText()));
  }

  // Play Into .WAV File with AudioStrobe into a lossy format reads the file
  // back: the light came through Vorbis, not through MP3.
  void lossyFilesAreChecked() {
    struct Case {
      const char* File;
      const char* Said;
    } cases[] = {{"Lit.ogg", "The AudioStrobe light signal came through the Ogg Vorbis encoding"},
                 {"Lit.mp3", "The AudioStrobe light signal did not survive the MP3 encoding: "}};
    for (const Case& c : cases) {
      QString said = PlayIntoFile(W, gui::NewFolder("lossy") + "/" + c.File);
      QVERIFY2(said.startsWith("0.05 minutes of output was successfully played to a .wav file.\n\n"), qPrintable(said));
      QVERIFY2(said.contains(c.Said), qPrintable(said));
      QVERIFY(!W->progressLine()->isVisible());
    }
  }

  // The session ends while the written file is read back: the check stops,
  // and the window goes without waiting for an answer to its report.
  void sessionEndDuringTheCheckClosesWithoutAnAnswer() {
    MessageBox::setAutoAnswer(false);
    struct Restore {
      ~Restore() { MessageBox::setAutoAnswer(true); }
    } restore;
    QTimer watch;
    connect(&watch, &QTimer::timeout, W, [&] {
      if (!W->progressLine()->active() || W->progressLine()->caption()->text() != "Checking the light signal") return;
      watch.stop();
      W->closeForSessionEnd();
    });
    watch.start(0);
    bool answeredHere = false;
    QObject guard;
    QTimer::singleShot(3000, &guard, [&] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        answeredHere = true;
        QTest::keyClick(box, Qt::Key_Return);
      }
    });
    QString said = PlayIntoFile(W, gui::NewFolder("ended") + "/Lit.ogg");
    QVERIFY(!watch.isActive());
    QVERIFY2(said.endsWith("The check of the AudioStrobe light signal in the file was stopped."), qPrintable(said));
    QTRY_VERIFY(!W->isVisible());
    QVERIFY(!answeredHere);
  }
};

GUI_TEST(LightCheckTest);
#include "tst_lightcheck.moc"

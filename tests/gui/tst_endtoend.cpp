// A preset built in the preset options dialog with clicks and keys alone (two
// segments, a background file, separate pitch channels, a tracking volume,
// ocean-wave noise) and saved is the record `sonavel-cli build` makes of the
// same description, and both render to the same bytes.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <cmath>
#include <cstdint>

#include "chart/ParameterChart.h"
#include "dialog/FileDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/WarningBox.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "main/preset.h"
#include "mwnd/PresetCombo.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/ModulationWindow.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "reg/settings.h"

namespace {

using Dlg = PresetOptionsDialog;

void Click(QWidget* w) {
  QVERIFY(w && w->isVisible());
  QTest::mouseClick(w, Qt::LeftButton);
}

// Types `text` into a line edit as the user does, then leaves it.
void Type(QLineEdit* e, const QString& text) {
  e->setFocus(Qt::TabFocusReason);
  e->selectAll();
  QTest::keyClicks(e, text);
  QTest::keyClick(e, Qt::Key_Tab);
}

// Moves a combo box's selection with the arrow keys until it shows `text`
// (each row passed on the way is applied, as for a user).
void KeyTo(QComboBox* box, const QString& text) {
  QVERIFY(box && box->isVisible());
  box->setFocus(Qt::TabFocusReason);
  const int row = box->findText(text);
  QVERIFY2(row >= 0, qPrintable(text));
  while (box->currentIndex() < row) QTest::keyClick(box, Qt::Key_Down);
  while (box->currentIndex() > row) QTest::keyClick(box, Qt::Key_Up);
}

void ShowTab(Dlg* d, int tab) {
  QTest::mouseClick(d->tabs(), Qt::LeftButton, Qt::NoModifier, d->tabs()->tabRect(tab).center());
  QCOMPARE(d->displayTab(), tab);
}

int PositionOf(int paramNum) {
  for (int s = 0; s < PAGE_POSITIONS; ++s)
    if (PagePosition(s) == paramNum) return s;
  return -1;
}

// One second of a 220 Hz tone, 16-bit stereo at 22050 Hz.
void WriteToneWav(const QString& path) {
  const int rate = 22050, frames = rate;
  QByteArray data;
  for (int i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 220 * i / rate));
    for (int c = 0; c < 2; ++c) {
      data.append(static_cast<char>(v & 0xff));
      data.append(static_cast<char>((v >> 8) & 0xff));
    }
  }
  auto u32 = [](QByteArray& b, uint32_t x) {
    for (int i = 0; i < 4; ++i) b.append(static_cast<char>((x >> (8 * i)) & 0xff));
  };
  auto u16 = [](QByteArray& b, uint16_t x) {
    b.append(static_cast<char>(x & 0xff));
    b.append(static_cast<char>(x >> 8));
  };
  QByteArray f("RIFF");
  u32(f, static_cast<uint32_t>(36 + data.size()));
  f.append("WAVEfmt ");
  u32(f, 16);
  u16(f, 1);
  u16(f, 2);
  u32(f, rate);
  u32(f, rate * 4);
  u16(f, 4);
  u16(f, 16);
  f.append("data");
  u32(f, static_cast<uint32_t>(data.size()));
  f.append(data);
  QFile out(path);
  QVERIFY(out.open(QIODevice::WriteOnly));
  out.write(f);
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs the command-line tool; its standard output, or a failure.
QByteArray Cli(const QStringList& args) {
  QProcess cli;
  cli.start(QStringLiteral(SONAVEL_BIN_DIR "/sonavel-cli"), args);
  if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0) {
    qWarning("sonavel-cli %s: %s", qPrintable(args.join(' ')), cli.readAllStandardError().constData());
    return QByteArray("failed");
  }
  return cli.readAllStandardOutput();
}

// The preset the test builds in the dialog, as a user would describe it to
// the command-line tool (%1: the background file).
const char* const kJourney = R"json({
  "Name": "Journey",
  "Background": 1025,
  "BackgroundFile": "%1",
  "Segment": [{
    "Length": 5,
    "Param": {
      "Background Param (Left)": {"MaxLimit": 600},
      "Background Param (Right)": {"MaxLimit": 600},
      "Noise Volume": {"Easy": "Noise with half volume"},
      "Noise Modulation Depth": {"Easy": "Normal ocean waves"},
      "Noise Modulation Period": {"Curve": [[0, 2000], [50, 2000], [100, 2000]]},
      "Visual Frequency": {"Tracking": 0}
    },
    "Voice": [{
      "Audible Pitch": {"Tracking": 0, "ChannelMode": 2},
      "Audible Pitch (Right)": {"Curve": [[0, 850], [50, 500], [100, 250]]},
      "Sound Volume": {"TrackSource": "Audible Pitch", "Slope": 6666, "EasySel": 0}
    }]
  }, {
    "Length": 5,
    "Param": {
      "Noise Volume": {"Curve": [[0, 50], [50, 0], [100, 0]]},
      "Noise Modulation Depth": {"Curve": [[0, 90], [50, 0], [100, 0]]},
      "Noise Modulation Period": {"Curve": [[0, 2000], [50, 1000], [100, 1000]]}
    },
    "Voice": [{
      "Binaural Beat Frequency": {"Curve": [[0, 5], [50, 10], [100, 5]]}
    }]
  }]
})json";

}  // namespace

class EndToEndTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

 private Q_SLOTS:
  void init() {
    gui::TakeCheckFailures();
    MessageBox::clearShown();
  }
  void cleanup() {
    if (W && W->waveOptChanged()) MessageBox::setNextAnswer(MessageBox::AnsNo);
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void dialogPresetEqualsTheBuiltOne() {
    const QString store = gui::FreshStore();
    const QString work = gui::NewFolder("e2e");
    const QString wav = work + "/tone.wav";
    WriteToneWav(wav);
    W = gui::OpenMainWindow();

    bool ran = false;
    gui::OnDialog<Dlg>([&](Dlg* d) {
      ran = true;
      // Offscreen, the main window keeps the activation after New, and a
      // line edit commits its text only when it really loses the focus.
      QApplication::setActiveWindow(d);
      QVERIFY(QTest::qWaitForWindowActive(d));
      GeneralPage* g = d->generalPage();
      Type(g->nameEdit(), "Journey");
      Type(g->lengthEdit(), "0.05");
      QCOMPARE(g->lengthEdit()->text(), QString("0.05"));
      QCOMPARE(d->prg().data.Segment[0].Length, 5);
      // The background: "Other..." with a file of the user's.
      FileDialog::setNextFileName(wav);
      KeyTo(g->backgroundCombo(), g->backgroundCombo()->itemText(g->backgroundCombo()->findData(AMBIX_OTHER)));
      QCOMPARE(d->prg().data.Background, AMBIX_OTHER);

      // Sound: the pitch's channels apart, the right one raised; the volume
      // a curve of its own that tracks.
      ShowTab(d, 1);
      ParamPage* page = d->paramPage();
      const int pitch = PositionOf(PN_PITCH), volume = PositionOf(PN_VOLUME);
      WarningBox::setNextAnswer(WarningBox::Yes, false);
      Click(page->separateBox(pitch));
      QVERIFY(page->separateBox(pitch)->isChecked());
      Click(page->channelRadio(pitch, 2));
      ParameterChart* right = page->chart(pitch);
      right->setFocus();
      QTest::keyClick(right, Qt::Key_Home);
      for (int i = 0; i < 3; ++i) QTest::keyClick(right, Qt::Key_Up);
      KeyTo(page->easyBox(volume), QStringLiteral("User-defined..."));
      Click(page->trackBox(volume));
      QVERIFY(page->trackBox(volume)->isChecked());

      // Noise at half volume, modulated as normal ocean waves.
      ShowTab(d, 4);
      const int noise = PositionOf(PN_NOISEVOL);
      KeyTo(page->easyBox(noise), QStringLiteral("Noise with half volume"));
      gui::OnDialog<ModulationWindow>([](ModulationWindow* m) {
        KeyTo(m->easyBox(0), QStringLiteral("Normal ocean waves"));
        Click(m->findChild<QPushButton*>(QStringLiteral("closeButton")));
      });
      Click(page->modulationButton(noise));
      QCOMPARE(page->modulationButton(noise)->text(), QStringLiteral("Mo&dulation (ON)..."));

      // A second segment, as short.
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("addSegment")), Qt::LeftButton);
      QCOMPARE(d->currentSegment(), 1);
      Type(g->lengthEdit(), "0.05");
      Click(d->okButton());
      QVERIFY(!d->isVisible());
    });
    W->actions().New->trigger();
    QVERIFY(ran);
    W->actions().Save->trigger();
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QCOMPARE(W->presetList()->currentText(), QString("Journey"));

    // The same description, written by hand for the command-line tool.
    const QString json = work + "/journey.json", built = work + "/journey.tvk";
    {
      QFile f(json);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(QString::fromUtf8(kJourney).arg(wav).toUtf8());
    }
    QCOMPARE(Cli({"build", json, "-o", built}), QByteArray());
    const QByteArray saved = Cli({"store", "--dir", store, "show", "Journey", "--json"});
    const QByteArray made = Cli({"show", built, "--index", "0", "--json"});
    QVERIFY(saved.contains("\"ChannelMode\": 2") && saved.contains("\"EasySel\": 21"));
    QCOMPARE(saved, made);
    // Record for record: the store's export is the built file.
    const QString exported = work + "/exported.tvk";
    QCOMPARE(Cli({"store", "--dir", store, "export", "Journey", exported}), QByteArray());
    QCOMPARE(ReadFile(exported), ReadFile(built));

    // And both play the same: both segments, noise of the same seed.
    const QString savedWav = work + "/saved.wav", builtWav = work + "/built.wav";
    const QStringList format = {"--seed", "7", "--block-ms", "10"};
    QCOMPARE(Cli(QStringList{"render", "--store", store, "--name", "Journey", "-o", savedWav} + format), QByteArray());
    QCOMPARE(Cli(QStringList{"render", built, "--index", "0", "-o", builtWav} + format), QByteArray());
    const QByteArray a = ReadFile(savedWav), b = ReadFile(builtWav);
    QCOMPARE(a.size(), 44 + 2 + 600 * 1764);  // 0.1 minutes in blocks of 10 ms
    QVERIFY(a == b);
  }
};

GUI_TEST(EndToEndTest);
#include "tst_endtoend.moc"

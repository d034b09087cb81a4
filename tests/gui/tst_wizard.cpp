// The configuration wizard: its navigation and page rules, the working copy
// that leaves the settings alone until Finish, the question at a first
// start's Cancel, and its tests as they reach ALSA's file plugin.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <cstring>

#include "cnfwiz/ConfigWizard.h"
#include "cnfwiz/wizpreset.h"
#include "dialog/MessageBox.h"
#include "gui/guitest.h"
#include "main/arith.h"
#include "main/preset.h"
#include "reg/settings.h"

namespace {

QString gRaw;

template <class T>
T* Child(ConfigWizard* w, const char* name) {
  T* c = w->findChild<T*>(QString::fromLatin1(name));
  if (!c) qWarning("no %s", name);
  return c;
}

void Click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2)); }

void Type(QLineEdit* e, const QString& text) {
  e->setFocus();
  e->selectAll();
  QTest::keyClicks(e, text);
}

// Peak of each channel of 16-bit stereo PCM.
void Peaks(const QByteArray& pcm, int* left, int* right) {
  *left = *right = 0;
  for (int i = 0; i + 4 <= pcm.size(); i += 4) {
    int16_t l, r;
    std::memcpy(&l, pcm.constData() + i, 2);
    std::memcpy(&r, pcm.constData() + i + 2, 2);
    *left = std::max(*left, std::abs(int(l)));
    *right = std::max(*right, std::abs(int(r)));
  }
}

// Plays the test of `button` until two seconds have reached the file, then
// stops it; what was played.
QByteArray Capture(ConfigWizard* w, QAbstractButton* button) {
  QFile::remove(gRaw);
  Click(button);
  if (w->running() == ConfigWizard::T_NONE) return {};
  // A short capture fails the caller's length check.
  (void)QTest::qWaitFor([] { return QFileInfo(gRaw).size() >= 44100 * 4 * 2; }, 10000);
  Click(QString(button->text()).remove('&').contains("Stop") ? button : Child<QPushButton>(w, "stopTest"));
  if (w->running() != ConfigWizard::T_NONE) return {};
  QFile f(gRaw);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().left(44100 * 4 * 2);
}

}  // namespace

class WizardTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { gRaw = gui::AlsaCaptureFile(); }
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void testPresetIsBuiltAsTheTableSays() {
    Preset p{};
    BuildWizardTestPreset(p);
    QCOMPARE(int(p.data.NumSegments), 6);
    QCOMPARE(p.data.Background, AMBIX_NONE);
    QCOMPARE(int(p.data.ContinuePlaying), 1);
    QCOMPARE(int(p.data.VisOpt.NumColors), 0);
    const int vol = PARAMID(0, PN_VOLUME), pitch = PARAMID(0, PN_PITCH);
    struct Row {
      int Seg;
      int32_t Pitch, VolL, VolR, BgParam, VisFreq, VisBright;
    };
    const int32_t full = 10000, keep = -1;
    const Row rows[] = {
        {0, 40000, 0, 0, 360000, keep, keep},  {1, 40000, full, 0, keep, keep, keep},
        {2, 40000, 0, full, keep, keep, keep}, {3, 41234, full, full, keep, keep, keep},
        {4, 40000, 0, 0, keep, 5000, keep},    {5, 40000, 0, 0, keep, 0, 100},
    };
    for (const Row& r : rows) {
      const Param* q = SegParams(p, r.Seg);
      const Segment& s = p.data.Segment[r.Seg];
      QCOMPARE(s.Length, 6000);
      QCOMPARE(int(s.NumVoices), 1);
      for (int node : {0, 1}) {
        QCOMPARE(int(q[pitch].NumNodes), 2);
        QCOMPARE(TrackedValue(BackgroundParamRow{}, q, s, PARAMID(0, PN_BEAT), node), 0);
        QCOMPARE(TrackedValue(BackgroundParamRow{}, q, s, pitch + 1, node), r.Pitch);  // both ears
        QCOMPARE(TrackedValue(BackgroundParamRow{}, q, s, vol, node), r.VolL);
        QCOMPARE(TrackedValue(BackgroundParamRow{}, q, s, vol + 1, node), r.VolR);
        if (r.BgParam != keep) QCOMPARE(TrackedValue(BackgroundParamRow{}, q, s, PID_BGPARAM + 1, node), r.BgParam);
        if (r.VisFreq != keep) QCOMPARE(TrackedValue(BackgroundParamRow{}, q, s, PID_VISFREQ + 1, node), r.VisFreq);
        if (r.VisBright != keep)
          QCOMPARE(TrackedValue(BackgroundParamRow{}, q, s, PID_VISBRIGHT + 1, node), r.VisBright);
      }
    }
    FreePreset(p);
    // The sample rate's up-down: the next multiple of 1000 Hz, within range.
    QCOMPARE(WizardRateStep(44100, 1), 45000);
    QCOMPARE(WizardRateStep(44100, -1), 44000);
    QCOMPARE(WizardRateStep(44000, -1), 43000);
    QCOMPARE(WizardRateStep(100000, 1), 100000);
    QCOMPARE(WizardRateStep(10500, -1), 10000);
    QVERIFY(WizardRateValid(99990) && WizardRateValid(100000) && WizardRateValid(10000));
    QVERIFY(!WizardRateValid(9999) && !WizardRateValid(100001));
  }

  void navigationAndTheSettingsUntilFinish() {
    Cfg.Advanced.SamplesPerSec = 22050;
    Cfg.Advanced.AudioStrobeMaxLevel = 77;
    const AdvancedOptions before = Cfg.Advanced;
    gui::OnDialog<ConfigWizard>([before](ConfigWizard* w) {
      QCOMPARE(w->activePage(), 0);
      QVERIFY(!w->backButton()->isEnabled());
      QCOMPARE(w->findChild<QLabel*>("pageTitle")->text(), QString("Welcome to Sonavel!"));
      for (int i = 0; i < 3; ++i) Click(w->nextButton());
      QCOMPARE(w->activePage(), 3);
      QCOMPARE(w->findChild<QLabel*>("pageTitle")->text(), QString("Check sample rate"));
      auto* rate = Child<QLineEdit>(w, "sampleRate");
      QCOMPARE(rate->text(), QString("22050"));
      // Out of range: refused, and the page cannot be left either way.
      for (const char* bad : {"9999", "100001", "44105x", ""}) {
        MessageBox::clearShown();
        Type(rate, bad);
        Click(w->nextButton());
        QCOMPARE(MessageBox::lastText(),
                 QString("The sample rate value is invalid. It must be a value between 10000 and 100000."));
        QCOMPARE(w->activePage(), 3);
        Click(w->backButton());
        QCOMPARE(w->activePage(), 3);
      }
      Type(rate, "44100");
      Click(Child<QToolButton>(w, "sampleRateUp"));
      QCOMPARE(rate->text(), QString("45000"));
      Type(rate, "44100");
      Click(Child<QToolButton>(w, "sampleRateDown"));
      QCOMPARE(rate->text(), QString("44000"));
      Type(rate, "44100");
      Click(Child<QRadioButton>(w, "bits8"));
      Click(w->nextButton());
      // Without an AudioStrobe device, page 4 leads to the last page and back.
      QCOMPARE(w->activePage(), 4);
      QVERIFY(!Child<QCheckBox>(w, "hasAudioStrobe")->isChecked());
      Click(w->nextButton());
      QCOMPARE(w->activePage(), 7);
      QCOMPARE(w->nextButton()->text(), QString("Fi&nish"));
      Click(w->backButton());
      QCOMPARE(w->activePage(), 4);
      QCOMPARE(w->nextButton()->text(), QString("&Next >"));
      Click(w->nextButton());
      QVERIFY(!w->page(5) && !w->page(6));
      QVERIFY(std::memcmp(&Cfg.Advanced, &before, sizeof before) == 0);
      Click(w->nextButton());  // Finish
    });
    QVERIFY(ConfigWizard::runWizard(nullptr));
    QCOMPARE(Cfg.Advanced.SamplesPerSec, 44100);
    QCOMPARE(Cfg.Advanced.Bits16, 0);
    QCOMPARE(Cfg.Advanced.HasAudioStrobe, 0);
    QCOMPARE(Cfg.Advanced.AudioStrobeMaxLevel, 77);  // page 5 never shown
    QCOMPARE(Cfg.Advanced.RunConfigWizard, 0);

    // With the device: pages 5 and 6 refuse invalid levels and are stored.
    gui::OnDialog<ConfigWizard>([](ConfigWizard* w) {
      for (int i = 0; i < 4; ++i) Click(w->nextButton());
      Click(Child<QCheckBox>(w, "hasAudioStrobe"));
      Click(w->nextButton());
      QCOMPARE(w->activePage(), 5);
      auto* max = Child<QLineEdit>(w, "maxLevel");
      Type(max, "101");
      Click(w->nextButton());
      QCOMPARE(MessageBox::lastText(),
               QString("The maximum brightness value is invalid. It must be a value between 0 and 100."));
      QCOMPARE(w->activePage(), 5);
      Type(max, "80");
      Click(Child<QToolButton>(w, "maxLevelUp"));
      QCOMPARE(max->text(), QString("85"));
      Click(w->nextButton());
      auto* zero = Child<QLineEdit>(w, "zeroLevel");
      Type(zero, "-5");
      Click(w->nextButton());
      QCOMPARE(MessageBox::lastText(),
               QString("The zero level value is invalid. It must be a value between 0 and 100."));
      Type(zero, "20");
      Click(w->nextButton());
      Click(w->nextButton());
    });
    QVERIFY(ConfigWizard::runWizard(nullptr));
    QCOMPARE(Cfg.Advanced.HasAudioStrobe, 1);
    QCOMPARE(Cfg.Advanced.AudioStrobeMaxLevel, 85);
    QCOMPARE(Cfg.Advanced.AudioStrobeZeroLevel, 20);
  }

  void backRetracesTheWayTaken() {
    // The level pages, once made, stay: Back from the last page must still
    // follow the device box as it is now, not the pages that exist.
    struct Step {
      const char* Button;  // "next", "back" or an objectName to click
      int Page;            // the page shown afterwards
    };
    const Step steps[] = {
        {"next", 1}, {"next", 2}, {"next", 3}, {"next", 4}, {"hasAudioStrobe", 4}, {"next", 5},
        {"next", 6}, {"next", 7}, {"back", 6}, {"back", 5}, {"back", 4},           {"hasAudioStrobe", 4},
        {"next", 7}, {"back", 4}, {"back", 3}, {"next", 4}, {"next", 7},
    };
    gui::OnDialog<ConfigWizard>([&steps](ConfigWizard* w) {
      int i = 0;
      for (const Step& s : steps) {
        const QByteArray b(s.Button);
        Click(b == "next"   ? w->nextButton()
              : b == "back" ? w->backButton()
                            : static_cast<QAbstractButton*>(Child<QCheckBox>(w, s.Button)));
        QVERIFY2(w->activePage() == s.Page, qPrintable(QString("step %1: page %2").arg(i).arg(w->activePage())));
        ++i;
      }
      QTest::keyClick(w, Qt::Key_Escape);
    });
    QVERIFY(!ConfigWizard::runWizard(nullptr));
  }

  void cancelAtTheFirstStartAsks() {
    // The main window opens the wizard at its first start; Cancel asks
    // whether to run it again, and its Cancel keeps the wizard open.
    Cfg.Advanced.RunConfigWizard = 1;
    Cfg.Advanced.InvertSound = 0;
    gui::OnDialog<ConfigWizard>([](ConfigWizard* w) {
      Click(w->nextButton());
      Click(Child<QCheckBox>(w, "invert"));
      MessageBox::setNextAnswer(MessageBox::AnsCancel);
      Click(w->cancelButton());
      QCOMPARE(MessageBox::lastText(),
               QString("Do you want to run this Configuration Wizard again when Sonavel starts?"));
      QVERIFY(w->isVisible());
      MessageBox::setNextAnswer(MessageBox::AnsNo);
      Click(w->cancelButton());
    });
    W = gui::OpenMainWindow();
    QTRY_COMPARE(Cfg.Advanced.RunConfigWizard, 0);
    QCOMPARE(Cfg.Advanced.InvertSound, 0);  // cancelled: nothing stored
    // Without the setting nothing is asked.
    MessageBox::clearShown();
    gui::OnDialog<ConfigWizard>([](ConfigWizard* w) { QTest::keyClick(w, Qt::Key_Escape); });
    W->actions().ConfigWizard->trigger();
    QVERIFY(MessageBox::shownTexts().isEmpty());
  }

  void testsReachTheDevice() {
    Cfg.Device = "sonavel_capture";
    W = gui::OpenMainWindow();
    gui::OnDialog<ConfigWizard>([](ConfigWizard* w) {
      int l, r;
      // Page 1: the spoken words, "left" on the left and "right" on the
      // right (the voice itself is silent).
      Click(w->nextButton());
      QByteArray orient = Capture(w, Child<QPushButton>(w, "orientTest"));
      Peaks(orient, &l, &r);
      QVERIFY2(l > 1000 && r > 1000, qPrintable(QString("%1 %2").arg(l).arg(r)));
      QVERIFY(orient.size() == 44100 * 8);
      // Inverted in the working copy only: the left test sounds on the right.
      Click(Child<QCheckBox>(w, "invert"));
      QCOMPARE(Cfg.Advanced.InvertSound, 0);
      Click(w->nextButton());
      Peaks(Capture(w, Child<QPushButton>(w, "leftTest")), &l, &r);
      QVERIFY2(l == 0 && r > 1000, qPrintable(QString("%1 %2").arg(l).arg(r)));
      Click(w->backButton());
      Click(Child<QCheckBox>(w, "invert"));
      Click(w->nextButton());
      Peaks(Capture(w, Child<QPushButton>(w, "leftTest")), &l, &r);
      QVERIFY2(l > 1000 && r == 0, qPrintable(QString("%1 %2").arg(l).arg(r)));
      Peaks(Capture(w, Child<QPushButton>(w, "rightTest")), &l, &r);
      QVERIFY2(l == 0 && r > 1000, qPrintable(QString("%1 %2").arg(l).arg(r)));
      // Page 4: the voice is silent; what plays is the AudioStrobe carrier.
      Click(w->nextButton());
      Click(w->nextButton());
      QCOMPARE(w->activePage(), 4);
      Peaks(Capture(w, Child<QPushButton>(w, "strobeTest")), &l, &r);
      QVERIFY2(l > 1000 || r > 1000, qPrintable(QString("%1 %2").arg(l).arg(r)));
      QTest::keyClick(w, Qt::Key_Escape);
    });
    W->actions().ConfigWizard->trigger();
    QVERIFY(!W->playing());
  }

  void aTestWaitsForTheMainPlaybackToStop() {
    // A device whose clock only the test moves: the playback cannot end by
    // itself meanwhile.
    gui::FakeDevice dev;
    W = gui::OpenMainWindow();
    W->actions().ToolPlay->trigger();
    QVERIFY(W->playing());
    gui::OnDialog<ConfigWizard>([this, &dev](ConfigWizard* w) {
      Click(w->nextButton());
      Click(w->nextButton());
      Click(Child<QPushButton>(w, "leftTest"));
      // Not refused: the start is tried again until the window has stopped.
      QVERIFY(MessageBox::shownTexts().isEmpty());
      QCOMPARE(w->running(), ConfigWizard::T_NONE);
      QVERIFY(Child<QPushButton>(w, "stopTest")->isEnabled());
      QTest::qWait(300);
      QCOMPARE(w->running(), ConfigWizard::T_NONE);
      W->actions().Stop->trigger();
      QVERIFY(QTest::qWaitFor(
          [&] {
            plat::FakeAdvance(dev.Fake, 441);
            return w->running() == ConfigWizard::T_LEFT;
          },
          5000));
      QVERIFY(!W->playing());
      QTest::keyClick(w, Qt::Key_Escape);
    });
    W->actions().ConfigWizard->trigger();
    QVERIFY(MessageBox::shownTexts().isEmpty());
  }

 private:
  MainWindow* W = nullptr;
};

GUI_TEST(WizardTest);
#include "tst_wizard.moc"

// The option dialogs: Advanced Options (the memory estimate, the order of
// its refusals, what OK stores, the test tone through ALSA's file plugin,
// the notice while playing) and the colour picker of Visual Color Options
// with the custom colours kept in the settings.
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>
#include <cstring>
#include <memory>

#include "dialog/AdvancedDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/VisualColorDialog.h"
#include "gui/guitest.h"
#include "main/strtab.h"
#include "platform/numfmt.h"
#include "reg/settings.h"

namespace {

QString gAlsaRaw;

void Type(QLineEdit* e, const QString& text) {
  e->setFocus();
  e->selectAll();
  QTest::keyClicks(e, text);
}

// Sign changes of one channel of 16-bit stereo PCM.
int ZeroCrossings(const QByteArray& pcm, int channel) {
  int n = 0;
  const int frames = static_cast<int>(pcm.size() / 4);
  int16_t prev = 0;
  for (int i = 0; i < frames; ++i) {
    int16_t v;
    std::memcpy(&v, pcm.constData() + i * 4 + channel * 2, 2);
    if (i > 0 && (prev < 0) != (v < 0)) ++n;
    prev = v;
  }
  return n;
}

}  // namespace

class OptionsDialogs : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { gAlsaRaw = gui::AlsaCaptureFile(); }
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    MessageBox::clearShown();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    Dev.reset();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void advancedMemoryFollowsTheFieldsAndTheLocale() {
    gui::OnDialog<AdvancedOptionsDialog>([](AdvancedOptionsDialog* d) {
      // The defaults: 44100 x 200 ms x 4 blocks x 16 bits.
      QCOMPARE(d->memoryLabel()->text(), QString("141,120 bytes"));
      QTest::mouseClick(d->bits8Button(), Qt::LeftButton);
      QCOMPARE(d->memoryLabel()->text(), QString("70,560 bytes"));
      Type(d->blocksEdit(), "10");
      QCOMPARE(d->memoryLabel()->text(), QString("176,400 bytes"));
      Type(d->lengthEdit(), "x");  // not a number yet: counts as nothing
      QCOMPARE(d->memoryLabel()->text(), QString("0 bytes"));
      Type(d->lengthEdit(), "1000");
      Type(d->rateEdit(), "99999");
      QCOMPARE(d->memoryLabel()->text(), QString("1,999,980 bytes"));
      QTest::keyClick(d, Qt::Key_Escape);
    });
    QVERIFY(!AdvancedOptionsDialog::editOptions(nullptr));
    QCOMPARE(Cfg.Advanced.Bits16, 1);
    QCOMPARE(Cfg.Advanced.MemoryBlocks, 4);

    // A user whose thousands separator is a dot.
    plat::NumberSettings en, de;
    plat::GetNumberSettings(&en);
    de = en;
    std::strcpy(de.ThousandSep, ".");
    std::strcpy(de.DecimalSep, ",");
    plat::SetNumberSettings(de);
    gui::OnDialog<AdvancedOptionsDialog>([](AdvancedOptionsDialog* d) {
      QCOMPARE(d->memoryLabel()->text(), QString("141.120 bytes"));
      QTest::keyClick(d, Qt::Key_Escape);
    });
    AdvancedOptionsDialog::editOptions(nullptr);
    plat::SetNumberSettings(en);
  }

  void advancedRefusesInItsOrderAndStoresOnlyOnSuccess() {
    Cfg.Device = "default";
    const AdvancedOptions before = Cfg.Advanced;
    gui::OnDialog<AdvancedOptionsDialog>([before](AdvancedOptionsDialog* d) {
      auto ok = d->findChild<QPushButton*>("okButton");
      // Over 5 MB is refused before any field is checked, from what is typed.
      Type(d->rateEdit(), "100000");
      Type(d->lengthEdit(), "1000");
      Type(d->blocksEdit(), "100");
      QCOMPARE(d->memoryLabel()->text(), QString("40,000,000 bytes"));
      QTest::mouseClick(ok, Qt::LeftButton);
      QCOMPARE(MessageBox::lastText(), QString("The memory consumed may not be over 5 MB."));
      QVERIFY(d->isVisible());
      QVERIFY(std::memcmp(&Cfg.Advanced, &before, sizeof before) == 0);

      // Every field wrong (the duty cycle hidden behind the sine wave):
      // each refusal names its range and takes the focus, in this order.
      d->waveformCombo()->setCurrentIndex(2);
      QVERIFY(!d->dutyEdit()->isVisible());
      struct Step {
        QLineEdit* Edit;
        const char* Bad;
        const char* Good;
        const char* Message;
      };
      const Step steps[] = {
          {d->blocksEdit(), "1", "8", "The number of memory blocks must be in range 2-100."},
          {d->lengthEdit(), "1001", "100", "The length of memory blocks must be in range 10-1,000."},
          {d->rateEdit(), "9999", "22050", "The number of samples per second must be in range 10,000-100,000."},
          {d->zeroEdit(), "101", "10", "The brightness zero level must be in range 0-100."},
          {d->maxEdit(), "-1", "90", "The maximum brightness level must be in range 0-100."},
          {d->dutyEdit(), "96", "30", "The AudioStrobe duty cycle setting must be in range 5-95."},
          {d->nodesEdit(), "4", "2", "The number of nodes must be 2 or 3."},
      };
      for (const Step& s : steps) Type(s.Edit, s.Bad);
      for (const Step& s : steps) {
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(MessageBox::lastText(), QString(s.Message));
        QVERIFY(d->isVisible());
        // A hidden field cannot take the focus; the message names it.
        // (The dialog's own focus child: the window may not be active yet.)
        if (s.Edit->isVisible()) QCOMPARE(d->focusWidget(), static_cast<QWidget*>(s.Edit));
        QVERIFY(std::memcmp(&Cfg.Advanced, &before, sizeof before) == 0);
        Type(s.Edit, s.Good);
      }
      QTest::mouseClick(d->invertBox(), Qt::LeftButton, {}, QPoint(5, d->invertBox()->height() / 2));
      QTest::mouseClick(d->linkBox(), Qt::LeftButton, {}, QPoint(5, d->linkBox()->height() / 2));
      d->deviceCombo()->setCurrentText("plughw:CARD=X,DEV=0");
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    QVERIFY(AdvancedOptionsDialog::editOptions(nullptr));
    const AdvancedOptions& o = Cfg.Advanced;
    QCOMPARE(o.MemoryBlocks, 8);
    QCOMPARE(o.LenOfBlocks, 100);
    QCOMPARE(o.SamplesPerSec, 22050);
    QCOMPARE(o.AudioStrobeZeroLevel, 10);
    QCOMPARE(o.AudioStrobeMaxLevel, 90);
    QCOMPARE(o.AudioStrobeDutyCycle, 30);
    QCOMPARE(o.NodesInNewParam, 2);
    QCOMPARE(o.AudioStrobeWaveform, ASWAVE_SINE);
    QCOMPARE(o.InvertSound, 1);
    QCOMPARE(o.LinkAdjacentSegmentsInPresetOptions, 0);
    QCOMPARE(Cfg.Device, std::string("plughw:CARD=X,DEV=0"));

    // A waveform that matches no choice shows none and hides the duty
    // cycle; OK without a choice stores the sine wave. The smooth flashing
    // box follows what the caller says the machine can do.
    Cfg.Advanced.AudioStrobeWaveform = 12345;
    gui::OnDialog<AdvancedOptionsDialog>([](AdvancedOptionsDialog* d) {
      QCOMPARE(d->waveformCombo()->currentIndex(), -1);
      QVERIFY(!d->dutyEdit()->isVisible());
      QVERIFY(d->smoothBox()->isEnabled());
      d->waveformCombo()->setCurrentIndex(1);  // steep rectangular: has a duty cycle
      QVERIFY(d->dutyEdit()->isVisible());
      d->waveformCombo()->setCurrentIndex(-1);
      QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(AdvancedOptionsDialog::editOptions(nullptr, true));
    QCOMPARE(Cfg.Advanced.AudioStrobeWaveform, ASWAVE_SINE);
    gui::OnDialog<AdvancedOptionsDialog>([](AdvancedOptionsDialog* d) {
      QVERIFY(!d->smoothBox()->isEnabled());
      QTest::keyClick(d, Qt::Key_Escape);
    });
    AdvancedOptionsDialog::editOptions(nullptr, false);
  }

  void advancedTestTonePlaysThroughTheChosenDevice() {
    QFile::remove(gAlsaRaw);
    gui::OnDialog<AdvancedOptionsDialog>([](AdvancedOptionsDialog* d) {
      QCOMPARE(d->deviceCombo()->itemText(0), QString("default"));
      // A device that does not exist is diagnosed like a playback's.
      d->deviceCombo()->setCurrentText("sonavel_no_such_pcm");
      QTest::mouseClick(d->testButton(), Qt::LeftButton);
      QCOMPARE(MessageBox::lastText(), QString::fromUtf8(GetStr(1263)));
      QVERIFY(!d->testing());
      // The format of the fields, not of the settings.
      Type(d->rateEdit(), "22050");
      d->deviceCombo()->setCurrentText("sonavel_capture");
      QTest::mouseClick(d->testButton(), Qt::LeftButton);
      QVERIFY(d->testing());
      QTRY_VERIFY_WITH_TIMEOUT(!d->testing(), 5000);
      QTest::keyClick(d, Qt::Key_Escape);
    });
    QVERIFY(!AdvancedOptionsDialog::editOptions(nullptr));
    QCOMPARE(Cfg.Device, std::string("default"));  // Cancel: the test changed nothing
    QFile raw(gAlsaRaw);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QByteArray pcm = raw.readAll();
    // One second of 22050 frames, 16-bit stereo, 440 Hz on both channels.
    QVERIFY2(pcm.size() >= 22050 * 4, qPrintable(QString::number(pcm.size())));
    pcm.truncate(22050 * 4);
    for (int ch : {0, 1}) QVERIFY(std::abs(ZeroCrossings(pcm, ch) - 880) <= 2);
  }

  void advancedWhilePlayingGivesTheNotice() {
    Dev = std::make_unique<gui::FakeDevice>();
    W = gui::OpenMainWindow();
    gui::OnDialog<AdvancedOptionsDialog>([](AdvancedOptionsDialog* d) { QTest::keyClick(d, Qt::Key_Return); });
    W->actions().Advanced->trigger();  // not playing: no notice
    QVERIFY(MessageBox::shownTexts().isEmpty());
    W->actions().ToolPlay->trigger();
    QVERIFY(W->playing());
    gui::OnDialog<AdvancedOptionsDialog>([](AdvancedOptionsDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
    W->actions().Advanced->trigger();
    QVERIFY(MessageBox::shownTexts().isEmpty());  // Cancel: none either
    gui::OnDialog<AdvancedOptionsDialog>([](AdvancedOptionsDialog* d) { QTest::keyClick(d, Qt::Key_Return); });
    W->actions().Advanced->trigger();
    QCOMPARE(MessageBox::lastText(),
             QString("NOTE: Changes to advanced options take effect only after restarting current playback."));
  }

  void colorPickerKeepsTheCustomColors() {
    // Custom colours come from the settings (red in the low byte) and go
    // back there; the picked colour replaces the selected one.
    Cfg.CustColorTable[0] = 0x00336699;
    VisOpt own{};
    gui::OnDialog<VisualColorDialog>([](VisualColorDialog* d) {
      d->colorList()->setCurrentRow(1);
      gui::OnModal([](QWidget* w) {
        auto* picker = qobject_cast<QColorDialog*>(w);
        QVERIFY(picker);
        QCOMPARE(picker->currentColor(), QColor(0, 255, 0));  // starts at the colour
        QCOMPARE(QColorDialog::customColor(0), QColor(0x99, 0x66, 0x33));
        QColorDialog::setCustomColor(5, QColor(1, 2, 3));
        picker->setCurrentColor(QColor(10, 20, 30));
        QTest::keyClick(picker, Qt::Key_Return);
      });
      QTest::mouseClick(d->modifyButton(), Qt::LeftButton);
      QTest::mouseClick(d->okButton(), Qt::LeftButton);
    });
    QVERIFY(VisualColorDialog::editColors(nullptr, &own));
    QCOMPARE(own.Colors[1], 0x001E140Au);
    QCOMPARE(Cfg.CustColorTable[5], 0x00030201u);
    QCOMPARE(Cfg.CustColorTable[0], 0x00336699u);
  }

 private:
  MainWindow* W = nullptr;
  std::unique_ptr<gui::FakeDevice> Dev;
};

GUI_TEST(OptionsDialogs);
#include "tst_options.moc"

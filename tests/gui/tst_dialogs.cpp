// The dialog helpers and the small dialogs: the dynamic layout on a real
// dialog, the warning box, the validator's focus, Play With Delay, Play into
// .wav file, the preset name prompt, Visual Color Options, the hyperlink and
// the About box.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>

#include "dialog/AboutDialog.h"
#include "dialog/Hyperlink.h"
#include "dialog/MessageBox.h"
#include "dialog/PlayDelayDialog.h"
#include "dialog/PlayWavDialog.h"
#include "dialog/PresetNameDialog.h"
#include "dialog/VisualColorDialog.h"
#include "dialog/WarningBox.h"
#include "dlggen/modal.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "mwnd/HelpWindow.h"
#include "reg/settings.h"

namespace {

QString gOpened;
bool gOpenResult = true;
bool FakeOpen(const QString& target) {
  gOpened = target;
  return gOpenResult;
}

}  // namespace

class Dialogs : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
  }
  void cleanup() { QCOMPARE(gui::TakeCheckFailures(), QStringList()); }

  void dynamicLayoutStretchesAndAnchors() {
    DynDialog d(nullptr, QSize(200, 100), QString());
    auto* fixed = new QLabel("fixed", &d);
    auto* wide = new QLineEdit(&d);
    auto* button = new QPushButton("OK", &d);
    d.dynLayout()->addControl(fixed, 4, 7, 100, 8);         // small: never moves
    d.dynLayout()->addControl(wide, 4, 20, 1010, 12);       // stretches, 10 units right margin
    d.dynLayout()->addControl(button, 2003, 1003, 50, 14);  // 45 units left of the middle
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    DynLayout* l = d.dynLayout();
    QRect units4 = l->mapDialogRect(4, 7, 100, 8);
    DynPos e;
    QCOMPARE(l->controlLayout(fixed, &e), 1);
    QCOMPARE(l->controlLayout(wide, &e), 0);
    for (int w : {900, 450}) {
      d.resize(w, 300);
      QTRY_COMPARE(d.width(), w);
      QCOMPARE(fixed->geometry(), units4);
      QCOMPARE(wide->x(), units4.x());
      // Dialog units map to whole pixels, so the margins may round by one.
      QVERIFY(qAbs(w - wide->geometry().right() - 1 - l->mapDialogRect(10, 0, 10, 0).x()) <= 1);
      QVERIFY(qAbs(button->x() - (w / 2 - l->mapDialogRect(45, 0, 0, 0).x())) <= 1);
    }
    // Fixed parts and fractions replaced later.
    l->setControlFractions(fixed, 1, DYN_KEEP, DYN_KEEP, DYN_KEEP);
    QCOMPARE(fixed->x(), units4.x() + d.width());
  }

  void warningBoxSetsItsFlagOnlyFromTheButtons() {
    struct Case {
      WarningBox::Answer A;
      bool Tick, Result;
      int Flag;
    };
    const Case cases[] = {{WarningBox::Yes, true, true, 1},
                          {WarningBox::No, true, false, 1},
                          {WarningBox::Closed, true, false, 0},
                          {WarningBox::Yes, false, true, 0}};
    for (const Case& c : cases) {
      int32_t flag = 0;
      WarningBox::setNextAnswer(c.A, c.Tick);
      QCOMPARE(WarningBox::ask(nullptr, 269, QString(), &flag, false), c.Result);
      QCOMPARE(flag, c.Flag);
    }
    // A set flag skips the box.
    int32_t flag = 1;
    int shown = WarningBox::shownCount();
    QVERIFY(WarningBox::ask(nullptr, 269, QString(), &flag, false));
    QCOMPARE(WarningBox::shownCount(), shown);
    // Driven for real: information mode has a single Close, ticking it sets
    // the flag.
    flag = 0;
    gui::OnDialog<WarningBox>([](WarningBox* b) {
      QVERIFY(!b->findChild<QPushButton*>("noButton"));
      QCOMPARE(b->findChild<QPushButton*>("yesButton")->text(), QString("Close"));
      QTest::keyClick(b->doNotShow(), Qt::Key_Space);
      QTest::mouseClick(b->findChild<QPushButton*>("yesButton"), Qt::LeftButton);
    });
    QVERIFY(WarningBox::ask(nullptr, 269, QString(), &flag, true));
    QCOMPARE(flag, 1);
  }

  void playDelayRefusesBeyondOneDay() {
    int32_t delay = 1000;
    gui::OnDialog<PlayDelayDialog>([](PlayDelayDialog* d) {
      QCOMPARE(d->delayEdit()->text(), QString("1.000"));
      d->delayEdit()->selectAll();
      QTest::keyClicks(d->delayEdit(), "1440.001");
      QTest::keyClick(d, Qt::Key_Return);
      // Refused with the range, the field keeps the focus, the dialog stays.
      QCOMPARE(MessageBox::lastText(), QString("The time value must be in range 0.000-1,440.000."));
      QVERIFY(d->isVisible());
      // (The dialog's own focus child: the window may not be active yet.)
      QCOMPARE(d->focusWidget(), d->delayEdit());
      d->delayEdit()->selectAll();
      QTest::keyClicks(d->delayEdit(), "2.5");
      QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(PlayDelayDialog::askPlayDelay(nullptr, &delay));
    QCOMPARE(delay, 2500);
    QCOMPARE(ModalDepth, 0);
  }

  void playWavQuestionAndChoices() {
    PlayWavRequest r;
    r.Minutes = 1234;
    r.LongFileMinutes = 4711;
    r.SamplesPerSec = 22050;
    r.Bits16 = false;
    // "No" to the AudioStrobe notice unticks the box and keeps the dialog.
    MessageBox::setNextAnswer(MessageBox::AnsNo);
    gui::OnDialog<PlayWavDialog>([](PlayWavDialog* d) {
      QCOMPARE(d->minutesEdit()->text(), QString("12.34"));
      QVERIFY(!d->cdBox()->isChecked());
      QVERIFY(d->rateEdit()->isEnabled());
      QVERIFY(d->inFullBox()->isVisible());
      QTest::mouseClick(d->audioStrobeBox(), Qt::LeftButton, {}, QPoint(5, d->audioStrobeBox()->height() / 2));
      QVERIFY(d->audioStrobeBox()->isChecked());
      QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
      QVERIFY(d->isVisible());
      QVERIFY(!d->audioStrobeBox()->isChecked());
      // CD settings set and lock the format; "in full" the minutes.
      d->cdBox()->setChecked(true);
      QCOMPARE(d->rateEdit()->text(), QString("44100"));
      QVERIFY(d->bits16Button()->isChecked() && !d->bits8Button()->isEnabled());
      d->inFullBox()->setChecked(true);
      QCOMPARE(d->minutesEdit()->text(), QString("47.11"));
      QVERIFY(!d->minutesEdit()->isEnabled());
      QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
    });
    QVERIFY(PlayWavDialog::askPlayIntoWav(nullptr, &r));
    QCOMPARE(r.Minutes, -1);
    QCOMPARE(r.SamplesPerSec, 44100);
    QVERIFY(r.Bits16 && !r.AudioStrobe);
    QVERIFY(MessageBox::shownTexts().first().startsWith("The AudioStrobe light signalling system is patented."));

    // Without a long background file the choice is not offered; the
    // minutes are validated.
    PlayWavRequest s;
    s.Minutes = 100;
    gui::OnDialog<PlayWavDialog>([](PlayWavDialog* d) {
      QVERIFY(!d->inFullBox()->isVisible());
      d->minutesEdit()->setText("600.01");
      QTest::keyClick(d, Qt::Key_Return);
      QCOMPARE(MessageBox::lastText(), QString("The number of minutes to play must be in range 0.00-600.00."));
      QTest::keyClick(d, Qt::Key_Escape);
    });
    QVERIFY(!PlayWavDialog::askPlayIntoWav(nullptr, &s));
    QCOMPARE(s.Minutes, 100);
  }

  void presetNameIsCutAtItsLength() {
    QCOMPARE(CutToBytes(QString(130, QChar('a')), 127).size(), 127);
    QCOMPARE(CutToBytes(QString::fromUtf8("ää"), 3), QString::fromUtf8("ä"));  // never half a character
    QString name = "Old";
    gui::OnDialog<PresetNameDialog>([](PresetNameDialog* d) {
      QCOMPARE(d->nameEdit()->text(), QString("Old"));
      d->nameEdit()->selectAll();
      QTest::keyClicks(d->nameEdit(), "Evening calm");
      QTest::keyClick(d, Qt::Key_Return);
    });
    QVERIFY(PresetNameDialog::askPresetName(nullptr, &name));
    QCOMPARE(name, QString("Evening calm"));
  }

  void hyperlinkOpensOnlyOverItsText() {
    Hyperlink::setOpener(FakeOpen);
    Hyperlink link("Sonavel on the web\thttps://example.org/s");
    link.resize(400, 20);
    // Before the first paint the text has no width: only x = 0 is a link.
    QCOMPARE(link.textWidth(), 0);
    link.show();
    QVERIFY(QTest::qWaitForWindowExposed(&link));
    QTRY_VERIFY(link.textWidth() > 0);
    QCOMPARE(link.shownText(), QString("Sonavel on the web"));
    QCOMPARE(link.accessibleName(), QString("Sonavel on the web"));
    gOpened.clear();
    QTest::mouseMove(&link, QPoint(link.textWidth() + 20, 5));
    QCOMPARE(link.cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(link.textWidth() + 20, 5));
    QVERIFY(gOpened.isEmpty());
    QTest::mouseMove(&link, QPoint(3, 5));
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(3, 5));
    QCOMPARE(gOpened, QString("https://example.org/s"));
    // From the keyboard.
    gOpened.clear();
    link.setFocus();
    QTest::keyClick(&link, Qt::Key_Space);
    QCOMPARE(gOpened, QString("https://example.org/s"));
    // Without a TAB the text is also the target; a failed launch says so.
    link.setText("mailto:someone@example.org");
    QCOMPARE(link.target(), QString("mailto:someone@example.org"));
    gOpenResult = false;
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(1, 5));
    gOpenResult = true;
    QCOMPARE(MessageBox::lastText(), QString("Unable to launch Internet browser."));
    Hyperlink::setOpener(nullptr);
  }

  void messageBoxesAnswerEnterAndEsc() {
    // Enter takes the default button, Esc (or the close box) Cancel, or No
    // where there is no Cancel. The boxes are shown for real here.
    const struct {
      MessageBox::Buttons B;
      int Enter, Esc;
    } cases[] = {
        {MessageBox::Ok, MessageBox::AnsOk, MessageBox::AnsOk},
        {MessageBox::OkCancel, MessageBox::AnsOk, MessageBox::AnsCancel},
        {MessageBox::YesNo, MessageBox::AnsYes, MessageBox::AnsNo},
        {MessageBox::YesNoCancel, MessageBox::AnsYes, MessageBox::AnsCancel},
        {MessageBox::YesNoDefaultNo, MessageBox::AnsNo, MessageBox::AnsNo},
        {MessageBox::YesNoCancelDefaultNo, MessageBox::AnsNo, MessageBox::AnsCancel},
    };
    MessageBox::setAutoAnswer(false);
    struct Restore {
      ~Restore() { MessageBox::setAutoAnswer(true); }
    } restore;
    for (const auto& c : cases) {
      for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        gui::OnModal([key](QWidget* box) { QTest::keyClick(box, key); });
        int a = MessageBox::showText(nullptr, QStringLiteral("?"), c.B);
        QCOMPARE(a, key == Qt::Key_Return ? c.Enter : c.Esc);
      }
    }
  }

  void helpButtonsOpenTheirPages() {
    for (const char* topic : {"index", "intro", "about", "save_as", "play_wav", "play_delay", "preset_options", "new",
                              "play", "freeze", "import", "export", "chart", "node_dialog", "visual_colors"})
      QVERIFY2(HelpWindow::hasTopic(topic), topic);
    DynDialog::setHelpHandler([](QWidget* owner, const QString& topic) { HelpWindow::showTopic(owner, topic); });
    int32_t delay = 0;
    gui::OnDialog<PlayDelayDialog>([](PlayDelayDialog* d) {
      QTest::mouseClick(d->findChild<QPushButton*>("helpButton"), Qt::LeftButton);
      QTRY_VERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
      QCOMPARE(HelpWindow::instance()->topic(), QString("play_delay"));
      QVERIFY(HelpWindow::instance()->browser()->toPlainText().contains("minutes"));
      HelpWindow::closeAll();
      QTest::keyClick(d, Qt::Key_F1);  // F1 does the same
      QTRY_VERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
      HelpWindow::closeAll();
      QTest::keyClick(d, Qt::Key_Escape);
    });
    QVERIFY(!PlayDelayDialog::askPlayDelay(nullptr, &delay));
    DynDialog::setHelpHandler(nullptr);
  }

  // A preset's record has no "Override" box: its dialog is shorter by that
  // row, the list as tall as the global one's.
  void visualColorsOfAPresetIsShorterByTheCheckBox() {
    VisualColorDialog global(nullptr, Cfg.VisualOptions, true), own(nullptr, VisOpt{}, false);
    for (QWidget* d : {static_cast<QWidget*>(&global), static_cast<QWidget*>(&own)}) {
      d->show();
      QVERIFY(QTest::qWaitForWindowExposed(d));
    }
    QVERIFY(global.overrideBox()->isVisible() && !own.overrideBox()->isVisible());
    QCOMPARE(own.colorList()->height(), global.colorList()->height());
    QCOMPARE(global.height() - own.height(), global.colorList()->y() - own.colorList()->y());
  }

  void visualColorsListAndLimits() {
    // The global record: the list follows "Override" at once.
    Cfg.VisualOptions = VisOpt{};
    gui::OnDialog<VisualColorDialog>([](VisualColorDialog* d) {
      QVERIFY(d->overrideBox()->isVisible());
      QCOMPARE(d->colorList()->count(), 2);  // never set: blue and green
      QVERIFY(!d->colorList()->isEnabled() && !d->addColorButton()->isEnabled());
      QTest::mouseClick(d->overrideBox(), Qt::LeftButton);
      QVERIFY(d->colorList()->isEnabled() && d->addColorButton()->isEnabled());
      for (int i = 2; i < MAXCOLORS; ++i) {
        VisualColorDialog::setNextColor(QColor(i, 0, 0));
        QTest::mouseClick(d->addColorButton(), Qt::LeftButton);
      }
      QCOMPARE(d->colorList()->count(), 32);
      QCOMPARE(d->colorList()->currentRow(), 31);
      QTest::mouseClick(d->addColorButton(), Qt::LeftButton);
      QCOMPARE(MessageBox::lastText(), QString("You can not add more than 32 colors."));
      // Move up follows the colour; a cancelled picker changes nothing.
      QTest::mouseClick(d->upButton(), Qt::LeftButton);
      QCOMPARE(d->colorList()->currentRow(), 30);
      QCOMPARE(d->record().Colors[30], VisualColorDialog::toColorRef(QColor(31, 0, 0)));
      VisualColorDialog::setNextColor(QColor());
      QTest::mouseClick(d->modifyButton(), Qt::LeftButton);
      QCOMPARE(d->record().Colors[30], VisualColorDialog::toColorRef(QColor(31, 0, 0)));
      for (int i = 0; i < 31; ++i) QTest::mouseClick(d->deleteButton(), Qt::LeftButton);
      QCOMPARE(d->colorList()->count(), 1);
      QTest::mouseClick(d->deleteButton(), Qt::LeftButton);
      QCOMPARE(MessageBox::lastText(), QString("You can not delete the last color."));
      QTest::mouseClick(d->okButton(), Qt::LeftButton);
    });
    QVERIFY(VisualColorDialog::editColors(nullptr, &Cfg.VisualOptions));
    QCOMPARE(int(Cfg.VisualOptions.NumColors), 1);
    QCOMPARE(int(Cfg.VisualOptions.Override), 1);
    // A preset's record: no override box; Cancel keeps the record as it was.
    VisOpt own{};
    gui::OnDialog<VisualColorDialog>([](VisualColorDialog* d) {
      QVERIFY(!d->overrideBox()->isVisible());
      QVERIFY(d->colorList()->isEnabled());
      QTest::mouseClick(d->deleteButton(), Qt::LeftButton);
      d->reject();
    });
    QVERIFY(!VisualColorDialog::editColors(nullptr, &own));
    QCOMPARE(int(own.NumColors), 0);
    // OK on a record never edited stores the two default colours.
    gui::OnDialog<VisualColorDialog>([](VisualColorDialog* d) { QTest::mouseClick(d->okButton(), Qt::LeftButton); });
    QVERIFY(VisualColorDialog::editColors(nullptr, &own));
    QCOMPARE(int(own.NumColors), 2);
    QCOMPARE(own.Colors[0], 0x00FF0000u);
    QCOMPARE(own.Colors[1], 0x0000FF00u);
  }

  void aboutShowsVersionAndDoesNotCount() {
    gui::OnDialog<AboutDialog>([](AboutDialog* d) {
      QCOMPARE(ModalDepth, 0);
      QCOMPARE(d->findChild<QLabel*>("versionLabel")->text(), QString("Sonavel v. 3.1.12"));
      QVERIFY(d->findChild<QLabel*>("versionLabel")->font().bold());
      QVERIFY(d->mailLink()->target().startsWith("mailto:"));
      QTest::keyClick(d, Qt::Key_Return);
    });
    AboutDialog::showAbout(nullptr);
  }
};

GUI_TEST(Dialogs);
#include "tst_dialogs.moc"

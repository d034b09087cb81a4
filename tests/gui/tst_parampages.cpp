// The parameter pages of the preset options dialog, driven with keys and
// clicks: Easy choices and what they show, left/right channels with
// warning 330, and the panes without a background.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTextBrowser>
#include <QTreeWidget>
#include <functional>

#include "chart/ParameterChart.h"
#include "dialog/MessageBox.h"
#include "dialog/WarningBox.h"
#include "gui/guitest.h"
#include "main/arith.h"
#include "main/model.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "mwnd/HelpWindow.h"
#include "prgdlg/ModulationWindow.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/TrackingDestinationDialog.h"
#include "prgdlg/TrackingOptionsDialog.h"

namespace {

using Dlg = PresetOptionsDialog;

// Page positions.
constexpr int BEAT = 0, PITCH = 1, VOLUME = 2, WAVE = 3, FILTER = 4, BGVOL = 6, BGPHASE = 7, BGPARAM = 8;

// Picks the row showing `text` in a pane's combo box with the keyboard, as
// a user does: F4 opens the list, arrows move in it, Return chooses. With
// `refused` the box is to show its old row again. `arm` runs just before
// Return (a handler for the window the row opens: armed earlier, it would
// meet the dialog that is open already).
void Choose(QComboBox* c, const QString& text, bool refused = false, const std::function<void()>& arm = nullptr) {
  QVERIFY(c->isVisible());
  c->setFocus(Qt::TabFocusReason);
  QTest::keyClick(c, Qt::Key_F4);
  QAbstractItemView* list = c->view();
  QVERIFY(QTest::qWaitForWindowExposed(list->window()));
  QTest::keyClick(list, Qt::Key_Home);
  for (int i = 0; i < c->count() && list->currentIndex().data().toString() != text; ++i)
    QTest::keyClick(list, Qt::Key_Down);
  QCOMPARE(list->currentIndex().data().toString(), text);
  if (arm) arm();
  QTest::keyClick(list, Qt::Key_Return);
  if (!refused) QCOMPARE(c->currentText(), text);
}

bool Shown(QWidget* w) { return w && w->isVisible(); }

// Types into a line edit as the user does.
void Type(QLineEdit* e, const QString& text) {
  e->setFocus(Qt::TabFocusReason);
  e->selectAll();
  QTest::keyClicks(e, text);
}

int32_t Value(const QLineEdit* e, int digits) {
  bool error = false;
  const int32_t v = ParseNumber(e->text().toUtf8().constData(), digits, false, &error);
  return error ? INT32_MIN : v;
}

}  // namespace

class ParamPages : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

  // Opens the preset options of the selected preset (a new default one) on
  // tab `tab` and runs `f` in it; the dialog is cancelled afterwards.
  void edit(int tab, std::function<void(Dlg*, ParamPage*)> f) {
    QVERIFY(gui::InPresetOptions(W->actions().New, [&](Dlg* d) {
      QTest::mouseClick(d->tabs(), Qt::LeftButton, Qt::NoModifier, d->tabs()->tabRect(tab).center());
      QCOMPARE(d->displayTab(), tab);
      f(d, d->paramPage());
    }));
  }

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    W = gui::OpenMainWindow();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  // F1 on a pane's chart or Easy box opens the page of that pane's
  // parameter (its title begins the parameter's name); in the modulation
  // window, the modulation's page.
  void f1InAPaneOpensItsParametersPage() {
    DynDialog::setHelpHandler([](QWidget* owner, const QString& topic) { HelpWindow::showTopic(owner, topic); });
    int checked = 0;
    for (int tab = 1; tab <= 5; ++tab)
      edit(tab, [&](Dlg*, ParamPage* page) {
        for (int pane = 0; pane < 3; ++pane) {
          const int position = (tab - 1) * 3 + pane;
          const int n = PagePosition(position);
          for (QWidget* control :
               {static_cast<QWidget*>(page->chart(position)), static_cast<QWidget*>(page->easyBox(position))}) {
            if (!Shown(control) || !control->isEnabled() || n < 0) continue;
            HelpWindow::closeAll();
            control->setFocus(Qt::TabFocusReason);
            QTest::keyClick(control, Qt::Key_F1);
            QTRY_VERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
            const QString topic = HelpWindow::instance()->topic();
            QCOMPARE(topic, ParamHelpTopic(n));
            QVERIFY(HelpWindow::hasTopic(topic));
            const QString title = HelpWindow::instance()->browser()->documentTitle();
            if (n != PN_BGPARAM)  // named by the background
              QVERIFY2(QString::fromUtf8(GetStr(ParamDef[n].Name)).startsWith(title), qPrintable(title));
            ++checked;
          }
        }
        if (tab != 1) return;
        gui::OnDialog<ModulationWindow>([](ModulationWindow* m) {
          HelpWindow::closeAll();
          m->easyBox(0)->setFocus(Qt::TabFocusReason);
          QTest::keyClick(m->easyBox(0), Qt::Key_F1);
          QTRY_VERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
          QCOMPARE(HelpWindow::instance()->browser()->documentTitle(), QString("Sound Modulation"));
          HelpWindow::closeAll();
          m->close();
        });
        QTest::mouseClick(page->modulationButton(VOLUME), Qt::LeftButton);
      });
    HelpWindow::closeAll();
    DynDialog::setHelpHandler(nullptr);
    QVERIFY(checked >= 8);  // every tab's panes a new preset shows
    // Every parameter, shown or not, has its page.
    for (int n = 0; n < PDBK; ++n) {
      QFile f(QStringLiteral(":/help/%1.html").arg(ParamHelpTopic(n)));
      QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
      const QString html = QString::fromUtf8(f.readAll());
      const QString title = html.section(QStringLiteral("<title>"), 1).section(QStringLiteral("</title>"), 0, 0);
      if (n != PN_BGPARAM) QVERIFY2(QString::fromUtf8(GetStr(ParamDef[n].Name)).startsWith(title), qPrintable(title));
    }
  }

  // The Waveform rule through the combo boxes: the filtered triangle shows
  // the filter on "Three harmonics", the sine wave hides it.
  void waveformChoicesSetTheFilter() {
    edit(2, [](Dlg* d, ParamPage* page) {
      const Param* params = SegParams(d->prg(), 0);
      QVERIFY(!Shown(page->easyBox(FILTER)));  // a sine wave: no filter
      QVERIFY(!Shown(page->paneName(FILTER)));
      QVERIFY(!Shown(page->chart(WAVE)));
      Choose(page->easyBox(WAVE), QStringLiteral("Filtered triangular wave"));
      QCOMPARE(int(params[PARAMID(0, PN_FILTER)].EasySel), 11);
      QCOMPARE(params[PARAMID(0, PN_FILTER)].Node[0].Value, 320);
      QVERIFY(Shown(page->easyBox(FILTER)));
      QCOMPARE(page->easyBox(FILTER)->currentText(), QStringLiteral("Three harmonics"));
      QVERIFY(!Shown(page->chart(FILTER)));
      Choose(page->easyBox(WAVE), QStringLiteral("Sine wave"));
      QCOMPARE(int(params[PARAMID(0, PN_FILTER)].EasySel), 8);
      QVERIFY(!Shown(page->easyBox(FILTER)));
      QVERIFY(!Shown(page->paneName(FILTER)));
    });
  }

  // "User-defined..." shows the chart on the constant curve the choice left,
  // which the chart then edits like any other.
  void userDefinedShowsTheChoicesCurve() {
    edit(1, [](Dlg* d, ParamPage* page) {
      const Param& vol = SegParams(d->prg(), 0)[PARAMID(0, PN_VOLUME)];
      QVERIFY(!Shown(page->chart(VOLUME)));
      QVERIFY(Shown(page->modulationButton(VOLUME)));
      QCOMPARE(page->modulationButton(VOLUME)->text(), QStringLiteral("M&odulation (OFF)..."));
      Choose(page->easyBox(VOLUME), QStringLiteral("Half volume"));
      Choose(page->easyBox(VOLUME), QStringLiteral("User-defined..."));
      QCOMPARE(int(vol.EasySel), 0);
      QVERIFY(Shown(page->chart(VOLUME)));
      QVERIFY(Shown(page->separateBox(VOLUME)));
      QCOMPARE(page->chart(VOLUME)->parameter(), &vol);
      for (int i = 0; i < vol.NumNodes; ++i) QCOMPARE(vol.Node[i].Value, 5000);
      // A key on the chart edits the curve; the choice stays user-defined.
      ParameterChart* c = page->chart(VOLUME);
      QCOMPARE(c->focusedNode(), 0);
      QTest::keyClick(c, Qt::Key_Up);
      QVERIFY(vol.Node[0].Value > 5000);
      QCOMPARE(page->easyBox(VOLUME)->currentText(), QStringLiteral("User-defined..."));
      // The right channel follows the edit.
      QCOMPARE(SegParams(d->prg(), 0)[PARAMID(0, PN_VOLUME) + 1].Node[0].Value, vol.Node[0].Value);
    });
  }

  // Separating the pitch asks 330; No leaves it joined, Yes separates it,
  // ends the trackings of the beat and shows the beat as the difference.
  void separatePitchAsksAndDerivesTheBeat() {
    edit(1, [](Dlg* d, ParamPage* page) {
      Param* params = SegParams(d->prg(), 0);
      const int pitch = PARAMID(0, PN_PITCH);
      QCheckBox* sep = page->separateBox(PITCH);
      QVERIFY(Shown(sep));
      QVERIFY(!Shown(page->channelRadio(PITCH, 1)));
      const int asked = WarningBox::shownCount();
      WarningBox::setNextAnswer(WarningBox::No, false);
      QTest::mouseClick(sep, Qt::LeftButton);
      QCOMPARE(WarningBox::shownCount(), asked + 1);
      QVERIFY(!sep->isChecked());
      QCOMPARE(int(params[pitch].ChannelMode), 0);

      WarningBox::setNextAnswer(WarningBox::Yes, false);
      QTest::mouseClick(sep, Qt::LeftButton);
      QVERIFY(sep->isChecked());
      QCOMPARE(int(params[pitch].ChannelMode), 1);
      QCOMPARE(int(params[pitch].Tracking), 0);  // it tracked the beat
      QCOMPARE(int(params[PID_VISFREQ].Tracking), 0);
      QVERIFY(page->chart(BEAT)->derived());
      QVERIFY(page->chart(BEAT)->readOnly());
      QVERIFY(Shown(page->channelRadio(PITCH, 1)));
      QVERIFY(page->channelRadio(PITCH, 1)->isChecked());
      QCOMPARE(page->paneName(PITCH)->text(), QStringLiteral("Audible Pitch: Left"));

      // Right shows the right record under its own name.
      QTest::mouseClick(page->channelRadio(PITCH, 2), Qt::LeftButton);
      QCOMPARE(int(params[pitch].ChannelMode), 2);
      QCOMPARE(page->chart(PITCH)->parameter(), &params[pitch + 1]);
      QVERIFY(page->channelRadio(PITCH, 2)->isChecked());
      QVERIFY(!page->channelRadio(PITCH, 1)->isChecked());
      QCOMPARE(page->paneName(PITCH)->text(), QStringLiteral("Audible Pitch: Right"));
      QCOMPARE(d->focusWidget(), page->chart(PITCH));

      // Joining: the right pitch follows the left one again.
      params[pitch].Node[1].Value = 30000;
      QTest::mouseClick(sep, Qt::LeftButton);
      QCOMPARE(int(params[pitch].ChannelMode), 0);
      QCOMPARE(int(params[pitch + 1].Tracking), 1);
      QCOMPARE(params[pitch + 1].Node[1].Value, 30000);
      QCOMPARE(page->chart(PITCH)->parameter(), &params[pitch]);
      QVERIFY(!page->chart(BEAT)->derived());
      QVERIFY(!Shown(page->channelRadio(PITCH, 1)));
    });
  }

  // Without a background the Background tab shows a disabled volume pane
  // and nothing for the phase shift and the background's parameter.
  void backgroundPanesWithoutABackground() {
    edit(3, [](Dlg*, ParamPage* page) {
      QVERIFY(Shown(page->easyBox(BGVOL)));
      QVERIFY(!page->easyBox(BGVOL)->isEnabled());
      QVERIFY(!page->modulationButton(BGVOL)->isEnabled());
      for (int s : {BGPHASE, BGPARAM}) {
        QVERIFY(!Shown(page->paneName(s)));
        QVERIFY(!Shown(page->easyBox(s)));
        QVERIFY(!Shown(page->chart(s)));
      }
    });
  }

  // "Track:" and its list: the visual frequency follows the beat; a
  // destination that already follows it is refused with 1280 and the old
  // one shown again; unchecking keeps the values.
  void trackingThroughTheList() {
    edit(5, [](Dlg* d, ParamPage* page) {
      constexpr int FREQ = 12, BRIGHT = 13;
      Param* params = SegParams(d->prg(), 0);
      QVERIFY(Shown(page->trackBox(FREQ)));
      QVERIFY(page->trackBox(FREQ)->isChecked());
      QVERIFY(Shown(page->trackList(FREQ)));
      QCOMPARE(page->trackList(FREQ)->currentText(), QStringLiteral("Binaural Beat Frequency"));
      QVERIFY(page->chart(FREQ)->readOnly());

      // The brightness follows the visual frequency.
      Choose(page->easyBox(BRIGHT), QStringLiteral("User-defined..."));
      QVERIFY(Shown(page->trackBox(BRIGHT)));
      QVERIFY(!Shown(page->trackList(BRIGHT)));
      QTest::mouseClick(page->trackBox(BRIGHT), Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
      QCOMPARE(int(params[PID_VISBRIGHT].Tracking), 1);
      QVERIFY(Shown(page->trackList(BRIGHT)));
      QVERIFY(page->chart(BRIGHT)->readOnly());
      Choose(page->trackList(BRIGHT), QStringLiteral("Visual Frequency"));
      QCOMPARE(int(params[PID_VISBRIGHT].TrackSource), int(PID_VISFREQ));

      // So the visual frequency cannot follow the brightness.
      MessageBox::clearShown();
      MessageBox::setNextAnswer(MessageBox::AnsOk);
      Choose(page->trackList(FREQ), QStringLiteral("Visual Brightness"), true);
      QCOMPARE(MessageBox::shownTexts().size(), 1);
      QVERIFY(MessageBox::shownTexts().first().contains(
          QStringLiteral("You can not set Visual Frequency to track Visual Brightness, because Visual Brightness "
                         "already tracks Visual Frequency.")));
      QCOMPARE(int(params[PID_VISFREQ].TrackSource), 36);
      QCOMPARE(page->trackList(FREQ)->currentText(), QStringLiteral("Binaural Beat Frequency"));

      // Unchecked: the chart is the user's, with the values it had.
      const int32_t last = params[PID_VISFREQ].Node[1].Value;
      QTest::mouseClick(page->trackBox(FREQ), Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
      QCOMPARE(int(params[PID_VISFREQ].Tracking), 0);
      QCOMPARE(params[PID_VISFREQ].Node[1].Value, last);
      QVERIFY(!Shown(page->trackList(FREQ)));
      QVERIFY(!page->chart(FREQ)->readOnly());
    });
  }

  // Tracking Options: the ranges give the coefficients as they are typed,
  // the direct mode the ranges; a limit out of range is refused with 237
  // and nothing is stored until every field is valid.
  void trackingOptionsMapRangesAndValidate() {
    edit(5, [](Dlg* d, ParamPage* page) {
      constexpr int FREQ = 12;
      const Param& freq = SegParams(d->prg(), 0)[PID_VISFREQ];  // follows the beat, 15 -> 5 Hz, one to one
      bool ran = false;
      gui::OnDialog<TrackingOptionsDialog>([&](TrackingOptionsDialog* t) {
        ran = true;
        QVERIFY(t->rangesMode()->isChecked());
        QCOMPARE(Value(t->field("destFrom"), 3), 5000);
        QCOMPARE(Value(t->field("to"), 3), 15000);
        QVERIFY(t->field("slope")->isReadOnly());
        Type(t->field("to"), QStringLiteral("25"));  // 5..15 Hz -> 5..25 Hz
        QCOMPARE(Value(t->field("slope"), 3), 2000);
        QCOMPARE(Value(t->field("intercept"), 3), -5000);
        MessageBox::clearShown();
        MessageBox::setNextAnswer(MessageBox::AnsOk);
        Type(t->field("minLimit"), QStringLiteral("200"));
        QTest::mouseClick(t->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("The minimum limit must be in range 0-100.")});
        QVERIFY(t->isVisible());
        QCOMPARE(t->focusWidget(), t->field("minLimit"));
        QCOMPARE(freq.Slope, 1000);  // nothing stored yet
        Type(t->field("minLimit"), QStringLiteral("0"));
        // The direct mode: a typed slope moves this parameter's range.
        QTest::mouseClick(t->directMode(), Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
        QVERIFY(!t->field("slope")->isReadOnly());
        Type(t->field("slope"), QStringLiteral("3"));
        QCOMPARE(Value(t->field("to"), 3), 40000);  // 15 x 3 - 5
        QTest::mouseClick(t->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
      });
      QTest::mouseClick(page->trackOptionsButton(FREQ), Qt::LeftButton);
      QVERIFY(ran);
      QCOMPARE(freq.Slope, 3000);
      QCOMPARE(freq.Intercept, -5000);
      QCOMPARE(int(freq.TrackingMode), 1);
      QCOMPARE(freq.Node[0].Value, 40000);  // recomputed: beat 15 Hz -> 40 Hz
    });
  }

  // "Other..." opens the destination tree: Cancel keeps the old
  // destination, OK on a group item asks for a destination (1324), OK on a
  // bold item tracks it.
  void otherDestinationsFromTheTree() {
    edit(5, [](Dlg* d, ParamPage* page) {
      constexpr int FREQ = 12;
      const Param& freq = SegParams(d->prg(), 0)[PID_VISFREQ];
      auto click = [](TrackingDestinationDialog* t, const QString& text) {
        QTreeWidget* tree = t->tree();
        const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY(!found.isEmpty());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualItemRect(found.first()).center());
        QCOMPARE(tree->currentItem(), found.first());
      };
      Choose(page->trackList(FREQ), QStringLiteral("Other..."), true, [] {
        gui::OnDialog<TrackingDestinationDialog>([](TrackingDestinationDialog* t) {
          QTest::mouseClick(t->findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
        });
      });
      QCOMPARE(page->trackList(FREQ)->currentText(), QStringLiteral("Binaural Beat Frequency"));
      QCOMPARE(int(freq.TrackSource), 36);

      bool ran = false;
      auto pick = [&](TrackingDestinationDialog* t) {
        ran = true;
        click(t, QStringLiteral("Segment Parameters"));
        MessageBox::clearShown();
        MessageBox::setNextAnswer(MessageBox::AnsOk);
        QTest::mouseClick(t->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("You must select a tracking destination.")});
        QVERIFY(t->isVisible());
        click(t, QStringLiteral("Noise Volume"));
        QTest::mouseClick(t->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
      };
      Choose(page->trackList(FREQ), QStringLiteral("Other..."), true,
             [&] { gui::OnDialog<TrackingDestinationDialog>(pick); });
      QVERIFY(ran);
      QCOMPARE(int(freq.TrackSource), int(PID_NOISEVOL));
      QCOMPARE(page->trackList(FREQ)->currentText(), QStringLiteral("Noise Volume"));
    });
  }

  // The pane controls follow the tab: another tab's controls hide.
  void tabsShowOnlyTheirPanes() {
    edit(4, [](Dlg* d, ParamPage* page) {
      QVERIFY(Shown(page->easyBox(9)));  // Noise Volume
      QVERIFY(!Shown(page->noiseInsideHeadBox()));
      Choose(page->easyBox(9), QStringLiteral("Noise with half volume"));
      QVERIFY(Shown(page->noiseInsideHeadBox()));
      QVERIFY(Shown(page->easyBox(10)));  // the noise colour is in use now
      QTest::mouseClick(page->noiseInsideHeadBox(), Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
      QCOMPARE(int(d->segment().NoiseInsideHead), 1);
      QTest::mouseClick(d->tabs(), Qt::LeftButton, Qt::NoModifier, d->tabs()->tabRect(1).center());
      QVERIFY(!Shown(page->easyBox(9)));
      QVERIFY(!Shown(page->noiseInsideHeadBox()));
      QVERIFY(Shown(page->easyBox(VOLUME)));
      QVERIFY(Shown(page->chart(BEAT)));
    });
  }
};

GUI_TEST(ParamPages);
#include "tst_parampages.moc"

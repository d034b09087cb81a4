// The modulation window over the preset options dialog: its title and
// panes for each modulation, the Easy choices of the depth deciding which
// of period and phase are in use, the ocean waves, chart edits reaching the
// copy, and the page's button opening it and following its ON/OFF.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <functional>

#include "chart/ParameterChart.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/startup.h"
#include "main/strtab.h"
#include "prgdlg/ModulationWindow.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "reg/settings.h"

namespace {

using Dlg = PresetOptionsDialog;

// Picks the Easy box's row with that text as a user does in its list (the
// keys would apply each row passed on the way).
void Choose(QComboBox* box, const QString& text) {
  const int row = box->findText(text);
  QVERIFY2(row >= 0, qPrintable(text));
  QVERIFY(box->isVisible());
  box->setCurrentIndex(row);
  emit box->activated(row);
}

}  // namespace

class ModulationWindowTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

  // Opens the dialog, then the modulation window `base` in it, and runs `f`
  // there; the window is closed with its button.
  void inWindow(int base, std::function<void(Dlg*, ModulationWindow*)> f) {
    bool ran = false;
    QVERIFY(gui::InPresetOptions(W->actions().PresetOptions, [&](Dlg* d) {
      gui::OnDialog<ModulationWindow>([&](ModulationWindow* m) {
        ran = true;
        QVERIFY(QTest::qWaitForWindowActive(m));
        f(d, m);
        QTest::mouseClick(m->findChild<QWidget*>(QStringLiteral("closeButton")), Qt::LeftButton);
      });
      ModulationWindow::open(d, base);
    }));
    QVERIFY(ran);
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

  void depthDecidesWhatPeriodAndPhaseShow() {
    inWindow(PN_SNDMODDEPTH, [](Dlg* d, ModulationWindow* m) {
      QCOMPARE(m->windowTitle(), QStringLiteral("Sound Modulation"));
      QCOMPARE(m->paneName(0)->text(), QStringLiteral("Sound Modulation Depth"));
      Param* params = d->segmentParams();
      const int depth = PARAMID(0, PN_SNDMODDEPTH);
      Choose(m->easyBox(0), QStringLiteral("No modulation"));
      QVERIFY(!m->chart(0)->isVisible() && !m->chart(1)->isVisible() && !m->easyBox(2)->isVisible());
      // One box and Close: the window is no larger than those.
      const int boxOnly = m->height();
      QVERIFY2(boxOnly < 4 * m->easyBox(0)->height() + m->findChild<QWidget*>("closeButton")->height(),
               qPrintable(QString::number(boxOnly)));
      QVERIFY(!ModulationOn(params, 0, PN_SNDMODDEPTH));
      Choose(m->easyBox(0), QStringLiteral("Full volume range"));
      QCOMPARE(int(params[depth].EasySel), 18);
      QCOMPARE(params[depth].Node[0].Value, 10000);
      QCOMPARE(params[depth + 1].Node[0].Value, 10000);  // both channels
      QVERIFY(ModulationOn(params, 0, PN_SNDMODDEPTH));
      QVERIFY(m->chart(1)->isVisible() && m->easyBox(2)->isVisible() && !m->chart(2)->isVisible());
      // "User-defined..." shows the chart with the curve the choice left,
      // and a node moved there reaches the copy.
      Choose(m->easyBox(0), QStringLiteral("User-defined..."));
      QVERIFY(m->chart(0)->isVisible());
      // The charts that come get room, and the window grows for them.
      QVERIFY(m->height() > boxOnly);
      QVERIFY(m->chart(0)->height() >= 4 * m->easyBox(0)->height());
      QCOMPARE(params[depth].Node[0].Value, 10000);
      ParameterChart* c = m->chart(0);
      c->setFocus();
      QTest::keyClick(c, Qt::Key_Home);
      QTest::keyClick(c, Qt::Key_Down);
      QVERIFY(params[depth].Node[0].Value < 10000);
      QCOMPARE(params[depth + 1].Node[0].Value, params[depth].Node[0].Value);  // the right follows
    });
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void oceanWavesSetPeriodAndPhase() {
    inWindow(PN_NOISEMODDEPTH, [](Dlg* d, ModulationWindow* m) {
      QCOMPARE(m->windowTitle(), QStringLiteral("Noise Modulation"));
      Param* params = d->segmentParams();
      Choose(m->easyBox(0), QStringLiteral("Normal ocean waves"));
      QCOMPARE(params[PARAMID(0, PN_NOISEMODDEPTH)].Node[1].Value, 9000);
      QCOMPARE(params[PARAMID(0, PN_NOISEMODPERIOD)].Node[0].Value, 2000000);
      QCOMPARE(params[PARAMID(0, PN_NOISEMODPERIOD) + 1].Node[2].Value, 2000000);
      QCOMPARE(int(params[PARAMID(0, PN_NOISEMODPHASE)].EasySel), 12);
      QVERIFY(!m->paneName(1)->isVisible() && !m->paneName(2)->isVisible());
      Choose(m->easyBox(0), QStringLiteral("User-defined..."));
      QVERIFY(m->chart(0)->isVisible() && m->chart(1)->isVisible() && m->easyBox(2)->isVisible());
    });
  }

  // The Sound tab's "Modulation..." opens the sound modulation of the
  // current voice; closed, the button reads ON once a depth is chosen.
  void pageButtonOpensItsModulation() {
    bool ran = false;
    gui::OnDialog<Dlg>([&](Dlg* d) {
      QVERIFY(QTest::qWaitForWindowActive(d));
      QTest::mouseClick(d->tabs(), Qt::LeftButton, Qt::NoModifier, d->tabs()->tabRect(1).center());
      QPushButton* button = d->paramPage()->modulationButton(2);
      QVERIFY(button && button->isVisible());
      QCOMPARE(button->text(), QStringLiteral("M&odulation (OFF)..."));
      QCOMPARE(button->accessibleName(), QStringLiteral("Sound Modulation Depth (OFF)"));
      gui::OnDialog<ModulationWindow>([&](ModulationWindow* m) {
        ran = true;
        QCOMPARE(m->base(), int(PN_SNDMODDEPTH));
        Choose(m->easyBox(0), QStringLiteral("Half of volume range"));
        QTest::mouseClick(m->findChild<QWidget*>(QStringLiteral("closeButton")), Qt::LeftButton);
      });
      QTest::mouseClick(button, Qt::LeftButton);
      QCOMPARE(button->text(), QStringLiteral("M&odulation (ON)..."));
      QCOMPARE(button->accessibleName(), QStringLiteral("Sound Modulation Depth (ON)"));
      QCOMPARE(int(d->segmentParams()[PARAMID(0, PN_SNDMODDEPTH)].EasySel), 17);
      static_cast<QDialog*>(d)->done(EDITOR_CANCELLED);
    });
    W->actions().PresetOptions->trigger();
    QVERIFY(ran);
  }

  void titlesAndPlace_data() {
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("title");
    QTest::newRow("background") << int(PN_BGMODDEPTH) << "Background Modulation";
    QTest::newRow("visual") << int(PN_VISMODDEPTH) << "Visual Modulation";
    QTest::newRow("visual 2") << int(PN_VISMOD2DEPTH) << "Visual Modulation, Color 2";
  }
  void titlesAndPlace() {
    QFETCH(int, base);
    QFETCH(QString, title);
    inWindow(base, [&](Dlg*, ModulationWindow* m) {
      QCOMPARE(m->windowTitle(), title);
      QCOMPARE(m->paneName(1)->text(), QString::fromUtf8(GetStr(ParamDef[base + 1].Name)));
    });
    QVERIFY(Cfg.Modulation.X != CW_USEDEFAULT);  // the place is remembered
  }
};

GUI_TEST(ModulationWindowTest);
#include "tst_modulation.moc"

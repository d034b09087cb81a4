// The whole-preset timeline above the editor's pages: a click makes a
// segment current (the charts show it), Left/Right/Home/End move between
// segments and the accessible description names the segment and the value
// at the cursor; it draws every edit anew, shows the parameter of the tab or
// of the focused chart, and the test playback's position.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <functional>
#include <memory>

#include "chart/ParameterChart.h"
#include "gui/guitest.h"
#include "main/arith.h"
#include "main/model.h"
#include "main/preset.h"
#include "main/timeline.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/PresetTimeline.h"

namespace {

using Dlg = PresetOptionsDialog;

constexpr int BEAT = 36;

void Click(QWidget* d, const char* name) {
  QTest::mouseClick(d->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

void ShowTab(Dlg* d, int tab) {
  QTest::mouseClick(d->tabs(), Qt::LeftButton, Qt::NoModifier, d->tabs()->tabRect(tab).center());
  QCOMPARE(d->displayTab(), tab);
}

// Types into a field of the General page as the user does.
void Type(QLineEdit* e, const QString& text, Dlg* d) {
  e->selectAll();
  QTest::keyClicks(e, text);
  d->generalPage()->commitEdits();
}

// A: 10 minutes; B: 20 minutes, twice; C: 5 minutes.
void ThreeSegments(Dlg* d) {
  QCOMPARE(d->prg().data.NumSegments, 1);
  Type(d->generalPage()->lengthEdit(), "10", d);
  Click(d, "addSegment");
  Type(d->generalPage()->lengthEdit(), "20", d);
  Type(d->generalPage()->repeatEdit(), "2", d);
  Click(d, "addSegment");
  Type(d->generalPage()->lengthEdit(), "5", d);
  QCOMPARE(d->prg().data.NumSegments, 3);
}

QPoint At(PresetTimeline* t, int64_t time) { return QPoint(int(t->xOf(time)), int(t->plotRect().center().y())); }

}  // namespace

class TimelineTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  std::unique_ptr<gui::FakeDevice> Dev;

  // Runs f in the preset options of the selected preset, the dialog the
  // active window (offscreen, the main window may keep the activation).
  void edit(std::function<void(Dlg*)> f) {
    QVERIFY(gui::InPresetOptions(W->actions().PresetOptions, [&](Dlg* d) {
      QApplication::setActiveWindow(d);
      QVERIFY(QTest::qWaitForWindowActive(d));
      f(d);
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
    Dev.reset();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void clicksAndKeysChooseSegmentsAndTheDescriptionSaysWhere() {
    edit([](Dlg* d) {
      ThreeSegments(d);
      PresetTimeline* t = d->timeline();
      QVERIFY(t->isVisible());
      const auto segs = TimelineSegments(d->prg());
      // The second pass of B.
      QTest::mouseClick(t, Qt::LeftButton, Qt::NoModifier, At(t, segs[1].Start + segs[1].Length * 3 / 2));
      QCOMPARE(d->currentSegment(), 1);
      QCOMPARE(d->paramPage()->chart(0)->parameter(), &SegParams(d->prg(), 1)[BEAT]);
      QVERIFY(t->hasFocus());
      QVERIFY2(t->accessibleDescription().startsWith("Segment B, 2 of 3, from 0:10 to 0:50, played 2 times. At 0:"),
               qPrintable(t->accessibleDescription()));
      struct Step {
        Qt::Key Key;
        int Segment;
        const char* Says;
      };
      const Step steps[] = {{Qt::Key_Right, 2, "Segment C, 3 of 3, from 0:50 to 0:55. At 0:50: "},
                            {Qt::Key_Right, 2, "Segment C"},  // no further: it beeps
                            {Qt::Key_Home, 0, "Segment A, 1 of 3, from 0:00 to 0:10. At 0:00: "},
                            {Qt::Key_End, 2, "Segment C"},
                            {Qt::Key_Left, 1, "Segment B, 2 of 3, from 0:10 to 0:50, played 2 times. At 0:10: "}};
      for (const Step& s : steps) {
        QTest::keyClick(t, s.Key);
        QCOMPARE(d->currentSegment(), s.Segment);
        const QString said = t->accessibleDescription();
        QVERIFY2(said.startsWith(QString::fromLatin1(s.Says)), qPrintable(said));
        // The value is the segment's own curve at the cursor.
        const int32_t v = CurveValue(SegParams(d->prg(), s.Segment)[BEAT], 0);
        QVERIFY2(said.endsWith(QString::fromStdString(FormatNumber(v, 3, 1, 0, false)) + "Hz."), qPrintable(said));
      }
      // What a screen reader gets.
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(t);
      QVERIFY(a);
      QCOMPARE(a->text(QAccessible::Name), QString("Preset timeline"));
      QCOMPARE(a->text(QAccessible::Description), t->accessibleDescription());
    });
  }

  void followsEditsTheFocusedChartAndThePlayback() {
    Dev = std::make_unique<gui::FakeDevice>();
    edit([](Dlg* d) {
      Click(d, "addSegment");
      PresetTimeline* t = d->timeline();
      ShowTab(d, 1);
      QCOMPARE(t->parameter(), int(PN_BEAT));
      d->selectSegment(0);
      // An edit is drawn at once: the first node raised is the first
      // column's top.
      t->grab();
      const int sampled = t->samplings();
      ParameterChart* beat = d->paramPage()->chart(0);
      beat->setFocus();
      QTest::keyClick(beat, Qt::Key_Home);
      QTest::keyClick(beat, Qt::Key_Up);
      QTest::keyClick(beat, Qt::Key_Up);
      t->grab();
      QVERIFY(t->samplings() > sampled);
      QCOMPARE(t->columns().front().Curve[0].Max, int64_t(SegParams(d->prg(), 0)[BEAT].Node[0].Value));
      // Another tab shows its top pane's parameter; a focused chart its own.
      ShowTab(d, 2);
      QCOMPARE(t->parameter(), int(PN_WAVEFORM));
      ShowTab(d, 1);
      QComboBox* easy = d->paramPage()->easyBox(2);
      easy->setCurrentIndex(easy->findData(0));
      emit easy->activated(easy->currentIndex());
      d->paramPage()->chart(2)->setFocus();
      QCOMPARE(t->parameter(), int(PN_VOLUME));

      // The test playback in the middle of B is a red line there.
      d->playAt(1, 5000);
      QVERIFY(d->testing());
      const auto segs = TimelineSegments(d->prg());
      const QImage shot = t->grab().toImage();
      const QPoint x = At(t, segs[1].Start + segs[1].Length / 2);
      QCOMPARE(shot.pixelColor(x), QColor(255, 0, 0));
      QVERIFY(shot.pixelColor(At(t, segs[0].Start + segs[0].Length / 2)) != QColor(255, 0, 0));
      d->stopTest();
    });
  }
};

GUI_TEST(TimelineTest);
#include "tst_timeline.moc"

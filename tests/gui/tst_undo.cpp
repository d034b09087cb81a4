// Undo and redo in the preset options dialog with Ctrl+Z and Ctrl+Y: node
// edits, segments, voices, segment fields and an Easy choice of the
// modulation window stepped back to the opened preset (Cancel then has
// nothing to confirm) and forth again; Ctrl+Shift+Z does nothing; a text field keeps
// its own undo.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <functional>

#include "chart/ParameterChart.h"
#include "data/backgrounds/bglib.h"
#include "dialog/MessageBox.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "main/preset.h"
#include "mwnd/PresetCombo.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/ModulationWindow.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/PresetTimeline.h"
#include "reg/settings.h"

namespace {

using Dlg = PresetOptionsDialog;

void Click(QWidget* d, const char* name) {
  QTest::mouseClick(d->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

}  // namespace

class UndoTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

  void edit(std::function<void(Dlg*)> f) { QVERIFY(gui::InPresetOptions(W->actions().PresetOptions, f)); }

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

  void everyKindOfEditBackToTheOpenedPreset() {
    const int index = W->presetList()->presetAt(W->presetList()->currentIndex());
    edit([index](Dlg* d) {
      Preset opened{};
      CopyPreset(opened, Program[index]);
      QWidget* tabs = d->tabs();
      // A node of the volume, a segment, a voice, a length, a modulation.
      d->tabs()->setCurrentIndex(1);
      ParameterChart* c = d->paramPage()->chart(2);
      c->setFocus();
      QTest::keyClick(c, Qt::Key_Home);
      QTest::keyClick(c, Qt::Key_Down);
      d->tabs()->setCurrentIndex(0);
      Click(d, "addSegment");
      Click(d, "addVoice");
      QLineEdit* length = d->generalPage()->lengthEdit();
      length->selectAll();
      QTest::keyClicks(length, "3");
      d->generalPage()->commitEdits();  // as when the field loses the focus
      QCOMPARE(d->segment().Length, 300);
      gui::OnDialog<ModulationWindow>([](ModulationWindow* m) {
        QComboBox* box = m->easyBox(0);
        const int row = box->findText(QStringLiteral("Half of volume range"));
        box->setCurrentIndex(row);
        emit box->activated(row);
        m->accept();
      });
      ModulationWindow::open(d, PN_SNDMODDEPTH);
      Preset edited{};
      CopyPreset(edited, d->prg());
      QCOMPARE(ComparePresets(edited, opened), 1);
      QCOMPARE(d->prg().data.NumSegments, 2);

      // Ctrl+Shift+Z does nothing.
      QTest::keyClick(tabs, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(ComparePresets(d->prg(), edited), 0);
      int steps = 0;
      while (ComparePresets(d->prg(), opened) != 0 && steps < 20) {
        QTest::keyClick(tabs, Qt::Key_Z, Qt::ControlModifier);
        ++steps;
      }
      QCOMPARE(steps, 5);
      QCOMPARE(d->generalPage()->segmentList()->topLevelItemCount(), 1);
      for (int i = 0; i < steps; ++i) QTest::keyClick(tabs, Qt::Key_Y, Qt::ControlModifier);
      QCOMPARE(ComparePresets(d->prg(), edited), 0);
      QCOMPARE(d->generalPage()->segmentList()->topLevelItemCount(), 2);
      for (int i = 0; i < steps; ++i) QTest::keyClick(tabs, Qt::Key_Z, Qt::ControlModifier);
      FreePreset(edited);
      FreePreset(opened);
      // Back at the opened preset: Cancel closes without asking 375.
      QCOMPARE(ComparePresets(d->prg(), Program[index]), 0);
      Cfg.Advanced.ConfirmCancelInPresetOptions = 1;
      MessageBox::clearShown();
      Click(d, "cancelButton");
      QVERIFY(!d->isVisible());
      QCOMPARE(MessageBox::shownTexts(), QStringList());
    });
  }

  // Each undo and redo of a background choice: the row the editor reads
  // row 6 through (the timeline names it) is the copy's background's.
  void backgroundRowFollowsUndoAndRedo() {
    const bool loaded = FindBackground(5, "Ambix.dll") >= 0;
    if (!loaded) LoadBackgroundLibraries((QCoreApplication::applicationDirPath() + "/../../bin").toStdString());
    edit([](Dlg* d) {
      QComboBox* bg = d->generalPage()->backgroundCombo();
      const int thunder = bg->findData(FindBackground(5, "Ambix.dll"));
      QVERIFY(thunder > 0);
      d->timeline()->setParameter(PN_BGPARAM);
      bg->setFocus();
      QTest::keyClick(bg, Qt::Key_Home);
      while (bg->currentIndex() < thunder) QTest::keyClick(bg, Qt::Key_Down);
      QCOMPARE(QString::fromUtf8(d->paramName(PN_BGPARAM)), QString("Background Thunder Interval"));
      const struct {
        Qt::Key Key;
        const char* Step;
      } steps[] = {{Qt::Key_Z, "undo"}, {Qt::Key_Z, "undo"}, {Qt::Key_Y, "redo"}, {Qt::Key_Y, "redo"}};
      for (const auto& s : steps) {
        QTest::keyClick(d->tabs(), s.Key, Qt::ControlModifier);
        const BackgroundParamRow want = BackgroundParamRowFor(d->prg());
        QVERIFY2(std::memcmp(&d->paramRow(PN_BGPARAM), &want.Row, sizeof want.Row) == 0, s.Step);
        QVERIFY2(d->timeline()->describe().contains(QString::fromUtf8(ParamRowName(want, PN_BGPARAM))), s.Step);
      }
      QCOMPARE(bg->currentIndex(), thunder);
      QCOMPARE(QString::fromUtf8(d->paramName(PN_BGPARAM)), QString("Background Thunder Interval"));
      MessageBox::setNextAnswer(MessageBox::AnsYes);
      Click(d, "cancelButton");
    });
    if (!loaded) ClearBackgroundLibraries();
  }

  void textFieldsKeepTheirOwnUndo() {
    edit([](Dlg* d) {
      QLineEdit* name = d->generalPage()->nameEdit();
      const QString before = name->text();
      name->setFocus();
      name->end(false);
      QTest::keyClicks(name, "xy");
      QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(name->text(), before);
    });
  }
};

GUI_TEST(UndoTest);
#include "tst_undo.moc"

// The preset options dialog from the main window: the private copy with OK,
// Cancel and their checks, segments and voices with their limits, the
// segment fields, linking through the charts, the background choice, the
// accelerators, the colours, the test playback, the window's place, and a
// preset no editor would make.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <cstring>
#include <functional>
#include <memory>

#include "chart/ParameterChart.h"
#include "dialog/FileDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/VisualColorDialog.h"
#include "dialog/WarningBox.h"
#include "file/store.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "main/preset.h"
#include "main/startup.h"
#include "main/strtab.h"
#include "mwnd/PresetCombo.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/ModulationWindow.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/TestPlayback.h"
#include "prgdlg/TrackingDestinationDialog.h"
#include "reg/settings.h"

namespace {

using Dlg = PresetOptionsDialog;

QPushButton* Button(QWidget* d, const char* name) { return d->findChild<QPushButton*>(QString::fromLatin1(name)); }
// Where a window comes up: centred over its owner, anywhere wholly on a
// screen, at a point, or at a left edge with its bottom on the screen's.
enum Opening { CENTRED, ON_SCREEN, AT, AT_LEFT_ON_BOTTOM };

void Click(QWidget* d, const char* name) { QTest::mouseClick(Button(d, name), Qt::LeftButton); }

// Types `text` into a line edit as the user does, then leaves it.
void Type(QLineEdit* e, const QString& text) {
  e->setFocus(Qt::TabFocusReason);
  e->selectAll();
  QTest::keyClicks(e, text);
  QTest::keyClick(e, Qt::Key_Tab);
}

QStringList Rows(QTreeWidget* t) {
  QStringList rows;
  for (int i = 0; i < t->topLevelItemCount(); ++i) {
    QTreeWidgetItem* it = t->topLevelItem(i);
    rows << it->text(0) + " " + it->text(1) + " " + it->text(2);
  }
  return rows;
}

const Param& ParamOf(const Preset& p, int seg, int pid) { return SegParams(p, seg)[pid]; }

// The Sound tab's volume chart (page position 2) of the dialog.
ParameterChart* VolumeChart(Dlg* d) {
  d->tabs()->setCurrentIndex(1);
  return d->paramPage()->chart(2);
}

// Drags a chart's node by dy pixels.
void DragNode(ParameterChart* c, int node, int dy) {
  const QPoint at = c->nodePoint(node).toPoint();
  QTest::mousePress(c, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseMove(c, at + QPoint(0, dy));
  QTest::mouseRelease(c, Qt::LeftButton, Qt::NoModifier, at + QPoint(0, dy));
}

}  // namespace

class EditorDialog : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  std::unique_ptr<gui::FakeDevice> Dev;

  // Opens the preset options of the selected preset and runs `f` in it; the
  // dialog's result (-1 when it did not close).
  void edit(std::function<void(Dlg*)> f) { QVERIFY(gui::InPresetOptions(W->actions().PresetOptions, f)); }
  // A new preset, saved under `name`, selected.
  void newPreset(const char* name, std::function<void(Dlg*)> f = nullptr) {
    gui::OnDialog<Dlg>([&](Dlg* d) {
      QVERIFY(QTest::qWaitForWindowActive(d));
      d->generalPage()->nameEdit()->selectAll();
      QTest::keyClicks(d->generalPage()->nameEdit(), name);
      if (f) f(d);
      if (d->isVisible()) Click(d, "okButton");
    });
    W->actions().New->trigger();
    W->actions().Save->trigger();
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QCOMPARE(W->waveOptChanged(), 0);
    QCOMPARE(W->presetList()->currentText(), QString(name));
  }
  const Preset& selected() { return Program[W->presetList()->presetAt(W->presetList()->currentIndex())]; }

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    MessageBox::clearShown();
    W = gui::OpenMainWindow();
  }
  void cleanup() {
    if (W && W->waveOptChanged()) MessageBox::setNextAnswer(MessageBox::AnsNo);
    gui::CloseMainWindow(W);
    Dev.reset();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void cancelLosesTheCopyAndAsksOnlyAfterEdits() {
    const std::string before = selected().Name;
    // Unchanged: Cancel closes at once.
    edit([](Dlg* d) {
      MessageBox::clearShown();
      Click(d, "cancelButton");
      QVERIFY(!d->isVisible());
      QVERIFY(MessageBox::shownTexts().isEmpty());
    });
    // Changed: 375; No keeps the dialog, Yes closes it; Esc asks the same.
    edit([](Dlg* d) {
      QTest::keyClicks(d->generalPage()->nameEdit(), " changed");
      Click(d, "addSegment");
      QCOMPARE(std::string(Program[d->presetIndex()].Name).find("changed"), std::string::npos);
      MessageBox::setNextAnswer(MessageBox::AnsNo);
      Click(d, "cancelButton");
      QVERIFY(d->isVisible());
      QCOMPARE(MessageBox::lastText(),
               QString("You have modified this preset. Are you sure you want to discard the changes?"));
      MessageBox::setNextAnswer(MessageBox::AnsNo);
      QTest::keyClick(d, Qt::Key_Escape);
      QVERIFY(d->isVisible());
      MessageBox::setNextAnswer(MessageBox::AnsYes);
      QTest::keyClick(d, Qt::Key_Escape);
      QVERIFY(!d->isVisible());
    });
    QCOMPARE(std::string(selected().Name), before);
    QCOMPARE(int(selected().data.NumSegments), 1);
    QCOMPARE(W->waveOptChanged(), 0);
    // Without the setting, Cancel does not ask.
    Cfg.Advanced.ConfirmCancelInPresetOptions = 0;
    edit([](Dlg* d) {
      Click(d, "addSegment");
      MessageBox::clearShown();
      Click(d, "cancelButton");
      QVERIFY(!d->isVisible());
      QVERIFY(MessageBox::shownTexts().isEmpty());
    });
  }

  void okWritesBackAndReportsTheChange() {
    // A new preset whose editor is cancelled goes again.
    const QStringList before = [&] {
      QStringList l;
      for (int i = 0; i < W->presetList()->count(); ++i) l << W->presetList()->itemText(i);
      return l;
    }();
    const QString selectedBefore = W->presetList()->currentText();
    gui::OnDialog<Dlg>([](Dlg* d) { Click(d, "cancelButton"); });
    W->actions().New->trigger();
    QCOMPARE(W->presetList()->count(), before.size());
    QCOMPARE(W->presetList()->currentText(), selectedBefore);
    QCOMPARE(W->waveOptChanged(), 0);
    newPreset("Mine");
    // OK without a change: state stays 0.
    edit([](Dlg* d) { Click(d, "okButton"); });
    QCOMPARE(W->waveOptChanged(), 0);
    // A change: modified; a new name: renamed, and the entry follows.
    edit([](Dlg* d) {
      Type(d->generalPage()->repeatEdit(), "3");
      Click(d, "okButton");
      QVERIFY(!d->isVisible());
    });
    QCOMPARE(W->waveOptChanged(), 1);
    QCOMPARE(selected().data.Segment[0].Repeat, 3);
    edit([](Dlg* d) {
      d->generalPage()->nameEdit()->selectAll();
      QTest::keyClicks(d->generalPage()->nameEdit(), "Mine too");
      Click(d, "okButton");
    });
    QCOMPARE(W->waveOptChanged(), 2);
    QCOMPARE(W->presetList()->currentText(), QString("Mine too"));
    // An empty name is refused.
    edit([](Dlg* d) {
      d->generalPage()->nameEdit()->selectAll();
      QTest::keyClick(d->generalPage()->nameEdit(), Qt::Key_Space);
      Click(d, "okButton");
      QVERIFY(d->isVisible());
      QCOMPARE(MessageBox::lastText(), QString("The entered name is not valid. The name may not be empty."));
    });
  }

  void okChecksTheEndAndTheName() {
    newPreset("Other");
    newPreset("Mine");
    const int builtIns = W->presetList()->count() - 2;
    QVERIFY(builtIns > 0);
    // A preset that ends sounding: 332 (No stays, Yes accepts).
    edit([](Dlg* d) {
      d->generalPage()->continueBox()->setChecked(false);
      WarningBox::setNextAnswer(WarningBox::No, false);
      const int shown = WarningBox::shownCount();
      Click(d, "okButton");
      QCOMPARE(WarningBox::shownCount(), shown + 1);
      QVERIFY(d->isVisible());
      WarningBox::setNextAnswer(WarningBox::Yes, false);
      Click(d, "okButton");
      QVERIFY(!d->isVisible());
    });
    W->actions().Save->trigger();
    // A built-in preset's name: 95, the dialog stays.
    QString builtIn;
    for (int pos = 0; pos < W->presetList()->count() && builtIn.isEmpty(); ++pos)
      if (Program[W->presetList()->presetAt(pos)].BuiltIn) builtIn = W->presetList()->itemText(pos);
    QVERIFY(!builtIn.isEmpty());
    WarningBox::setNextAnswer(WarningBox::Yes, false);
    edit([&](Dlg* d) {
      d->generalPage()->nameEdit()->setText(QString());
      QTest::keyClicks(d->generalPage()->nameEdit(), builtIn.toLower());
      Click(d, "okButton");
      QVERIFY(d->isVisible());
      QVERIFY(MessageBox::lastText().startsWith("This preset already exists, and the existing preset is a built-in"));
    });
    // Another preset's name: 80; No stays, Yes deletes the other preset.
    const int other = FindPresetByName("Other");
    QVERIFY(other >= 0);
    edit([](Dlg* d) {
      d->generalPage()->nameEdit()->selectAll();
      QTest::keyClicks(d->generalPage()->nameEdit(), "OTHER");
      WarningBox::setNextAnswer(WarningBox::Yes, false);
      MessageBox::setNextAnswer(MessageBox::AnsNo);
      Click(d, "okButton");
      QVERIFY(d->isVisible());
      QCOMPARE(MessageBox::lastText(), QString("Are you sure you want to overwrite the previous preset 'Other'?"));
      WarningBox::setNextAnswer(WarningBox::Yes, false);
      MessageBox::setNextAnswer(MessageBox::AnsYes);
      Click(d, "okButton");
      QVERIFY(!d->isVisible());
    });
    QCOMPARE(W->presetList()->currentText(), QString("OTHER"));
    QCOMPARE(W->presetList()->findText("Other", Qt::MatchExactly), -1);
    QVERIFY(Program[other].Deleted);
    QCOMPARE(W->presetList()->count(), builtIns + 1);
    // A tab pasted into the name would break one-line listings: 1482, the dialog stays.
    QGuiApplication::clipboard()->setText(QStringLiteral("Two\tcolumns"));
    edit([](Dlg* d) {
      d->generalPage()->nameEdit()->selectAll();
      QTest::keySequence(d->generalPage()->nameEdit(), QKeySequence::Paste);
      QCOMPARE(d->generalPage()->nameEdit()->text(), QStringLiteral("Two\tcolumns"));
      WarningBox::setNextAnswer(WarningBox::Yes, false);
      Click(d, "okButton");
      QVERIFY(d->isVisible());
      QCOMPARE(MessageBox::lastText(), QString::fromUtf8(GetStr(1482)));
    });
  }

  void segmentsAndVoicesKeepTheirLimits() {
    edit([](Dlg* d) {
      GeneralPage* g = d->generalPage();
      for (int i = 1; i < MAXSEGMENTS; ++i) Click(d, "addSegment");
      QCOMPARE(g->segmentList()->topLevelItemCount(), 25);
      QCOMPARE(g->segmentList()->topLevelItem(24)->text(0), QString("Y"));
      Click(d, "addSegment");
      QCOMPARE(MessageBox::lastText(), QString("You can not add more than 25 segments to the preset."));
      QCOMPARE(g->segmentList()->topLevelItemCount(), 25);
      QCOMPARE(d->currentSegment(), 24);
      // Move up follows the segment; the buttons follow the place.
      QVERIFY(!Button(d, "segmentDown")->isEnabled());
      Click(d, "segmentUp");
      QCOMPARE(d->currentSegment(), 23);
      QCOMPARE(g->segmentList()->topLevelItem(23)->text(0), QString("Y"));
      QVERIFY(Button(d, "segmentDown")->isEnabled());
      // Deleting down to one, then the last one: 1281 and a fresh "A".
      for (int i = 0; i < 24; ++i) Click(d, "deleteSegment");
      QCOMPARE(g->segmentList()->topLevelItemCount(), 1);
      Type(g->lengthEdit(), "3");
      Click(d, "addVoice");
      Click(d, "deleteSegment");
      QCOMPARE(MessageBox::lastText(),
               QString("You have deleted the last segment from the preset. A new segment with default settings was "
                       "created."));
      QCOMPARE(Rows(g->segmentList()), QStringList({"A 10.00 1"}));  // as the Length field shows it
      QCOMPARE(g->voiceList()->count(), 1);
      // Voices: ten at most, one at least.
      for (int i = 1; i < MAXVOICES; ++i) Click(d, "addVoice");
      QCOMPARE(g->voiceList()->count(), 10);
      QCOMPARE(g->voiceList()->item(9)->text(), QString("0"));
      Click(d, "addVoice");
      QCOMPARE(MessageBox::lastText(), QString("You can not add more than 10 voices to a segment."));
      QCOMPARE(d->tabs()->tabText(1), QString("0: Sound"));
      for (int i = 1; i < MAXVOICES; ++i) Click(d, "deleteVoice");
      Click(d, "deleteVoice");
      QCOMPARE(MessageBox::lastText(), QString("You can not delete the last voice from the segment."));
      QCOMPARE(g->voiceList()->count(), 1);
    });
  }

  void segmentFieldsRestoreWhatIsNotValid_data() {
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("lengthShown");
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<int>("repeatStored");
    QTest::newRow("zero") << "0"
                          << "10.00"
                          << "0" << 1;
    QTest::newRow("negative") << "-1"
                              << "10.00"
                              << "-2" << 1;
    QTest::newRow("text") << "abc"
                          << "10.00"
                          << "x" << 1;
    QTest::newRow("capped") << "20000"
                            << "10000.00"
                            << "20000" << 10000;
    QTest::newRow("decimals") << "2,5"
                              << "2.50"
                              << "7" << 7;
  }
  void segmentFieldsRestoreWhatIsNotValid() {
    QFETCH(QString, length);
    newPreset("Test");
    QFETCH(QString, lengthShown);
    QFETCH(QString, repeat);
    QFETCH(int, repeatStored);
    edit([&](Dlg* d) {
      GeneralPage* g = d->generalPage();
      Type(g->lengthEdit(), length);
      QCOMPARE(g->lengthEdit()->text(), lengthShown);
      Type(g->repeatEdit(), repeat);
      QCOMPARE(d->prg().data.Segment[0].Repeat, repeatStored);
      QCOMPARE(g->repeatEdit()->text(), QString::number(repeatStored));
      QCOMPARE(g->segmentList()->topLevelItem(0)->text(2), QString::number(repeatStored));
    });
  }

  void linkingFollowsTheCharts() {
    newPreset("Test");
    edit([](Dlg* d) {
      Click(d, "addSegment");  // B
      GeneralPage* g = d->generalPage();
      d->selectSegment(0);
      const int vol = VoicePidOf(0, VP_VOLUME);
      ParameterChart* c = VolumeChart(d);
      QTest::qWait(10);
      DragNode(c, 2, 40);  // the last node of A's volume, down
      const int32_t end = ParamOf(d->prg(), 0, vol).Node[2].Value;
      QVERIFY(end < 10000);
      QCOMPARE(ParamOf(d->prg(), 1, vol).Node[0].Value, end);
      // B repeats: its last node follows its first.
      d->tabs()->setCurrentIndex(0);
      d->selectSegment(1);
      Type(g->repeatEdit(), "2");
      QCOMPARE(ParamOf(d->prg(), 1, vol).Node[2].Value, end);
      // A second voice in A only: its volume ends silent, and a node moved
      // there snaps back with 264.
      d->selectSegment(0);
      Click(d, "addVoice");
      QCOMPARE(d->currentVoice(), 1);
      const int vol2 = VoicePidOf(1, VP_VOLUME);
      QCOMPARE(ParamOf(d->prg(), 0, vol2).Node[2].Value, 0);
      c = VolumeChart(d);
      QTest::qWait(10);
      const int shown = WarningBox::shownCount();
      WarningBox::setNextAnswer(WarningBox::Yes, true);
      DragNode(c, 2, -40);
      QCOMPARE(ParamOf(d->prg(), 0, vol2).Node[2].Value, 0);
      QCOMPARE(WarningBox::shownCount(), shown + 1);
      QCOMPARE(Cfg.DoNotShowVolumeZeroWarning, 1);  // ticked: not again
      DragNode(c, 2, -40);
      QCOMPARE(WarningBox::shownCount(), shown + 1);
      // With linking off nothing next door changes.
      Cfg.Advanced.LinkAdjacentSegmentsInPresetOptions = 0;
      d->selectVoice(0);
      c = VolumeChart(d);
      QTest::qWait(10);
      DragNode(c, 2, -20);
      QVERIFY(ParamOf(d->prg(), 0, vol).Node[2].Value != end);
      QCOMPARE(ParamOf(d->prg(), 1, vol).Node[0].Value, end);
    });
  }

  void acceleratorsSelectSegmentsAndVoices() {
    newPreset("Test");
    edit([](Dlg* d) {
      Click(d, "addSegment");  // B
      Click(d, "addSegment");  // C
      Click(d, "addVoice");
      QCOMPARE(d->currentSegment(), 2);
      QWidget* f = d->generalPage()->nameEdit();
      f->setFocus();
      QTest::keyClick(f, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(d->currentSegment(), 0);
      QCOMPARE(d->generalPage()->segmentList()->currentItem()->text(0), QString("A"));
      QTest::keyClick(f, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(d->currentSegment(), 1);
      QTest::keyClick(f, Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);  // none: a beep
      QCOMPARE(d->currentSegment(), 1);
      QTest::keyClick(f, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(d->currentSegment(), 2);
      QTest::keyClick(f, Qt::Key_2, Qt::ControlModifier);
      QCOMPARE(d->currentVoice(), 1);
      QTest::keyClick(f, Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(d->currentVoice(), 0);
      QTest::keyClick(f, Qt::Key_3, Qt::ControlModifier);  // no third voice
      QCOMPARE(d->currentVoice(), 0);
      QCOMPARE(d->tabs()->tabText(1), QString("C(1): Sound"));
      QCOMPARE(d->tabs()->tabText(3), QString("C: Background"));
      d->tabs()->setCurrentIndex(0);
      QTest::keyClick(f, Qt::Key_Tab, Qt::ControlModifier);
      QCOMPARE(d->tabs()->currentIndex(), 1);
      QTest::keyClick(f, Qt::Key_PageUp, Qt::ControlModifier);
      QTest::keyClick(f, Qt::Key_PageUp, Qt::ControlModifier);
      QCOMPARE(d->tabs()->currentIndex(), 5);
      // The charts follow the selection.
      QCOMPARE(d->paramPage()->chart(2)->parameter(), &SegParams(d->prg(), 2)[VoicePidOf(0, VP_VOLUME)]);
    });
  }

  void backgroundChoiceAndFiles() {
    newPreset("Test");
    const QString wav = gui::NewFolder("sounds") + "/rain.wav";
    edit([&](Dlg* d) {
      QComboBox* bg = d->generalPage()->backgroundCombo();
      const int none = bg->findData(AMBIX_NONE), other = bg->findData(AMBIX_OTHER);
      QVERIFY(none >= 0 && other > none);
      bg->setFocus();
      QTest::keyClick(bg, Qt::Key_Home);
      while (bg->currentIndex() < none) QTest::keyClick(bg, Qt::Key_Down);
      QCOMPARE(d->prg().data.Background, AMBIX_NONE);
      // Cancelled file choice: the entry chosen before comes back.
      FileDialog::setNextFileName(QString());
      QTest::keyClick(bg, Qt::Key_Down);
      QCOMPARE(bg->currentIndex(), none);
      QCOMPARE(d->prg().data.Background, AMBIX_NONE);
      FileDialog::setNextFileName(wav);
      QTest::keyClick(bg, Qt::Key_Down);
      QCOMPARE(bg->currentIndex(), other);
      QCOMPARE(bg->currentText(), QString("Other... (rain.wav)"));
      QCOMPARE(d->prg().data.Background, AMBIX_OTHER);
      QCOMPARE(QString::fromUtf8(d->prg().data.BackgroundFile), wav);  // outside the program's folder: whole
      // The background parameter is now an interval in seconds.
      QCOMPARE(d->backgroundRow().Row.Unit, 160);
      // Back to None: the entry reads plainly again.
      QTest::keyClick(bg, Qt::Key_Up);
      QCOMPARE(bg->itemText(other), QString("Other..."));
      QCOMPARE(d->prg().data.Background, AMBIX_NONE);
    });
  }

  void visualColorsEditTheCopy() {
    newPreset("Colours");
    Cfg.VisualOptions.Override = 1;
    const VisOpt before = selected().data.VisOpt;
    edit([&](Dlg* d) {
      const int shown = WarningBox::shownCount();
      WarningBox::setNextAnswer(WarningBox::Yes, false);  // 283, the global colours override
      gui::OnDialog<VisualColorDialog>([](VisualColorDialog* v) {
        QVERIFY(!v->overrideBox()->isVisible());
        VisualColorDialog::setNextColor(QColor(255, 0, 0));
        QTest::mouseClick(v->addColorButton(), Qt::LeftButton);
        QCOMPARE(v->colorList()->count(), 3);
        QTest::mouseClick(v->okButton(), Qt::LeftButton);
      });
      Click(d, "visualColors");
      QCOMPARE(WarningBox::shownCount(), shown + 1);
      QCOMPARE(int(d->prg().data.VisOpt.NumColors), 3);
      QCOMPARE(d->prg().data.VisOpt.Colors[2], 0x000000FFu);
      QCOMPARE(std::memcmp(&Program[d->presetIndex()].data.VisOpt, &before, sizeof before), 0);
      Click(d, "okButton");
    });
    QCOMPARE(int(selected().data.VisOpt.NumColors), 3);
  }

  void testPlaybackFollowsTheEdits() {
    newPreset("Test");
    Dev = std::make_unique<gui::FakeDevice>();
    edit([&](Dlg* d) {
      QPushButton* test = Button(d, "testButton");
      QCOMPARE(test->text(), QString("Te&st Preset (Play)"));
      Click(d, "testButton");
      QVERIFY(d->testing());
      QCOMPARE(test->text(), QString("&Stop Playing"));
      QVERIFY(plat::FakeWaitQueued(Dev->Fake, 1, 2000));
      // An edit is heard at once: the queued blocks are dropped.
      const int resets = plat::FakeResets(Dev->Fake);
      Type(d->generalPage()->repeatEdit(), "2");
      QVERIFY(plat::FakeResets(Dev->Fake) > resets);
      // Play Here moves the playback; the charts of the segment draw it.
      ParameterChart* c = VolumeChart(d);
      QTest::qWait(10);
      d->playAt(0, 5000);
      QCOMPARE(TestPlayback::instance()->time(), 5000);
      QCOMPARE(c->playTime(), 5000);
      d->tabs()->setCurrentIndex(0);
      Click(d, "addSegment");  // now in B: A's play line goes
      QCOMPARE(d->paramPage()->chart(2)->playTime(), -1);
      d->tabs()->setCurrentIndex(0);
      Click(d, "testButton");
      QVERIFY(!d->testing());
      QCOMPARE(test->text(), QString("Te&st Preset (Play)"));
      // Closing stops a running test.
      Click(d, "testButton");
      QVERIFY(d->testing());
      MessageBox::setNextAnswer(MessageBox::AnsYes);
      Click(d, "cancelButton");
    });
    QVERIFY(!TestPlayback::instance()->running());
    QVERIFY(!W->playing());
    // The test's stop may still be on its way when the window goes: a new
    // window's own stop is not taken for it.
    gui::CloseMainWindow(W);
    W = gui::OpenMainWindow();
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    W->actions().Stop->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!W->playing(), 5000);
  }

  void testPlaybackRefusals() {
    // A device without 16-bit output: 1264, nothing starts.
    plat::FakeWaveConfig eight;
    eight.MaxBits = 8;
    Dev = std::make_unique<gui::FakeDevice>(eight);
    edit([](Dlg* d) {
      Click(d, "testButton");
      QVERIFY(!d->testing());
      QVERIFY(MessageBox::lastText().startsWith("Your sound card does not support 16-bit sound."));
    });
    Dev.reset();
    // The main window plays: 1333.
    Dev = std::make_unique<gui::FakeDevice>();
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    WarningBox::setNextAnswer(WarningBox::Yes, false);  // 269, options while playing
    edit([](Dlg* d) {
      Click(d, "testButton");
      QVERIFY(!d->testing());
      QVERIFY(MessageBox::lastText().startsWith("Sonavel is already playing a preset in the main window."));
    });
  }

  void placementIsRemembered() {
    QSize size;
    edit([&](Dlg* d) {
      d->resize(d->width() + 40, d->height() + 30);
      size = d->size();
      Click(d, "cancelButton");
    });
    QCOMPARE(Cfg.Options.Width, size.width());
    QCOMPARE(Cfg.Options.Height, size.height());
    edit([&](Dlg* d) { QCOMPARE(d->size(), size); });
  }

  // Opened the first time, the Sound tab's charts have room for their axis
  // labels; when the editor grows, the charts take the new height and the
  // panes' controls keep theirs.
  void chartsTakeTheHeight() {
    Cfg.Options = Placement();
    edit([&](Dlg* d) {
      d->tabs()->setCurrentIndex(1);
      ParamPage* page = d->paramPage();
      auto charts = [page] {
        int sum = 0;
        for (int pane = 0; pane < 3; ++pane) sum += page->paneChart(pane)->height();
        return sum;
      };
      for (int pane = 0; pane < 3; ++pane) {
        const ParameterChart* c = page->paneChart(pane);
        QVERIFY(c && c->isVisible());
        // Four value labels at least, two lines apart.
        const int lines = c->fontMetrics().height();
        QVERIFY2(
            c->plotRect().height() >= 8 * lines,
            qPrintable(
                QStringLiteral("pane %1: plot %2 px, line %3 px").arg(pane).arg(c->plotRect().height()).arg(lines)));
      }
      QComboBox* easy = page->easyBox(0);
      const int before = charts(), easyHeight = easy->height();
      const QSize first = d->size();
      d->resize(first.width(), first.height() + 240);
      QTRY_COMPARE(d->height(), first.height() + 240);
      QApplication::processEvents();
      QVERIFY2(std::abs(charts() - before - 240) <= 3, qPrintable(QString::number(charts() - before)));
      QCOMPARE(easy->height(), easyHeight);
      Click(d, "cancelButton");
    });
  }

  // Where the editor and the windows it opens come up, on two screens side
  // by side (the left one 1280 x 1024, the right one 1024 x 768): without a
  // saved place centred over the owner and whole on its screen, a saved
  // place only while it is still on a screen.
  void windowsOpenCentredAndOnAScreen_data() {
    QTest::addColumn<int>("which");  // 0 the editor, 1 the modulation window, 2 Tracking Destination
    QTest::addColumn<QPoint>("mainAt");
    QTest::addColumn<QRect>("saved");  // the editor's saved frame, absolute; null for none
    QTest::addColumn<int>("expect");   // where it comes up (below)
    QTest::addColumn<QPoint>("at");
    const QPoint middle(380, 430), corner(1280 - 528, 1024 - 150);
    QTest::newRow("first time") << 0 << middle << QRect() << int(CENTRED) << QPoint();
    QTest::newRow("main window in the corner") << 0 << corner << QRect() << int(ON_SCREEN) << QPoint();
    QTest::newRow("saved on the other screen")
        << 0 << middle << QRect(1400, 40, 900, 700) << int(AT) << QPoint(1400, 40);
    QTest::newRow("saved where no screen is now")
        << 0 << middle << QRect(3000, 40, 900, 700) << int(CENTRED) << QPoint();
    QTest::newRow("saved half below the screen")
        << 0 << middle << QRect(100, 900, 900, 760) << int(AT_LEFT_ON_BOTTOM) << QPoint(100, 1024);
    QTest::newRow("modulation window") << 1 << middle << QRect(60, 40, 900, 900) << int(CENTRED) << QPoint();
    QTest::newRow("tracking destination") << 2 << middle << QRect(60, 40, 900, 900) << int(CENTRED) << QPoint();
  }
  void windowsOpenCentredAndOnAScreen() {
    QFETCH(int, which);
    QFETCH(QPoint, mainAt);
    QFETCH(QRect, saved);
    QFETCH(int, expect);
    QFETCH(QPoint, at);
    QCOMPARE(QGuiApplication::screens().size(), 2);
    W->move(mainAt);
    QCOMPARE(W->frameGeometry().topLeft(), mainAt);
    Cfg.Options = saved.isNull()
                      ? Placement()
                      : Placement{saved.x() - mainAt.x(), saved.y() - mainAt.y(), saved.width(), saved.height()};
    Cfg.Modulation = Placement();
    QRect owner, got;
    edit([&](Dlg* d) {
      if (which == 0) {
        owner = W->frameGeometry();
        got = d->frameGeometry();
        return;
      }
      owner = d->frameGeometry();
      gui::OnModal([&](QWidget* w) {
        got = w->frameGeometry();
        w->close();
      });
      if (which == 1) {
        ModulationWindow::open(d, PN_SNDMODDEPTH);
      } else {
        TrackingDestinationDialog t(d, d->segmentParams(), d->segment(), PID_VISFREQ);
        t.run();
      }
    });
    const QString where = QStringLiteral("%1,%2 %3x%4 owner %5,%6 %7x%8")
                              .arg(got.x())
                              .arg(got.y())
                              .arg(got.width())
                              .arg(got.height())
                              .arg(owner.x())
                              .arg(owner.y())
                              .arg(owner.width())
                              .arg(owner.height());
    const QRect left(0, 0, 1280, 1024), right(1280, 0, 1024, 768);
    QVERIFY2(left.contains(got) || right.contains(got), qPrintable(where));
    switch (expect) {
      case CENTRED: QVERIFY2((got.center() - owner.center()).manhattanLength() <= 2, qPrintable(where)); break;
      case AT: QCOMPARE(got.topLeft(), at); break;
      case AT_LEFT_ON_BOTTOM: QVERIFY2(got.x() == at.x() && got.bottom() + 1 == at.y(), qPrintable(where)); break;
      default: break;
    }
  }

  void presetNoEditorWouldMakeOpensShowsAndClamps() {
    // Values outside the range, nodes at one time, weights above 20 and an
    // Easy choice the table does not have.
    newPreset("Odd");
    Preset& p = Program[W->presetList()->presetAt(W->presetList()->currentIndex())];
    QCOMPARE(EnsureLoaded(int(&p - Program)), 0);
    Param* params = SegParams(p, 0);
    Param& vol = params[VoicePidOf(0, VP_VOLUME)];
    vol.NumNodes = 4;
    vol.Node[0] = {25000, 0, 40, 0};
    vol.Node[1] = {-300, 5000, 21, 1};
    vol.Node[2] = {7000, 5000, 255, 1};
    vol.Node[3] = {0, 10000, 10, 0};
    vol.EasySel = 0;
    params[VoicePidOf(0, VP_PITCH)].Node[1].Value = 9000000;
    params[VoicePidOf(0, VP_WAVEFORM)].EasySel = 200;
    edit([](Dlg* d) {
      QStringList checks = gui::TakeCheckFailures();
      QCOMPARE(checks.size(), 1);
      QVERIFY(checks[0].contains("EasySel"));
      for (int t = 1; t <= 5; ++t) {
        d->tabs()->setCurrentIndex(t);
        d->grab();
      }
      ParameterChart* c = VolumeChart(d);
      QTest::qWait(10);
      c->setFocus(Qt::OtherFocusReason);
      QTest::keyClick(c, Qt::Key_Home);
      QTest::keyClick(c, Qt::Key_Down);
      const Param& v = SegParams(d->prg(), 0)[VoicePidOf(0, VP_VOLUME)];
      QCOMPARE(v.Node[0].Value, 10000);  // clamped into 0..100 % on the edit
      QTest::keyClick(c, Qt::Key_Right);
      QTest::keyClick(c, Qt::Key_Insert);
      QCOMPARE(int(v.NumNodes), 5);
      DragNode(c, 2, 30);
      d->grab();
      Click(d, "okButton");
      QVERIFY(!d->isVisible());
    });
    QCOMPARE(W->waveOptChanged(), 1);
  }
};

GUI_TEST(EditorDialog);
#include "tst_presetoptions.moc"

// The preset commands and their rules: new, the editor's states, switching
// with unsaved changes, save and save as with their refusals, delete,
// export and import.
#include <sys/wait.h>
#include <unistd.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <cstdio>
#include <cstring>

#include "dialog/FileDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/PresetNameDialog.h"
#include "file/store.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "main/preset.h"
#include "mwnd/PresetCombo.h"
#include "reg/settings.h"

namespace {

// The editor the tests install: what it does next.
struct EditorPlan {
  int Result = 2;
  const char* Rename = nullptr;
  int Calls = 0;
} gPlan;

int PlannedEditor(QWidget*, int index, bool* renamed) {
  ++gPlan.Calls;
  *renamed = false;
  if (gPlan.Result == 2) Program[index].data.Segment[0].Repeat++;
  if (gPlan.Rename) {
    std::strcpy(Program[index].Name, gPlan.Rename);
    *renamed = true;
  }
  return gPlan.Result;
}

void Plan(int result, const char* rename = nullptr) {
  gPlan.Result = result;
  gPlan.Rename = rename;
}

// Answers the next name prompt with `name`.
void NameNext(const QString& name) {
  gui::OnDialog<PresetNameDialog>([name](PresetNameDialog* d) {
    d->nameEdit()->setText(name);
    QTest::keyClick(d, Qt::Key_Return);
  });
}

QStringList Entries(MainWindow* w) {
  QStringList l;
  for (int i = 0; i < w->presetList()->count(); ++i) l << w->presetList()->itemText(i);
  return l;
}

// Selects an entry as the user does.
void Choose(MainWindow* w, const QString& text) {
  int pos = w->presetList()->findText(text);
  QVERIFY2(pos >= 0, qPrintable(text));
  w->presetList()->setCurrentIndex(pos);
  Q_EMIT w->presetList()->activated(pos);
}

}  // namespace

class Commands : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    gPlan = EditorPlan();
    W = gui::OpenMainWindow();
    W->setPresetEditor(PlannedEditor);
  }
  void cleanup() {
    if (W && W->waveOptChanged()) MessageBox::setNextAnswer(MessageBox::AnsNo);
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  // A preset whose background library is gone opens without it; the store's
  // message about it is a warning, its summaries news.
  void aDroppedBackgroundIsAWarning() {
    Plan(2, "Lost background");
    W->actions().New->trigger();
    W->actions().Save->trigger();
    const int index = SelProgram;
    QCOMPARE(QString::fromUtf8(Program[index].Name), QString("Lost background"));
    Program[index].data.Background = 3;
    std::snprintf(Program[index].data.BackgroundFile, NAMELEN, "%s", "Nowhere.dll");
    QCOMPARE(SavePreset(index), 0);
    ReleasePreset(index);
    MessageBox::clearShown();
    Plan(0);
    W->actions().PresetOptions->trigger();
    QCOMPARE(MessageBox::shownTexts(),
             QStringList("The file 'Nowhere.dll' containing the background of this preset was not found.\n\nThe "
                         "background is set to None."));
    QCOMPARE(MessageBox::lastIcon(), MessageBox::Warning);
    QCOMPARE(int(Program[index].data.Background), int(AMBIX_NONE));
  }

  void newPresetCancelledLeavesTheListAsItWas() {
    QStringList before = Entries(W);
    QString selected = W->presetList()->currentText();
    int programs = NumPrograms;
    Plan(0);
    W->actions().New->trigger();
    QCOMPARE(gPlan.Calls, 1);
    QCOMPARE(Entries(W), before);
    QCOMPARE(W->presetList()->currentText(), selected);
    QCOMPARE(NumPrograms, programs);
    QCOMPARE(W->waveOptChanged(), 0);
  }

  void newPresetIsListedFirstAndSavedUnderItsName() {
    Plan(2, "Evening calm");
    W->actions().New->trigger();
    QCOMPARE(W->waveOptChanged(), 3);
    QCOMPARE(W->presetList()->itemText(0), QString(" Evening calm"));
    QCOMPARE(W->presetList()->currentIndex(), 0);
    W->actions().Save->trigger();  // state 3 saves as it is
    QCOMPARE(W->waveOptChanged(), 0);
    QVERIFY(Entries(W).contains("Evening calm"));
    QCOMPARE(FindPresetByName("Evening calm"), SelProgram);
    // It is in the store: a fresh load lists it.
    int saved = SelProgram;
    UnloadAllPresets();
    QCOMPARE(LoadAllPresets(nullptr), 0);
    QCOMPARE(QString::fromUtf8(Program[saved].Name), QString("Evening calm"));
  }

  void unsavedQuestionDependsOnTheState() {
    struct Case {
      const char* Rename;
      int State;
      const char* Start;
    };
    const Case cases[] = {
        {nullptr, 1, "Do you want to save changes to the preset 'BUILTIN: Relaxation 1 (general)'?"},
        {"Renamed", 2,
         "Do you want to save changes to the preset 'Renamed'?\nIf you select No, the preset name is "
         "reverted back to 'BUILTIN: Relaxation 1 (general)'."},
    };
    for (const Case& c : cases) {
      Plan(2, c.Rename);
      W->actions().PresetOptions->trigger();
      QCOMPARE(W->waveOptChanged(), c.State);
      QString current = W->presetList()->currentText();
      // Cancel keeps the old selection visible.
      MessageBox::setNextAnswer(MessageBox::AnsCancel);
      Choose(W, "BUILTIN: Study 1 (learning)");
      QCOMPARE(MessageBox::lastText(), QString(c.Start));
      QCOMPARE(W->presetList()->currentText(), current);
      QCOMPARE(W->waveOptChanged(), c.State);
      // No drops the changes (and the new name) and switches.
      MessageBox::setNextAnswer(MessageBox::AnsNo);
      Choose(W, "BUILTIN: Study 1 (learning)");
      QCOMPARE(W->presetList()->currentText(), QString("BUILTIN: Study 1 (learning)"));
      QCOMPARE(W->waveOptChanged(), 0);
      QVERIFY(Entries(W).contains("BUILTIN: Relaxation 1 (general)"));
      QVERIFY(!Entries(W).contains("Renamed"));
      Choose(W, "BUILTIN: Relaxation 1 (general)");
    }
    // A never-saved preset: 69, and No discards it.
    Plan(2);
    W->actions().New->trigger();
    QCOMPARE(W->waveOptChanged(), 4);
    MessageBox::setNextAnswer(MessageBox::AnsNo);
    Choose(W, "BUILTIN: Study 1 (learning)");
    QVERIFY(
        MessageBox::lastText().endsWith("This preset has never been saved before, so if you select No, it will be "
                                        "discarded."));
    QVERIFY(!Entries(W).contains(" <new>"));
  }

  void savingABuiltInGoesThroughSaveAs() {
    Plan(2);
    W->actions().PresetOptions->trigger();
    QCOMPARE(W->waveOptChanged(), 1);
    int builtin = SelProgram;
    // 94, then the name prompt: a built-in's name is refused with 95.
    NameNext("builtin: sleep 1 (falling asleep)");
    W->actions().Save->trigger();
    QStringList shown = MessageBox::shownTexts();
    QVERIFY(shown.at(shown.size() - 2).startsWith("This preset cannot be modified because it is a built-in preset."));
    QVERIFY(shown.last().startsWith("This preset already exists, and the existing preset is a built-in preset."));
    QCOMPARE(W->waveOptChanged(), 1);
    // An empty name or "<new>" is not a name.
    for (const char* bad : {"   ", "<NEW>"}) {
      NameNext(bad);
      W->actions().SaveAs->trigger();
      QCOMPARE(MessageBox::lastText(), QString("The entered name is not valid. The name may not be empty."));
    }
    // A new name: a new record; the built-in goes back to its saved state.
    NameNext("My relaxation");
    W->actions().SaveAs->trigger();
    QCOMPARE(W->waveOptChanged(), 0);
    QCOMPARE(W->presetList()->currentText(), QString("My relaxation"));
    QVERIFY(SelProgram != builtin);
    QVERIFY(!Program[builtin].Loaded);
    QVERIFY(!Program[SelProgram].BuiltIn);
    // Saving over it asks 80; No leaves it.
    Plan(2);
    Choose(W, "BUILTIN: Study 1 (learning)");
    W->actions().PresetOptions->trigger();
    NameNext("MY RELAXATION");
    MessageBox::setNextAnswer(MessageBox::AnsNo);
    W->actions().SaveAs->trigger();
    QCOMPARE(MessageBox::lastText(),
             QString("Are you sure you want to overwrite the previous preset 'MY RELAXATION'?"));
    QCOMPARE(W->waveOptChanged(), 1);
    NameNext("My relaxation");
    MessageBox::setNextAnswer(MessageBox::AnsYes);
    W->actions().SaveAs->trigger();
    QCOMPARE(W->waveOptChanged(), 0);
    QCOMPARE(W->presetList()->currentText(), QString("My relaxation"));
    QCOMPARE(Entries(W).count("My relaxation"), 1);
  }

  void deleteAsksAndRefusesTheLastPreset() {
    // A preset of the user's: 66.
    Plan(2, "Mine");
    W->actions().New->trigger();
    W->actions().Save->trigger();
    int count = W->presetList()->count();
    int pos = W->presetList()->currentIndex();
    MessageBox::setNextAnswer(MessageBox::AnsYes);
    W->actions().Delete->trigger();
    QCOMPARE(MessageBox::lastText(), QString("Are you sure you want to delete the preset 'Mine'?"));
    QCOMPARE(W->presetList()->count(), count - 1);
    // The entry now at that position, or the last one.
    QCOMPARE(W->presetList()->currentIndex(), std::min(pos, count - 2));
    QCOMPARE(FindPresetByName("Mine"), -1);
    // Down to one entry: 1303.
    while (W->presetList()->count() > 1) {
      MessageBox::setNextAnswer(MessageBox::AnsYes);
      W->actions().Delete->trigger();
    }
    MessageBox::clearShown();
    W->actions().Delete->trigger();
    QCOMPARE(MessageBox::lastText(), QString("You can not delete the last preset."));
    QCOMPARE(W->presetList()->count(), 1);
  }

  void exportNeedsASavedPresetAndImportReadsItBack() {
    Plan(2);
    W->actions().PresetOptions->trigger();
    W->actions().Export->trigger();
    QCOMPARE(MessageBox::lastText(),
             QString("You can not export a preset which has not been saved. Save the preset and try again."));
    QCOMPARE(MessageBox::lastIcon(), MessageBox::Warning);
    MessageBox::setNextAnswer(MessageBox::AnsNo);
    Choose(W, "BUILTIN: Study 1 (learning)");
    QString file = gui::NewFolder("export") + "/study.tvk";
    FileDialog::setNextFileName(file);
    W->actions().Export->trigger();
    QCOMPARE(MessageBox::lastText(), QString("The preset was successfully exported to a file."));
    QCOMPARE(MessageBox::lastIcon(), MessageBox::Information);  // news, not a warning
    QVERIFY(QFile::exists(file));
    // Importing it again: the name exists (a built-in), so the store asks;
    // No imports nothing.
    FileDialog::setNextFileName(file);
    MessageBox::setNextAnswer(MessageBox::AnsNo);
    W->actions().Import->trigger();
    QVERIFY(MessageBox::shownTexts().contains(
        "The imported preset 'BUILTIN: Study 1 (learning)' already exists. Do you want to overwrite the existing "
        "preset?"));
    QCOMPARE(MessageBox::lastText(), QString("No presets were imported."));
    // A file that is not a preset file gives the store's message.
    QString junk = gui::NewFolder("junk") + "/junk.tvk";
    QFile j(junk);
    QVERIFY(j.open(QIODevice::WriteOnly));
    j.write("junk");
    j.close();
    FileDialog::setNextFileName(junk);
    W->actions().Import->trigger();
    QVERIFY(MessageBox::lastText().contains(junk));
    QCOMPARE(W->presetList()->count(), 28);
  }

  // Yes to 78 deletes the selected preset and imports its replacement at a
  // new index: the selection moves there, so the next command acts on the
  // preset the user sees.
  void importReplacingTheSelectedPresetSelectsTheReplacement() {
    const QString name = "BUILTIN: Study 1 (learning)";
    Choose(W, name);
    int old = SelProgram;
    QString file = gui::NewFolder("replace") + "/study.tvk";
    FileDialog::setNextFileName(file);
    W->actions().Export->trigger();
    FileDialog::setNextFileName(file);
    MessageBox::setNextAnswer(MessageBox::AnsYes);
    W->actions().Import->trigger();
    QCOMPARE(MessageBox::lastText(), QString("1 preset was successfully imported."));
    QVERIFY(Program[old].Deleted);
    QCOMPARE(SelProgram, FindPresetByName(name.toStdString()));
    QVERIFY(SelProgram != old);
    QCOMPARE(W->presetList()->currentText(), name);
    QCOMPARE(W->presetList()->presetAt(W->presetList()->currentIndex()), SelProgram);
    QCOMPARE(W->presetList()->count(), 28);
  }

  void handedOverFileIsImportedAndSelected() {
    Plan(2, "Handed over");
    W->actions().New->trigger();
    W->actions().Save->trigger();
    QString file = gui::NewFolder("handover") + "/h.tvk";
    FileDialog::setNextFileName(file);
    W->actions().Export->trigger();
    MessageBox::setNextAnswer(MessageBox::AnsYes);
    W->actions().Delete->trigger();
    QVERIFY(!Entries(W).contains("Handed over"));
    QCOMPARE(W->handOver(file), 0);
    QTRY_COMPARE(W->presetList()->currentText(), QString("Handed over"));
    QCOMPARE(MessageBox::lastText(), QString("1 preset was successfully imported."));
  }
  // A .sbg session imports as one preset, selected, its notes in one message
  // with their lines; a malformed one is refused with its place; Export
  // writes a session when the name says .sbg; a session handed over (the
  // file manager, the command line) imports the same way.
  void sessionsImportWithTheirNotesAndExportAsSessions() {
    const QString corpus = QStringLiteral(SONAVEL_SOURCE_DIR "/tests/data/sbg/");
    int before = W->presetList()->count();
    qsizetype shown = MessageBox::shownTexts().size();
    FileDialog::setNextFileName(corpus + "leftout.sbg");
    W->actions().Import->trigger();
    QCOMPARE(MessageBox::shownTexts().size(), shown + 1);
    QVERIFY(MessageBox::lastText().startsWith(
        "1 preset was successfully imported. What the session has and a preset has not:\n\nleftout.sbg:3:8: the "
        "bell 'bell+880/20' has no counterpart in a preset; left out\n"));
    QCOMPARE(W->presetList()->currentText(), QString("leftout"));
    QCOMPARE(W->presetList()->count(), before + 1);

    FileDialog::setNextFileName(corpus + "bad/undefined.sbg");
    W->actions().Import->trigger();
    QCOMPARE(MessageBox::lastText(), QString("The session could not be imported:\n\nundefined.sbg:3:8: a defined "
                                             "tone-set or block expected: 'b' is not defined"));
    QCOMPARE(W->presetList()->count(), before + 1);

    QString out = gui::NewFolder("session") + "/leftout.sbg";
    FileDialog::setNextFileName(out);
    W->actions().Export->trigger();
    QCOMPARE(MessageBox::lastText(), QString("The preset was written as a session file. What a session cannot hold "
                                             "is named in comments at its top."));
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    QVERIFY(text.startsWith("## Bells, spinning noise"));
    QVERIFY(text.contains("\nNOW == "));

    QCOMPARE(W->handOver(corpus + "slides.sbg"), 0);
    QTRY_COMPARE(W->presetList()->currentText(), QString("slides"));
    QCOMPARE(MessageBox::lastText(), QString("1 preset was successfully imported."));
  }
  // Another process (a command-line tool, another copy of the program)
  // changes the store while the window is in the background: on activation
  // the list shows the store as it now is, names read by the text rule.
  void anotherProcessesChangesAreListedOnActivation() {
    Plan(2, "Mine");
    W->actions().New->trigger();
    W->actions().Save->trigger();
    const int mine = SelProgram;
    Choose(W, "BUILTIN: Study 1 (learning)");
    const int study = SelProgram;
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    pid_t pid = fork();
    if (pid == 0) {
      // The child has its own lock and temporary file, as another program would.
      int rc = EnsureLoaded(study);
      Preset copy = Program[study];
      std::memset(copy.Name, 0, sizeof copy.Name);
      std::strcpy(copy.Name, "Caf\xe9 elsewhere");  // Windows-1252, as old files have it
      if (!rc) rc = AddPreset(copy, nullptr, nullptr);
      if (!rc) rc = DeletePreset(mine, nullptr, false);
      if (!rc) rc = DeletePreset(study, nullptr, false);
      _exit(rc ? 1 : 0);
    }
    QVERIFY(pid > 0);
    int status = -1;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(Entries(W).contains("Mine"));  // nothing is read while in the background
    W->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(W));
    QTRY_VERIFY(Entries(W).contains(QString::fromUtf8("Café elsewhere")));
    QVERIFY(!Entries(W).contains("Mine"));
    QVERIFY(!Entries(W).contains("BUILTIN: Study 1 (learning)"));
    // The selected preset went: another is selected, and it is one that lives.
    const int sel = W->presetList()->presetAt(W->presetList()->currentIndex());
    QCOMPARE(sel, SelProgram);
    QVERIFY(SelProgram >= 0 && !Program[SelProgram].Deleted);
    // This process's next change keeps the other's.
    MessageBox::setNextAnswer(MessageBox::AnsYes);
    W->actions().Delete->trigger();
    UnloadAllPresets();
    QCOMPARE(LoadAllPresets(nullptr), 0);
    QVERIFY(FindPresetByName("Caf\xe9 elsewhere") >= 0);
    QCOMPARE(FindPresetByName("Mine"), -1);
  }
};

GUI_TEST(Commands);
#include "tst_commands.moc"

// The main window's preset commands: new, save, save as, delete, export,
// import, preset options, switching presets and the unsaved-changes
// question.
#include <strings.h>

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <cstring>

#include "dialog/FileDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/PresetNameDialog.h"
#include "dialog/WarningBox.h"
#include "dialog/strids.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "mwnd/MainWindow.h"
#include "mwnd/PresetCombo.h"
#include "mwnd/presetformats.h"
#include "mwnd/wavestate.h"
#include "reg/settings.h"
#include "sbg/sbg.h"

namespace {

constexpr int UI_SAVE = 1;

// The list text of a preset: a never-saved one sorts first.
std::string EntryText(const Preset& p, int state) { return (IsNeverSaved(state) ? " " : "") + TextForLine(p.Name); }

void SetName(Preset& p, const std::string& name) {
  std::memset(p.Name, 0, sizeof p.Name);
  std::memcpy(p.Name, name.data(), std::min(name.size(), sizeof p.Name - 1));
}

}  // namespace

// --- Switching and the unsaved-changes question ----------------------------------------

void MainWindow::listActivated(int pos) {
  if (pos < 0) return;
  if (pos == currentPos() || WaveOptChanged == 0) {
    selectEntry(pos);
    return;
  }
  bool moved = false;
  askUnsaved(pos, &moved);
}

void MainWindow::revertCurrent() {
  // The preset is read again from the store when next used.
  if (WaveOptChanged == WOC_RENAMED) {
    SetName(Program[SelProgram], NameBeforeRename);
    int pos = currentPos();
    List->presets()->removeAt(pos);
    List->presets()->insert(TextForLine(NameBeforeRename), SelProgram);
  }
  ReleasePreset(SelProgram);
}

void MainWindow::removeNewPreset() {
  int n = NumPrograms - 1;
  List->presets()->removeAt(ListFindIndex(List->presets()->list(), n));
  ReleasePreset(n);
  std::memset(static_cast<PresetFixed*>(&Program[n]), 0, sizeof(PresetFixed));
  --NumPrograms;
}

bool MainWindow::askUnsaved(int wantPos, bool* moved) {
  *moved = false;
  if (WaveOptChanged == 0) return true;
  int wantIndex = List->presetAt(wantPos);
  std::string name = Program[SelProgram].Name;
  int q = UnsavedQuestionId(WaveOptChanged, name != NameBeforeRename);
  std::string text = q == strid::AskSaveRenamed
                         ? FormatPrintf(GetStr(strid::AskSaveRenamed), name.c_str(), NameBeforeRename.c_str())
                         : FormatPrintf(GetStr(q), name.c_str());
  int a = MessageBox::showText(this, QString::fromStdString(text), MessageBox::YesNoCancel, 0, MessageBox::Question);
  if (a == MessageBox::AnsCancel) {
    List->selectQuietly(currentPos());
    return false;
  }
  if (a == MessageBox::AnsYes) {
    cmdSave();
    if (WaveOptChanged != 0) {
      List->selectQuietly(currentPos());
      return false;
    }
  } else if (IsNeverSaved(WaveOptChanged)) {
    removeNewPreset();
  } else {
    revertCurrent();
  }
  WaveOptChanged = 0;
  int pos = ListFindIndex(List->presets()->list(), wantIndex);
  if (pos < 0) {
    *moved = true;
    pos = std::min(wantPos, List->count() - 1);
  }
  selectEntry(pos);
  return true;
}

// --- New, options --------------------------------------------------------------------

void MainWindow::cmdNew() {
  if (refuseInSecondInstance() || WaveOptChanged != 0) return;
  if (NumPrograms >= MAXPROGRAMS) {
    MessageBox::show(this, strid::TooManyPresets, {MAXPROGRAMS});
    return;
  }
  int previous = SelProgram;
  int i = NumPrograms;
  if (!CommitProgramRecord(i)) {
    MessageBox::show(this, strid::OutOfMemory);
    return;
  }
  // Two or three nodes; whatever else the settings file says gives three.
  int nodes = Cfg.Advanced.NodesInNewParam == 2 ? 2 : 3;
  NewDefaultPreset(Program[i], nodes);
  ++LoadedCount;
  ++NumPrograms;
  SelProgram = i;
  List->selectQuietly(List->presets()->insert(EntryText(Program[i], WOC_NEW), i));
  WaveOptChanged = WOC_NEW;
  updateUi(UI_SAVE);
  cmdPresetOptions();
  if (WaveOptChanged == WOC_NONE) {
    removeNewPreset();
    SelProgram = previous;
    selectEntry(currentPos());
  }
}

void MainWindow::cmdPresetOptions() {
  if (refuseInSecondInstance()) return;
  if (Playing) WarningBox::ask(this, strid::OptionsWhilePlaying, QString(), &Cfg.DoNotShowOptionsWhilePlaying, true);
  StoreUi ui = storeUi();
  if (int rc = EnsureLoaded(SelProgram, &ui)) {
    showStoreError(rc);
    return;
  }
  std::string before = Program[SelProgram].Name;
  bool renamed = false;
  int result = Editor(this, SelProgram, &renamed);
  // OK under another preset's name deletes that preset: its entry goes.
  for (int pos = List->count() - 1; pos >= 0; --pos) {
    int i = List->presetAt(pos);
    if (i >= 0 && i != SelProgram && Program[i].Deleted) List->presets()->removeAt(pos);
  }
  List->selectQuietly(currentPos());
  renamed = renamed && before != Program[SelProgram].Name;
  if (result == EDITOR_CHANGED && renamed && (WaveOptChanged == WOC_NONE || WaveOptChanged == WOC_MODIFIED))
    NameBeforeRename = before;
  WaveOptChanged = WaveOptAfterEditor(WaveOptChanged, result, renamed);
  if (renamed) {
    List->presets()->removeAt(currentPos());
    List->selectQuietly(List->presets()->insert(EntryText(Program[SelProgram], WaveOptChanged), SelProgram));
  }
  updateUi(UI_SAVE);
}

// --- Save, save as -------------------------------------------------------------------

void MainWindow::cmdSave() {
  if (refuseInSecondInstance()) return;
  if (WaveOptChanged > WOC_NEW_RENAMED) {
    cmdSaveAs();
    return;
  }
  if (Program[SelProgram].BuiltIn && !SetBuiltIns) {
    MessageBox::show(this, strid::BuiltInReadOnly);
    cmdSaveAs();
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  int rc = SavePreset(SelProgram);
  QApplication::restoreOverrideCursor();
  if (rc) {
    showStoreError(rc);
    return;
  }
  bool relist = IsNeverSaved(WaveOptChanged);
  WaveOptChanged = WOC_NONE;
  if (relist) {
    List->presets()->removeAt(currentPos());
    List->selectQuietly(List->presets()->insert(TextForLine(Program[SelProgram].Name), SelProgram));
  }
  updateUi(UI_SAVE);
}

void MainWindow::cmdSaveAs() {
  if (refuseInSecondInstance()) return;
  int cur = SelProgram;
  int state = WaveOptChanged;
  QString typed = QString::fromStdString(TextToUtf8(Program[cur].Name));
  if (!PresetNameDialog::askPresetName(this, &typed)) return;
  std::string name = typed.toUtf8().toStdString();
  if (int why = CheckEnteredName(name)) {
    MessageBox::show(this, why);
    return;
  }
  name.erase(0, name.find_first_not_of(' ') == std::string::npos ? name.size() : name.find_first_not_of(' '));
  if (name.empty() || ::strcasecmp(name.c_str(), GetStr(strid::NewPresetName)) == 0) {
    MessageBox::show(this, strid::EmptyName);
    return;
  }
  StoreUi ui = storeUi();
  if (int rc = EnsureLoaded(cur, &ui)) {
    showStoreError(rc);
    return;
  }
  int target = FindPresetByName(name);
  bool appended = false;
  if (target >= 0) {
    if (Program[target].BuiltIn) {
      MessageBox::show(this, strid::BuiltInExists);
      return;
    }
    if (MessageBox::showText(this,
                             QString::fromStdString(FormatPrintf(GetStr(strid::AskOverwritePreset), name.c_str())),
                             MessageBox::YesNo, 0, MessageBox::Question) != MessageBox::AnsYes)
      return;
  } else if (IsNeverSaved(state)) {
    target = cur;
  } else {
    if (NumPrograms >= MAXPROGRAMS) {
      MessageBox::show(this, strid::TooManyPresets, {MAXPROGRAMS});
      return;
    }
    target = NumPrograms;
    if (!CommitProgramRecord(target)) {
      MessageBox::show(this, strid::OutOfMemory);
      return;
    }
    std::memset(static_cast<PresetFixed*>(&Program[target]), 0, sizeof(PresetFixed));
    Program[target].Description = nullptr;
    Program[target].ParamMem = nullptr;
    ++NumPrograms;
    appended = true;
  }
  if (target != cur) {
    if (!appended)
      if (int rc = EnsureLoaded(target, &ui)) {
        showStoreError(rc);
        return;
      }
    CopyPreset(Program[target], Program[cur]);
    if (appended) {
      Program[target].Loaded = 1;
      Program[target].LastUse = UseCounter++;
      ++LoadedCount;
    }
  }
  std::string curName = Program[cur].Name;
  Preset& t = Program[target];
  SetName(t, name);
  t.BuiltIn = 0;
  t.Deleted = 0;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  int rc = SavePreset(target);
  QApplication::restoreOverrideCursor();
  if (rc) {
    showStoreError(rc);
    // Nothing changed on disk. The current preset keeps its changes; a
    // target is read again when used, and an entry added for it goes again.
    if (target == cur) {
      SetName(Program[cur], curName);
      return;
    }
    ReleasePreset(target);
    if (appended) {
      std::memset(static_cast<PresetFixed*>(&Program[target]), 0, sizeof(PresetFixed));
      --NumPrograms;
    }
    return;
  }
  // Only now that the copy is safe does the current preset go back to its
  // saved state (or, never saved, go away).
  if (target != cur) {
    if (IsNeverSaved(state))
      removeNewPreset();
    else
      revertCurrent();
  }
  WaveOptChanged = WOC_NONE;
  refillList(target);
}

// --- Delete ----------------------------------------------------------------------------

void MainWindow::cmdDelete() {
  if (refuseInSecondInstance()) return;
  if (List->count() <= 1) {
    MessageBox::show(this, strid::LastPreset);
    return;
  }
  int pos = currentPos();
  if (IsNeverSaved(WaveOptChanged)) {
    // Never saved: nothing is on disk, the preset just goes.
    if (MessageBox::showText(
            this, QString::fromStdString(FormatPrintf(GetStr(strid::AskDeletePreset), Program[SelProgram].Name)),
            MessageBox::YesNo, 0, MessageBox::Question) != MessageBox::AnsYes)
      return;
    removeNewPreset();
  } else {
    StoreUi ui = storeUi();
    if (WaveOptChanged == WOC_RENAMED) SetName(Program[SelProgram], NameBeforeRename);
    int rc = DeletePreset(SelProgram, &ui, true);
    if (rc == -1) {
      if (WaveOptChanged == WOC_RENAMED) SetName(Program[SelProgram], List->itemText(pos).toStdString());
      return;
    }
    if (rc) {
      showStoreError(rc);
      return;
    }
    List->presets()->removeAt(pos);
  }
  WaveOptChanged = WOC_NONE;
  selectEntry(std::min(pos, List->count() - 1));
}

// --- Export, import --------------------------------------------------------------------

void MainWindow::cmdExport() {
  if (WaveOptChanged != 0) {
    MessageBox::show(this, strid::ExportUnsaved);
    return;
  }
  StoreUi ui = storeUi();
  if (int rc = EnsureLoaded(SelProgram, &ui)) {
    showStoreError(rc);
    return;
  }
  QString file = FileDialog::saveFile(this, strid::SelectExportFile, ExportFilterId(),
                                      QString::fromStdString(TextToUtf8(Program[SelProgram].Name)) + ".tvk",
                                      QStringLiteral("tvk"));
  if (file.isEmpty()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool session = ExportFormatOf(file.toStdString()) == PresetFormat::Session;
  int rc = ExportPresetFile(SelProgram, file.toStdString());
  QApplication::restoreOverrideCursor();
  if (rc) {
    if (session)
      MessageBox::show(this, rc, {file.toStdString(), 1000});
    else
      showStoreError(rc);
    return;
  }
  MessageBox::inform(this, session ? strid::SessionExported : strid::PresetExported);
}

void MainWindow::cmdImport() {
  if (refuseInSecondInstance()) return;
  bool moved = false;
  if (WaveOptChanged != 0 && !askUnsaved(currentPos(), &moved)) return;
  QString file = FileDialog::openFile(this, strid::SelectImportFile, ImportFilterId(), QStringLiteral("tvk"));
  if (file.isEmpty()) return;
  importFile(file);
}

void MainWindow::importFile(const QString& path) {
  if (Start.AnotherInstance) {
    MessageBox::show(this, strid::StoreReadOnly);
    return;
  }
  // A .sbg session is one preset, imported with its own notes.
  if (ImportFormatOf(path.toStdString()) == PresetFormat::Session) {
    importSession(path);
    return;
  }
  StoreUi ui = storeUi();
  ImportReport report;
  std::string error;
  int rc = ImportPresetFile(path.toStdString(), &ui, &report, &error);
  // The first imported preset; with none (the import stopped early), the
  // selection stays, on the replacement when the import replaced it.
  int sel = report.First >= 0 ? report.First : SelectionAfterImport(report, SelProgram);
  if (sel < 0 || sel >= NumPrograms || Program[sel].Deleted) {
    sel = -1;
    for (int i = 0; i < NumPrograms && sel < 0; ++i)
      if (!Program[i].Deleted) sel = i;
  }
  refillList(sel);
  if (rc) showStoreError(rc);
  if (!error.empty()) MessageBox::showText(this, QString::fromStdString(error));
}

// A session: read into one preset, saved under its name with the store's
// rules, and selected; its warnings shown together in one message.
void MainWindow::importSession(const QString& path) {
  std::string file = path.toStdString();
  std::string shown = QFileInfo(path).fileName().toStdString();
  Preset p{};
  SbgImport info;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool ok = ImportSessionFile(file, p, &info);
  QApplication::restoreOverrideCursor();
  if (!ok) {
    MessageBox::show(this, strid::SessionImportFailed, {SbgMessageText(shown, info.Error)});
    return;
  }
  StoreUi ui = storeUi();
  int index = -1;
  int rc = AddPresets(&p, 1, &ui, &index);
  FreePreset(p);
  int sel = index >= 0 ? index : SelProgram;
  if (sel < 0 || sel >= NumPrograms || Program[sel].Deleted) {
    sel = -1;
    for (int i = 0; i < NumPrograms && sel < 0; ++i)
      if (!Program[i].Deleted) sel = i;
  }
  refillList(sel);
  auto inform = [this](const std::string& text) {
    MessageBox::showText(this, QString::fromStdString(text), MessageBox::Ok, 77, MessageBox::Information);
  };
  if (rc > 0) {
    showStoreError(rc);
  } else if (rc < 0) {
    inform(GetStr(strid::NoPresetsImported));
  } else if (info.Warnings.empty()) {
    inform(GetStr(strid::OnePresetImported));
  } else {
    std::string notes;
    for (const SbgMessage& w : info.Warnings) notes += (notes.empty() ? "" : "\n") + SbgMessageText(shown, w);
    inform(FormatMsg(strid::SessionImportNotes, {notes}));
  }
}

// The preset options dialog: the copy, selection of segment and voice, the
// change propagation, the test playback, OK and Cancel, the accelerators
// and the window's placement.
#include "prgdlg/PresetOptionsDialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <cstring>

#include "assert/check.h"
#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"
#include "dialog/MessageBox.h"
#include "dialog/WarningBox.h"
#include "dialog/placement.h"
#include "dialog/strids.h"
#include "file/store.h"
#include "main/arith.h"
#include "main/history.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetTimeline.h"
#include "prgdlg/SegmentClipboard.h"
#include "prgdlg/TestPlayback.h"
#include "prgdlg/WaveformPreview.h"
#include "reg/settings.h"

namespace {

// What the dialog showed last time, for keepSelection.
struct LastState {
  int Index = -1;
  int Segment = 0, Voice = 0, Tab = 0;
};
LastState gLast;

// The open dialog's working copy, for the internal error report.
Preset* gOpenCopy = nullptr;

const char* const kTabNames[6] = {
    QT_TRANSLATE_NOOP("PresetOptionsDialog", "General"),  QT_TRANSLATE_NOOP("PresetOptionsDialog", "Sound"),
    QT_TRANSLATE_NOOP("PresetOptionsDialog", "Waveform"), QT_TRANSLATE_NOOP("PresetOptionsDialog", "Background"),
    QT_TRANSLATE_NOOP("PresetOptionsDialog", "Noise"),    QT_TRANSLATE_NOOP("PresetOptionsDialog", "Visual")};

QString SegmentId(const Segment& s) {
  char id[3] = {s.Name[0], s.Name[1], 0};
  return QString::fromUtf8(id);
}

// The whole-preset timeline above the tabs, in dialog units (its height and
// the gap below it); the pages keep their size.
constexpr int kTimelineUnits = 51;
constexpr int kTimelineHeight = 48;

// The digit of Ctrl+0..9, also with Shift (which on most layouts turns the
// digit into a symbol); -1 for other keys.
int DigitOf(const QKeyEvent* e) {
  const int key = e->key();
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return key - Qt::Key_0;
  static const QString kShifted = QStringLiteral(")!@#$%^&*(");
  int d = e->text().isEmpty() ? -1 : int(kShifted.indexOf(e->text().at(0)));
  if (d < 0 && key < 0x80) d = int(kShifted.indexOf(QChar(key)));
  return d;
}

}  // namespace

PresetOptionsDialog::PresetOptionsDialog(QWidget* owner, int index, bool keepSelection)
    : DynDialog(owner, QSize(494, 292 + kTimelineUnits), QStringLiteral("preset_options")), Index(index), Owner(owner) {
  setObjectName(QStringLiteral("presetOptionsDialog"));
  setWindowTitle(tr("Preset Options"));
  if (TVK_CHECK(index >= 0 && index < NumPrograms, index)) CopyPreset(Prg, Program[index]);
  if (Prg.data.NumSegments < 1 || !Prg.ParamMem) {
    // Nothing usable to edit: a fresh segment rather than a crash.
    int sel = 0;
    Prg.data.NumSegments = 1;
    DeleteSegment(Prg, 0, rules(), &sel);
  }
  gOpenCopy = &Prg;
  History = std::make_unique<PresetHistory>(Prg);
  checkEasyChoices();
  if (keepSelection) {
    CurSegment = std::clamp(gLast.Segment, 0, Prg.data.NumSegments - 1);
    CurVoice = std::clamp(gLast.Voice, 0, std::max(Prg.data.Segment[CurSegment].NumVoices - 1, 0));
  }
  // The background parameter's row follows the copy's background.
  followBackground();

  DynLayout* l = dynLayout();
  const int y = kTimelineUnits;
  Tabs = new QTabBar(this);
  Tabs->setObjectName(QStringLiteral("tabs"));
  Tabs->setAccessibleName(tr("Preset options pages"));
  Tabs->setDrawBase(false);
  for (const char* name : kTabNames) Tabs->addTab(tr(name));
  l->addControl(Tabs, 7, 7 + y, 1010, 14);
  // The whole preset above the pages, seen from every tab while editing;
  // after the tabs in the focus chain, so the dialog still opens on them.
  Timeline = new PresetTimeline(this);
  l->addControl(Timeline, 7, 7, 1010, kTimelineHeight);
  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("tabFrame"));
  frame->setFrameShape(QFrame::StyledPanel);
  l->addControl(frame, 7, 20 + y, 1010, 980 - y);
  General = new GeneralPage(this);
  l->addControl(General, 8, 21 + y, 1008, 978 - y);
  Params = new ParamPage(this);
  new WaveformPreview(this, Params);
  l->addControl(Params, 8, 21 + y, 1008, 978 - y);
  ButtonRow buttons = addOkCancelHelp();
  Ok = buttons.Ok;
  Cancel = buttons.Cancel;
  Help = buttons.Help;

  General->fill();
  Params->rebind(false);
  updateTabCaptions();
  connect(Tabs, &QTabBar::currentChanged, this, [this](int t) {
    General->setVisible(t == 0);
    if (t > 0) Params->setDisplayTab(t);
    Params->setVisible(t > 0);
    followTab(t);
  });
  const int tab = keepSelection ? std::clamp(gLast.Tab, 0, 5) : 0;
  Tabs->setCurrentIndex(tab);
  General->setVisible(tab == 0);
  if (tab > 0) Params->setDisplayTab(tab);
  Params->setVisible(tab > 0);
  followTab(tab);
  // The timeline follows every edit and selection.
  connect(this, &PresetOptionsDialog::presetChanged, Timeline, &PresetTimeline::presetChanged);
  connect(this, &PresetOptionsDialog::segmentSelected, Timeline, &PresetTimeline::presetChanged);
  connect(this, &PresetOptionsDialog::voiceSelected, Timeline, &PresetTimeline::presetChanged);

  TestPlayback* t = TestPlayback::instance();
  connect(t, &TestPlayback::stateChanged, this, [this](bool running) {
    General->setTesting(running);
    syncPlayPosition();
    emit testStateChanged(running);
  });
  General->setTesting(t->running());
  placeFirst(owner);
  // The dialog's keys come before those of its controls.
  qApp->installEventFilter(this);
}

PresetOptionsDialog::~PresetOptionsDialog() {
  if (gOpenCopy == &Prg) gOpenCopy = nullptr;
  qApp->removeEventFilter(this);
  FreePreset(Prg);
}

Preset* PresetOptionsDialog::openCopy() { return gOpenCopy; }

int PresetOptionsDialog::presetOptions(QWidget* owner, int index, bool* renamed) {
  *renamed = false;
  if (!TVK_CHECK(index >= 0 && index < NumPrograms, index)) return EDITOR_CANCELLED;
  std::string before = Program[index].Name;
  PresetOptionsDialog d(owner, index, index == gLast.Index);
  int r = d.run();
  if (r != EDITOR_CANCELLED) *renamed = before != Program[index].Name;
  return r == EDITOR_CHANGED || r == EDITOR_UNCHANGED ? r : EDITOR_CANCELLED;
}

void PresetOptionsDialog::checkEasyChoices() {
  // An Easy choice the table does not know (a hand-made file) is reported
  // once; its curve is shown and edited as a user-defined one.
  for (int s = 0; s < Prg.data.NumSegments; ++s) {
    const Param* params = SegParams(Prg, s);
    for (int pid = 0; params && pid < SegParamCount(Prg.data.Segment[s]); ++pid) {
      const int EasySel = params[pid].EasySel;
      if (!TVK_CHECK_AS(EasySel == 0 || FindEasyEntry(EasySel) >= 0, "FindEasyEntry(EasySel)>=0", EasySel)) return;
    }
  }
}

// --- State ---------------------------------------------------------------------------

int PresetOptionsDialog::displayTab() const { return Tabs->currentIndex(); }

Param* PresetOptionsDialog::segmentParams() const { return SegParams(Prg, CurSegment); }

EditRules PresetOptionsDialog::rules() const {
  return EditRules{Cfg.Advanced.LinkAdjacentSegmentsInPresetOptions != 0, Cfg.Advanced.NodesInNewParam == 2 ? 2 : 3,
                   BgRow};
}

void PresetOptionsDialog::updateTabCaptions() {
  const int segs = Prg.data.NumSegments, voices = segment().NumVoices;
  const QString id = SegmentId(segment()), voice = QString::fromStdString(VoiceRow(CurVoice));
  for (int t = 0; t < 6; ++t)
    Tabs->setTabText(t, QString::fromStdString(TabCaption(t, tr(kTabNames[t]).toStdString(), id.toStdString(),
                                                          voice.toStdString(), segs, voices)));
  // A new segment ID is shown on the timeline too.
  Timeline->update();
}

void PresetOptionsDialog::followTab(int t) {
  // A parameter tab shows its top pane's parameter on the timeline, unless
  // one of its panes' is shown already.
  if (t < 1 || t > 5) return;
  int top = -1;
  for (int i = 2; i >= 0; --i) {
    const int row = PagePosition(3 * (t - 1) + i);
    if (row == Timeline->parameter()) return;
    if (row >= 0) top = row;
  }
  if (top >= 0) Timeline->setParameter(top);
}

// --- Selection ----------------------------------------------------------------------------

void PresetOptionsDialog::selectSegment(int s) {
  if (s < 0 || s >= Prg.data.NumSegments) return;
  General->commitEdits();
  CurSegment = s;
  if (CurVoice >= segment().NumVoices) CurVoice = 0;
  General->selectSegmentRow(s);
  General->showSegment();
  General->fillVoices();
  updateTabCaptions();
  Params->rebind(true);
  syncPlayPosition();
  emit segmentSelected(s);
}

void PresetOptionsDialog::selectVoice(int v) {
  if (v < 0 || v >= segment().NumVoices) return;
  CurVoice = v;
  General->selectVoiceRow(v);
  updateTabCaptions();
  Params->rebind(true);
  emit voiceSelected(v);
}

void PresetOptionsDialog::segmentsChanged(int select) {
  CurSegment = std::clamp(select, 0, Prg.data.NumSegments - 1);
  if (CurVoice >= segment().NumVoices) CurVoice = 0;
  General->fillSegments();
  General->showSegment();
  General->fillVoices();
  updateTabCaptions();
  Params->rebind(true);
  presetEdited();
  emit segmentSelected(CurSegment);
}

void PresetOptionsDialog::voicesChanged(int select) {
  CurVoice = std::clamp(select, 0, segment().NumVoices - 1);
  General->fillVoices();
  updateTabCaptions();
  Params->rebind(true);
  presetEdited();
  emit voiceSelected(CurVoice);
}

// --- Edits ---------------------------------------------------------------------------------

void PresetOptionsDialog::parameterChanged(int pid, const NodesChanged& change) {
  if (!TVK_CHECK_AS(pid >= 0 && pid < SegParamCount(segment()), "pid>=0 && pid<NSPAR+NVPAR*MAXVOICES", pid)) return;
  // Edited by hand, the curve is no longer the Easy choice it came from.
  Param& q = segmentParams()[pid];
  if (q.Tracking != 1) q.EasySel = 0;
  propagateChange(pid, change);
}

void PresetOptionsDialog::propagateChange(int pid, const NodesChanged& c, bool mergeUndo) {
  if (!TVK_CHECK_AS(pid >= 0 && pid < SegParamCount(segment()), "pid>=0 && pid<NSPAR+NVPAR*MAXVOICES", pid)) return;
  Param* params = segmentParams();
  Param& q = params[pid];
  NodeRange r;
  if (!c.All()) r = NodeRange{c.First, c.Last};
  bool restored = false;
  if (q.Tracking == 1) {
    RecomputeTracked(BgRow, params, segment(), pid, q.TrackSource);
    r = NodeRange();
  } else {
    if (rules().Link) {
      LinkResult lr = LinkAdjacent(BgRow, Prg, CurSegment, pid, c.All() ? NODES_ALL : c.First,
                                   c.All() ? NODES_ALL : c.Last, c.Moved);
      if (!r.Empty() && !lr.Range.Empty()) r = lr.Range;
      restored = lr.Restored;
    }
  }
  RecomputeDependents(BgRow, params, segment(), pid);
  Params->refreshCharts(pid, r, (c.Flags & NODES_FLAG_RANGE) != 0 || q.Tracking == 1);
  if (restored) WarningBox::ask(this, strid::NodeRestored, QString(), &Cfg.DoNotShowVolumeZeroWarning, true);
  presetEdited(mergeUndo);
  emit parameterEdited(pid);
}

void PresetOptionsDialog::presetEdited(bool merge) {
  History->Record(Prg, merge);
  emit presetChanged();
  TestPlayback* t = TestPlayback::instance();
  if (!t->running()) return;
  int seg = std::min(t->segment(), Prg.data.NumSegments - 1);
  if (int rc = t->update(Prg, seg, t->time())) testFailed(rc, TestPlayback::FAIL_START, 0);
  syncPlayPosition();
}

// --- Undo and redo ---------------------------------------------------------------------------

bool PresetOptionsDialog::undo() {
  General->commitEdits();
  History->Record(Prg);  // a name or description typed since the last edit
  if (!History->Undo(Prg)) return false;
  historyApplied();
  return true;
}

bool PresetOptionsDialog::redo() {
  General->commitEdits();
  if (History->Record(Prg)) return false;  // a new edit: nothing left to redo
  if (!History->Redo(Prg)) return false;
  historyApplied();
  return true;
}

void PresetOptionsDialog::followBackground() { BgRow = BackgroundParamRowFor(Prg); }

void PresetOptionsDialog::historyApplied() {
  followBackground();
  CurSegment = std::clamp(CurSegment, 0, Prg.data.NumSegments - 1);
  if (CurVoice >= segment().NumVoices) CurVoice = 0;
  General->fill();
  updateTabCaptions();
  Params->rebind(true);
  presetEdited();  // records nothing new; the test playback hears it
  emit segmentSelected(CurSegment);
  emit voiceSelected(CurVoice);
}

// --- Test playback ---------------------------------------------------------------------------

bool PresetOptionsDialog::testing() const { return TestPlayback::instance()->running(); }

void PresetOptionsDialog::playAt(int segment, int time) {
  TestPlayback* t = TestPlayback::instance();
  segment = std::clamp(segment, 0, Prg.data.NumSegments - 1);
  time = std::clamp(time, 0, 10000);
  if (t->running()) {
    if (int rc = t->update(Prg, segment, time)) testFailed(rc, TestPlayback::FAIL_START, 0);
  } else {
    TestPlayback::Failure where;
    int code = 0;
    if (int rc = t->start(Prg, segment, time, &where, &code)) testFailed(rc, where, code);
  }
  syncPlayPosition();
}

void PresetOptionsDialog::toggleTest() {
  if (testing())
    stopTest();
  else
    playAt(0, 0);
}

void PresetOptionsDialog::stopTest() { TestPlayback::instance()->stop(); }

void PresetOptionsDialog::testFailed(int rc, int failure, int code) {
  if (failure == TestPlayback::FAIL_DEVICE) {
    MessageBox::show(this, rc, {code});
    return;
  }
  // The start's messages name the background: the file, or the library and
  // the number.
  std::string bg;
  int n = Prg.data.Background;
  char file[NAMELEN + 1] = {};
  std::memcpy(file, Prg.data.BackgroundFile, NAMELEN);
  if (n == AMBIX_OTHER || n == AMBIX_LONG)
    bg = file;
  else
    bg = FormatPrintf(GetStr(strid::BackgroundFileEntry), file, n);
  MessageBox::show(this, rc, {bg, std::string(), std::string(), BackgroundReadReason()});
}

void PresetOptionsDialog::syncPlayPosition() {
  TestPlayback* t = TestPlayback::instance();
  Params->setPlayPosition(t->running(), t->running() && t->segment() == CurSegment ? t->time() : -1);
  Timeline->setPlayPosition(t->running(), t->segment(), t->time());
}

// --- Segments on the clipboard ------------------------------------------------------------

void PresetOptionsDialog::copySegment(int s) {
  if (s < 0 || s >= Prg.data.NumSegments) return;
  General->commitEdits();
  SegmentClipboard::put(Prg, s);
}

void PresetOptionsDialog::pasteSegment() {
  Preset clip{};
  QString why;
  switch (SegmentClipboard::take(&clip, &why)) {
    case SegmentClipboard::CLIP_NONE: QApplication::beep(); return;
    case SegmentClipboard::CLIP_BAD_TEXT: MessageBox::show(this, strid::SegmentClipBad, {why.toStdString()}); return;
    case SegmentClipboard::CLIP_SEGMENT: break;
  }
  General->commitEdits();
  // A segment of a preset with another background brings that background's
  // scale in its background parameter.
  // Derived rather than set and put back: setting would also leave the
  // clip's parameter name as the editor's.
  const ParamDefType ours = BgRow.Row;
  const ParamDefType theirs = BackgroundParamRowFor(clip).Row;
  if (theirs.Digits != ours.Digits || theirs.Min != ours.Min || theirs.Max != ours.Max || theirs.Easy != ours.Easy)
    RescaleSegmentBackgroundParam(SegParams(clip, 0), clip.data.Segment[0], theirs, ours, rules().Nodes);
  const int rc = InsertSegment(Prg, CurSegment, clip.data.Segment[0], SegParams(clip, 0), rules());
  FreePreset(clip);
  if (rc) {
    MessageBox::show(this, rc, {MAXSEGMENTS});
    return;
  }
  segmentsChanged(CurSegment + 1);
}

// --- OK and Cancel -----------------------------------------------------------------------------

void PresetOptionsDialog::accept() {
  General->commitEdits();
  // A preset without a name could not be told apart in the list nor saved.
  const char* first = Prg.Name;
  while (*first == ' ') ++first;
  if (!*first) {
    MessageBox::show(this, strid::EmptyName);
    Tabs->setCurrentIndex(0);
    General->nameEdit()->setFocus(Qt::OtherFocusReason);
    return;
  }
  // A preset that would stop with a sound still playing.
  if (!Prg.data.ContinuePlaying && !Cfg.DoNotShowSegEndZeroWarning) {
    int pid = EndCheckPid(Prg);
    if (pid >= 0) {
      QString name = QString::fromUtf8(GetStr(paramRow(ParamNumOfPid(pid)).Name));
      if (!WarningBox::ask(this, strid::SegmentEndNotZero, name, &Cfg.DoNotShowSegEndZeroWarning, false)) return;
    }
  }
  // A name typed here goes into one-line listings; one kept from a file is
  // left as it came.
  if (General->nameEdit()->isModified()) {
    if (int why = CheckEnteredName(General->nameEdit()->text().toStdString())) {
      MessageBox::show(this, why);
      Tabs->setCurrentIndex(0);
      General->nameEdit()->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
  // Another preset of the same name.
  const std::string_view name(Prg.Name, strnlen(Prg.Name, NAMELEN));
  for (int i = 0; i < NumPrograms; ++i) {
    const Preset& other = Program[i];
    if (i == Index || other.Deleted ||
        !SameTextNoCase(std::string_view(other.Name, strnlen(other.Name, NAMELEN)), name))
      continue;
    if (other.BuiltIn) {
      MessageBox::show(this, 95);
      return;
    }
    QString text = QString::fromStdString(FormatPrintf(GetStr(80), TextForLine(other.Name).c_str()));
    if (MessageBox::showText(this, text, MessageBox::YesNo, 0, MessageBox::Question) != MessageBox::AnsYes) return;
    if (int rc = DeletePreset(i, nullptr, false)) {
      MessageBox::show(this, rc, {StoreMessagePath(), 1000});
      return;
    }
  }
  // A background without a parameter leaves that curve a constant.
  const int bg = Prg.data.Background;
  char file[NAMELEN + 1] = {};
  std::memcpy(file, Prg.data.BackgroundFile, NAMELEN);
  int lib = bg < AMBIX_NONE ? FindBackground(bg, file) : -1;
  if (bg == AMBIX_NONE || bg == AMBIX_LONG || (lib >= 0 && !AmbixInfo[lib].HasParam)) ReduceBackgroundParam(Prg);
  bool changed = CopyPreset(Program[Index], Prg);
  // The edited preset is the one most recently used: the store releases
  // others' curves first.
  EnsureLoaded(Index);
  done(changed ? EDITOR_CHANGED : EDITOR_UNCHANGED);
}

void PresetOptionsDialog::reject() {
  if (Cfg.Advanced.ConfirmCancelInPresetOptions && ComparePresets(Prg, Program[Index]) != 0 &&
      MessageBox::showText(this, QString::fromUtf8(GetStr(strid::AskDiscardChanges)), MessageBox::YesNoDefaultNo, 0,
                           MessageBox::Question) != MessageBox::AnsYes)
    return;
  done(EDITOR_CANCELLED);
}

void PresetOptionsDialog::done(int r) {
  stopTest();
  savePlacement();
  gLast = LastState{Index, CurSegment, CurVoice, Tabs->currentIndex()};
  DynDialog::done(r);
}

// --- Keys ----------------------------------------------------------------------------------------

bool PresetOptionsDialog::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && watched->isWidgetType() && isVisible() &&
      static_cast<QWidget*>(watched)->window() == this && acceleratorKey(static_cast<QKeyEvent*>(e)))
    return true;
  return DynDialog::eventFilter(watched, e);
}

bool PresetOptionsDialog::acceleratorKey(QKeyEvent* e) {
  const Qt::KeyboardModifiers mods =
      e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
  const int key = e->key();
  const int segs = Prg.data.NumSegments, voices = segment().NumVoices;
  auto go = [](bool ok, auto&& act) {
    if (ok)
      act();
    else
      QApplication::beep();
    return true;
  };
  if (mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
    if (key >= Qt::Key_A && key <= Qt::Key_Y) {
      // The first segment whose ID starts with that letter.
      int found = -1;
      for (int s = 0; s < segs && found < 0; ++s)
        if (std::toupper(static_cast<unsigned char>(Prg.data.Segment[s].Name[0])) == 'A' + (key - Qt::Key_A)) found = s;
      return go(found >= 0, [&] { selectSegment(found); });
    }
    if (key == Qt::Key_Z) return true;  // not redo: Ctrl+Y is
    if (key == Qt::Key_Right) return go(CurSegment + 1 < segs, [&] { selectSegment(CurSegment + 1); });
    if (key == Qt::Key_Left) return go(CurSegment > 0, [&] { selectSegment(CurSegment - 1); });
    if (key == Qt::Key_Down) return go(CurVoice + 1 < voices, [&] { selectVoice(CurVoice + 1); });
    if (key == Qt::Key_Up) return go(CurVoice > 0, [&] { selectVoice(CurVoice - 1); });
  }
  if (mods == Qt::ControlModifier && (key == Qt::Key_Z || key == Qt::Key_Y)) {
    // A text field with its own undo keeps the keys for its text.
    QWidget* f = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(f);
        line && (key == Qt::Key_Z ? line->isUndoAvailable() : line->isRedoAvailable()))
      return false;
    if (auto* text = qobject_cast<QPlainTextEdit*>(f);
        text && (key == Qt::Key_Z ? text->document()->isUndoAvailable() : text->document()->isRedoAvailable()))
      return false;
    if (!(key == Qt::Key_Z ? undo() : redo())) QApplication::beep();
    return true;
  }
  // The tabs from the keyboard, as in any tabbed dialog.
  if ((mods & Qt::ControlModifier) &&
      (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_PageDown || key == Qt::Key_PageUp)) {
    const bool back = key == Qt::Key_Backtab || key == Qt::Key_PageUp || (mods & Qt::ShiftModifier);
    Tabs->setCurrentIndex((Tabs->currentIndex() + (back ? 5 : 1)) % 6);
    return true;
  }
  if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
    int d = DigitOf(e);
    if (d >= 0) {
      int v = d == 0 ? 9 : d - 1;
      return go(v < voices, [&] { selectVoice(v); });
    }
  }
  return false;
}

// --- Placement ---------------------------------------------------------------------------------

void PresetOptionsDialog::placeFirst(QWidget* owner) {
  if (Cfg.Options.X == CW_USEDEFAULT) {
    // The first time the charts get room to read their axes: the template
    // and 150 units more height (a page's three charts 50 units each, the
    // timeline above the tabs taking its share of the template), as
    // much as the screen's available height allows.
    QScreen* s = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QSize least = minimumSizeHint();
    int height = least.height() + dynLayout()->mapDialogRect(0, 0, 0, 150).height();
    if (s) height = std::min(height, s->availableGeometry().height() * 9 / 10);
    resize(least.width(), std::max(least.height(), height));
  }
  PlaceWindow(this, owner, Cfg.Options);
}

void PresetOptionsDialog::savePlacement() { Cfg.Options = SavedPlacement(this, Owner); }

int PresetOptions(QWidget* owner, int index, bool* renamed) {
  return PresetOptionsDialog::presetOptions(owner, index, renamed);
}

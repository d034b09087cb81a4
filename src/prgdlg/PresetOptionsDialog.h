// The preset options dialog (template 44): edits a private copy `prg` of one
// preset on the General tab and five parameter tabs, and writes it back
// only on OK, after the end check (332) and the name check (95, 80).
// Cancel, Esc and the close box lose the copy (asking 375 when it
// changed and the settings say so).
//
// The dialog owns the editor's state that its pages share: `prg`, the
// current segment and voice, the linking rules, the change propagation
// after an edit, and the test playback. The General page (GeneralPage) and
// the parameter page (ParamPage) bind it to widgets; the rules themselves
// are model code (main/presetedit.h, main/curveedit.h).
//
// Main thread only.
#pragma once
#include <QPointer>
#include <memory>

#include "dlggen/DynDialog.h"
#include "main/model.h"
#include "main/presetedit.h"

// A rule rewrote a whole curve (an Easy choice, joined channels), whose
// values may now lie outside the displayed range.
inline constexpr NodesChanged kWholeCurveChanged{NODES_ALL, NODES_ALL, -1, NODES_FLAG_RANGE};

class QPushButton;
class QTabBar;
class GeneralPage;
class ParamPage;
class PresetHistory;
class PresetTimeline;

class PresetOptionsDialog : public DynDialog {
  Q_OBJECT
 public:
  // Edits Program[index]; with keepSelection the segment, voice and tab of
  // the last time are shown again, else the first ones.
  PresetOptionsDialog(QWidget* owner, int index, bool keepSelection);
  ~PresetOptionsDialog() override;

  // PresetOptions: runs the dialog; 0 cancelled, 1 OK without a change, 2 OK
  // with a change (*renamed when the name changed). The main window's hook.
  static int presetOptions(QWidget* owner, int index, bool* renamed);
  // The working copy of the open dialog, null when none is open: the
  // internal error report records it beside the selected preset.
  static Preset* openCopy();

  // --- The editor's state ---------------------------------------------------
  Preset& prg() { return Prg; }
  int presetIndex() const { return Index; }
  int currentSegment() const { return CurSegment; }
  int currentVoice() const { return CurVoice; }
  // 0 General, 1 Sound, 2 Waveform, 3 Background, 4 Noise, 5 Visual.
  int displayTab() const;
  Param* segmentParams() const;
  const Segment& segment() const { return Prg.data.Segment[CurSegment]; }
  // The linking setting and the nodes of a new curve.
  EditRules rules() const;
  // Row 6 as the copy's background gives it; the pages and charts read
  // every row through paramRow so that row 6 is always this preset's.
  const BackgroundParamRow& backgroundRow() const { return BgRow; }
  const ParamDefType& paramRow(int row) const { return ParamRowOf(BgRow, row); }
  const char* paramName(int row) const { return ParamRowName(BgRow, row); }
  // Takes row 6 from the copy's background (after a choice, undo or redo).
  void followBackground();

  GeneralPage* generalPage() const { return General; }
  ParamPage* paramPage() const { return Params; }
  PresetTimeline* timeline() const { return Timeline; }
  QTabBar* tabs() const { return Tabs; }
  QPushButton* okButton() const { return Ok; }
  QPushButton* cancelButton() const { return Cancel; }

  // --- Selection --------------------------------------------------------------
  // Makes a segment or voice current; the pages rebind to it.
  void selectSegment(int s);
  void selectVoice(int v);
  // After segments or voices changed (added, deleted, moved): the lists are
  // rebuilt and the pages rebound; `ranges` recomputes the charts' ranges.
  void segmentsChanged(int select);
  void voicesChanged(int select);
  // The tab captions for the current segment and voice.
  void updateTabCaptions();

  // --- Edits ----------------------------------------------------------------------
  // Nodes of parameter `pid` in the current segment changed (as the chart
  // tells them): tracking or linking, the charts, warning 264, the
  // parameters tracking it, and the test playback.
  void parameterChanged(int pid, const NodesChanged& change);
  // The same after a rule changed the curve (an Easy choice, joined
  // channels): its Easy choice stays. With `mergeUndo` the change joins the
  // last undo step (the other curves one choice set).
  void propagateChange(int pid, const NodesChanged& change, bool mergeUndo = false);
  // Something of the preset changed outside the curves (segment fields,
  // background, colours): the test playback hears it. Every edit passes
  // here, and the copy's state becomes an undo step (with `merge`, part of
  // the last one).
  void presetEdited(bool merge = false);

  // --- Segments on the clipboard ----------------------------------------------------
  // Copies segment s (all its parameters); pastes a copied segment as a new
  // segment after the current one, with an added segment's limit (1283) and
  // linking, as one undo step.
  void copySegment(int s);
  void pasteSegment();

  // --- Undo and redo (Ctrl+Z, Ctrl+Y) -------------------------------------------
  // Steps the copy back or forth, edits typed but not confirmed first; the
  // pages show the result. False when there is nothing to undo or redo.
  bool undo();
  bool redo();

  // --- Test playback ----------------------------------------------------------------
  // Starts at segment and segment time, or moves a running test there.
  void playAt(int segment, int time);
  void toggleTest();
  void stopTest();
  bool testing() const;

 Q_SIGNALS:
  void segmentSelected(int s);
  void voiceSelected(int v);
  void testStateChanged(bool running);
  // Parameter `pid` of the current segment was edited and propagated.
  void parameterEdited(int pid);
  // The copy changed (every edit, undo and redo).
  void presetChanged();

 protected:
  void accept() override;
  void reject() override;
  void done(int r) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  bool acceleratorKey(QKeyEvent* e);
  void checkEasyChoices();
  void savePlacement();
  void placeFirst(QWidget* owner);
  void testFailed(int rc, int failure, int code);
  void syncPlayPosition();
  void historyApplied();
  void followTab(int t);

  Preset Prg{};
  std::unique_ptr<PresetHistory> History;
  BackgroundParamRow BgRow;
  int Index = 0;
  int CurSegment = 0, CurVoice = 0;
  QTabBar* Tabs = nullptr;
  GeneralPage* General = nullptr;
  ParamPage* Params = nullptr;
  PresetTimeline* Timeline = nullptr;
  QPushButton *Ok = nullptr, *Cancel = nullptr, *Help = nullptr;
  QPointer<QWidget> Owner;
};

// PresetOptions (the main window's hook): PresetOptionsDialog::presetOptions.
int PresetOptions(QWidget* owner, int index, bool* renamed);

// The parameter page of the preset options dialog: one page shared by the
// five parameter tabs (Sound, Waveform, Background, Noise, Visual), holding
// a chart per page position (control 180 + position); the three charts of
// the display tab are shown, each under its parameter's name.
//
// The charts are bound to the current segment and voice of the dialog's
// copy: the shown channel of a parameter with separate channels,
// read-only while the parameter tracks another, and for the beat frequency
// of a voice whose pitch channels are separate the derived curve (right
// pitch minus left pitch). Their edits go to the dialog's change
// propagation.
//
// Each pane also holds its name line, the Left / Right radios, the Easy
// combo box, "Set left/right separately", "Track:" with its destination
// list and "...", and "Modulation..." where the parameter has one; which of
// them show is main/paramrules.h's PaneContents. The Noise tab's bottom
// pane holds "Noise source inside the head (invert right/left)".
//
// Main thread only.
#pragma once
#include <QWidget>

#include "main/curveedit.h"

class PresetOptionsDialog;
class ParameterChart;
class DynLayout;
class QLabel;
class QComboBox;
class QCheckBox;
class QRadioButton;
class QPushButton;

constexpr int PAGE_POSITIONS = 15;  // page positions 0..14 (5 and 11 hold no chart)

// The help page of a parameter (a ParamNum): "param_beat", ...; the three
// parameters of a modulation share their modulation's page.
QString ParamHelpTopic(int paramNum);

class ParamPage : public QWidget {
  Q_OBJECT
 public:
  explicit ParamPage(PresetOptionsDialog* dialog);

  // Shows the panes of display tab t (1 Sound .. 5 Visual).
  void setDisplayTab(int t);
  int displayTab() const { return Tab; }
  // Binds every chart to the current segment and voice; with `ranges` each
  // recomputes its value range (and its layout when that changed).
  void rebind(bool ranges);
  // The segment's length changed.
  void lengthChanged();
  // Parameter `pid` changed in nodes r (empty: all): its chart redraws those
  // (recomputing its range first when `range`); the other charts, which may
  // show parameters that follow it, redraw whole.
  void refreshCharts(int pid, const NodeRange& r, bool range);
  // The test playback: whether it runs, and its time in this segment (-1:
  // another segment).
  void setPlayPosition(bool playing, int time);

  // The chart of a page position (null for positions without one), and the
  // pid it shows (-1 when none).
  ParameterChart* chart(int position) const;
  int chartPid(int position) const;
  // The chart of a display tab's pane (0 top, 1 middle, 2 bottom).
  ParameterChart* paneChart(int pane) const;
  QLabel* paneName(int position) const;
  // The pane controls of a page position (null where it has none).
  QComboBox* easyBox(int position) const;
  QCheckBox* separateBox(int position) const;
  QRadioButton* channelRadio(int position, int channel) const;  // 1 left, 2 right
  QCheckBox* trackBox(int position) const;
  QComboBox* trackList(int position) const;
  QPushButton* trackOptionsButton(int position) const;
  QPushButton* modulationButton(int position) const;
  QCheckBox* noiseInsideHeadBox() const { return NoiseInsideHead; }

  // Rebuilds the panes' controls from the copy (after a change of the
  // parameter, its choice, its channels, the background or the tab).
  void updatePanes();
  // "Modulation..." of the pane at page position `position`: the modulation
  // window for the pane's modulation, modal; the panes (and the button's
  // ON/OFF) are rebuilt when it closes.
  void openModulation(int position);

 protected:
  void showEvent(QShowEvent* e) override;
  // F1 on a pane's control opens that pane's parameter page.
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // The page position whose pane holds `w`, or -1.
  int paneOf(const QWidget* w) const;
  struct Pane {
    QLabel* Name = nullptr;
    ParameterChart* Chart = nullptr;
    QRadioButton *Left = nullptr, *Right = nullptr;
    QComboBox* Easy = nullptr;
    QCheckBox* Separate = nullptr;
    QCheckBox* Track = nullptr;
    QComboBox* TrackList = nullptr;
    QPushButton* TrackOptions = nullptr;
    QPushButton* Modulation = nullptr;
    int ParamNum = -1;
    int Pid = -1;
  };
  void createControls(int position);
  void bindPane(int position, bool ranges);
  void updatePane(int position);
  void easyChosen(int position, int easySel);
  void separateToggled(int position, bool on);
  void channelChosen(int position, int channel);
  void trackToggled(int position, bool on);
  void destinationChosen(int position, int dest);
  void trackOptions(int position);
  int shownPid(int position) const;
  void noiseInsideHeadToggled(bool on);

  PresetOptionsDialog* D;
  DynLayout* L;
  Pane Panes[PAGE_POSITIONS];
  QCheckBox* NoiseInsideHead = nullptr;
  int Tab = 1;
};

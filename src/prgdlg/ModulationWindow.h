// The modulation window (template 47 hosting page 48): the depth, period
// and phase of one modulation of the current segment and voice, three
// panes under the modulation's name ("Sound Modulation", "Background
// Modulation", "Visual Modulation", "Visual Modulation, Color 2", "Noise
// Modulation"). Each pane shows its parameter's Easy choice, or the chart
// with the Easy box on "User-defined..."; period and phase show nothing
// while the depth leaves them unused (ParamInUse). The window is as large as
// what shows: the Easy boxes alone, or room for the charts. Edits go to the
// dialog's copy through its change propagation, so a running test playback
// hears them at once.
//
// A pane's "Modulation..." button opens it modally over the parameter page
// (ModulationWindow::open); its text comes from ModulationButtonText
// (main/paramrules.h).
//
// Main thread only.
#pragma once
#include "dlggen/DynDialog.h"
#include "main/chartmath.h"

class PresetOptionsDialog;
class ParameterChart;
class QComboBox;
class QLabel;

class ModulationWindow : public DynDialog {
  Q_OBJECT
 public:
  // `base`: the ParamNum of the modulation's depth (ModulationOfPane); its
  // period and phase follow at base + 1 and base + 2.
  ModulationWindow(PresetOptionsDialog* dialog, int base);

  // Runs the window for modulation `base` until it is closed; the caller
  // then rebuilds the pane whose button opened it.
  static void open(PresetOptionsDialog* dialog, int base);

  int base() const { return Base; }
  ParameterChart* chart(int pane) const { return Panes[pane].Chart; }
  QComboBox* easyBox(int pane) const { return Panes[pane].Easy; }
  QLabel* paneName(int pane) const { return Panes[pane].Name; }
  // The pid pane i edits (the channel shown).
  int panePid(int pane) const { return Panes[pane].Pid; }
  // Binds the three panes again.
  void rebuild();

 protected:
  void done(int r) override;

 private:
  struct Pane {
    QLabel* Name = nullptr;
    QComboBox* Easy = nullptr;
    ParameterChart* Chart = nullptr;
    int Pid = -1;
  };
  void bindPane(int i);
  void easyChosen(int i);
  void nodesChanged(int i, const NodesChanged& change);
  void place();
  bool showsCharts() const;
  // Sets the least size to what the panes show and returns the size to
  // take: that least size without charts, else `now` grown to give each
  // chart room.
  QSize fitContent(QSize now);

  PresetOptionsDialog* D;
  int Base;
  Pane Panes[3];
  QWidget* Content = nullptr;
  bool Placed = false;
};

// Check Light Signal: reads a sound file for the AudioStrobe carrier and
// shows what goggles would light, as charts of both eyes' brightness and
// flash frequency over the file's time, with the selected preset's own
// curves laid over them (offered always, shown at once when the file
// follows the preset or carries its name). While the file is decoded a
// progress line with Cancel (or Esc) shows; a cancelled check shows the part
// read.
//
// Main thread only.
#pragma once
#include <QElapsedTimer>
#include <QString>
#include <vector>

#include "dlggen/DynDialog.h"
#include "lightchk/lightfile.h"
#include "lightchk/presetlight.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class LightChart;

class LightCheckDialog : public DynDialog {
  Q_OBJECT
 public:
  // `preset`: the selected preset with its curves resident, or null; only
  // read while the dialog is made.
  LightCheckDialog(QWidget* owner, const QString& path, const LightLevels& levels, const Preset* preset);

  // Shows the dialog, checks the file and waits until it is closed. A file
  // that cannot be read is told in a message naming it.
  static void checkFile(QWidget* owner, const QString& path, const LightLevels& levels, const Preset* preset);

  // --- Observed by tests -----------------------------------------------------
  LightChart* chart() const { return Chart; }
  QLabel* summary() const { return Summary; }
  QLabel* readout() const { return Readout; }
  QProgressBar* progressBar() const { return Bar; }
  QPushButton* cancelButton() const { return Cancel; }
  QCheckBox* presetBox() const { return ShowPreset; }
  bool checking() const { return Checking; }
  const LightReport& report() const { return Report; }

 public slots:
  // Decodes the file (pumping events) and shows the outcome.
  void runCheck();
  void reject() override;

 private:
  QString Path;
  LightLevels Levels;
  QString PresetName;
  std::vector<LightCurvePoint> Curve;
  LightReport Report;
  QLabel *File, *Caption, *Summary, *Readout;
  QProgressBar* Bar;
  QPushButton *Cancel, *Close;
  QCheckBox* ShowPreset;
  LightChart* Chart;
  bool Checking = false, Cancelled = false, CloseAfter = false;
  QElapsedTimer Pumped;

  static bool progress(void* ctx, int position);
  void showOutcome(int rc, const std::string& reason);
};

// Tracking Options (dialog 53): how a tracking parameter follows its
// destination, either as two ranges ("when the destination goes from .. to
// .., change this one from .. to ..") or as the Y intercept and Y/X slope
// directly, each recomputed from the other as the user types; and the
// limits the parameter is kept in. OK validates every field (235-238) and
// writes the record only when all pass.
//
// Main thread only.
#pragma once
#include "dlggen/DynDialog.h"
#include "main/model.h"

class QLineEdit;
class QRadioButton;

class TrackingOptionsDialog : public DynDialog {
  Q_OBJECT
 public:
  // Record `pid` of `params` tracks its TrackSource; both in use. `bg`: row
  // 6 as the edited preset's background gives it.
  TrackingOptionsDialog(QWidget* owner, Param* params, int pid, const BackgroundParamRow& bg);
  void accept() override;

  QLineEdit* field(const char* name) const;
  QRadioButton* rangesMode() const { return Ranges; }
  QRadioButton* directMode() const { return Direct; }

 private:
  void modeChanged();
  void rangesEdited();
  void coefficientsEdited();

  const ParamDefType& row(int n) const { return ParamRowOf(Bg, n); }

  Param* Params;
  BackgroundParamRow Bg;
  int Pid, ParamNum, DestNum;
  QLineEdit *DestFrom, *DestTo, *From, *To, *Intercept, *Slope, *MinLimit, *MaxLimit;
  QRadioButton *Ranges, *Direct;
};

// Sweep Parameters (dialog 52): the sweep that starts at a chart's focused
// node: its two values (and Z values), "&Constant", the two times in
// minutes, the weight in percent with "&Linear sweep", and "Symmet&ric
// node". For the last node only its own value can be edited. OK validates
// every field with the shared validator (231-234) before anything is stored.
//
// Main thread only.
#pragma once
#include <QPoint>

#include "dlggen/DynDialog.h"
#include "main/curveedit.h"

class QCheckBox;
class QLineEdit;

class NodeDialog : public DynDialog {
  Q_OBJECT
 public:
  // `unitId`: the string id of the row's unit (the chart's).
  NodeDialog(QWidget* owner, const Param& p, const ChartValueDef& d, int unitId, int node, int32_t length);

  QLineEdit* fromEdit() const { return From; }
  QLineEdit* toEdit() const { return To; }
  QLineEdit* fromZEdit() const { return FromZ; }
  QLineEdit* toZEdit() const { return ToZ; }
  QLineEdit* timeFromEdit() const { return TimeFrom; }
  QLineEdit* timeToEdit() const { return TimeTo; }
  QLineEdit* weightEdit() const { return Weight; }
  QCheckBox* constantBox() const { return Constant; }
  QCheckBox* linearBox() const { return Linear; }
  QCheckBox* symmetricBox() const { return Symmetric; }
  // The values accepted (valid after OK).
  const SweepEdit& edit() const { return Edit; }
  void accept() override;

  // Runs the dialog for node `node` of `p` beside the screen point `near`;
  // on OK stores the sweep and returns true with the nodes to redraw.
  static bool editSweep(QWidget* owner, QPoint near, Param& p, const ChartValueDef& d, int unitId, int node,
                        int32_t length, NodeRange* changed);

 private:
  ChartValueDef Def;
  SweepEditScope Scope;
  SweepEdit Edit;
  QLineEdit *From = nullptr, *To = nullptr, *FromZ = nullptr, *ToZ = nullptr;
  QLineEdit *TimeFrom = nullptr, *TimeTo = nullptr, *Weight = nullptr;
  QCheckBox *Constant = nullptr, *Linear = nullptr, *Symmetric = nullptr;
};

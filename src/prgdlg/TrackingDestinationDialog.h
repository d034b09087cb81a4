// Tracking Destination (dialog 54): every parameter of the segment that a
// parameter may track, as a tree by voice with the segment's own parameters
// last. Destinations are bold; OK without one selected (nothing, or a group
// item such as a voice) shows 1324 and keeps the window open.
//
// Main thread only.
#pragma once
#include "dlggen/DynDialog.h"
#include "main/model.h"

class QTreeWidget;

class TrackingDestinationDialog : public DynDialog {
  Q_OBJECT
 public:
  // The destinations for record `pid` of `params`, a segment `seg`.
  TrackingDestinationDialog(QWidget* owner, const Param* params, const Segment& seg, int pid);
  void accept() override;
  // The chosen pid (after OK).
  int destination() const { return Destination; }
  QTreeWidget* tree() const { return Tree; }

 private:
  QTreeWidget* Tree;
  int Destination = -1;
};

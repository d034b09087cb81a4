// The parameter chart: one parameter curve of one segment drawn against the
// segment's time, with a grid and labelled axes, edited with the mouse, the
// keyboard, a context menu and the node dialog.
//
// It edits the parameter record it is given in place and tells its parent
// which nodes changed (nodesChanged, a NodesChanged of chartmath.h);
// the parent applies the preset's rules (tracking, linking of adjacent
// segments) and may tell the chart to redraw ranges. With a second record it
// shows a derived, read-only curve: second minus first (the beat frequency of
// a voice whose pitch channels are separate).
//
// The arithmetic (grid steps, range, value mapping, handle weights) is in
// main/chartmath.h and the curve edits in main/curveedit.h; this class maps
// them to pixels and events. Geometry is cached per node and recomputed for
// the nodes that changed; repaints cover only the changed nodes' area.
//
// Main thread only.
#pragma once
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <memory>
#include <vector>

#include "chart/ScrollPacer.h"
#include "main/chartmath.h"
#include "main/curveedit.h"
#include "main/model.h"

class QMenu;
class QAction;

class ParameterChart : public QWidget {
  Q_OBJECT
 public:
  explicit ParameterChart(QWidget* parent = nullptr);
  ~ParameterChart() override;

  // --- What the parent tells the chart --------------------------------------
  // The segment's length (hundredths of a minute); the layout follows once
  // the range has been computed.
  void setSegmentLength(int32_t length);
  // The value definition: fixed range (Flag A), unit text id, shown decimals
  // (Flag B), minimum and maximum in display units.
  void setValueDefinition(bool fixedRange, int unitId, int shown, int min, int max);
  // The record to show: read-only, the stored decimals, two halves (Z). The
  // first call computes the range and the layout; the focus goes to node 0.
  void setParameter(Param* p, bool readOnly, int decimals, bool z);
  // A second record (derived-curve mode, read-only) and the pane's ParamNum;
  // null leaves the mode.
  void setSecondRecord(int paramNum, Param* second);
  // Convenience: everything from row `paramNum` at once, row 6 as the
  // background `bg` of the edited preset gives it.
  void bind(const BackgroundParamRow& bg, int paramNum, Param* p, Param* second, bool readOnly, int32_t length);
  // The same for a preset without a background row of its own.
  void bind(int paramNum, Param* p, Param* second, bool readOnly, int32_t length);
  // Nodes first..last changed (first < 0: all; first > last: none): their
  // geometry is recomputed and redrawn; `handles` recomputes the weight
  // handles too. In derived-curve mode the whole curve and its range.
  void invalidateNodes(int first, int last, bool handles);
  // Margins, mapping and grid steps, then all nodes (derived-curve mode only
  // when `derived`).
  void recomputeLayout(bool derived = false);
  // The displayed range from the curve (the bounds asked for); true when it
  // changed (the caller then recomputes the layout). Ignored in derived-curve
  // mode unless `derived`.
  bool recomputeRange(bool lower = true, bool upper = true, bool derived = false);
  // A test playback: whether one runs (the menu offers "Stop Playing") and
  // the time it plays at in this chart's segment (-1: another segment).
  void setTestPlaying(bool playing, int time);

  // --- State (for the parent and tests) -------------------------------------
  Param* parameter() const { return Pa; }
  bool readOnly() const { return ReadOnly; }
  bool derived() const { return Pa2 != nullptr; }
  int focusedNode() const { return SelectedArea; }
  void setFocusedNode(int i);
  int grabbedHandle() const { return Grabbed; }
  ChartRange displayedRange() const { return Range; }
  int divisionX() const { return DivisionX; }
  int divisionY() const { return DivisionY; }
  int playTime() const { return PlayTime; }
  bool scrolling() const;
  // Replaces what paces the scrolling past the plot's edge (a QTimer unless
  // a test installs its own); the chart owns it.
  void setScrollPacer(std::unique_ptr<ScrollPacer> pacer);
  // The status line's text ("" when it is not shown).
  QString statusText() const;
  // While a test playback runs in this segment and the pointer is over the
  // chart: the curve's value at the play position, shown at the top right
  // so the user can hear what a value sounds like ("" otherwise).
  QString playValueText() const;
  // Widget coordinates of a node, its Z point and the focused node's handles
  // (0 incoming, 1 outgoing); the plot rectangle.
  QPointF nodePoint(int i) const;
  QPointF zPoint(int i) const;
  QPointF handlePoint(int which) const;
  int handleCount() const { return NumHandles; }
  QRectF plotRect() const;
  // Logical coordinates at a widget point.
  int timeAt(double x) const;
  int64_t logicalYAt(double y) const;
  // The context menus (menu 31 for nodes, 32 for the value axis).
  QMenu* nodeMenu() const { return NodeMenu; }
  QMenu* axisMenu() const { return AxisMenu; }

  // --- The value a screen reader reads and sets ------------------------------
  // The focused node's value in display units; false when no node can be
  // edited (read-only, derived curve, nothing bound).
  bool focusedValue(double* value) const;
  // Sets it as the Up and Down keys do (kept within the definition's limits;
  // the parent is told). Nothing happens when no node can be edited.
  void setFocusedValue(double value);
  ChartValueDef valueDefinition() const { return Def; }

  // --- Commands (menu 31, 32 and the keys) -----------------------------------
  void editNode();
  void deleteNode();
  void insertNode();
  void toggleSymmetric();
  void refreshRange();
  // Copy Curve (Ctrl+C): the curve onto the clipboard. Paste Curve (Ctrl+V):
  // a curve from the clipboard replaces this one, stretched to this
  // segment's length; the parent is told that the whole curve changed.
  void copyCurve();
  void pasteCurve();

 Q_SIGNALS:
  // A node got the focus.
  void nodeFocused(int index);
  // Nodes First..Last changed (NODES_ALL/NODES_ALL: the whole curve), Moved
  // the node the user moved; flag NODES_FLAG_RANGE: values may lie outside
  // the displayed range.
  void nodesChanged(const NodesChanged& change);
  // "Play Here" at a segment time, and "Stop Playing".
  void playHere(int time);
  void stopPlaying();
  // F1: the parent opens the parameter's help.
  void helpRequested();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool event(QEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // Node geometry in widget coordinates: the node, its Z point, and the
  // 21 points of the sweep that starts at it (value and Z).
  struct Geo {
    QPointF Pt, ZPt;
    QPointF Sweep[21], ZSweep[21];
    QRectF Bounds;         // the sweep's area, the node box included
    QPainterPath Outline;  // the sweep stroked with the curve's thick pen
  };
  // What a point hits.
  enum HitKind { HIT_NONE, HIT_HANDLE, HIT_NODE, HIT_SWEEP };
  struct Hit {
    HitKind Kind = HIT_NONE;
    int Index = -1;  // node, or handle 0/1
  };

  // --- Geometry (ParameterChart.cpp) ---
  int nodeCount() const;
  double xOf(int64_t t) const;
  double yOfLogical(int64_t y) const;
  double yOfValue(int64_t stored) const;
  void computeGeometry(int first, int last);
  void computeDerived();
  void computeHandles();
  QRectF nodeBox(int i) const;
  QRectF handleBox(int which) const;
  QRectF changedArea(int first, int last) const;
  void updateStatus();
  QString valueText(int64_t stored) const;
  // Node i's value and time as the status line shows them.
  QString nodeText(int i) const;
  QString timeText(int t) const;
  void paintGrid(QPainter& p, const QRect& area);
  void paintCurve(QPainter& p, const QRect& area);
  void paintHandles(QPainter& p);
  void paintStatus(QPainter& p);
  void extremes(int64_t* lo, int64_t* hi) const;

  // --- Input (ChartInput.cpp) ---
  Hit hitTest(QPointF pos, bool handles) const;
  void focusNode(int i, bool notify);
  void dragTo(QPointF pos, Qt::KeyboardModifiers mods);
  void dragHandle(QPointF target);
  void scrollTick();
  void notifyChanged(int first, int last, int moved, int flags);
  void afterKeyEdit(int first, int last, bool outOfRange);
  // The focused node's value (or Z value) set to a stored value, and the
  // edit announced as a key's.
  void setFocusedStored(int64_t value, bool zHalf);
  void showNodeMenu(QPoint global);
  void createMenus();
  ChartValueDef valueDef() const { return Def; }

  // --- The parameter ---
  Param* Pa = nullptr;
  Param* Pa2 = nullptr;
  ChartValueDef Def;
  int UnitId = 339;
  BackgroundParamRow Background;  // the edited preset's row 6 and its name
  bool ReadOnly = false;
  int32_t Length = 1000;
  ChartRange Range;
  bool RangeUnset = true;

  // --- Layout (widget pixels) ---
  double OriginX = 0, OriginY = 0, ExtentX = 1, ExtentY = 1;  // ExtentY: plot height, y grows upwards
  int LeftMargin = 0, CharW = 6, FontH = 13, MinLabelW = 0, LengthLabelW = 0;
  int DivisionX = 1, DivisionY = 1;
  std::vector<Geo> Geom;
  std::vector<QPointF> DerivedPts;
  std::vector<int64_t> DerivedValues;

  // --- Focus, handles, dragging ---
  int SelectedArea = 0;
  int Grabbed = -2;  // -2 nothing, -1 the node, 0 incoming handle, 1 outgoing handle
  int NumHandles = 0;
  QPointF HandlePt[2];
  int DragState = 0;  // 0 idle, 1 pressed, 2 dragging
  QPointF PressPoint, Offset;
  int ZMode = 2;  // 0 value, 1 Z value, 2 undecided
  NodeRange DragRange;
  QPointF LastMouse;
  Qt::KeyboardModifiers LastMods;
  std::unique_ptr<ScrollPacer> Pacer;
  bool HasFocus = false;
  int StatusRight = 0;

  // --- Test playback ---
  bool TestPlaying = false;
  int PlayTime = -1;
  bool Hovered = false;
  void updatePlayValue();
  int MenuTime = 0;

  QMenu* NodeMenu = nullptr;
  QMenu* AxisMenu = nullptr;
  QAction *EditAct = nullptr, *SymmetricAct = nullptr, *DeleteAct = nullptr, *InsertAct = nullptr,
          *PlayHereAct = nullptr, *StopAct = nullptr, *RefreshAct = nullptr, *CopyAct = nullptr, *PasteAct = nullptr;
};

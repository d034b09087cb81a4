// The parameter chart's input: hit testing, the mouse (dragging nodes and
// weight handles with the 5-pixel threshold, auto-scrolling past the plot's
// edge), the keyboard, the context menus and the editing commands.
#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include "assert/check.h"
#include "chart/CurveClipboard.h"
#include "chart/ParameterChart.h"
#include "data/backgrounds/bglib.h"
#include "dialog/MessageBox.h"
#include "dialog/NodeDialog.h"
#include "dialog/strids.h"
#include "main/preset.h"
#include "main/strtab.h"

namespace {

constexpr double kDragThreshold2 = 25;  // squared pixels before a press becomes a drag
constexpr double kNodeHit = 8 + 2 * 2;  // a node box enlarged by a quarter of its size on each side
constexpr double kHandleHit = 9;        // a handle is small; it answers a little around it
constexpr int kKeyTimeStep = 500;       // Shift/Ctrl+Left/Right move a node by 5 % of the segment

int64_t Pow10(int n) {
  int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

}  // namespace

// --- Hit testing ------------------------------------------------------------------

ParameterChart::Hit ParameterChart::hitTest(QPointF pos, bool handles) const {
  if (!Pa) return {};
  const int n = nodeCount();
  const QRectF plot = plotRect();
  if (Pa2) {
    // A derived curve has no nodes to take; its area still offers the menu.
    if (pos.x() >= plot.left() && pos.x() <= plot.right() && pos.y() >= plot.top() && pos.y() <= plot.bottom())
      return {HIT_SWEEP, 0};
    return {};
  }
  if (handles && HasFocus && !ReadOnly)
    for (int h = 0; h < 2; ++h)
      if (!HandlePt[h].isNull() &&
          QRectF(HandlePt[h].x() - kHandleHit / 2, HandlePt[h].y() - kHandleHit / 2, kHandleHit, kHandleHit)
              .contains(pos))
        return {HIT_HANDLE, h};
  for (int i = n - 1; i >= 0; --i) {
    QPointF c = nodePoint(i);
    if (QRectF(c.x() - kNodeHit / 2, c.y() - kNodeHit / 2, kNodeHit, kNodeHit).contains(pos)) return {HIT_NODE, i};
  }
  if (pos.y() < plot.top() || pos.y() > plot.bottom()) return {};
  for (int i = 0; i + 1 < n; ++i)
    if (pos.x() >= nodePoint(i).x() && pos.x() <= nodePoint(i + 1).x()) return {HIT_SWEEP, i};
  return {};
}

void ParameterChart::setFocusedNode(int i) { focusNode(i, false); }

void ParameterChart::focusNode(int i, bool notify) {
  const int n = nodeCount();
  if (n == 0) return;
  i = std::clamp(i, 0, n - 1);
  if (i != SelectedArea) {
    int old = SelectedArea;
    QRectF area = changedArea(old, old);
    for (int h = 0; h < 2; ++h)
      if (!HandlePt[h].isNull()) area = area.united(QRectF(nodePoint(old), HandlePt[h]).normalized());
    SelectedArea = i;
    computeHandles();
    area = area.united(changedArea(i, i));
    for (int h = 0; h < 2; ++h)
      if (!HandlePt[h].isNull()) area = area.united(QRectF(nodePoint(i), HandlePt[h]).normalized());
    update(area.adjusted(-8, -8, 8, 8).toAlignedRect());
  }
  updateStatus();
  if (notify) emit nodeFocused(i);
}

void ParameterChart::notifyChanged(int first, int last, int moved, int flags) {
  emit nodesChanged(NodesChanged{first, last, moved, flags});
}

// --- Mouse --------------------------------------------------------------------------

void ParameterChart::mousePressEvent(QMouseEvent* e) {
  const QPointF pos = e->position();
  if (!Pa) return;
  if (!ReadOnly) setFocus(Qt::MouseFocusReason);
  if (e->button() == Qt::LeftButton) {
    if (ReadOnly) return;
    Hit h = hitTest(pos, true);
    int oldGrab = Grabbed;
    Grabbed = -2;
    Offset = QPointF();
    if (h.Kind == HIT_HANDLE) {
      Grabbed = h.Index;
      Offset = pos - HandlePt[h.Index];
    } else if (h.Kind == HIT_NODE) {
      focusNode(h.Index, true);
      Grabbed = -1;
      Offset = pos - nodePoint(h.Index);
    } else if (h.Kind == HIT_SWEEP) {
      focusNode(h.Index, true);
    }
    if (oldGrab >= 0 || Grabbed >= 0) update();
    DragState = 1;
    PressPoint = pos;
    LastMouse = pos;
    LastMods = e->modifiers();
    DragRange = NodeRange();
    ZMode = 2;
  } else if (e->button() == Qt::RightButton) {
    Hit h = hitTest(pos, false);
    if (h.Kind == HIT_NONE) {
      if (pos.x() < plotRect().left()) AxisMenu->exec(e->globalPosition().toPoint());
      return;
    }
    if (!Pa2) focusNode(h.Index, true);
    MenuTime = std::clamp(timeAt(pos.x()), 0, CHART_WIDTH);
    showNodeMenu(e->globalPosition().toPoint());
  }
}

void ParameterChart::mouseMoveEvent(QMouseEvent* e) {
  if (DragState == 0 || ReadOnly || !Pa) return;
  const QPointF pos = e->position();
  LastMouse = pos;
  LastMods = e->modifiers();
  if (DragState == 1) {
    QPointF d = pos - PressPoint;
    if (d.x() * d.x() + d.y() * d.y() < kDragThreshold2) return;
    DragState = 2;
    DragRange = NodeRange();
  }
  if (Grabbed >= 0)
    dragHandle(pos - Offset);
  else if (Grabbed == -1)
    dragTo(pos, e->modifiers());
}

void ParameterChart::dragTo(QPointF pos, Qt::KeyboardModifiers mods) {
  const int i = SelectedArea;
  if (i < 0 || i >= nodeCount()) return;
  const bool zDrag = Def.Z && (mods & Qt::ControlModifier);
  const int mode = zDrag ? 1 : 0;
  if (ZMode != mode) {
    // The first move decides which half is dragged, keeping the press's
    // offset from it; Ctrl pressed or released later re-bases the offset on
    // the half now dragged, so the curve does not jump.
    if (ZMode == 2)
      Offset = PressPoint - (zDrag ? zPoint(i) : nodePoint(i));
    else
      Offset = pos - (zDrag ? zPoint(i) : nodePoint(i));
    ZMode = mode;
  }
  const QPointF target = pos - Offset;
  int64_t y = logicalYAt(target.y());
  const bool below = y<0, above = y> CHART_HEIGHT;
  bool scroll = false;
  if (below || above) {
    if (Def.FixedRange) {
      y = std::clamp<int64_t>(y, 0, CHART_HEIGHT);
    } else {
      // Past the edge the view scrolls, faster the further out the pointer
      // is: 500 ms at the edge.
      int64_t over = below ? -y : y - CHART_HEIGHT;
      Pacer->start(static_cast<int>(500000 / (over / 10 + 1000)));
      y = std::clamp<int64_t>(y, -1000, 11000);
      scroll = true;
    }
  }
  if (!scroll) Pacer->stop();
  const bool clamped = SetNodeValue(*Pa, Def, i, zDrag, YToValue(Range, Def.Digits, y));
  if (!zDrag) SetNodeTime(*Pa, i, timeAt(target.x()));
  if (clamped && scroll) Pacer->stop();
  DragRange.Add(std::max(i - 1, 0));
  DragRange.Add(i);
  if (scroll && recomputeRange(below, above)) {
    recomputeLayout();
    return;
  }
  invalidateNodes(std::max(i - 1, 0), i, true);
}

void ParameterChart::dragHandle(QPointF target) {
  const int i = SelectedArea, n = nodeCount();
  const int h = Grabbed;
  const int other = h == 1 ? i + 1 : i - 1;
  if (i < 0 || i >= n || other < 0 || other >= n) return;
  const QPointF at = nodePoint(i);
  const double sign = NodeLow(Def, Pa->Node[other].Value) >= NodeLow(Def, Pa->Node[i].Value) ? 1.0 : -1.0;
  const double dx = h == 1 ? target.x() - at.x() : at.x() - target.x();
  const double dy = sign * (at.y() - target.y());
  const int w = WeightFromHandle(dx, dy);
  const int k = h == 1 ? i : i - 1;
  const int stored = h == 1 ? w : 20 - w;
  if (Pa->Node[k].Weight == stored) return;
  Pa->Node[k].Weight = static_cast<uint8_t>(stored);
  NodeRange r = SymmetricPropagate(*Pa, k);
  r.Add(k);
  DragRange.Add(r.First);
  DragRange.Add(r.Last);
  invalidateNodes(r.First, r.Last, true);
}

void ParameterChart::scrollTick() {
  if (DragState == 2 && Grabbed == -1) dragTo(LastMouse, LastMods);
}

bool ParameterChart::scrolling() const { return Pacer->active(); }

void ParameterChart::setScrollPacer(std::unique_ptr<ScrollPacer> pacer) {
  if (Pacer) Pacer->stop();
  Pacer = std::move(pacer);
  Pacer->Step = [this] { scrollTick(); };
}

void ParameterChart::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const bool dragged = DragState == 2;
  DragState = 0;
  Pacer->stop();
  if (Grabbed >= 0) update();
  Grabbed = -2;
  ZMode = 2;
  if (dragged && !DragRange.Empty()) notifyChanged(DragRange.First, DragRange.Last, SelectedArea, 0);
  DragRange = NodeRange();
}

void ParameterChart::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !Pa) return;
  const QPointF pos = e->position();
  Hit h = hitTest(pos, true);
  if (h.Kind == HIT_HANDLE && !ReadOnly) {
    // That sweep becomes a straight line.
    const int k = h.Index == 1 ? SelectedArea : SelectedArea - 1;
    Pa->Node[k].Weight = 10;
    NodeRange r = SymmetricPropagate(*Pa, k);
    r.Add(k);
    invalidateNodes(r.First, r.Last, true);
    notifyChanged(r.First, r.Last, SelectedArea, 0);
  } else if (h.Kind == HIT_NODE || h.Kind == HIT_SWEEP) {
    DragState = 0;
    editNode();
  } else if (pos.x() < plotRect().left()) {
    refreshRange();
  }
}

// --- Keyboard ---------------------------------------------------------------------

void ParameterChart::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    emit helpRequested();
    return;
  }
  if (e->matches(QKeySequence::Copy)) {
    copyCurve();
    return;
  }
  if (e->matches(QKeySequence::Paste)) {
    pasteCurve();
    return;
  }
  if (ReadOnly || !Pa || nodeCount() == 0) {
    QWidget::keyPressEvent(e);
    return;
  }
  const int n = nodeCount(), i = std::clamp(SelectedArea, 0, n - 1);
  const bool ctrl = e->modifiers() & Qt::ControlModifier, shift = e->modifiers() & Qt::ShiftModifier;
  if (e->key() == Qt::Key_Menu || (e->key() == Qt::Key_F10 && shift)) {
    // The node menu from the keyboard, at the focused node; Play Here plays
    // from that node's time.
    MenuTime = Pa->Node[i].SweepTime;
    showNodeMenu(mapToGlobal(nodePoint(i).toPoint()));
    return;
  }
  switch (e->key()) {
    case Qt::Key_Space: editNode(); return;
    case Qt::Key_Home: focusNode(0, true); return;
    case Qt::Key_End: focusNode(n - 1, true); return;
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int dir = e->key() == Qt::Key_Left ? -1 : 1;
      if (shift || ctrl) {
        if (SetNodeTime(*Pa, i, Pa->Node[i].SweepTime + dir * kKeyTimeStep)) afterKeyEdit(std::max(i - 1, 0), i, false);
      } else if (i + dir >= 0 && i + dir < n) {
        focusNode(i + dir, true);
      }
      return;
    }
    case Qt::Key_Up:
    case Qt::Key_Down: {
      const int dir = e->key() == Qt::Key_Up ? 1 : -1;
      const bool zHalf = Def.Z && ctrl;
      const int64_t step = int64_t(Range.Max - Range.Min) * Pow10(Def.Digits) / 20;
      const int32_t before = Pa->Node[i].Value;
      const int64_t cur = zHalf ? NodeZ(before) : NodeLow(Def, before);
      setFocusedStored(cur + dir * step, zHalf);
      return;
    }
    case Qt::Key_Insert: insertNode(); return;
    case Qt::Key_Delete: deleteNode(); return;

    default: QWidget::keyPressEvent(e); return;
  }
}

void ParameterChart::setFocusedStored(int64_t value, bool zHalf) {
  const int i = std::clamp(SelectedArea, 0, nodeCount() - 1);
  const int32_t before = Pa->Node[i].Value;
  SetNodeValue(*Pa, Def, i, zHalf, value);
  if (Pa->Node[i].Value == before) return;
  const int64_t s = Pow10(Def.Digits), v = zHalf ? NodeZ(Pa->Node[i].Value) : NodeLow(Def, Pa->Node[i].Value);
  const bool outside = !Def.FixedRange && (v < int64_t(Range.Min) * s || v > int64_t(Range.Max) * s);
  afterKeyEdit(std::max(i - 1, 0), i, outside);
}

bool ParameterChart::focusedValue(double* value) const {
  if (ReadOnly || !Pa || Pa2 || nodeCount() == 0) return false;
  const int i = std::clamp(SelectedArea, 0, nodeCount() - 1);
  *value = double(NodeLow(Def, Pa->Node[i].Value)) / double(Pow10(Def.Digits));
  return true;
}

void ParameterChart::setFocusedValue(double value) {
  double unused = 0;
  if (!focusedValue(&unused) || !std::isfinite(value)) return;
  // Far outside any range still lands on its limit, without overflow.
  value = std::clamp(value, double(Def.Min) - 1, double(Def.Max) + 1);
  setFocusedStored(std::llround(value * double(Pow10(Def.Digits))), false);
}

void ParameterChart::afterKeyEdit(int first, int last, bool outOfRange) {
  if (outOfRange && recomputeRange(true, true))
    recomputeLayout();
  else
    invalidateNodes(first, last, true);
  emit nodeFocused(SelectedArea);
  notifyChanged(first, last, SelectedArea, 0);
}

void ParameterChart::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  if (ReadOnly) {
    // Nothing to edit here: the focus goes on in the direction it came.
    focusNextPrevChild(e->reason() != Qt::BacktabFocusReason);
    return;
  }
  HasFocus = true;
  computeHandles();
  updateStatus();
  update();
}

void ParameterChart::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  HasFocus = false;
  updateStatus();
  update();
}

// --- Menus and commands -------------------------------------------------------------

void ParameterChart::createMenus() {
  NodeMenu = new QMenu(this);
  NodeMenu->setObjectName(QStringLiteral("chartNodeMenu"));
  auto add = [this](QMenu* m, const QString& text, const char* name) {
    QAction* a = m->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  EditAct = add(NodeMenu, tr("&Edit"), "chartEdit");
  DeleteAct = add(NodeMenu, tr("&Delete"), "chartDelete");
  InsertAct = add(NodeMenu, tr("&Insert New Node"), "chartInsert");
  SymmetricAct = add(NodeMenu, tr("Sy&mmetric"), "chartSymmetric");
  SymmetricAct->setCheckable(true);
  NodeMenu->addSeparator();
  CopyAct = add(NodeMenu, tr("&Copy Curve"), "chartCopyCurve");
  PasteAct = add(NodeMenu, tr("P&aste Curve"), "chartPasteCurve");
  // Shown in the menu; the keys themselves reach keyPressEvent.
  CopyAct->setShortcut(QKeySequence::Copy);
  PasteAct->setShortcut(QKeySequence::Paste);
  NodeMenu->addSeparator();
  PlayHereAct = add(NodeMenu, tr("&Play Here"), "chartPlayHere");
  StopAct = add(NodeMenu, tr("&Stop Playing"), "chartStopPlaying");
  NodeMenu->setDefaultAction(EditAct);
  AxisMenu = new QMenu(this);
  AxisMenu->setObjectName(QStringLiteral("chartAxisMenu"));
  RefreshAct = add(AxisMenu, tr("&Refresh Minimum and Maximum"), "chartRefresh");
  connect(EditAct, &QAction::triggered, this, &ParameterChart::editNode);
  connect(DeleteAct, &QAction::triggered, this, &ParameterChart::deleteNode);
  connect(InsertAct, &QAction::triggered, this, &ParameterChart::insertNode);
  connect(SymmetricAct, &QAction::triggered, this, &ParameterChart::toggleSymmetric);
  connect(PlayHereAct, &QAction::triggered, this, [this] { emit playHere(MenuTime); });
  connect(StopAct, &QAction::triggered, this, &ParameterChart::stopPlaying);
  connect(RefreshAct, &QAction::triggered, this, &ParameterChart::refreshRange);
  connect(CopyAct, &QAction::triggered, this, &ParameterChart::copyCurve);
  connect(PasteAct, &QAction::triggered, this, &ParameterChart::pasteCurve);
}

void ParameterChart::showNodeMenu(QPoint global) {
  const int n = nodeCount(), i = SelectedArea;
  const bool edit = !ReadOnly && Pa && !Pa2;
  EditAct->setEnabled(edit);
  DeleteAct->setEnabled(edit && i > 0 && i < n - 1);
  InsertAct->setEnabled(edit && i < n - 1);
  SymmetricAct->setEnabled(edit);
  SymmetricAct->setChecked(Pa && !Pa2 && i >= 0 && i < n && Pa->Node[i].Symmetric != 0);
  CopyAct->setEnabled(Pa && !Pa2);
  PasteAct->setEnabled(edit && CurveClipboard::offers());
  PlayHereAct->setEnabled(!ReadOnly);
  StopAct->setVisible(TestPlaying);
  NodeMenu->exec(global);
}

void ParameterChart::editNode() {
  if (ReadOnly || !Pa || Pa2) return;
  const int i = SelectedArea;
  if (i < 0 || i >= nodeCount()) return;
  QPoint near = mapToGlobal((nodePoint(i) + QPointF(16, 16)).toPoint());
  NodeRange r;
  if (!NodeDialog::editSweep(this, near, *Pa, Def, UnitId, i, Length, &r)) return;
  invalidateNodes(r.First, r.Last, true);
  notifyChanged(r.First, r.Last, i, NODES_FLAG_RANGE);
}

void ParameterChart::deleteNode() {
  const int n = nodeCount(), i = SelectedArea;
  if (ReadOnly || !Pa || Pa2 || i <= 0 || i >= n - 1) return;
  DeleteNode(*Pa, i);
  SelectedArea = i - 1;
  TVK_CHECK_AS(SelectedArea >= 0, "cp->SelectedArea>=0", SelectedArea);
  SymmetricPropagate(*Pa, SelectedArea);
  invalidateNodes(-1, 0, true);
  emit nodeFocused(SelectedArea);
  notifyChanged(NODES_ALL, NODES_ALL, SelectedArea, 0);
}

void ParameterChart::insertNode() {
  if (ReadOnly || !Pa || Pa2) return;
  int rc = InsertNodeAfter(*Pa, Def, SelectedArea);
  if (rc == strid::TooManyNodes) MessageBox::show(this, strid::TooManyNodes, {MAXNODES});
  if (rc != 0) return;
  invalidateNodes(-1, 0, true);
  notifyChanged(NODES_ALL, NODES_ALL, SelectedArea, 0);
}

void ParameterChart::toggleSymmetric() {
  const int i = SelectedArea;
  if (ReadOnly || !Pa || Pa2 || i < 0 || i >= nodeCount()) return;
  Node& nd = Pa->Node[i];
  nd.Symmetric = nd.Symmetric ? 0 : 1;
  NodeRange r;
  r.Add(i);
  if (nd.Symmetric) {
    NodeRange s = SymmetricPropagate(*Pa, i);
    if (!s.Empty()) {
      r.Add(s.First);
      r.Add(s.Last);
    }
  }
  invalidateNodes(r.First, r.Last, true);
  notifyChanged(r.First, r.Last, i, 0);
}

void ParameterChart::refreshRange() {
  if (!Pa) return;
  if (recomputeRange(true, true, true)) recomputeLayout(true);
}

void ParameterChart::copyCurve() {
  // A derived curve has no nodes of its own to copy.
  if (!Pa || Pa2) {
    QApplication::beep();
    return;
  }
  CurveClipboard::put(CopyCurve(Background, *Pa, Def.ParamNum, Length));
}

void ParameterChart::pasteCurve() {
  if (ReadOnly || !Pa || Pa2) {
    QApplication::beep();
    return;
  }
  CurveClip clip;
  QString why;
  switch (CurveClipboard::take(Background, &clip, &why)) {
    case CurveClipboard::CLIP_NONE: QApplication::beep(); return;
    case CurveClipboard::CLIP_BAD_TEXT: MessageBox::show(this, strid::CurveClipBad, {why.toStdString()}); return;
    case CurveClipboard::CLIP_CURVE: break;
  }
  if (PasteCurve(Background, clip, *Pa, Def.ParamNum) != 0) {
    auto name = [this](int row) { return std::string(ParamRowName(Background, row)); };
    MessageBox::show(this, strid::CurveClipOtherParam, {name(Def.ParamNum), name(clip.ParamNum)});
    return;
  }
  SelectedArea = std::clamp(SelectedArea, 0, nodeCount() - 1);
  computeHandles();
  invalidateNodes(-1, 0, true);
  emit nodeFocused(SelectedArea);
  notifyChanged(NODES_ALL, NODES_ALL, -1, NODES_FLAG_RANGE);
}

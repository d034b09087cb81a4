// The parameter chart: state, layout, node geometry and painting. The input
// (mouse, keys, menus, commands) is in ChartInput.cpp.
#include "chart/ParameterChart.h"

#include <QAccessible>
#include <QEvent>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "assert/check.h"
#include "chart/chartcolours.h"
#include "dialog/strids.h"
#include "main/arith.h"
#include "main/preset.h"
#include "main/strtab.h"

namespace {

// The program's pacer: a single-shot timer on the main thread.
class TimerPacer final : public ScrollPacer {
 public:
  TimerPacer() {
    Timer.setObjectName(QStringLiteral("chartScrollTimer"));
    Timer.setSingleShot(true);
    QObject::connect(&Timer, &QTimer::timeout, [this] { Step(); });
  }
  void start(int ms) override { Timer.start(ms); }
  void stop() override { Timer.stop(); }
  bool active() const override { return Timer.isActive(); }

 private:
  QTimer Timer;
};

constexpr double kNodeBox = 8;        // a node box, pixels
constexpr double kHandleBox = 3;      // a handle box: a third of a node box
constexpr double kHandleReach = 36;   // distance of a handle from its node
constexpr double kRepaintMargin = 5;  // node boxes around a changed area

// A sweep's 21 points stroked 2 pixels wide. Stroking is most of the work of
// drawing a curve, so it is done when a node moves, not at every repaint;
// points closer than half a pixel to the last one kept add nothing but work.
QPainterPath SweepOutline(const QPointF (&pts)[21]) {
  QPainterPath line(pts[0]);
  QPointF kept = pts[0];
  for (int k = 1; k <= 20; ++k) {
    if (k < 20 && std::abs(pts[k].x() - kept.x()) < 0.5 && std::abs(pts[k].y() - kept.y()) < 0.5) continue;
    line.lineTo(pts[k]);
    kept = pts[k];
  }
  QPainterPathStroker stroker;
  stroker.setWidth(2);
  stroker.setCapStyle(Qt::FlatCap);
  stroker.setJoinStyle(Qt::MiterJoin);
  return stroker.createStroke(line);
}

int64_t Pow10(int n) {
  int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

}  // namespace

ParameterChart::ParameterChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("parameterChart"));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAccessibleName(tr("Parameter chart"));
  setMinimumSize(160, 80);
  setScrollPacer(std::make_unique<TimerPacer>());
  createMenus();
}

ParameterChart::~ParameterChart() = default;

// --- What the parent tells the chart ------------------------------------------

void ParameterChart::setSegmentLength(int32_t length) {
  Length = length > 0 ? length : 1;
  if (!RangeUnset) recomputeLayout(true);
}

void ParameterChart::setValueDefinition(bool fixedRange, int unitId, int shown, int min, int max) {
  Def.FixedRange = fixedRange;
  UnitId = unitId;
  Def.Shown = shown;
  Def.Min = min;
  Def.Max = max;
}

void ParameterChart::setParameter(Param* p, bool readOnly, int decimals, bool z) {
  Pa = p;
  ReadOnly = readOnly || Pa2 != nullptr;
  Def.Digits = decimals;
  Def.Z = z;
  SelectedArea = 0;
  Grabbed = -2;
  DragState = 0;
  Pacer->stop();
  setFocusPolicy(ReadOnly ? Qt::NoFocus : Qt::StrongFocus);
  if (ReadOnly && hasFocus()) focusNextChild();
  if (RangeUnset) {
    recomputeRange(true, true, true);
    RangeUnset = false;
    recomputeLayout(true);
  } else {
    invalidateNodes(-1, 0, true);
  }
}

void ParameterChart::setSecondRecord(int paramNum, Param* second) {
  Def.ParamNum = paramNum;
  Pa2 = second;
  if (Pa2) ReadOnly = true;
}

void ParameterChart::bind(int paramNum, Param* p, Param* second, bool readOnly, int32_t length) {
  bind(BackgroundParamRow{}, paramNum, p, second, readOnly, length);
}

void ParameterChart::bind(const BackgroundParamRow& bg, int paramNum, Param* p, Param* second, bool readOnly,
                          int32_t length) {
  if (!TVK_CHECK_AS(paramNum >= 0 && paramNum < PDBK, "ParamNum>=0 && ParamNum<PDBK", paramNum)) paramNum = 0;
  Background = bg;
  const ParamDefType& r = ParamRowOf(Background, paramNum);
  bool first = RangeUnset;
  setValueDefinition(r.FlagA != 0, r.Unit, r.FlagB, r.Min, r.Max);
  Length = length > 0 ? length : 1;
  setSecondRecord(paramNum, second);
  setParameter(p, readOnly, r.Digits, paramNum == PN_WAVEFORM);
  if (!first) {
    recomputeRange(true, true, true);
    recomputeLayout(true);
  }
}

void ParameterChart::setTestPlaying(bool playing, int time) {
  int old = PlayTime;
  TestPlaying = playing;
  PlayTime = playing ? time : -1;
  if (old == PlayTime) return;
  updatePlayValue();
  QRectF plot = plotRect();
  for (int t : {old, PlayTime})
    if (t >= 0) update(QRectF(xOf(t) - 2, plot.top() - 1, 4, plot.height() + 2).toAlignedRect());
}

// --- Range and layout ---------------------------------------------------------

void ParameterChart::extremes(int64_t* lo, int64_t* hi) const {
  *lo = INT64_MAX;
  *hi = INT64_MIN;
  if (Pa2) {
    for (const DerivedPoint& d : DerivedCurve(*Pa, *Pa2, ParamDef[PN_PITCH].Digits, Def.Digits)) {
      *lo = std::min(*lo, d.Value);
      *hi = std::max(*hi, d.Value);
    }
  } else {
    for (int i = 0; i < nodeCount(); ++i) {
      int64_t v = NodeLow(Def, Pa->Node[i].Value);
      *lo = std::min(*lo, v);
      *hi = std::max(*hi, v);
    }
  }
  if (*lo > *hi) *lo = *hi = 0;
}

bool ParameterChart::recomputeRange(bool lower, bool upper, bool derived) {
  if (!Pa || (Pa2 && !derived)) return false;
  int64_t lo = 0, hi = 0;
  extremes(&lo, &hi);
  return RecomputeChartRange(Def, lo, hi, lower, upper, &Range);
}

void ParameterChart::recomputeLayout(bool derived) {
  if (Pa2 && !derived) return;
  QFontMetrics fm(font());
  CharW = std::max(fm.averageCharWidth(), 1);
  FontH = std::max(fm.height(), 1);
  LeftMargin = fm.horizontalAdvance(QStringLiteral("10000")) + 2;
  MinLabelW = fm.horizontalAdvance(QString::fromUtf8(GetStr(strid::MinutesUnit)));
  LengthLabelW = fm.horizontalAdvance(timeText(10000));
  const int W = width(), H = height();
  OriginX = LeftMargin;
  OriginY = H + (Def.Z ? 0 : 10) - FontH - 12;
  ExtentX = std::max(W - LeftMargin - MinLabelW - LengthLabelW, 10);
  ExtentY = std::max(H - FontH * 2.5 - (Def.Z ? 22 : 2), 10.0);
  DivisionX = GridStep(0, Length, LengthLabelW + CharW, static_cast<int>(ExtentX));
  if (!TVK_CHECK_AS(DivisionX > 0, "cp->DivisionX>0", DivisionX)) DivisionX = 1;
  DivisionY = Range.Max > Range.Min ? GridStep(Range.Min, Range.Max, FontH, static_cast<int>(ExtentY)) : 0;
  if (!TVK_CHECK_AS(DivisionY > 0, "cp->DivisionY>0", DivisionY)) DivisionY = 1;
  invalidateNodes(-1, 0, true);
  update();
}

// --- Geometry -------------------------------------------------------------------

int ParameterChart::nodeCount() const { return Pa ? CurveNodes(*Pa) : 0; }

double ParameterChart::xOf(int64_t t) const { return OriginX + double(t) * ExtentX / CHART_WIDTH; }

double ParameterChart::yOfLogical(int64_t y) const { return OriginY - double(y) * ExtentY / CHART_HEIGHT; }

double ParameterChart::yOfValue(int64_t stored) const {
  const int64_t s = Pow10(Def.Digits);
  const double span = double(std::max(Range.Max - Range.Min, 1)) * double(s);
  return OriginY - double(stored - int64_t(Range.Min) * s) * ExtentY / span;
}

int ParameterChart::timeAt(double x) const {
  return static_cast<int>(std::lround((x - OriginX) * CHART_WIDTH / ExtentX));
}

int64_t ParameterChart::logicalYAt(double y) const { return std::llround((OriginY - y) * CHART_HEIGHT / ExtentY); }

QRectF ParameterChart::plotRect() const { return QRectF(OriginX, OriginY - ExtentY, ExtentX, ExtentY); }

QPointF ParameterChart::nodePoint(int i) const {
  return i >= 0 && i < int(Geom.size()) ? Geom[size_t(i)].Pt : QPointF();
}

QPointF ParameterChart::zPoint(int i) const { return i >= 0 && i < int(Geom.size()) ? Geom[size_t(i)].ZPt : QPointF(); }

QPointF ParameterChart::handlePoint(int which) const { return which >= 0 && which < 2 ? HandlePt[which] : QPointF(); }

QRectF ParameterChart::nodeBox(int i) const {
  QPointF p = nodePoint(i);
  return QRectF(p.x() - kNodeBox / 2, p.y() - kNodeBox / 2, kNodeBox, kNodeBox);
}

QRectF ParameterChart::handleBox(int which) const {
  QPointF p = HandlePt[which];
  return QRectF(p.x() - kHandleBox / 2, p.y() - kHandleBox / 2, kHandleBox, kHandleBox);
}

void ParameterChart::computeGeometry(int first, int last) {
  const int n = nodeCount();
  if (int(Geom.size()) != n) {
    Geom.assign(size_t(n), Geo{});
    first = 0;
    last = n - 1;
  }
  if (n == 0) return;
  first = std::clamp(first, 0, n - 1);
  last = std::clamp(last, first, n - 1);
  // The points of the nodes, then the sweeps that touch them.
  for (int i = std::max(first - 1, 0); i <= std::min(last + 1, n - 1); ++i) {
    const Node& nd = Pa->Node[i];
    Geo& g = Geom[size_t(i)];
    g.Pt = QPointF(xOf(nd.SweepTime), yOfValue(NodeLow(Def, nd.Value)));
    g.ZPt = Def.Z ? QPointF(g.Pt.x(), yOfValue(NodeZ(nd.Value))) : g.Pt;
  }
  for (int i = std::max(first - 1, 0); i <= last; ++i) {
    Geo& g = Geom[size_t(i)];
    QRectF box(g.Pt.x() - kNodeBox, g.Pt.y() - kNodeBox, 2 * kNodeBox, 2 * kNodeBox);
    if (i >= n - 1) {
      for (QPointF& q : g.Sweep) q = g.Pt;
      for (QPointF& q : g.ZSweep) q = g.ZPt;
      g.Bounds = box;
      continue;
    }
    const Node& a = Pa->Node[i];
    const Node& b = Pa->Node[i + 1];
    double x0 = g.Pt.x(), x1 = x0, y0 = g.Pt.y(), y1 = y0;
    for (int k = 0; k <= 20; ++k) {
      int64_t t = 0, v = 0;
      SweepPoint(a.SweepTime, NodeLow(Def, a.Value), b.SweepTime, NodeLow(Def, b.Value), a.Weight, k, &t, &v);
      QPointF q(xOf(t), yOfValue(v));
      g.Sweep[k] = q;
      if (Def.Z) {
        SweepPoint(a.SweepTime, NodeZ(a.Value), b.SweepTime, NodeZ(b.Value), a.Weight, k, &t, &v);
        g.ZSweep[k] = QPointF(xOf(t), yOfValue(v));
      } else {
        g.ZSweep[k] = q;
      }
      for (const QPointF& c : {q, g.ZSweep[k]}) {
        x0 = std::min(x0, c.x());
        x1 = std::max(x1, c.x());
        y0 = std::min(y0, c.y());
        y1 = std::max(y1, c.y());
      }
    }
    g.Bounds = QRectF(QPointF(x0, y0), QPointF(x1, y1)).adjusted(-2, -2, 2, 2).united(box);
    g.Outline = SweepOutline(g.Sweep);
  }
}

void ParameterChart::computeDerived() {
  DerivedPts.clear();
  DerivedValues.clear();
  if (!Pa || !Pa2) return;
  for (const DerivedPoint& d : DerivedCurve(*Pa, *Pa2, ParamDef[PN_PITCH].Digits, Def.Digits)) {
    DerivedPts.emplace_back(xOf(d.Time), yOfValue(d.Value));
    DerivedValues.push_back(d.Value);
  }
}

void ParameterChart::computeHandles() {
  NumHandles = 0;
  HandlePt[0] = HandlePt[1] = QPointF();
  const int n = nodeCount();
  if (!Pa || Pa2 || ReadOnly || SelectedArea < 0 || SelectedArea >= n || int(Geom.size()) != n) return;
  const int i = SelectedArea;
  const QPointF at = Geom[size_t(i)].Pt;
  auto towards = [&](int other) {
    // Screen y grows downwards: "towards the other value" is up when it is
    // not lower.
    return NodeLow(Def, Pa->Node[other].Value) >= NodeLow(Def, Pa->Node[i].Value) ? 1.0 : -1.0;
  };
  if (i > 0) {
    double a = HandleAngle(20 - std::min<int>(Pa->Node[i - 1].Weight, 20));
    HandlePt[0] = at + QPointF(-kHandleReach * std::cos(a), -towards(i - 1) * kHandleReach * std::sin(a));
    ++NumHandles;
  }
  if (i < n - 1) {
    double a = HandleAngle(Pa->Node[i].Weight);
    HandlePt[1] = at + QPointF(kHandleReach * std::cos(a), -towards(i + 1) * kHandleReach * std::sin(a));
    ++NumHandles;
  }
}

QRectF ParameterChart::changedArea(int first, int last) const {
  QRectF r;
  const int n = int(Geom.size());
  if (n == 0) return r;
  first = std::clamp(first, 0, n - 1);
  last = std::clamp(last, first, n - 1);
  for (int i = std::max(first - 1, 0); i <= last; ++i) r = r.united(Geom[size_t(i)].Bounds);
  const double m = kRepaintMargin * kNodeBox;
  return r.adjusted(-m, -m, m, m);
}

void ParameterChart::invalidateNodes(int first, int last, bool handles) {
  if (Pa2) {
    computeDerived();
    if (recomputeRange(true, true, true)) {
      recomputeLayout(true);
      return;
    }
    updateStatus();
    update();
    return;
  }
  const int n = nodeCount();
  const bool all = first < 0 || int(Geom.size()) != n;
  if (!all && first > last) {
    if (handles) computeHandles();
    updateStatus();
    return;
  }
  if (all) {
    computeGeometry(0, n - 1);
    computeHandles();
    updateStatus();
    update();
    return;
  }
  QRectF area = changedArea(first, last);
  for (int h = 0; h < 2; ++h)
    if (!HandlePt[h].isNull())
      area = area.united(QRectF(Geom[size_t(std::clamp(SelectedArea, 0, n - 1))].Pt, HandlePt[h]));
  computeGeometry(first, last);
  if (handles) computeHandles();
  area = area.united(changedArea(first, last));
  for (int h = 0; h < NumHandles && h < 2; ++h) area = area.united(QRectF(nodePoint(SelectedArea), HandlePt[h]));
  updateStatus();
  update(area.adjusted(-kNodeBox, -kNodeBox, kNodeBox, kNodeBox).toAlignedRect());
}

// --- Texts ------------------------------------------------------------------------

QString ParameterChart::valueText(int64_t stored) const {
  return QString::fromUtf8(FormatNumber(static_cast<int32_t>(stored), Def.Digits, Def.Shown, 0, false));
}

QString ParameterChart::timeText(int t) const {
  return QString::fromUtf8(FormatNumber(SegTimeToMinutes(t, Length), 2, 2, 2, false));
}

QString ParameterChart::statusText() const {
  if (!HasFocus || ReadOnly) return QString();
  return nodeText(SelectedArea);
}

QString ParameterChart::playValueText() const {
  if (!Hovered || PlayTime < 0 || !Pa) return QString();
  const int64_t v = ShownValueAt(Def, *Pa, Pa2, ParamDef[PN_PITCH].Digits, PlayTime);
  return tr("Now: %1%2").arg(valueText(v), QString::fromUtf8(GetStr(UnitId)));
}

void ParameterChart::updatePlayValue() { update(QRect(0, 0, width(), FontH + 4)); }

void ParameterChart::enterEvent(QEnterEvent* e) {
  Hovered = true;
  updatePlayValue();
  QWidget::enterEvent(e);
}

void ParameterChart::leaveEvent(QEvent* e) {
  Hovered = false;
  updatePlayValue();
  QWidget::leaveEvent(e);
}

QString ParameterChart::nodeText(int i) const {
  if (!Pa || i < 0 || i >= nodeCount()) return QString();
  const Node& nd = Pa->Node[i];
  std::string unit = GetStr(UnitId), min = GetStr(strid::MinutesUnit);
  std::string value = valueText(NodeLow(Def, nd.Value)).toStdString();
  std::string time = timeText(nd.SweepTime).toStdString();
  std::string text;
  if (Def.Z) {
    std::string z = valueText(NodeZ(nd.Value)).toStdString();
    text = FormatPrintf(GetStr(strid::NodeTipWithZ), value.c_str(), unit.c_str(), z.c_str(), unit.c_str(), time.c_str(),
                        min.c_str());
  } else {
    text = FormatPrintf(GetStr(strid::NodeTip), value.c_str(), unit.c_str(), time.c_str(), min.c_str());
  }
  return QString::fromStdString(text);
}

void ParameterChart::updateStatus() {
  QString text = statusText();
  int right = text.isEmpty() ? LeftMargin : LeftMargin + fontMetrics().horizontalAdvance(text) + 8;
  int w = std::max(right, StatusRight) - LeftMargin + 2;
  update(QRect(LeftMargin - 1, 0, w, FontH + 4));
  StatusRight = right;
  // A screen reader hears what the status line shows, whether or not it is
  // drawn: the focused node, its value and its time.
  QString desc;
  const QString unit = QString::fromUtf8(GetStr(UnitId));
  if (Pa2 && !DerivedValues.empty()) {
    desc = tr("Read-only curve from %1%3 to %2%3")
               .arg(valueText(DerivedValues.front()), valueText(DerivedValues.back()), unit);
  } else if (Pa && nodeCount() > 0) {
    const int i = std::clamp(SelectedArea, 0, nodeCount() - 1);
    desc = tr("Node %1 of %2: %3").arg(i + 1).arg(nodeCount()).arg(nodeText(i));
    if (ReadOnly) desc = tr("Read-only. %1").arg(desc);
  }
  if (accessibleDescription() != desc) {
    setAccessibleDescription(desc);
    if (QAccessible::isActive()) {
      QAccessibleEvent ev(this, QAccessible::DescriptionChanged);
      QAccessible::updateAccessibility(&ev);
      // The focused node's value (ChartAccessible) follows the description.
      double v = 0;
      if (focusedValue(&v)) {
        QAccessibleValueChangeEvent vc(this, v);
        QAccessible::updateAccessibility(&vc);
      }
    }
  }
}

// --- Painting ---------------------------------------------------------------------

void ParameterChart::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  const QRect area = e->rect();
  p.fillRect(area, palette().color(QPalette::Base));
  paintGrid(p, area);
  p.save();
  paintCurve(p, area);
  p.restore();
  if (HasFocus && !ReadOnly && NumHandles > 0) paintHandles(p);
  if (PlayTime >= 0) {
    QRectF plot = plotRect();
    double x = std::round(xOf(PlayTime)) + 0.5;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(ChartColoursFor(palette()).PlayLine, 1));
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  }
  if (HasFocus && !ReadOnly) paintStatus(p);
  const QString now = playValueText();
  if (!now.isEmpty()) {
    p.setRenderHint(QPainter::Antialiasing, false);
    const int w = fontMetrics().horizontalAdvance(now) + 8;
    QRect r(width() - w - 2, 1, w, FontH + 2);
    p.fillRect(r, palette().color(QPalette::ToolTipBase));
    p.setPen(palette().color(QPalette::ToolTipText));
    p.drawText(r, Qt::AlignCenter, now);
  }
}

void ParameterChart::paintGrid(QPainter& p, const QRect& area) {
  p.setRenderHint(QPainter::Antialiasing, false);
  const QRectF plot = plotRect();
  const QColor dark = palette().color(QPalette::Dark), light = palette().color(QPalette::Light);
  const QColor text = palette().color(QPalette::Text);
  const double left = std::round(plot.left()), right = std::round(plot.right());
  const double top = std::round(plot.top()), bottom = std::round(plot.bottom());
  // A sunken frame around the plot.
  if (area.intersects(plot.adjusted(-2, -2, 2, 2).toAlignedRect()) &&
      !plot.adjusted(2, 2, -2, -2).toAlignedRect().contains(area)) {
    p.setPen(QPen(dark, 1));
    p.drawLine(QPointF(left - 0.5, top - 0.5), QPointF(right + 0.5, top - 0.5));
    p.drawLine(QPointF(left - 0.5, top - 0.5), QPointF(left - 0.5, bottom + 0.5));
    p.setPen(QPen(light, 1));
    p.drawLine(QPointF(left - 0.5, bottom + 0.5), QPointF(right + 0.5, bottom + 0.5));
    p.drawLine(QPointF(right + 0.5, top - 0.5), QPointF(right + 0.5, bottom + 0.5));
  }
  const QFontMetrics fm = fontMetrics();
  // Value axis: the unit above it, whole-number labels, and grid lines
  // between the ends.
  if (area.left() < LeftMargin + 2) {
    p.setPen(text);
    p.drawText(QRectF(2, top - 1.5 * FontH, LeftMargin - 4, FontH), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(GetStr(UnitId)));
  }
  std::vector<int> values;
  for (int64_t v = Range.Min; v < Range.Max && values.size() < 1000; v += std::max(DivisionY, 1))
    values.push_back(int(v));
  if (values.size() > 1 && std::abs(yOfValue(int64_t(values.back()) * Pow10(Def.Digits)) -
                                    yOfValue(int64_t(Range.Max) * Pow10(Def.Digits))) < FontH)
    values.pop_back();  // the last label moves to the maximum
  const int64_t s = Pow10(Def.Digits);
  for (size_t k = 0; k < values.size(); ++k) {
    double y = std::round(yOfValue(values[k] * s));
    if (k > 0 && y > top + 1 && y < bottom - 1 && area.intersects(QRect(int(left), int(y) - 1, int(right - left), 3))) {
      p.setPen(QPen(dark, 1));
      p.drawLine(QPointF(left, y - 0.5), QPointF(right, y - 0.5));
      p.setPen(QPen(light, 1));
      p.drawLine(QPointF(left, y + 0.5), QPointF(right, y + 0.5));
    }
  }
  if (area.left() < LeftMargin) {
    p.setPen(text);
    values.push_back(Range.Max);
    for (int v : values) {
      // Centred on its line, but the lowest stays above the time labels.
      double y = std::min(yOfValue(int64_t(v) * s) - FontH / 2.0, bottom + 2 - FontH);
      p.drawText(QRectF(0, y, LeftMargin - 4, FontH), Qt::AlignRight | Qt::AlignVCenter,
                 QString::fromUtf8(FormatNumber(v, 0, 0, 0, false)));
    }
  }
  // Time axis: labels in minutes, grid lines between, "min" at the end.
  std::vector<int> times;
  for (int64_t t = 0; t < Length && times.size() < 1000; t += std::max(DivisionX, 1)) times.push_back(int(t));
  auto xOfMinutes = [&](int m) { return xOf(SegMinutesToTime(m, Length)); };
  if (times.size() > 1) {
    QString lastLabel = QString::fromUtf8(FormatNumber(times.back(), 2, 2, 2, false));
    if (xOfMinutes(Length) - xOfMinutes(times.back()) < (fm.horizontalAdvance(lastLabel) + LengthLabelW) / 2.0 + CharW)
      times.pop_back();  // the last label moves to the length
  }
  for (size_t k = 1; k < times.size(); ++k) {
    double x = std::round(xOfMinutes(times[k]));
    if (x > left + 1 && x < right - 1 && area.intersects(QRect(int(x) - 1, int(top), 3, int(bottom - top)))) {
      p.setPen(QPen(dark, 1));
      p.drawLine(QPointF(x - 0.5, top), QPointF(x - 0.5, bottom));
      p.setPen(QPen(light, 1));
      p.drawLine(QPointF(x + 0.5, top), QPointF(x + 0.5, bottom));
    }
  }
  if (area.bottom() > bottom) {
    p.setPen(text);
    times.push_back(Length);
    for (int m : times) {
      QString label = QString::fromUtf8(FormatNumber(m, 2, 2, 2, false));
      double w = fm.horizontalAdvance(label);
      double x = std::clamp(xOfMinutes(m) - w / 2, 0.0, width() - MinLabelW - w - 2);
      p.drawText(QRectF(x, bottom + 2, w + 1, FontH), Qt::AlignLeft | Qt::AlignTop, label);
    }
    p.drawText(QRectF(width() - MinLabelW - 1, bottom + 2, MinLabelW, FontH), Qt::AlignRight | Qt::AlignTop,
               QString::fromUtf8(GetStr(strid::MinutesUnit)));
  }
}

void ParameterChart::paintCurve(QPainter& p, const QRect& area) {
  if (!Pa) return;
  const QRectF dirty = QRectF(area).adjusted(-3, -3, 3, 3);
  const ChartColours colours = ChartColoursFor(palette());
  const QColor ink = ReadOnly ? colours.ReadOnly : colours.Curve;
  const QColor base = colours.Ground;
  // Values of a hand-made file may lie far outside the displayed range: they
  // are drawn up to a node box beyond the plot, not over the labels.
  p.setClipRect(plotRect().adjusted(-kNodeBox, -kNodeBox, kNodeBox, kNodeBox).toAlignedRect().intersected(area));
  p.setRenderHint(QPainter::Antialiasing, true);
  if (Pa2) {
    p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(DerivedPts.data(), int(DerivedPts.size()));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(ink, 1));
    p.setBrush(base);
    if (!DerivedPts.empty())
      for (const QPointF& c : {DerivedPts.front(), DerivedPts.back()})
        p.drawRect(QRectF(std::round(c.x() - kNodeBox / 2) + 0.5, std::round(c.y() - kNodeBox / 2) + 0.5, kNodeBox - 1,
                          kNodeBox - 1));
    return;
  }
  const int n = int(Geom.size());
  if (Def.Z) {
    p.setPen(Qt::NoPen);
    p.setBrush(colours.Band);
    QPointF band[42];
    for (int i = 0; i + 1 < n; ++i) {
      const Geo& g = Geom[size_t(i)];
      if (!g.Bounds.intersects(dirty)) continue;
      for (int k = 0; k <= 20; ++k) {
        band[k] = g.Sweep[k];
        band[41 - k] = g.ZSweep[k];
      }
      p.drawPolygon(band, 42, Qt::WindingFill);
    }
  }
  const bool thinAround = HasFocus && !ReadOnly;
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(ink, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  for (int i = 0; i + 1 < n; ++i) {
    const Geo& g = Geom[size_t(i)];
    if (!g.Bounds.intersects(dirty)) continue;
    if (thinAround && (i == SelectedArea || i + 1 == SelectedArea))
      p.drawPolyline(g.Sweep, 21);  // the sweeps at the focused node, thin
    else
      p.fillPath(g.Outline, ink);
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(ink, 1));
  p.setBrush(base);
  for (int i = 0; i < n; ++i) {
    QRectF box = nodeBox(i);
    if (!box.intersects(dirty)) continue;
    // Inside the box's frame: whole pixels, so the box stays sharp.
    p.drawRect(QRectF(std::round(box.left()) + 0.5, std::round(box.top()) + 0.5, kNodeBox - 1, kNodeBox - 1));
  }
}

void ParameterChart::paintHandles(QPainter& p) {
  const QPointF at = nodePoint(SelectedArea);
  const ChartColours colours = ChartColoursFor(palette());
  p.setRenderHint(QPainter::Antialiasing, true);
  for (int h = 0; h < 2; ++h) {
    if (HandlePt[h].isNull()) continue;
    p.setPen(QPen(colours.Handle, 1, Qt::DotLine));
    p.drawLine(at, HandlePt[h]);
    p.setPen(QPen(colours.Handle, 1));
    p.setBrush(Grabbed == h ? QBrush(colours.Handle) : QBrush(colours.Ground));
    p.drawRect(handleBox(h));
  }
}

void ParameterChart::paintStatus(QPainter& p) {
  QString text = statusText();
  if (text.isEmpty()) return;
  p.setRenderHint(QPainter::Antialiasing, false);
  QRect r(LeftMargin, 1, fontMetrics().horizontalAdvance(text) + 8, FontH + 2);
  p.fillRect(r, palette().color(QPalette::Button));
  p.setPen(palette().color(QPalette::ButtonText));
  p.drawText(r.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
}

// --- Events -----------------------------------------------------------------------------

void ParameterChart::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (!RangeUnset) recomputeLayout(true);
}

void ParameterChart::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if ((e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) && !RangeUnset) recomputeLayout(true);
}

bool ParameterChart::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* h = static_cast<QHelpEvent*>(e);
    QRect plot = plotRect().toAlignedRect();
    if (!ReadOnly && Pa && plot.contains(h->pos()))
      QToolTip::showText(h->globalPos(), tr("Right-click here to insert a new node"), this, plot);
    else
      QToolTip::hideText();
    return true;
  }
  return QWidget::event(e);
}

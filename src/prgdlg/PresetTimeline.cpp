// The whole preset at a glance.
#include "prgdlg/PresetTimeline.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

#include "chart/ParameterChart.h"
#include "data/backgrounds/bglib.h"
#include "main/arith.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/SegmentClipboard.h"

namespace {

const QColor kPlayLine(255, 0, 0);  // as the charts draw the play position

QString SegmentId(const Segment& s) {
  char id[3] = {s.Name[0], s.Name[1], 0};
  return QString::fromUtf8(id);
}

QString TimeText(int64_t t, bool seconds) { return QString::fromStdString(FormatTimelineTime(t, seconds)); }

}  // namespace

PresetTimeline::PresetTimeline(PresetOptionsDialog* dialog) : QWidget(dialog), D(dialog) {
  setObjectName(QStringLiteral("presetTimeline"));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAccessibleName(tr("Preset timeline"));
  setMinimumHeight(fontMetrics().height() * 4);
  Menu = new QMenu(this);
  Menu->setObjectName(QStringLiteral("timelineMenu"));
  CopyAct = Menu->addAction(tr("&Copy Segment"));
  CopyAct->setObjectName(QStringLiteral("timelineCopySegment"));
  CopyAct->setShortcut(QKeySequence::Copy);  // shown; the key reaches keyPressEvent
  PasteAct = Menu->addAction(tr("&Paste Segment After"));
  PasteAct->setObjectName(QStringLiteral("timelinePasteSegment"));
  PasteAct->setShortcut(QKeySequence::Paste);
  connect(CopyAct, &QAction::triggered, this, [this] { D->copySegment(D->currentSegment()); });
  connect(PasteAct, &QAction::triggered, D, &PresetOptionsDialog::pasteSegment);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (auto* c = qobject_cast<ParameterChart*>(now)) followChart(c);
  });
}

// --- What the dialog tells it --------------------------------------------------------

void PresetTimeline::setParameter(int paramNum) {
  if (paramNum < 0 || paramNum >= PDBK || paramNum == Row) return;
  Row = paramNum;
  presetChanged();
}

void PresetTimeline::followChart(const ParameterChart* chart) {
  const Param* params = D->segmentParams();
  if (!chart || !params || !chart->parameter()) return;
  const ptrdiff_t pid = chart->parameter() - params;
  if (pid < 0 || pid >= SegParamCount(D->segment())) return;
  // The derived beat is bound to the left pitch.
  setParameter(chart->derived() ? int(PN_BEAT) : ParamNumOfPid(int(pid)));
}

void PresetTimeline::presetChanged() {
  // The cursor stays in the current segment (chosen here or elsewhere).
  const auto segs = TimelineSegments(D->prg());
  const int cur = D->currentSegment();
  if (cur >= 0 && cur < int(segs.size()) && LocateTimeline(segs, Cursor).Segment != cur)
    Cursor = segs[size_t(cur)].Start;
  Dirty = true;
  update();
  updateDescription();
}

void PresetTimeline::setPlayPosition(bool playing, int segment, int time) {
  if (Playing == playing && PlaySegment == segment && PlayTime == time) return;
  Playing = playing;
  PlaySegment = segment;
  PlayTime = time;
  update();
}

int PresetTimeline::cursorSegment() const { return LocateTimeline(TimelineSegments(D->prg()), Cursor).Segment; }

// --- Geometry ---------------------------------------------------------------------------

QRectF PresetTimeline::plotRect() const {
  const QFontMetrics fm = fontMetrics();
  const double left = fm.horizontalAdvance(QStringLiteral("-00000")) + 6;
  const double top = fm.height() + 3, bottom = height() - fm.height() - 3;
  return QRectF(left, top, std::max(1.0, width() - left - 6), std::max(1.0, bottom - top));
}

double PresetTimeline::xOf(int64_t t) const {
  const QRectF r = plotRect();
  const int64_t total = TimelineLength(TimelineSegments(D->prg()));
  return total > 0 ? r.left() + r.width() * double(t) / double(total) : r.left();
}

int64_t PresetTimeline::timeAt(double x) const {
  const QRectF r = plotRect();
  const int64_t total = TimelineLength(TimelineSegments(D->prg()));
  const double f = std::clamp((x - r.left()) / r.width(), 0.0, 1.0);
  return std::clamp<int64_t>(int64_t(f * double(total)), 0, total);
}

// --- Sampling ---------------------------------------------------------------------------

void PresetTimeline::resample() {
  Segs = TimelineSegments(D->prg());
  const QRectF plot = plotRect();
  // One column per device pixel.
  const int columns = std::max(1, int(plot.width() * devicePixelRatioF()));
  Cols = Sampler.Sample(D->backgroundRow(), D->prg(), {Row, D->currentVoice()}, columns);
  int64_t lo = 0, hi = 0;
  bool any = false;
  for (const TimelineColumn& c : Cols)
    for (const TimelineSpan& s : c.Curve)
      if (s.Present) {
        lo = any ? std::min(lo, s.Min) : s.Min;
        hi = any ? std::max(hi, s.Max) : s.Max;
        any = true;
      }
  const ChartValueDef def = RowValueDef(D->paramRow(Row), Row);
  Range = ChartRange{def.Min, def.Max};
  if (any) RecomputeChartRange(def, lo, hi, true, true, &Range);
  Dirty = false;
  SampledWidth = width();
  ++Samplings;
}

void PresetTimeline::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Dirty = true;
}

void PresetTimeline::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::FontChange || e->type() == QEvent::PaletteChange) Dirty = true;
}

// --- Painting -----------------------------------------------------------------------------

QString PresetTimeline::valueText(int64_t stored) const {
  const ParamDefType& r = D->paramRow(Row);
  return QString::fromUtf8(FormatNumber(static_cast<int32_t>(stored), r.Digits, r.FlagB, 0, false));
}

QString PresetTimeline::rowName() const {
  const char* name = D->paramName(Row);
  const QString n = QString::fromUtf8(name);
  if (D->paramRow(Row).FirstPid < NSPAR) return n;
  return tr("%1 (Voice %2)").arg(n, QString::fromStdString(VoiceRow(D->currentVoice())));
}

void PresetTimeline::paintEvent(QPaintEvent*) {
  if (Dirty || SampledWidth != width()) resample();
  QPainter p(this);
  const QPalette& pal = palette();
  const QFontMetrics fm = fontMetrics();
  const QColor text = pal.color(QPalette::Text), mid = pal.color(QPalette::Mid);
  p.fillRect(rect(), pal.color(QPalette::Window));
  const QRectF plot = plotRect();
  p.fillRect(plot, pal.color(QPalette::Base));
  const int64_t total = TimelineLength(Segs);
  const Preset& prg = D->prg();
  const int cur = D->currentSegment();

  // The current segment, all its passes.
  if (cur >= 0 && cur < int(Segs.size())) {
    QColor band = pal.color(QPalette::Highlight);
    band.setAlpha(60);
    p.fillRect(
        QRectF(QPointF(xOf(Segs[size_t(cur)].Start), plot.top()), QPointF(xOf(Segs[size_t(cur)].End()), plot.bottom())),
        band);
  }
  // Passes of repeated segments (dotted) where there is room to tell them
  // apart, and the boundaries (solid).
  p.setPen(QPen(mid, 1, Qt::DotLine));
  for (const TimelineSegment& g : Segs) {
    const double pass = plot.width() * double(g.Length) / double(std::max<int64_t>(total, 1));
    if (g.Repeat < 2 || pass < 4) continue;
    for (int32_t k = 1; k < g.Repeat; ++k) {
      const double x = xOf(g.Start + g.Length * k);
      p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
  }
  p.setPen(QPen(mid, 1));
  for (size_t s = 1; s < Segs.size(); ++s) {
    const double x = xOf(Segs[s].Start);
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  }

  // The curves: each column a stroke from its smallest to its largest value,
  // joined to the column before.
  const double dpr = devicePixelRatioF();
  const int64_t scale = PowerOfTen[std::clamp(D->paramRow(Row).Digits, 0, 7)];
  const double span = double(std::max(Range.Max - Range.Min, 1)) * double(scale);
  auto yOf = [&](int64_t v) {
    const double f = (double(v) - double(Range.Min) * double(scale)) / span;
    return plot.bottom() - std::clamp(f, -0.02, 1.02) * plot.height();
  };
  const QColor ears[2] = {text, pal.color(QPalette::Link)};
  p.setRenderHint(QPainter::Antialiasing, false);
  for (int ch = 1; ch >= 0; --ch) {
    std::vector<QLineF> lines;
    lines.reserve(Cols.size());
    const TimelineSpan* prev = nullptr;
    for (size_t c = 0; c < Cols.size(); ++c) {
      const TimelineSpan& s = Cols[c].Curve[ch];
      if (!s.Present) {
        prev = nullptr;
        continue;
      }
      int64_t lo = s.Min, hi = s.Max;
      if (prev) {
        lo = std::min(lo, prev->Max);
        hi = std::max(hi, prev->Min);
      }
      const double x = plot.left() + (double(c) + 0.5) / dpr;
      lines.emplace_back(QPointF(x, yOf(hi) - 0.5), QPointF(x, yOf(lo) + 0.5));
      prev = &s;
    }
    p.setPen(QPen(ears[ch], 1.5));
    p.drawLines(lines.data(), int(lines.size()));
  }

  // The IDs, with the repeat count where there is room for it, on a veil of
  // the plot's colour so that a curve running through stays readable.
  QColor veil = pal.color(QPalette::Base);
  veil.setAlpha(190);
  p.setPen(text);
  for (size_t s = 0; s < Segs.size(); ++s) {
    const double x0 = xOf(Segs[s].Start), x1 = xOf(Segs[s].End());
    const QString id = SegmentId(prg.data.Segment[s]);
    QString label = id + (Segs[s].Repeat > 1 ? QStringLiteral(" \u00d7%1").arg(Segs[s].Repeat) : QString());
    if (fm.horizontalAdvance(label) + 4 > x1 - x0) label = id;
    if (fm.horizontalAdvance(label) + 4 > x1 - x0) continue;
    const QRectF box(x0 + 1, plot.top() + 1, fm.horizontalAdvance(label) + 4, fm.height());
    p.fillRect(box, veil);
    p.drawText(QPointF(box.left() + 2, box.top() + fm.ascent()), label);
  }

  // The play position, the cursor.
  if (Playing && PlaySegment >= 0 && PlaySegment < int(Segs.size())) {
    const double x = xOf(TimelineTimeOf(Segs, PlaySegment, PlayTime));
    p.setPen(QPen(kPlayLine, 2));
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  }
  if (hasFocus()) {
    const double x = xOf(Cursor);
    p.setPen(QPen(text, 1, Qt::DashLine));
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  }
  p.setPen(QPen(mid, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot);

  // The name, the value axis, the time axis.
  p.setPen(pal.color(QPalette::WindowText));
  const QString unit = QString::fromUtf8(GetStr(D->paramRow(Row).Unit));
  p.drawText(QPointF(plot.left(), fm.ascent() + 1), rowName());
  const double right = plot.left() - 4;
  const QString top = valueText(int64_t(Range.Max) * scale) + unit, bottom = valueText(int64_t(Range.Min) * scale);
  p.drawText(QPointF(right - fm.horizontalAdvance(top), plot.top() + fm.ascent()), top);
  p.drawText(QPointF(right - fm.horizontalAdvance(bottom), plot.bottom()), bottom);
  const int labelW = fm.horizontalAdvance(QStringLiteral("00:00:00")) + 12;
  const int64_t step = TimelineTimeStep(total, int(plot.width()), labelW);
  if (step > 0) {
    const bool secs = step < 100;
    double lastRight = -1e9;
    for (int64_t t = 0; t <= total; t += step) {
      const QString l = TimeText(t, secs);
      const double x = xOf(t), w = fm.horizontalAdvance(l);
      const double lx = std::clamp(x - w / 2, plot.left() - w / 2, double(width()) - w - 1);
      if (lx < lastRight + 4) continue;
      p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
      p.drawText(QPointF(lx, plot.bottom() + 3 + fm.ascent()), l);
      lastRight = lx + w;
    }
  }
  if (hasFocus()) {
    QStyleOptionFocusRect f;
    f.initFrom(this);
    f.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &f, &p, this);
  }
}

// --- Input ------------------------------------------------------------------------------------

void PresetTimeline::placeCursor(int64_t t) {
  const int64_t total = TimelineLength(TimelineSegments(D->prg()));
  Cursor = std::clamp<int64_t>(t, 0, total);
  update();
  updateDescription();
}

void PresetTimeline::moveToSegment(int s) {
  const auto segs = TimelineSegments(D->prg());
  if (s < 0 || s >= int(segs.size())) {
    QApplication::beep();
    return;
  }
  placeCursor(segs[size_t(s)].Start);
  if (s != D->currentSegment()) D->selectSegment(s);
}

void PresetTimeline::mousePressEvent(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  if (e->button() != Qt::LeftButton && e->button() != Qt::RightButton) return;
  const int64_t t = timeAt(e->position().x());
  const TimelinePlace at = LocateTimeline(TimelineSegments(D->prg()), t);
  placeCursor(t);
  if (at.Segment >= 0 && at.Segment != D->currentSegment()) D->selectSegment(at.Segment);
}

void PresetTimeline::contextMenuEvent(QContextMenuEvent* e) {
  PasteAct->setEnabled(SegmentClipboard::offers());
  Menu->exec(e->reason() == QContextMenuEvent::Mouse ? e->globalPos()
                                                     : mapToGlobal(QPoint(int(xOf(Cursor)), height() / 2)));
}

void PresetTimeline::keyPressEvent(QKeyEvent* e) {
  if (e->matches(QKeySequence::Copy)) {
    D->copySegment(cursorSegment());
    return;
  }
  if (e->matches(QKeySequence::Paste)) {
    D->pasteSegment();
    return;
  }
  const int s = cursorSegment(), n = D->prg().data.NumSegments;
  switch (e->modifiers() == Qt::NoModifier ? e->key() : 0) {
    case Qt::Key_Left: moveToSegment(s - 1); return;
    case Qt::Key_Right: moveToSegment(s + 1); return;
    case Qt::Key_Home: moveToSegment(0); return;
    case Qt::Key_End: moveToSegment(n - 1); return;
    default: QWidget::keyPressEvent(e); return;
  }
}

void PresetTimeline::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  // The cursor starts in the current segment.
  if (cursorSegment() != D->currentSegment())
    placeCursor(TimelineTimeOf(TimelineSegments(D->prg()), D->currentSegment(), 0));
  update();
}

void PresetTimeline::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  update();
}

// --- Screen readers -------------------------------------------------------------------------

QString PresetTimeline::describe() const {
  const Preset& prg = D->prg();
  const auto segs = TimelineSegments(prg);
  const TimelinePlace at = LocateTimeline(segs, Cursor);
  if (at.Segment < 0) return QString();
  const TimelineSegment& g = segs[size_t(at.Segment)];
  QString d = tr("Segment %1, %2 of %3, from %4 to %5")
                  .arg(SegmentId(prg.data.Segment[at.Segment]))
                  .arg(at.Segment + 1)
                  .arg(int(segs.size()))
                  .arg(TimeText(g.Start, false), TimeText(g.End(), false));
  if (g.Repeat > 1) d += tr(", played %1 times").arg(g.Repeat);
  const TimelineColumn v = TimelineValueAt(D->backgroundRow(), prg, {Row, D->currentVoice()}, Cursor);
  const QString unit = QString::fromUtf8(GetStr(D->paramRow(Row).Unit));
  QString value;
  if (!v.Curve[0].Present)
    value = tr("not in this segment");
  else if (v.Curve[1].Present)
    value = tr("left %1%2, right %3%2").arg(valueText(v.Curve[0].Min), unit, valueText(v.Curve[1].Min));
  else
    value = valueText(v.Curve[0].Min) + unit;
  return d + tr(". At %1: %2 %3.").arg(TimeText(Cursor, false), rowName(), value);
}

void PresetTimeline::updateDescription() {
  const QString d = describe();
  if (d != accessibleDescription()) setAccessibleDescription(d);
}

// The light signal charts.
#include "dialog/LightChart.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>
#include <cmath>

namespace {

// The eyes' colours, readable on light and dark palettes alike.
const QColor kEye[2] = {QColor(52, 132, 220), QColor(232, 126, 34)};
constexpr int kLeft = 46, kRight = 12, kBottom = 20, kGap = 14;
constexpr double kBlock = 1.0 / LIGHT_BLOCKS_PER_SECOND;

// A round top for the frequency axis: 10, 20, 40, 50, 100 Hz.
double NiceTop(double v) {
  for (double t : {10.0, 20.0, 40.0, 50.0, 100.0, 200.0})
    if (v <= t) return t;
  return std::ceil(v / 100) * 100;
}

// Seconds between time ticks for about `n` ticks over `seconds`.
double TickStep(double seconds, int n) {
  for (double s : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 900.0, 1800.0, 3600.0, 7200.0})
    if (seconds / s <= n) return s;
  return 14400.0;
}

}  // namespace

LightChart::LightChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("lightChart"));
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(tr("Light signal charts"));
  setMinimumSize(240, 160);
}

void LightChart::setLight(const std::vector<LightBlock>* blocks, double seconds) {
  Blocks = blocks;
  Seconds = std::max(seconds, 0.0);
  Cursor = std::clamp(Cursor, 0.0, Seconds);
  rebuild();
  update();
}

void LightChart::setCurve(const std::vector<LightCurvePoint>* curve) {
  Curve = curve;
  rebuild();
  update();
}

void LightChart::setCursorTime(double seconds) {
  double t = std::clamp(seconds, 0.0, Seconds);
  if (t == Cursor) return;
  Cursor = t;
  update();
  emit cursorMoved();
}

QRect LightChart::plotRect(int chart) const {
  int top = fontMetrics().height() + 8;
  int h = (height() - top - kBottom - kGap) / 2;
  return QRect(kLeft, top + chart * (h + kGap), std::max(1, width() - kLeft - kRight), std::max(1, h));
}

double LightChart::timeAt(int x) const {
  QRect r = plotRect(0);
  return Seconds * std::clamp(static_cast<double>(x - r.left()) / r.width(), 0.0, 1.0);
}

int LightChart::xAt(double t) const {
  QRect r = plotRect(0);
  return r.left() + (Seconds > 0 ? static_cast<int>(std::lround(t / Seconds * r.width())) : 0);
}

const LightBlock* LightChart::blockAt(double t) const {
  if (!Blocks || Blocks->empty()) return nullptr;
  size_t b = std::min(Blocks->size() - 1, static_cast<size_t>(std::max(0.0, t) / kBlock));
  return &(*Blocks)[b];
}

void LightChart::rebuild() {
  Columns.clear();
  double top = 1;
  if (Blocks)
    for (const LightBlock& b : *Blocks)
      for (const LightEye& e : b.Eye)
        if (e.Carrier) top = std::max(top, static_cast<double>(e.Frequency));
  if (Curve)
    for (const LightCurvePoint& p : *Curve) top = std::max({top, double(p.Frequency[0]), double(p.Frequency[1])});
  FreqTop = NiceTop(top);
  if (!Blocks || Blocks->empty() || Seconds <= 0) return;
  int w = plotRect(0).width();
  Columns.resize(static_cast<size_t>(w));
  for (int x = 0; x < w; ++x) {
    Column& c = Columns[static_cast<size_t>(x)];
    size_t from = static_cast<size_t>(Seconds * x / w / kBlock);
    size_t to = std::max(from + 1, static_cast<size_t>(Seconds * (x + 1) / w / kBlock));
    to = std::min(to, Blocks->size());
    c.Any = false;
    for (int e = 0; e < 2; ++e) {
      int n = 0;
      for (int k = 0; k < 2; ++k) c.Lo[k][e] = c.Hi[k][e] = c.Mean[k][e] = 0;
      for (size_t b = from; b < to; ++b) {
        const LightEye& y = (*Blocks)[b].Eye[e];
        if (!y.Carrier) continue;
        float v[2] = {y.Brightness, y.Frequency};
        for (int k = 0; k < 2; ++k) {
          c.Lo[k][e] = n ? std::min(c.Lo[k][e], v[k]) : v[k];
          c.Hi[k][e] = n ? std::max(c.Hi[k][e], v[k]) : v[k];
          c.Mean[k][e] += v[k];
        }
        n++;
      }
      c.Lit[e] = n > 0;
      c.Any = c.Any || n > 0;
      for (int k = 0; k < 2 && n; ++k) c.Mean[k][e] /= static_cast<float>(n);
    }
  }
}

void LightChart::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  rebuild();
}

QString LightChart::readout() const {
  QString text = QString::fromStdString(LightTimeText(Cursor));
  const LightBlock* b = blockAt(Cursor);
  static const char* const kSide[2] = {QT_TR_NOOP("left"), QT_TR_NOOP("right")};
  for (int e = 0; e < 2; ++e) {
    text += QStringLiteral("   %1: ").arg(tr(kSide[e]));
    if (!b || !b->Eye[e].Carrier)
      text += tr("no carrier");
    else if (b->Eye[e].Frequency > 0)
      text += tr("%1 %, %2 Hz").arg(std::lround(b->Eye[e].Brightness)).arg(b->Eye[e].Frequency, 0, 'f', 2);
    else
      text += tr("%1 %, steady").arg(std::lround(b->Eye[e].Brightness));
  }
  if (Curve && !Curve->empty()) {
    double step = Curve->size() > 1 ? (*Curve)[1].T - (*Curve)[0].T : 1.0;
    size_t i = static_cast<size_t>(std::max(0.0, Cursor) / step);
    if (i < Curve->size()) {
      const LightCurvePoint& p = (*Curve)[i];
      text += tr("   preset: %1 % / %2 %, %3 / %4 Hz")
                  .arg(std::lround(p.Brightness[0]))
                  .arg(std::lround(p.Brightness[1]))
                  .arg(p.Frequency[0], 0, 'f', 2)
                  .arg(p.Frequency[1], 0, 'f', 2);
    }
  }
  return text;
}

void LightChart::mousePressEvent(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  setCursorTime(timeAt(static_cast<int>(e->position().x())));
}

void LightChart::keyPressEvent(QKeyEvent* e) {
  double page = std::max(1.0, Seconds / 10);
  switch (e->key()) {
    case Qt::Key_Left: setCursorTime(Cursor - 1); break;
    case Qt::Key_Right: setCursorTime(Cursor + 1); break;
    case Qt::Key_PageUp: setCursorTime(Cursor - page); break;
    case Qt::Key_PageDown: setCursorTime(Cursor + page); break;
    case Qt::Key_Home: setCursorTime(0); break;
    case Qt::Key_End: setCursorTime(Seconds); break;
    default: QWidget::keyPressEvent(e); return;
  }
}

void LightChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QPalette& pal = palette();
  p.fillRect(rect(), pal.color(QPalette::Base));
  QColor text = pal.color(QPalette::Text), grid = pal.color(QPalette::Mid);
  QFontMetrics fm = fontMetrics();

  // The legend along the top.
  {
    int x = kLeft, y = 4 + fm.ascent();
    const int mid = y - fm.ascent() / 3;
    auto label = [&](const QString& t) {
      p.setPen(text);
      p.drawText(x, y, t);
      x += fm.horizontalAdvance(t) + 14;
    };
    for (int e = 0; e < 2; ++e) {
      p.setPen(QPen(kEye[e], 2));
      p.drawLine(x, mid, x + 18, mid);
      x += 22;
      label(e == 0 ? tr("Left eye") : tr("Right eye"));
    }
    if (Curve) {
      for (int e = 0; e < 2; ++e) {
        p.setPen(QPen(kEye[e], 2, Qt::DashLine));
        p.drawLine(x, mid, x + 12, mid);
        x += 14;
      }
      x += 4;
      label(tr("Preset"));
    }
    QColor shade = grid;
    shade.setAlpha(90);
    p.fillRect(QRect(x, y - fm.ascent(), 18, fm.ascent()), shade);
    p.setPen(text);
    p.drawText(x + 22, y, tr("No carrier"));
  }

  static const char* const kTitle[2] = {QT_TR_NOOP("Brightness (%)"), QT_TR_NOOP("Flash (Hz)")};
  for (int k = 0; k < 2; ++k) {
    QRect r = plotRect(k);
    double top = k == 0 ? 100.0 : FreqTop;
    auto yAt = [&](double v) { return r.bottom() - static_cast<int>(std::lround(v / top * (r.height() - 1))); };
    // Stretches without a carrier.
    QColor shade = grid;
    shade.setAlpha(90);
    for (size_t x = 0; x < Columns.size(); ++x)
      if (!Columns[x].Any) p.fillRect(QRect(r.left() + static_cast<int>(x), r.top(), 1, r.height()), shade);
    // Grid and axis labels.
    p.setPen(QPen(grid, 0, Qt::DotLine));
    for (int i = 0; i <= 2; ++i) {
      int y = yAt(top * i / 2);
      p.drawLine(r.left(), y, r.right(), y);
    }
    p.setPen(text);
    for (int i = 0; i <= 2; ++i) {
      QString label = QString::number(top * i / 2, 'g', 4);
      int y = yAt(top * i / 2);
      p.drawText(QRect(0, y - fm.height() / 2, kLeft - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter, label);
    }
    p.drawText(r.left() + 4, r.top() + fm.ascent() + 1, tr(kTitle[k]));
    p.setPen(QPen(grid, 0));
    p.drawRect(r.adjusted(0, 0, -1, -1));

    // The light: each eye's range per column lightly, its mean as a line.
    p.setClipRect(r);
    for (int e = 0; e < 2; ++e) {
      QColor band = kEye[e];
      band.setAlpha(70);
      QPainterPath line;
      bool open = false;
      for (size_t x = 0; x < Columns.size(); ++x) {
        const Column& c = Columns[x];
        int px = r.left() + static_cast<int>(x);
        if (!c.Lit[e]) {
          open = false;
          continue;
        }
        int lo = yAt(c.Lo[k][e]), hi = yAt(c.Hi[k][e]);
        if (lo - hi > 1) p.fillRect(QRect(px, hi, 1, lo - hi + 1), band);
        QPointF pt(px + 0.5, yAt(c.Mean[k][e]));
        if (open)
          line.lineTo(pt);
        else
          line.moveTo(pt);
        open = true;
      }
      p.setRenderHint(QPainter::Antialiasing, true);
      p.strokePath(line, QPen(kEye[e], 1.5));
      // The preset's own curve, dashed.
      if (Curve && Curve->size() > 1 && Seconds > 0) {
        QPolygonF poly;
        for (const LightCurvePoint& pt : *Curve) {
          if (pt.T > Seconds) break;
          double v = k == 0 ? pt.Brightness[e] : pt.Frequency[e];
          poly << QPointF(r.left() + pt.T / Seconds * r.width(), yAt(v));
        }
        p.setPen(QPen(kEye[e], 1.5, Qt::DashLine));
        p.drawPolyline(poly);
      }
      p.setRenderHint(QPainter::Antialiasing, false);
    }
    // The cursor.
    if (Seconds > 0) {
      p.setPen(QPen(text, hasFocus() ? 2 : 1, Qt::DashDotLine));
      int x = xAt(Cursor);
      p.drawLine(x, r.top(), x, r.bottom());
    }
    p.setClipping(false);
  }

  // Time along the bottom.
  QRect last = plotRect(1);
  if (Seconds > 0) {
    double step = TickStep(Seconds, std::max(2, last.width() / (fm.horizontalAdvance(QStringLiteral("00:00:00")) + 8)));
    p.setPen(text);
    for (double t = 0; t <= Seconds + 1e-9; t += step) {
      int x = xAt(t);
      p.drawLine(x, last.bottom(), x, last.bottom() + 3);
      QString label = QString::fromStdString(LightTimeText(t));
      int w = fm.horizontalAdvance(label);
      int left = std::clamp(x - w / 2, 0, width() - w);
      p.drawText(left, last.bottom() + 4 + fm.ascent(), label);
    }
  }

  if (hasFocus()) {
    QStyleOptionFocusRect o;
    o.initFrom(this);
    o.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &p, this);
  }
}

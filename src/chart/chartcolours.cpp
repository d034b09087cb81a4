// The chart's colours.
#include "chart/chartcolours.h"

#include <QPalette>
#include <algorithm>
#include <cmath>

namespace {

double Linear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

double Luminance(const QColor& c) {
  return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

QColor Mix(const QColor& a, const QColor& b, double t) {
  auto m = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
  return QColor(m(a.red(), b.red()), m(a.green(), b.green()), m(a.blue(), b.blue()));
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Readable(const QColor& want, const QColor& ground, double ratio) {
  if (ContrastRatio(want, ground) >= ratio) return want;
  const QColor toward = Luminance(ground) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
  for (int step = 1; step <= 20; ++step) {
    const QColor c = Mix(want, toward, step / 20.0);
    if (ContrastRatio(c, ground) >= ratio) return c;
  }
  return toward;
}

ChartColours ChartColoursFor(const QPalette& palette) {
  // Every repaint asks; the palette seldom changes.
  static qint64 key = -1;
  static ChartColours c;
  if (palette.cacheKey() == key) return c;
  key = palette.cacheKey();
  c.Ground = palette.color(QPalette::Base);
  c.Ink = palette.color(QPalette::Text);
  // Lines and boxes a user must find read at 4.5:1, the read-only curve
  // and the play line at 3:1.
  c.Curve = Readable(QColor(0, 0, 128), c.Ground, 4.5);
  c.ReadOnly = Readable(QColor(128, 128, 128), c.Ground, 3.0);
  c.Handle = Readable(QColor(128, 0, 0), c.Ground, 4.5);
  c.PlayLine = Readable(QColor(255, 0, 0), c.Ground, 3.0);
  c.Filtered = Readable(QColor(0, 0, 255), c.Ground, 3.0);
  // The band lies behind the curve: a quarter of the way from the ground
  // to the text, which is silver on white.
  const bool light = c.Ground.lightness() >= 128;
  c.Band = light ? QColor(192, 192, 192) : Mix(c.Ground, c.Ink, 0.25);
  return c;
}

// The light read from a sound file as two charts over the file's time: each
// eye's brightness (0-100 %) and flash frequency, stretches without a
// carrier shaded, and a preset's own curves laid over them when given.
//
// A cursor marks one moment: a click puts it there, Left and Right move it
// by a second, Page Up and Page Down by a tenth of the file, Home and End to
// the ends; readout() says what both eyes show there.
//
// Main thread only.
#pragma once
#include <QWidget>
#include <vector>

#include "lightchk/presetlight.h"

class LightChart : public QWidget {
  Q_OBJECT
 public:
  explicit LightChart(QWidget* parent);

  // The blocks to draw (kept by pointer; null for none) and the file's
  // length in seconds.
  void setLight(const std::vector<LightBlock>* blocks, double seconds);
  // The curves to lay over the light (kept by pointer; null for none).
  void setCurve(const std::vector<LightCurvePoint>* curve);

  double cursorTime() const { return Cursor; }
  void setCursorTime(double seconds);
  // "1:23  left: 60 %, 10.00 Hz  right: no carrier" (and the preset's
  // values when its curves are shown).
  QString readout() const;
  // The flash frequency the lower chart reaches at its top.
  double frequencyTop() const { return FreqTop; }

 signals:
  void cursorMoved();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  // Per pixel column of the plots: the lowest, mean and highest value of
  // each eye over the blocks with a carrier, and whether any block had one.
  struct Column {
    float Lo[2][2], Mean[2][2], Hi[2][2];  // [chart: 0 brightness, 1 frequency][eye]
    bool Lit[2];
    bool Any;
  };
  const std::vector<LightBlock>* Blocks = nullptr;
  const std::vector<LightCurvePoint>* Curve = nullptr;
  double Seconds = 0;
  double Cursor = 0;
  double FreqTop = 10;
  std::vector<Column> Columns;  // for the current width

  QRect plotRect(int chart) const;
  double timeAt(int x) const;
  int xAt(double t) const;
  void rebuild();
  const LightBlock* blockAt(double t) const;
};

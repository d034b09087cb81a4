// The whole preset at a glance, above the preset options dialog's pages:
// the parameter under the focus (the chart last focused, or the top pane of
// the tab shown) over every segment in order, each repeat drawn as the pass
// it plays, the boundaries marked with the segments' IDs, the left and right
// ear apart where the channels are separate, time in hours:minutes, the
// current segment shaded and the test playback's position.
//
// Clicking a segment makes it the current one (the charts show it); from
// the keyboard Left/Right move to the previous/next segment, Home/End to the
// first/last; Ctrl+C and Ctrl+V copy the segment and paste a copy after it
// (also from the context menu). The accessible description names the
// segment and the value at the cursor (the start of the segment chosen, or
// where the user clicked).
//
// The curve is sampled (main/timeline.h) only when something changed or the
// width did, working out again only the segments whose records changed; a
// paint otherwise draws what it has.
//
// Main thread only.
#pragma once
#include <QWidget>
#include <cstdint>
#include <vector>

#include "main/timeline.h"

class PresetOptionsDialog;
class ParameterChart;
class QMenu;
class QAction;

class PresetTimeline : public QWidget {
  Q_OBJECT
 public:
  explicit PresetTimeline(PresetOptionsDialog* dialog);

  // The row shown (of the current voice where it is a voice's row).
  void setParameter(int paramNum);
  int parameter() const { return Row; }
  // The row of a chart's record (a chart of the dialog or of its modulation
  // window); other widgets leave the row as it is.
  void followChart(const ParameterChart* chart);
  // The preset changed: the curve is sampled again before the next paint.
  void presetChanged();
  // The test playback: whether it runs, and its segment and segment time.
  void setPlayPosition(bool playing, int segment, int time);

  // The cursor: a preset time (hundredths of a minute) and its segment.
  int64_t cursor() const { return Cursor; }
  int cursorSegment() const;
  // Widget coordinates: the plot, the x of a preset time and the preset
  // time at an x.
  QRectF plotRect() const;
  double xOf(int64_t t) const;
  int64_t timeAt(double x) const;
  // What the accessible description says.
  QString describe() const;
  // The segment commands (context menu, Ctrl+C, Ctrl+V).
  QMenu* contextMenu() const { return Menu; }
  // The columns drawn last (tests, the benchmark).
  const std::vector<TimelineColumn>& columns() const { return Cols; }
  int samplings() const { return Samplings; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  void resample();
  void moveToSegment(int s);
  void placeCursor(int64_t t);
  void updateDescription();
  QString valueText(int64_t stored) const;
  QString rowName() const;

  PresetOptionsDialog* D;
  int Row = PN_BEAT;
  int64_t Cursor = 0;
  bool Dirty = true;
  int SampledWidth = -1;
  std::vector<TimelineSegment> Segs;
  std::vector<TimelineColumn> Cols;
  TimelineSampler Sampler;
  ChartRange Range;
  int Samplings = 0;
  bool Playing = false;
  int PlaySegment = -1, PlayTime = 0;
  QMenu* Menu = nullptr;
  QAction *CopyAct = nullptr, *PasteAct = nullptr;
};

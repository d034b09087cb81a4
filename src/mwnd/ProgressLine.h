// The progress line at the bottom of the main window while something long
// runs: a caption and a bar. While it shows, the window is disabled, the
// cursor is the wait cursor and Esc asks the work to stop (Abort). The work
// calls pump() between its steps, which keeps the window alive.
//
// Main thread only.
#pragma once
#include <QWidget>

class QLabel;
class QProgressBar;

class ProgressLine : public QWidget {
  Q_OBJECT
 public:
  explicit ProgressLine(QWidget* window);
  // The parts of the window disabled while the line shows (the line itself
  // stays readable).
  void setBusyWidgets(const QList<QWidget*>& widgets) { Busy = widgets; }
  ~ProgressLine() override;

  // Shows the caption (string id; one holding "%s" gets the play delay in
  // minutes) and the bar for 0..max.
  void start(int captionId, int max);
  // The same with a caption of its own.
  void start(const QString& caption, int max);
  void setPosition(int pos);
  // Processes pending events; true when the user asked to abort.
  bool pump();
  // Hides the line and enables the window again.
  void finish(bool focus = true);

  bool active() const { return Active; }
  bool abortRequested() const { return Abort; }
  void requestAbort() { Abort = true; }
  QLabel* caption() const { return Caption; }
  QProgressBar* bar() const { return Bar; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  QWidget* Window;
  QList<QWidget*> Busy;
  QLabel* Caption;
  QProgressBar* Bar;
  bool Active = false;
  bool Abort = false;
};

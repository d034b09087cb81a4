// The progress line at the bottom of the main window while something long
// runs: a caption, a bar and perhaps a hint. While it shows, the window is
// disabled (but what the work keeps usable), the cursor is the wait cursor
// and Esc asks the work to stop (Abort). The work
// calls pump() between its steps, which keeps the window alive.
//
// Main thread only.
#pragma once
#include <QPointer>
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
  // minutes) and the bar for 0..max; `hintId`, when not 0, is shown after
  // the bar (how to cancel). `keep` are widgets inside the busy parts that
  // stay usable (Stop during the play delay).
  void start(int captionId, int max, int hintId = 0, const QList<QWidget*>& keep = {});
  int captionId() const { return CaptionId; }
  // The same with a caption of its own.
  void start(const QString& caption, int max, int hintId = 0, const QList<QWidget*>& keep = {});
  void setPosition(int pos);
  // Processes pending events; true when the user asked to abort.
  bool pump();
  // Hides the line and enables the window again.
  void finish(bool focus = true);

  bool active() const { return Active; }
  bool abortRequested() const { return Abort; }
  void requestAbort() { Abort = true; }
  QLabel* caption() const { return Caption; }
  QLabel* hint() const { return Hint; }
  QProgressBar* bar() const { return Bar; }

 signals:
  // The line was hidden: the work that showed it has ended (whichever way).
  void finished();

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void disable(QWidget* w, const QList<QWidget*>& keep);
  void enableAgain();

  QWidget* Window;
  QList<QWidget*> Busy;
  QList<QPointer<QWidget>> Disabled;  // what start() disabled, to enable again
  QLabel* Caption;
  QProgressBar* Bar;
  QLabel* Hint;
  int CaptionId = 0;
  bool Active = false;
  bool Abort = false;
};

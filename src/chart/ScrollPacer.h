// Paces the chart's scrolling while a drag holds the pointer past the plot's
// edge: the chart asks for one step after a delay (shorter the further out
// the pointer is), and each step moves the view and asks for the next. The
// chart runs it on a QTimer; tests install one they step by hand, so the
// scrolling needs no real time.
#pragma once
#include <functional>

class ScrollPacer {
 public:
  virtual ~ScrollPacer() = default;
  // One step after `ms` milliseconds, replacing any step already asked for.
  virtual void start(int ms) = 0;
  // No step pending any more.
  virtual void stop() = 0;
  // A step is pending.
  virtual bool active() const = 0;
  // Set by the chart: what a step does. A pacer clears `active` before
  // calling it, as a single-shot timer does.
  std::function<void()> Step;
};

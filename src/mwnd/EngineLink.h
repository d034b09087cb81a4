// How the audio thread's notices reach the main window, and what the window
// hands the audio thread for the screen flashing.
//
// Notices (status, end of preset, device stopped) come through the engine's
// notice ring (data/playback/playevents.h), each naming the record it was
// played from. EngineLink watches the ring's eventfd on
// the main thread and, whenever it is readable, drains the ring into the
// window. The audio thread only writes to the ring: it never waits for the
// window, and the window may be busy or in a nested dialog loop for any
// length of time without the device running dry.
//
// Main thread, except where a function says otherwise.
#pragma once
#include <QObject>
#include <cstdint>

#include "data/playback/audiothread.h"
#include "data/synthesis/state.h"

class MainWindow;
class QSocketNotifier;
class QTimer;

class EngineLink : public QObject {
  Q_OBJECT
 public:
  // Starts watching the ring for `window` (its child).
  explicit EngineLink(MainWindow* window);
  // Hands every waiting notice to the owner of its record, oldest first.
  void drain();
  // One notice to its owner: the window's own record (or none) to the
  // window, the test playback's to it; a record nobody holds any more
  // (a playback gone before its last notice came) to no one.
  void deliver(const PlayEvent& e);
  // The record the window plays on (the device and the file output in turn).
  PlaybackState& playback() { return Playback; }

 private:
  MainWindow* Window;
  QSocketNotifier* Notifier = nullptr;
  QTimer* Poll = nullptr;  // only when the system gave no descriptor
  PlaybackState Playback;
};

// The window interface for CreateAudioThread: the synchronisation points of
// a start (MainWindow::synchPoint) and the visual values the screen flashing
// reads (PublishedVisualValues).
PlaybackWindow EngineWindowFor(MainWindow* window);

// The left eye's visual values of the record that became current last, as
// the screen flashing reads them: frequency (mHz), brightness (0..10000),
// modulation depth (percent) and modulation rate (the rate encoding of the
// sweep records).
struct VisualValues {
  int32_t Frequency = 0;
  int32_t Brightness = 0;
  int32_t ModDepth = 0;
  int32_t ModRate = 0;
};
// Takes the values last published; returns how many records have been
// published so far (0: none yet). Any thread; never blocks the audio thread,
// which publishes through a sequence counter without a lock.
uint32_t PublishedVisualValues(VisualValues* out);

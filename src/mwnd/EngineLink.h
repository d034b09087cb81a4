// How the audio thread's notices reach the main window: the playback
// layer's window interface, delivering status texts, the end of a preset and
// the stopped device as events of the window's event loop.
//
// Main thread installs it; the audio thread calls it.
#pragma once
#include <QEvent>
#include <cstdint>

#include "data/audiothread.h"

class MainWindow;

// An engine notice queued for the main window.
class EngineNotice : public QEvent {
 public:
  static const QEvent::Type Kind;
  EngineNotice(uint32_t msg, uintptr_t w, intptr_t l) : QEvent(Kind), Msg(msg), WParam(w), LParam(l) {}
  uint32_t Msg;
  uintptr_t WParam;
  intptr_t LParam;
};

// The interface for CreateAudioThread, delivering to `window`.
PlaybackWindow EngineWindowFor(MainWindow* window);
// Hands one notice to the window (its event handler calls this).
void DeliverNotice(MainWindow* window, const EngineNotice& n);

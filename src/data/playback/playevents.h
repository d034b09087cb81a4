// Notices of a playback from the audio thread to the main window: a new
// status (1035), the end of the preset (1036) and the stopped device (1037).
//
// The audio thread never waits on the window. It puts each notice into a
// fixed-size ring owned by the engine and wakes the window through an
// eventfd; nothing on that path allocates, locks or blocks. A window that
// stalls (a repaint, a store save, a nested dialog loop) only shows later
// what happened: when the ring is full the oldest status is dropped, never an
// end or a stopped notice. A status carries values, not text; the window
// formats it (FormatPlayStatus), so no text can be overwritten while it is
// read.
//
// Why an eventfd: a Qt QSocketNotifier (or poll()) watches it, so the window
// wakes as soon as a notice arrives and sleeps otherwise, without a timer
// ticking while nothing plays; it is one descriptor where a pipe needs two;
// and a non-blocking write to it cannot block the audio thread (a pipe can
// fill). The audio thread writes to it only when the window has emptied the
// ring since the last write, not once per notice.
//
// How a window uses it, on its own (main) thread:
//   int fd = PlayEventFd();   // once; the descriptor lives with the process
//   watch fd for reading, e.g. new QSocketNotifier(fd, QSocketNotifier::Read)
//   when it is readable:
//     PlayEvent e;
//     while (TakePlayEvent(&e)) if (e.Playback is mine) switch (e.Kind) {
//       case WM_PLAYSTATUS:  FormatPlayStatus(e.Status, text, size); show it,
//                            fitted to e.Status.Lines when e.Status.Forced
//       case WM_PLAYEND:     act as Stop: RequestStop()
//       case WM_PLAYSTOPPED: WaveClose(e.Device), finish stopping
//     }
// Events come in the order the audio thread produced them. Call TakePlayEvent
// until it returns false: only then is the descriptor's readiness cleared, so
// a level-triggered watcher fires again only for new notices.
#pragma once
#include <cstdint>

#include "data/playback/playstatus.h"
#include "platform/wavedev.h"

// Event kinds: the numbers of the messages the window acts on.
constexpr uint32_t WM_PLAYSTATUS = 1035;   // Status: the values to show
constexpr uint32_t WM_PLAYEND = 1036;      // the preset has played to its end: act as Stop
constexpr uint32_t WM_PLAYSTOPPED = 1037;  // device reset after a stop: close Device

struct PlaybackState;

struct PlayEvent {
  uint32_t Kind = 0;
  // The record the audio thread was playing when it posted the notice: the
  // window hands it to whoever owns that record. Only compared, never read.
  const PlaybackState* Playback = nullptr;
  plat::WaveDevice* Device = nullptr;  // WM_PLAYSTOPPED: the device to close
  PlayStatus Status{};                 // WM_PLAYSTATUS
};

// Statuses the ring holds before the oldest is dropped: seconds of a
// stalled window at one record change per block.
constexpr int PLAYSTATUS_RING = 64;

// --- The window's side (main thread) ---------------------------------------
// The descriptor to watch for reading; created on the first call (main
// thread), -1 when the system refuses one (then poll TakePlayEvent on a
// timer while playing).
int PlayEventFd();
// Takes the oldest waiting event; false when there is none, after clearing
// the descriptor's readiness.
bool TakePlayEvent(PlayEvent* out);
// Statuses dropped because the ring was full, since the last reset. Any
// thread.
int64_t PlayStatusesDropped();

// --- The audio thread's side -------------------------------------------------
// One producer at a time: the audio thread (tests: the test thread while no
// audio thread runs). Never blocks, never allocates. `pb` is the record the
// notice belongs to (null when none has been handed to the thread).
void PostPlayStatus(const PlaybackState* pb, const PlayStatus& s);
// WM_PLAYEND or WM_PLAYSTOPPED; never dropped.
void PostPlayNotice(const PlaybackState* pb, uint32_t kind, plat::WaveDevice* device);

// Empties the ring and the descriptor. Main thread, while nothing produces
// (before the audio thread starts).
void ResetPlayEvents();

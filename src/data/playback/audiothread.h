// The audio thread: refills the wave device's blocks as they come back,
// acknowledges freeze requests on the audible record, reports the status,
// the end of the preset and the stopped device, and stops the output on
// request.
//
// The thread is created once and waits for hWaveEvent before it reads its
// queue; it signals hWaveEvent2 when it runs. The wave device is opened with
// AudioQueue as its callback queue, so the device's open, close and done
// notifications are thread messages like the main window's requests.
//
// The thread never waits on the window: what it reports goes through the
// notice ring (playevents.h), which the window drains from its own loop. So
// the window may wait for the thread (SyncAudioThread, EndAudioThread) at
// any time, and a window that stalls cannot make the device run dry.
#pragma once
#include <atomic>
#include <cstdint>

#include "data/playback/playevents.h"
#include "data/synthesis/records.h"
#include "data/synthesis/state.h"
#include "data/synthesis/walk.h"
#include "platform/msgqueue.h"
#include "platform/wavedev.h"

// Messages to the audio thread.
constexpr uint32_t TM_FORGETAUDIBLE = 1035;  // the freeze state changed
constexpr uint32_t TM_STOP = 2258;           // wParam 0: stop
constexpr uint32_t TM_FINISH = 2259;         // play out what is queued, then report the end
constexpr uint32_t TM_SYNC = 2260;           // sent: answered once everything before it is handled
constexpr uint32_t TM_STATUS = 2261;         // lParam a record: report its status (the start's first)
constexpr uint32_t TM_SLEEP = 2262;          // a new sleep timer: wParam ms, lParam mode << 32 | fade ms
constexpr uint32_t TM_PLAYBACK = 2263;       // sent: lParam the PlaybackState the next blocks are made for

// The main window as the playback layer sees it besides the notice ring: the
// command-line tool implements it now, the desktop window later. Null
// members do nothing.
struct PlaybackWindow {
  void* Ctx = nullptr;
  // Instance synchronisation points: 0 before the device restarts, 1 after.
  // Main thread, inside StartPlayback.
  void (*SynchPoint)(void* ctx, int which) = nullptr;
  // Screen flashing: started with the playback (main thread, inside
  // StartPlayback); new visual values whenever a record becomes current, in
  // the order the walk takes them. NewVisualValues runs on the generating
  // thread (the audio thread while playing): it must return at once, without
  // locking or allocating (store the record's left-eye values in atomics the
  // flashing timer reads).
  void (*StartVisual)(void* ctx) = nullptr;
  void (*NewVisualValues)(void* ctx, const SweepRecord* record) = nullptr;
};

extern plat::MsgQueue AudioQueue;
extern plat::Event hWaveEvent;   // the main window lets the thread start
extern plat::Event hWaveEvent2;  // the thread is ready
// The device, its blocks and the start time are the playing record's
// (PlaybackState::hWaveOut, WaveHeaders, HeaderMark, LastWrittenHeader,
// PlayStartTime): the thread reaches them through the record handed to it
// (UseAudioPlayback).

// How the thread's priority could be raised.
enum AudioPriority { PRIO_REALTIME, PRIO_NICE, PRIO_NORMAL };

// Creates the thread (main thread, once) and empties the notice ring.
// `timeCritical` asks for real-time scheduling (round-robin or FIFO at the
// top priority) where permitted; otherwise, or when that is refused, the
// lowest nice value allowed. false when the thread cannot be created.
bool CreateAudioThread(const PlaybackWindow& window, bool timeCritical);
// What the priority became (valid once hWaveEvent2 is set).
AudioPriority AudioThreadPriority();
// Ends the thread's loop and waits for it (program exit, tests). Main
// thread; safe at any moment, playing or not.
void EndAudioThread();
// Returns once the thread has handled every message queued so far: the
// last device's returned blocks and its close. A new device may be given the
// closed one's address, and those messages must not be taken for its own.
// Main thread. The thread never waits on the window, so waiting for it
// cannot deadlock. Does nothing without the thread.
void SyncAudioThread();
// SyncAudioThread that also hands the thread the record of the playback
// about to start: every block it makes from then on walks and generates
// `pb`. Main thread; without the thread it takes effect at once.
void UseAudioPlayback(PlaybackState* pb);
const PlaybackWindow& MainWindowHooks();

// Tests only: called on the audio thread before it handles each message
// (a test holds the thread there to make it late). Null in the program.
using AudioMessageHookFn = void (*)(uint32_t msg, uintptr_t wParam);
extern std::atomic<AudioMessageHookFn> AudioMessageHook;

// The status display (ShowParams): statuses are reported only while it is on.
// Any thread.
void SetStatusDisplay(bool on);

// Main-thread requests during playback (each returns at once):
// Freeze/Restart of the playback `pb` (the record the thread plays): with
// immediatePause the queued blocks are dropped so that the change is heard
// at once, and it acts on the audible record.
void RequestFreeze(PlaybackState& pb, bool freeze, bool immediatePause);
// The visual mode switched to or from AudioStrobe: `pb` takes the flag, and
// the queued blocks are regenerated with or without the light signal.
void SetPlaybackAudioStrobe(PlaybackState& pb, bool on);
// Stop: the thread resets the device, gives back the block memory and
// reports WM_PLAYSTOPPED. With a stop fade (PlaybackFades) and sound
// queued, the next StopFadeMs of it fall to silence first and the rest is
// dropped; the device is reset once that has been handed on. A second stop
// meanwhile cuts at once.
void RequestStop();
// A gentle stop: nothing more is generated, the queued blocks are heard to
// the end, then WM_PLAYEND is reported as at the end of the preset.
void RequestFinish();
// A new sleep timer for the running playback (fade.h: SLEEP_OFF,
// SLEEP_AFTER `afterMs` from the sound heard now, SLEEP_AT_END), fading out
// over `fadeMs`. Ignored when nothing plays.
void RequestSleep(int32_t mode, int64_t afterMs, int32_t fadeMs);

// Longest time the thread took to generate one block, and blocks generated,
// since the last reset of these figures (soak runs). Any thread.
void AudioBlockStats(int64_t* worstMicros, int64_t* blocks);
void ResetAudioBlockStats();

// The preset editor's test playback: the engine's test mode (one held sweep
// record at a chosen segment and segment time) on the wave device the
// settings name, moved to another place or given the edited preset again
// while it plays, and stopped. The configuration wizard uses it too.
//
// The audio thread's notices reach the main window through its link
// (mwnd/EngineLink). Each names the record it was played from; the link
// hands those of the test's record here (takeNotice), so the main window's
// status and device are left alone, even by notices still on their way
// after the test has stopped.
//
// Main thread only.
#pragma once
#include <QObject>
#include <cstdint>

#include "data/playback/playevents.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "main/model.h"
#include "platform/wavedev.h"

class TestPlayback : public QObject {
  Q_OBJECT
 public:
  // What the test needs of the main window.
  struct Host {
    void* Ctx = nullptr;
    // The main window plays (a test cannot start then: 1333).
    bool (*MainPlaying)(void* ctx) = nullptr;
    // The device the settings name.
    plat::WaveTarget (*Target)(void* ctx) = nullptr;
    // The window's own AudioStrobe setting, which the editor's test
    // follows (none: off).
    bool (*AudioStrobe)(void* ctx) = nullptr;
  };
  // The main window installs itself; it removes itself (an empty host) when
  // it goes.
  static void setHost(const Host& host);
  static TestPlayback* instance();

  // Where a start failed: opening the device (its message may take the
  // error code as %1!d!) or the start itself (its messages name the
  // background as %1).
  enum Failure { FAIL_NONE, FAIL_DEVICE, FAIL_START };
  // Starts playing `p` at `segment` and `time` (0..10000): 0, or a message
  // id (1333 while the main window plays). *code receives a device error
  // code for 1262.
  int start(const Preset& p, int segment, int time, Failure* where, int* code);
  // The same with the given options instead of the settings (the
  // configuration wizard's working copy) and the AudioStrobe setting last
  // given to setAudioStrobe. With `adjust`, a device that rejects 16 bits or
  // the rate is tried again with 8 bits or 40000 samples per second.
  int start(const Preset& p, int segment, int time, const AdvancedOptions& options, bool adjust, Failure* where,
            int* code);
  // Plays `p` at another place, or the edited preset at the same place. 0 or
  // a message id (the old sound goes on).
  int update(const Preset& p, int segment, int time);
  // Stops and closes the device; returns when the audio thread has let go
  // of it.
  void stop();
  // Whether the test's record makes the AudioStrobe light signal; taken by
  // the next start.
  void setAudioStrobe(bool on) { Playback.AudioStrobeOn.store(on ? 1 : 0); }

  bool running() const { return Running; }
  // The record the test plays from; its notices name it.
  const PlaybackState& playback() const { return Playback; }
  int segment() const { return Segment; }
  int time() const { return Time; }

  // The main window's link offers notices of the audio thread here; true
  // when it belonged to the test (it was played from the test's record).
  // The test's own stop has closed its device already: such a notice is
  // only taken away from the window.
  static bool takeNotice(const PlayEvent& e);

 Q_SIGNALS:
  void stateChanged(bool running);

 private:
  TestPlayback() = default;
  // What the test plays: its record, handed to the audio thread at a start.
  PlaybackState Playback;
  bool Running = false;
  int Segment = 0, Time = 0;
  plat::WaveDevice* Device = nullptr;
};

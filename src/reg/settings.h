// The user's settings: every value the program keeps between runs, with its
// default. Read once at start-up (before the main window exists) and written
// when the main window closes (regstore.h); in between the program reads and
// changes this record directly.
//
//   GROUP       VALUE                               TYPE          DEFAULT
//   3           SelectedPreset                      string        "BUILTIN: Relaxation 1 (general)"
//   3           ShowParams                          int32         1
//   3           VisualOutput                        int32         0 (0, 1, 10, 11, 12)
//   3           DoNotShow...Warning (seven flags)   int32         0
//   3           SetBuiltIns                         int32         0 (read only)
//   3           VisualOptions                       184 bytes     two colours, blue and green
//   3/Windows   MainX, OptionsX, ModulationX        int32         CW_USEDEFAULT (0x80000000)
//   3/Windows   ...Y, ...Width, ...Height           int32         0
//   3/Advanced  the 19 advanced options             int32         options.h
//   3/Advanced  CustColorTable                      64 bytes      16 colours
//   3/Advanced  Device                              string        "default" (ALSA PCM for playback)
//   3/Advanced  ReportServer                        string        "www.kelvadi.com" (debug data upload)
//   3/Advanced  ReportPort                          int32         80
//   Listening   SleepTimer                          int32         0 (0 off, 1 after SleepMinutes, 2 at the end)
//   Listening   SleepMinutes, SleepFadeSeconds      int32         30, 60
//   Listening   SoftStartStop, KeepAwake            int32         1, 1
//
// Values are not range-checked when read: the dialogs that edit them do that.
// Main thread only.
#pragma once
#include <cstdint>
#include <string>

#include "data/synthesis/options.h"
#include "main/model.h"
#include "main/startup.h"

// Visual output modes (VisualOutput).
constexpr int32_t VISUAL_NONE = 0;
constexpr int32_t VISUAL_AUDIOSTROBE = 1;
constexpr int32_t VISUAL_WINDOW = 10;
constexpr int32_t VISUAL_WINDOW_TOP = 11;
constexpr int32_t VISUAL_FULLSCREEN = 12;

// Longest preset name kept for "SelectedPreset" (bytes, without terminator).
constexpr size_t SELECTEDPRESET_MAX = 127;

// How the user listens: the sleep timer, the fades of a start and a stop,
// and keeping the screen on and the computer awake while playing. A group
// of its own beside the original ones.
struct ListeningSettings {
  int32_t SleepTimer = 0;  // data/playback/fade.h: SLEEP_OFF, SLEEP_AFTER, SLEEP_AT_END
  int32_t SleepMinutes = 30;
  int32_t SleepFadeSeconds = 60;
  int32_t SoftStartStop = 1;  // fade in at a start and out at a stop
  int32_t KeepAwake = 1;      // no screen saver, blanking or idle suspend while playing
};

struct Settings {
  std::string SelectedPreset;  // string 1 unless set
  int32_t ShowParams = 1;
  int32_t VisualOutput = VISUAL_NONE;
  int32_t DoNotShowVolumeZeroWarning = 0;
  int32_t DoNotShowOptionsWhilePlaying = 0;
  int32_t DoNotShowPitchRight = 0;
  int32_t DoNotShowGlobalVisOptWarning = 0;
  int32_t DoNotShowSegEndZeroWarning = 0;
  int32_t DoNotShowVisualLeftRightWarning = 0;
  int32_t DoNotShowFlashingWarning = 0;  // the seizure warning before flashing
  int32_t SetBuiltIns = 0;
  VisOpt VisualOptions{};
  Placement Main, Options, Modulation;
  AdvancedOptions Advanced;
  uint32_t CustColorTable[16] = {};
  std::string Device = "default";
  std::string ReportServer = "www.kelvadi.com";
  int32_t ReportPort = 80;
  ListeningSettings Listening;
};

// The values in effect before any setting is read. `directDraw` is the
// default of UseDirectDraw: whether smooth full-screen flashing is available.
void DefaultSettings(Settings& s, bool directDraw);

// The program's settings.
extern Settings Cfg;

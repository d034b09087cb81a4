// The status of a playback: elapsed time, each voice's volume and beat
// frequency, and the AudioStrobe light values.
//
// The audio thread takes the values (MakePlayStatus, no allocation, no
// text); the window formats them (FormatPlayStatus) with strings 32-40 when
// it shows them, so no text buffer is shared between the two threads.
#pragma once
#include <cstddef>
#include <cstdint>

#include "data/synthesis/records.h"

struct PlaybackState;

struct PlayStatusVoice {
  int32_t Volume[2];  // 0..10000 per ear; 0 for a voice the record lacks
  int32_t Beat;       // right minus left frequency, mHz
};

struct PlayStatus {
  int64_t ElapsedSeconds;
  uint8_t Frozen;  // "(Parameters frozen)"
  uint8_t Strobe;  // the AudioStrobe line is shown
  // Taken at a start, a record change or a freeze change (the message was
  // sent, not posted): the window fits its text to Lines then.
  uint8_t Forced;
  uint8_t Voices;  // voice lines, 1..MAXVOICES (the list's largest voice count)
  int32_t Lines;   // 1 + Voices + Strobe
  PlayStatusVoice Voice[MAXVOICES];
  int32_t VisualBrightness[2];  // 0..10000 per eye
  int32_t VisualFrequency[2];   // mHz per eye
  // The sleep timer (fade.h): ms until its fade has ended, -1 without one.
  int64_t SleepLeftMs = -1;
  uint8_t SleepMode = 0;  // SLEEP_AFTER or SLEEP_AT_END
  uint8_t SleepFading = 0;
};

// Takes the user's number format for the status texts, so that one playback
// shows its numbers one way throughout. Main thread, at each playback start.
void TakeStatusNumberFormat();
// Stored value with `digits` decimals as text in the taken number format,
// one decimal shown, rounded. Any thread.
void FormatStatusNumber(int32_t value, int digits, char* out, size_t size);
// "m:ss" below one hour, else "h:mm:ss", with the locale's time separator.
void FormatElapsed(int64_t seconds, char* out, size_t size);

// The values of record `r` for the status (voices the list has but the record
// does not are silent). No allocation, no lock: the audio thread's side.
void MakePlayStatus(const PlaybackState& pb, const SweepRecord* r, int64_t elapsedSeconds, bool frozen, bool strobe,
                    bool forced, PlayStatus* out);
// The status text (strings 32-40) into out, cut to `size`; returns the number
// of lines. The window's side; any thread.
int FormatPlayStatus(const PlayStatus& s, char* out, size_t size);
// The sleep timer's line (strings 1490-1493, without a line break) into
// out; false, with out empty, when the status has none. Any thread.
bool FormatSleepLine(const PlayStatus& s, char* out, size_t size);
// Both at once: the text for record `r`. Any thread.
int BuildStatusText(const PlaybackState& pb, const SweepRecord* r, int64_t elapsedSeconds, bool frozen, bool strobe,
                    char* out, size_t size);

// The status text of a playback: elapsed time, each voice's volume and beat
// frequency, and the AudioStrobe light values.
#pragma once
#include <cstddef>
#include <cstdint>

#include "data/records.h"

// Takes the user's number format for the texts built on the audio thread,
// which may not read the locale itself. Main thread, at each playback start.
void TakeStatusNumberFormat();
// Stored value with `digits` decimals as text in the taken number format,
// trailing zero decimals dropped. Any thread.
void FormatStatusNumber(int32_t value, int digits, char* out, size_t size);
// "m:ss" below one hour, else "h:mm:ss", with the locale's time separator.
void FormatElapsed(int64_t seconds, char* out, size_t size);
// Builds the whole text for record `r` (see strings 32-40) into out; returns
// the number of lines. Voices the list has but the record does not are
// shown silent. Any thread.
int BuildStatusText(const SweepRecord* r, int64_t elapsedSeconds, bool frozen, bool strobe, char* out, size_t size);

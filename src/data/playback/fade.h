// Gain ramps on top of the generated sound: the fade-in of a playback start,
// the short fade of a stop, the sleep timer's fade-out (after a time, or
// over the end of the preset) and the fade-out at the end of a file.
//
// One curve serves them all: a quarter sine, so that the gain changes
// slowest where a change is heard most (near full level and near silence)
// and a fade-in crossing a fade-out keeps the power. Gains are Q15 fixed
// point (FADE_UNITY = 32768 leaves a sample as it is, 16384 halves it); a
// sample s becomes (s * g + 16384) >> 15, 8-bit samples taken about 128, so
// a gain of 0 is exact silence and a smaller gain never makes a sample
// larger. A block no ramp touches keeps its bytes.
//
// On the device path the ramps are the generating thread's: nothing here
// allocates, locks or makes a system call.
#pragma once
#include <cstdint>

struct PlaybackState;

constexpr int32_t FADE_UNITY = 32768;
// The fade of a start and of a stop while sound plays: long enough that no
// click is heard, short enough to feel immediate.
constexpr int32_t SOFT_STOP_MS = 40;

// The curve `pos` of `len` of the way up: 0 at 0, FADE_UNITY at len, rising
// with pos (a fade-out reads it with the frames left). Any thread.
int32_t FadeCurve(int64_t pos, int64_t len);

// Multiplies one sample by a Q15 gain. Any thread.
inline int16_t FadeSample16(int16_t s, int32_t g) { return static_cast<int16_t>((s * g + 16384) >> 15); }
inline uint8_t FadeSample8(uint8_t s, int32_t g) {
  return static_cast<uint8_t>(128 + (((static_cast<int32_t>(s) - 128) * g + 16384) >> 15));
}

// Fades the last `fadeFrames` frames before frame `endFrame` of a stream out
// to silence (the first of them keeps its level, the last one is silent), on
// the block of `frames` stereo frames that starts at frame `first`: frames
// from endFrame on become silence, earlier ones outside the fade stay as
// they are. 16-bit or 8-bit samples (`wide`). Any thread.
void FadeOutBlock(void* block, int64_t frames, bool wide, int64_t first, int64_t endFrame, int64_t fadeFrames);

// --- A playback on the device ------------------------------------------------

// What the sleep timer does with a playback.
enum SleepMode : int32_t {
  SLEEP_OFF = 0,
  SLEEP_AFTER = 1,   // faded out and ended a set time after it was set
  SLEEP_AT_END = 2,  // the end of the preset fades out instead of stopping abruptly
};

struct PlaybackFades {
  int32_t FadeInMs = 0;    // fade-in of a start; 0: none
  int32_t StopFadeMs = 0;  // fade of a stop while sound plays; 0: the stop cuts
  int32_t Sleep = SLEEP_OFF;
  int64_t SleepAfterMs = 0;  // SLEEP_AFTER: silent this long after the start
  int32_t SleepFadeMs = 0;   // length of the sleep timer's fade-out
};

// The start of a playback on the device: the record's ramps (its Fade) from
// frame 0 with the fades `f` (whoever starts the playback holds them; the
// preset editor's test playback has none), the end of the walk for
// SLEEP_AT_END. Main thread, inside StartPlayback after the walk has been
// started and before the first block.
void StartPlaybackFades(PlaybackState& pb, const PlaybackFades& f);
// GenerateBlock with the record's ramps on top: 1 when the preset has ended
// or the sleep timer's fade has, so that the playback ends as at the end of
// the preset. The generating thread.
int GeneratePlaybackBlock(PlaybackState& pb, void* buffer);
// A new sleep timer for the playback of `pb`: `afterMs` from now (the sound
// generated so far), or SLEEP_AT_END, or SLEEP_OFF. A fade under way is
// given back gently (half a second to full level). The generating thread.
void ChangePlaybackSleep(PlaybackState& pb, int32_t mode, int64_t afterMs, int32_t fadeMs);
// The playback's sleep mode and its stop fade in frames. The generating
// thread (the stop fade: the audio thread once the start has handed the
// device over).
int32_t PlaybackSleepMode(const PlaybackState& pb);
int64_t PlaybackStopFadeFrames(const PlaybackState& pb);
// Milliseconds until the sleep timer's fade has ended, or -1 without one
// (or when the preset holds forever); *fading while the fade is under way.
// The generating thread.
int64_t PlaybackSleepLeftMs(const PlaybackState& pb, bool* fading);

// The stop's fade over what is queued on the device (plat::WaveEndQueue's
// editor): the first `Frames` frames still to be heard fall to silence, the
// rest of that block is silence, and the blocks after it are dropped.
struct StopFade {
  int64_t Frames = 0;  // wanted length; shortened to what is queued
  bool Wide = true;
  int64_t Done = 0;  // frames faded so far (the editor's own)
  int64_t Length = 0;
};
// The editor for plat::WaveEndQueue; ctx is a StopFade. Any thread that
// holds the device (the audio thread).
bool EditStopFade(void* ctx, unsigned char* data, uint32_t bytes, int64_t queuedBytes);

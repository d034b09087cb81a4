// Wave output device: queued PCM blocks played in order, with open, close and
// done notifications delivered as messages to a callback thread's queue.
//
// Two implementations stand behind the same calls: ALSA (a PCM by name,
// "default" unless the caller names another, optionally from a private ALSA
// configuration file), and a fake device that plays on a clock the caller
// advances (tests) or on the real clock (paced soak runs) and can keep every
// byte it played.
//
// A block is described by a WaveHeader that stays the caller's: prepare it
// once, write it, and the device hands it back with WHDR_DONE set and a
// MM_WOM_DONE message (wParam the device, lParam the header) once all its
// samples have been handed to the sound system. Blocks come back in the
// order written. Reset returns every queued block at once, in order, marked
// done. A device thread inside the layer does the writing; underruns are
// recovered and counted. Once a device is open, writing and returning
// blocks allocate nothing.
//
// Result codes follow the multimedia numbering so that "error code %1!d!"
// shows familiar values. Open, close, pause, restart, reset and write: any
// thread, one at a time per device (the main window and the audio thread
// take turns as playback moves from one to the other).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/msgqueue.h"

namespace plat {

enum WaveResult : int {
  WAVE_OK = 0,
  WAVE_ERROR = 1,      // unspecified failure
  WAVE_BADDEVICE = 2,  // no such device
  WAVE_ALLOCATED = 4,  // in use by another program
  WAVE_INVALHANDLE = 5,
  WAVE_NOMEM = 7,
  WAVE_BADFORMAT = 32,
  WAVE_STILLPLAYING = 33,
  WAVE_UNPREPARED = 34,
};

// Notification message ids.
constexpr uint32_t MM_WOM_OPEN = 0x3BB;
constexpr uint32_t MM_WOM_CLOSE = 0x3BC;
constexpr uint32_t MM_WOM_DONE = 0x3BD;

// Header flags.
constexpr uint32_t WHDR_DONE = 1;
constexpr uint32_t WHDR_PREPARED = 2;
constexpr uint32_t WHDR_INQUEUE = 16;

struct WaveHeader {
  unsigned char* Data = nullptr;
  uint32_t Length = 0;  // bytes, whole frames
  uintptr_t User = 0;   // the caller's
  uint32_t Flags = 0;   // written by the device while queued
  uint32_t Loops = 0;
  WaveHeader* Next = nullptr;  // the device's: its queue links through it
};

// PCM, interleaved; 8-bit unsigned or 16-bit signed little-endian.
struct WaveFormat {
  int Channels = 2;
  int SamplesPerSec = 44100;
  int BitsPerSample = 16;
};
inline int BlockAlign(const WaveFormat& f) { return f.Channels * f.BitsPerSample / 8; }

struct FakeWave;

// Which device to use.
struct WaveTarget {
  std::string Pcm = "default";  // ALSA PCM name
  std::string AlsaConfig;       // optional configuration file defining Pcm
  FakeWave* Fake = nullptr;     // when set, the fake device instead of ALSA
};

struct WaveDevice;

// Whether the device accepts the format, without opening it for playing.
int WaveQuery(const WaveTarget& target, const WaveFormat& format);
// Opens the device; notifications go to `callback` (MM_WOM_OPEN first).
int WaveOpen(WaveDevice** out, const WaveTarget& target, const WaveFormat& format, MsgQueue* callback);
// Fails with WAVE_STILLPLAYING while blocks are queued; posts MM_WOM_CLOSE.
int WaveClose(WaveDevice* dev);
// Headers: prepare marks them usable; unprepare refuses queued ones. Neither
// touches the device, so a header may be unprepared after a close.
int WavePrepare(WaveDevice* dev, WaveHeader* h);
int WaveUnprepare(WaveDevice* dev, WaveHeader* h);
int WaveWrite(WaveDevice* dev, WaveHeader* h);
// Pause stops playing at once (queued blocks stay); restart goes on.
int WavePause(WaveDevice* dev);
int WaveRestart(WaveDevice* dev);
// Returns all queued blocks at once and drops what the sound system holds;
// with nothing queued, what it holds is played to the end instead, so a
// reset after the last block keeps the tail audible.
int WaveReset(WaveDevice* dev);
// Ends the queue gently, for a stop without a click: `edit` is called,
// under the device lock, on the queued sound not yet handed to the sound
// system, in order (the rest of the front block, then each later block),
// with the total of those bytes, until it returns false; the blocks after
// the one it returned false in are handed back at once, as by a reset,
// while what the sound system holds and the edited rest play on. Returns
// the block now queued last, or null when nothing is left to play (the
// device is paused, or everything has been handed on).
using QueueEditor = bool (*)(void* ctx, unsigned char* data, uint32_t bytes, int64_t queuedBytes);
WaveHeader* WaveEndQueue(WaveDevice* dev, QueueEditor edit, void* ctx);
// Underruns recovered since the open.
int64_t WaveUnderruns(WaveDevice* dev);

// --- Fake device ---------------------------------------------------------
struct FakeWaveConfig {
  int MaxBits = 16;  // formats beyond these are WAVE_BADFORMAT
  int MaxRate = 192000;
  int MaxChannels = 2;
  int QueryError = 0;  // when non-zero, what query and open return
  int OpenError = 0;   // when non-zero, what open returns after a good query
  bool Record = true;  // keep every byte played
  bool Paced = false;  // play on the real clock instead of FakeAdvance
};
FakeWave* CreateFakeWave(const FakeWaveConfig& config);
// The device must be closed first.
void DestroyFakeWave(FakeWave* fake);
// Plays `frames` frames of the fake clock: consumes queued blocks in order,
// each one done (and its message posted) when its last frame has played.
// Frames without a block are starved; the next write counts an underrun.
void FakeAdvance(FakeWave* fake, int64_t frames);
// Waits until `blocks` blocks are queued (true), or timeoutMs has passed.
bool FakeWaitQueued(FakeWave* fake, int blocks, int timeoutMs);
int FakeQueued(FakeWave* fake);
// Bytes played so far (empty unless Record) and their count.
std::vector<unsigned char> FakePlayed(FakeWave* fake);
int64_t FakePlayedBytes(FakeWave* fake);
// Lowest number of bytes queued ahead seen while playing (paced mode).
int64_t FakeLowWater(FakeWave* fake);
// Number of resets so far.
int FakeResets(FakeWave* fake);
// Paced mode: the longest time between two steps of the clock, in
// microseconds. Steps 2 ms apart are the pacer's own; a step longer than the
// queued sound means the machine stalled the sink, which no audio thread can
// make up for.
int64_t FakeWorstStepUs(FakeWave* fake);

}  // namespace plat

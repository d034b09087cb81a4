// The test tone of the options: one second of 440 Hz on both channels,
// played through a chosen device and format without the audio thread, so
// the user hears whether the device and format work before any preset plays.
//
// Main thread only. Starting returns at once; the caller polls
// TestToneFinished (from a timer) and ends with StopTestTone.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/msgqueue.h"
#include "platform/wavedev.h"

struct TestTone {
  plat::MsgQueue Queue;  // the device's notifications
  plat::WaveDevice* Device = nullptr;
  plat::WaveHeader Header;
  std::vector<unsigned char> Data;
};

// The tone's PCM: `samplesPerSec` frames of a 440 Hz sine, stereo, 8-bit
// unsigned or 16-bit signed little-endian, at half of full scale, faded in
// and out over 10 ms so that it starts and ends without a click.
std::vector<unsigned char> MakeTestTone(int samplesPerSec, bool bits16);

// Opens the device with the playback's format diagnosis and queues the tone.
// 0, or the message to show (1259-1266; *code for 1262). A tone already
// playing is stopped first.
int StartTestTone(TestTone& t, const plat::WaveTarget& target, int samplesPerSec, bool bits16, int* code);
// true once the device has taken the whole tone (or nothing plays).
bool TestToneFinished(TestTone& t);
// Lets what the sound system holds play out, then closes the device.
void StopTestTone(TestTone& t);

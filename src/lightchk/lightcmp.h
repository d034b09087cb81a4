// Whether the light signal came through an encoder: the light read from
// the blocks as the engine wrote them, against the light read back from the
// encoded file; and the encoder settings that keep the carrier.
//
// Main thread (it runs where the file is written).
#pragma once
#include <cstddef>
#include <string>

#include "lightchk/lightfile.h"
#include "platform/soundfile.h"

// Differences a second may have and still show the same light.
constexpr float LIGHT_KEEP_BRIGHTNESS = 10.0f;  // percentage points
constexpr float LIGHT_KEEP_FREQUENCY = 0.5f;    // Hz

struct LightSurvival {
  int Seconds = 0;          // seconds in which the written blocks have a carrier
  int Missing = 0;          // of them, seconds without a carrier in the file
  int Off = 0;              // seconds whose brightness or flash is beyond the limits
  int Compared = 0;         // eye-seconds with a carrier in both; the figures below are theirs
  float LevelChange = 0;    // mean level in the file against the blocks, dB
  float WorstLevel = 0;     // the largest loss of level of a second, dB (<= 0)
  float MaxBrightness = 0;  // the largest brightness difference, points
  float MaxFrequency = 0;   // the largest flash frequency difference, Hz
  bool Survived = false;
};

// Compares the light of the file with the light of the blocks written into
// it, second by second and eye by eye. The light survived when no second
// lost its carrier and at most 2 % of the seconds (one at least) differ by
// more than the limits: the last second, which an encoder may shorten,
// counts neither way.
LightSurvival CompareLight(const LightReport& written, const LightReport& file);
// Why the light did not survive, in a few words ("the carrier is missing in
// 58 of 60 seconds", "the brightness is off by up to 35 % in 12 of 60
// seconds", ...).
std::string LightLossText(const LightSurvival& s);
// What to tell the user after the check of a file in format f: that the
// light came through (with the level change and the largest differences),
// or that it did not, why, and that FLAC or WAV keep it.
std::string LightSurvivalText(const LightSurvival& s, plat::SoundFormat f);

// The quality setting (plat::MaxQuality's scale) with which an encoder keeps
// the carrier, for renders with AudioStrobe that name none; the format's
// default for FLAC and WAV, which keep every sample.
int CarrierQuality(plat::SoundFormat f);
// Whether the format can change the carrier (the lossy ones).
bool LosesCarrier(plat::SoundFormat f);

// A FileOutput block observer that feeds the blocks into a LightDecoder
// (`ctx`): interleaved stereo, 16-bit signed or 8-bit unsigned.
void LightFeedBlock(void* ctx, const unsigned char* block, size_t bytes, bool bits16);

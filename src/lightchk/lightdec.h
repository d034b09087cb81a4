// The light signal carried in a sound: what goggles that follow the 19.2 kHz
// AudioStrobe carrier would show, read back from the samples.
//
// The generator puts a 19.2 kHz sine into each ear whose volume index V
// (0..10000, hundredths of a percent) carries the eye's brightness B:
// V = (Max - m) * B / 100 + m * 100 with m = min(Max, Zero) of the
// AudioStrobe levels, and flashes between V and V * m / 100 at the visual
// frequency. Its amplitude is ConvVol[V] / 1024 of half full scale, so
// V = 10000 is -6.02 dBFS and V = 5000 (ConvVol 152) is -22.6 dBFS.
//
// The decoder takes the bin at 19.2 kHz of a Blackman-windowed DFT, 2 ms
// long, every 0.5 ms per channel (the carrier's envelope), and the same at
// 17 kHz, where a carrier has nothing, as the noise floor. A flash is a
// rising crossing of the middle between the envelope's recent highest and
// lowest values; the flash frequency of a stretch is the cycles between
// crossings that fall into it, and the brightness is read from each cycle's
// highest envelope (a steady carrier's mean) through the inverse of ConvVol
// and the levels. Results come per 50 ms block and per second.
//
// Memory stays bounded: the decoder keeps a few seconds of pending state and
// 28 bytes per 50 ms block (about 2 MB an hour). Any thread; one decoder is
// used by one thread at a time.
#pragma once
#include <cstdint>
#include <vector>

constexpr double LIGHT_CARRIER_HZ = 19200.0;
constexpr int LIGHT_BLOCKS_PER_SECOND = 20;  // 50 ms blocks
// The lowest rate whose band still holds the carrier and its flash.
constexpr int LIGHT_MIN_RATE = 40000;
// A carrier quieter than this (a volume of about 9 %, far below any zero
// level goggles are set up with) is no carrier: sounds of nature reach
// -60 dBFS at 19.2 kHz.
constexpr float LIGHT_FLOOR_DB = -40.0f;
// Levels of blocks and seconds without a carrier.
constexpr float LIGHT_NO_LEVEL = -200.0f;
// Sound is read up to this length (the longest render is 10 hours); what
// comes after it is counted, not decoded.
constexpr int64_t LIGHT_MAX_SECONDS = 12 * 3600;

// The AudioStrobe levels brightness is read against, percent 0..100
// (the settings' defaults unless the user says otherwise).
struct LightLevels {
  int ZeroLevel = 50;
  int MaxLevel = 100;
};

// One eye's light over a block or a second.
struct LightEye {
  float Level = LIGHT_NO_LEVEL;  // the carrier's level (flash on) in dBFS
  float Brightness = 0;          // percent 0..100
  float Frequency = 0;           // flash frequency in Hz; 0 when steady
  float Depth = 0;               // how far the flash dips, percent of the volume
  bool Carrier = false;
};

struct LightBlock {
  LightEye Eye[2];  // left, right
};

struct LightSecond {
  int T = 0;  // the whole second the entry starts at
  LightEye Eye[2];
};

struct LightDecoder;

// A decoder for interleaved frames of `channels` channels at `rate` samples
// per second. The first two channels are the left and the right eye; a mono
// sound lights both eyes alike. A rate below LIGHT_MIN_RATE cannot carry the
// signal: such a decoder finds none; a rate below 1 has no blocks at all.
LightDecoder* LightDecoderCreate(int rate, int channels, const LightLevels& levels);
void LightDecoderFree(LightDecoder* d);
// Feeds `frames` frames of 16-bit samples.
void LightDecoderFeed(LightDecoder* d, const int16_t* samples, int64_t frames);
// Frames fed so far, and the frames of them that the blocks cover (at
// most LIGHT_MAX_SECONDS).
int64_t LightDecoderFrames(const LightDecoder* d);
int64_t LightDecoderCovered(const LightDecoder* d);
// Ends the sound: every block fed is complete afterwards.
void LightDecoderFinish(LightDecoder* d);
// The blocks complete so far, from the start of the sound.
const std::vector<LightBlock>& LightDecoderBlocks(const LightDecoder* d);

// The seconds of a block list: a second has a carrier when one of its blocks
// has; its level and brightness are those of its blocks with a carrier, its
// frequency the cycles counted in it over the time they cover.
std::vector<LightSecond> LightSeconds(const LightDecoder* d);

// Brightness in percent (0..100) of a carrier at `levelDb` dBFS read
// against the levels; the inverse of the generator's volume rule.
float LightBrightnessOf(float levelDb, const LightLevels& levels);
// The volume index (0..10000) whose carrier has `levelDb` dBFS.
float LightVolumeOf(float levelDb);

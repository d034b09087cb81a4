// The light signal check of a whole sound file: any file the codec library
// reads (WAV, FLAC, Ogg Vorbis, Opus, MP3), decoded in blocks through the
// platform's decoder into the light decoder, with a summary of where a
// carrier was found.
//
// Main thread (the progress sink pumps the caller's events); the decoding
// itself touches no engine state, so it may run while a preset plays.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/synthesis/sweep.h"
#include "lightchk/lightdec.h"

// Results of CheckLightFile.
constexpr int LIGHT_UNREADABLE = 2;  // nothing could be decoded; the reason says why
constexpr int LIGHT_ABORTED = -1;    // the sink asked to stop; the report holds what was read
// Gaps shorter than this are not listed.
constexpr double LIGHT_MIN_GAP = 1.0;

struct LightGap {
  double From = 0, To = 0;  // seconds
};

struct LightReport {
  int Rate = 0, Channels = 0;
  int64_t Frames = 0;                  // frames decoded
  int64_t DeclaredFrames = 0;          // frames the file says it holds (may be wrong)
  bool Carrier = false;                // a light signal: some second with a carrier
  double From = 0, To = 0;             // the first and the end of the last block with a carrier
  float LowestLevel = LIGHT_NO_LEVEL;  // the quietest second with a carrier, dBFS
  std::vector<LightGap> Gaps;          // stretches between From and To without one
  std::vector<LightBlock> Blocks;
  std::vector<LightSecond> Seconds;
  bool Cut = false;   // the file is longer than LIGHT_MAX_SECONDS
  std::string Error;  // decoding stopped early with this reason
};

// Checks the file at `path`. Returns 0 (the report is complete, with Error
// set when the decoding failed part way), LIGHT_UNREADABLE with *reason
// (the codec library's words), or LIGHT_ABORTED. The sink receives
// 0..10000 by the frames the file declares.
int CheckLightFile(const char* path, const LightLevels& levels, const ProgressSink* sink, LightReport* out,
                   std::string* reason);
// The same for a file image in memory.
int CheckLightMemory(const unsigned char* data, size_t size, const LightLevels& levels, const ProgressSink* sink,
                     LightReport* out, std::string* reason);

// The summary fields (Carrier, From, To, LowestLevel, Gaps, Seconds) of a
// finished decoder's blocks.
void SummarizeLight(const LightDecoder* d, LightReport* out);

// The summary in one sentence: where the carrier is, its lowest level and
// the gaps; or that there is none (and why, for a rate that cannot carry it).
std::string LightSummaryText(const LightReport& r);

// A file that ends well before the length its header declares (a second
// and a twentieth of it at least, so an encoder's estimate does not count):
// "The file ends after 0:12 of the 3:00 its header declares; it may be cut
// short." Empty when it does not, was stopped, or was checked only in part.
std::string LightEndsEarlyText(const LightReport& r, bool stopped);

// "m:ss" or "h:mm:ss" of whole seconds.
std::string LightTimeText(double seconds);

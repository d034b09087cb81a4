// Background sound loading: source selection (a WAV file, a library's
// resource, or the program's own), the WAV checks, and the conversion into
// BackgroundData in the engine's format (stereo frames, 16-bit signed or
// 8-bit unsigned, at the playback's SamplesPerSec: the readers take the
// options whose Bits16 and SamplesPerSec they convert to).
//
// Main thread: at a playback start, or in test mode holding hBackgroundMutex
// (the generator must never mix a half-converted buffer).
#pragma once
#include <cstddef>
#include <cstdint>

#include "data/synthesis/bgchoice.h"
#include "data/synthesis/options.h"
#include "main/model.h"

struct PlaybackState;

// Largest "data" chunk read (the raw buffer BackgroundTempData); larger ones
// are refused with 1295, as are sounds whose conversion would not fit in
// BackgroundData.
constexpr size_t BACKGROUND_MAX_DATA = 50000000;
// A sound that would not fit once converted, at a rate below this many
// samples per second, is refused for its rate (BG_RATE_TOO_LOW), not as too
// long: a few kilobytes at 1 Hz are hours of sound.
constexpr int64_t BACKGROUND_LOW_RATE = 1000;
constexpr int BG_RATE_TOO_LOW = 1496;

// Makes sure the resolved background is in BackgroundData for the
// playback's options (pb.Options): sets BackgroundFrames, makes `choice` the playback's
// (PlayBackground), resets the oscillator and background play states. Skips
// the reading when background, file name, rate and width are those of the
// last successful load. Returns 0 or a string id to show with the
// background's file name: 1286 (with BackgroundReadReason), 1287, 1288,
// 1289-1296, 1331, 1444. On failure the
// loaded background and PlayBackground stay as they were.
int LoadBackground(PlaybackState& pb, const BackgroundChoice& choice);
// ResolveBackground, then LoadBackground: also 1446 for a library background
// the table does not list.
int LoadBackground(PlaybackState& pb, const Preset& preset);
// Forgets the loaded identity, so the next LoadBackground reads again.
void ForgetLoadedBackground();

// Finds resource (RCDATA, number) of a background library loaded with
// dlopen, or of the program itself when module is null. false when missing.
bool OpenBackgroundResource(void* module, int number, const unsigned char** data, size_t* size);

// Checks the RIFF WAVE image, reads its data chunk into BackgroundTempData
// and converts it into BackgroundData. 0 and the number of frames, or a
// string id (1289-1296, 1444, 1496). Reads only inside [image, image + size).
// A data chunk whose size is a stream writer's "unknown" (0x7FFFF000 and
// above) runs to the end of the image.
int ReadWave(const AdvancedOptions& o, const unsigned char* image, size_t size, int32_t* frames);

// A background file that is no WAV file the WAV reader takes, and that the
// codec library cannot read either (1286: %1 the file, %4 the reason).
constexpr int BG_UNREADABLE = 1286;

// A user's background file: WAV files through ReadWave with all its checks
// and messages; other files (FLAC, Ogg Vorbis, Opus, MP3, WAV with 24-bit or
// float samples) through the codec library into the same conversion, a
// piece at a time as they decode, so that only the converted sound is held:
// the frames are counted as they come (a header's length is never trusted),
// a file cut short plays what it has, and the decoding stops once the
// converted sound would not fit BackgroundData (1295, or 1496 for a rate
// below BACKGROUND_LOW_RATE). 0 and the number of frames, or a string id:
// ReadWave's, 1286 with BackgroundReadReason() (also for a damaged WAV file
// of a sample format only the codec library reads), 1295, 1444, 1496.
int ReadSoundFile(const AdvancedOptions& o, const unsigned char* image, size_t size, int32_t* frames);
// The codec library's part of ReadSoundFile.
int ReadDecoded(const AdvancedOptions& o, const unsigned char* image, size_t size, int32_t* frames);
// Why the last file failed with 1286, in the codec library's words.
const char* BackgroundReadReason();

// Upper bound of the frames ReadWave writes for `sourceFrames` frames at
// `sourceRate` converted to `rate`.
int64_t ConvertedFrames(int64_t sourceFrames, int64_t sourceRate, int64_t rate);

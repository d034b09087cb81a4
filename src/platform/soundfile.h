// Sound files other than the engine's own WAV: FLAC, Ogg Vorbis, Opus and
// MP3 written block by block from the engine's PCM, and any file the codec
// library reads decoded into 16-bit stereo-or-mono frames.
//
// The encoder writes through its own descriptor, so a full disk is told apart
// from other write failures as the RIFF writer does. Not for the audio thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/riff.h"

namespace plat {

enum SoundFormat { SOUND_UNKNOWN = -1, SOUND_WAV = 0, SOUND_FLAC, SOUND_VORBIS, SOUND_OPUS, SOUND_MP3 };

// The format a file name's extension names (case does not matter): .wav,
// .flac, .ogg/.oga (Vorbis), .opus, .mp3. A name without an extension is WAV;
// any other extension is SOUND_UNKNOWN.
SoundFormat SoundFormatOfName(const char* path);
// "wav", "flac", "vorbis" (or "ogg"), "opus", "mp3"; SOUND_UNKNOWN otherwise.
SoundFormat SoundFormatOfKeyword(const std::string& word);
// "WAV", "FLAC", "Ogg Vorbis", "Opus", "MP3".
const char* SoundFormatTitle(SoundFormat f);
// ".wav", ".flac", ".ogg", ".opus", ".mp3".
const char* SoundFormatExtension(SoundFormat f);

// The sample rate the format takes for an engine rate: Opus only knows 8, 12,
// 16, 24 and 48 kHz, MP3 the nine MPEG rates; another rate becomes the next
// one up (the highest when none is). Other formats take any rate.
int EncoderRate(SoundFormat f, int rate);

// Quality settings: FLAC a compression level 0..8 (default 5), Vorbis, Opus
// and MP3 a variable-bit-rate quality 0..10 (10 best; defaults 5, 3 and 4,
// about 160 kbit/s each). WAV none.
constexpr int SOUND_QUALITY_DEFAULT = -1;
int MaxQuality(SoundFormat f);  // 0 for WAV
int DefaultQuality(SoundFormat f);

struct SoundWriter;

// Creates (truncates) the file for writing; null when it cannot be created
// (the RIFF writer's rule). The encoder starts with EncoderStart.
SoundWriter* EncoderCreate(const char* path);
// Writes to an open descriptor (standard output), which stays open.
SoundWriter* EncoderAttach(int fd);
// Starts the stream: stereo at `rate` (EncoderRate of the format), from 8-bit
// unsigned or 16-bit signed samples. RIFF_FAILED also for a format or rate
// the codec refuses.
RiffResult EncoderStart(SoundWriter* w, SoundFormat f, int rate, bool bits16, int quality);
// Encodes interleaved stereo frames of the width given to EncoderStart.
RiffResult EncoderWrite(SoundWriter* w, const unsigned char* pcm, size_t bytes);
// Finishes the stream and closes the file; frees w. The first failure of the
// writer's life is returned (RIFF_DISKFULL when the disk was full).
RiffResult EncoderClose(SoundWriter* w);

// A file decoded by the codec library. Frames is what the header says, -1
// when it does not know (a stream's header, a file cut short); a header may
// also lie, so it is a hint, never a size to allocate.
struct DecodedSound {
  int Rate = 0, Channels = 0;
  int64_t Frames = 0;
};
struct SoundReader;
// Opens any regular file the codec library reads. Null with *reason set (the
// library's own words) when it cannot; a FIFO or a device is refused without
// waiting for it.
SoundReader* DecoderOpen(const char* path, DecodedSound* info, std::string* reason);
// The same for an open regular file, read from its start; the descriptor
// stays the caller's.
SoundReader* DecoderOpenFd(int fd, DecodedSound* info, std::string* reason);
// The same for a file image in memory (kept alive until DecoderClose).
SoundReader* DecoderOpenMemory(const unsigned char* data, size_t size, DecodedSound* info, std::string* reason);
// Reads up to `frames` frames of interleaved 16-bit samples (info.Channels
// per frame); returns the frames read, 0 at the end, -1 on a decoding error
// with *reason set.
int64_t DecoderRead(SoundReader* r, int16_t* out, int64_t frames, std::string* reason);
void DecoderClose(SoundReader* r);

}  // namespace plat

#include "data/backgrounds/bgload.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/backgrounds/bglib.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "platform/resource.h"
#include "platform/riff.h"
#include "platform/soundfile.h"

namespace {

// Identity of the last successful load.
struct LoadedIdentity {
  bool Valid = false;
  int32_t Background = 0;
  char File[NAMELEN + 1] = {};
  int32_t Rate = 0;
  int32_t Bits16 = 0;
  int32_t Frames = 0;  // the sound's length in BackgroundData
};
LoadedIdentity gLoaded;
// Set when a failed read has overwritten part of the loaded sound: the
// playback that held it then holds none.
bool gOverwritten = false;

// "fmt " chunk as far as it is read:
//   OFFSET SIZE CONTENT
//   0      2    format tag (1 = PCM)
//   2      2    channels
//   4      4    samples per second
//   8      4    average bytes per second (not used)
//   12     2    block align (not used: frames are channels x sample bytes)
//   14     2    bits per sample
struct WaveFormat {
  int Tag, Channels, Bits;
  uint32_t Rate;
};

// A regular file mapped read-only and kept open; an empty file maps to
// nothing. A FIFO or a device is refused without waiting for a writer.
struct MappedFile {
  const unsigned char* Data = nullptr;
  size_t Size = 0;
  int Fd = -1;
  bool Open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size > 0) {
      void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      ok = p != MAP_FAILED;
      if (ok) Data = static_cast<const unsigned char*>(p), Size = static_cast<size_t>(st.st_size);
    }
    if (!ok) {
      ::close(fd);
      return false;
    }
    Fd = fd;
    return true;
  }
  ~MappedFile() {
    if (Data) ::munmap(const_cast<unsigned char*>(Data), Size);
    if (Fd >= 0) ::close(Fd);
  }
};

// One source sample in the output width: 8-bit u -> (u - 128) * 256 or u;
// 16-bit w -> w or w / 256 + 128.
inline int32_t Sample(const unsigned char* p, bool src16, bool out16) {
  if (src16) {
    int32_t w = static_cast<int16_t>(plat::GetLE16(p));
    return out16 ? w : w / 256 + 128;
  }
  int32_t u = *p;
  return out16 ? (u - 128) * 256 : u;
}

inline void Store(unsigned char* out, int64_t k, const int32_t v[2], bool out16) {
  if (out16) {
    int16_t* o = reinterpret_cast<int16_t*>(out) + 2 * k;
    o[0] = static_cast<int16_t>(v[0]), o[1] = static_cast<int16_t>(v[1]);
  } else {
    out[2 * k] = static_cast<unsigned char>(v[0]), out[2 * k + 1] = static_cast<unsigned char>(v[1]);
  }
}

// Converts source frames to rate S as they come, a piece at a time, so that
// a source is never held whole. Output frame k stands for source position
// k * v / S, rounded to the nearest frame (halves up); k runs while the exact
// position lies before the last source frame, so the last frame itself is
// never converted. Each new source frame is written at its first output
// frame, and the output frames between two written ones are interpolated
// linearly: a lower source rate is interpolated, a higher one decimated to
// the nearest frame.
//
// A piece ends at a frame the next piece's first output frames may still
// need (they lie on or after it), so the converter keeps that one frame.
struct Converter {
  WaveFormat F;
  int64_t S = 0;
  bool Out16 = true;
  unsigned char* Out = nullptr;
  int64_t MaxFrames = 0;  // output frames that fit
  // Commits output bytes as they are needed; false when the memory is not
  // there.
  bool (*Commit)(int64_t bytes) = nullptr;
  int64_t Seen = 0;  // source frames fed so far
  int64_t K = 0;     // next output frame
  int64_t LastK = -1, LastP = -1;
  int32_t Prev[2] = {0, 0};  // the output frame written at LastK
  int32_t Tail[2] = {0, 0};  // source frame Seen - 1, in the output width
};

enum FeedResult { FEED_OK, FEED_TOO_LONG, FEED_NO_MEMORY };

inline void SourceFrame(const Converter& c, const unsigned char* s, int32_t v[2]) {
  const bool src16 = c.F.Bits == 16;
  v[0] = Sample(s, src16, c.Out16);
  v[1] = c.F.Channels == 2 ? Sample(s + (src16 ? 2 : 1), src16, c.Out16) : v[0];
}

// Converts `frames` more source frames (`src`, in the file's layout).
FeedResult Feed(Converter& c, const unsigned char* src, int64_t frames) {
  if (frames <= 0) return FEED_OK;
  const int A = c.F.Channels * (c.F.Bits == 16 ? 2 : 1);
  const int64_t v = c.F.Rate, S = c.S, E = c.Out16 ? 4 : 2;
  const int64_t base = c.Seen;
  c.Seen += frames;
  for (; c.K * v < (c.Seen - 1) * S; ++c.K) {
    const int64_t p = (2 * c.K * v + S) / (2 * S);
    if (p == c.LastP) continue;
    if (c.K >= c.MaxFrames) return FEED_TOO_LONG;
    if (c.Commit && !c.Commit((c.K + 1) * E)) return FEED_NO_MEMORY;
    int32_t cur[2];
    if (p < base)
      cur[0] = c.Tail[0], cur[1] = c.Tail[1];
    else
      SourceFrame(c, src + (p - base) * A, cur);
    Store(c.Out, c.K, cur, c.Out16);
    for (int64_t j = c.LastK + 1; c.LastK >= 0 && j < c.K; ++j) {
      int32_t mid[2];
      for (int ch = 0; ch < 2; ++ch)
        mid[ch] = c.Prev[ch] +
                  static_cast<int32_t>(static_cast<int64_t>(cur[ch] - c.Prev[ch]) * (j - c.LastK) / (c.K - c.LastK));
      Store(c.Out, j, mid, c.Out16);
    }
    c.LastK = c.K, c.LastP = p;
    c.Prev[0] = cur[0], c.Prev[1] = cur[1];
  }
  SourceFrame(c, src + (frames - 1) * A, c.Tail);
  return FEED_OK;
}

// The frames converted so far.
int32_t ConvertedSoFar(const Converter& c) { return static_cast<int32_t>(c.LastK + 1); }

// Converts a whole source already in memory whose output is known to fit.
int32_t Convert(const unsigned char* src, int64_t frames, const WaveFormat& f, int64_t S, bool out16,
                unsigned char* out) {
  Converter c;
  c.F = f, c.S = S, c.Out16 = out16, c.Out = out;
  c.MaxFrames = INT64_MAX;
  Feed(c, src, frames);
  return ConvertedSoFar(c);
}

bool SameIdentity(const AdvancedOptions& o, const BackgroundChoice& c) {
  return gLoaded.Valid && gLoaded.Background == c.Number && std::strncmp(gLoaded.File, c.File, NAMELEN) == 0 &&
         gLoaded.Rate == o.SamplesPerSec && gLoaded.Bits16 == o.Bits16;
}

void Remember(const AdvancedOptions& o, const BackgroundChoice& c, int32_t frames) {
  gLoaded.Valid = true;
  gLoaded.Frames = frames;
  gLoaded.Background = c.Number;
  std::memset(gLoaded.File, 0, sizeof gLoaded.File);
  std::memcpy(gLoaded.File, c.File, NAMELEN);
  gLoaded.Rate = o.SamplesPerSec;
  gLoaded.Bits16 = o.Bits16;
}

// The file named in the preset, else the file of that name (the text after
// the last backslash or slash) in the program's folder.
bool OpenWaveFile(const char* name, MappedFile& f) {
  if (f.Open(name)) return true;
  const char* part = name;
  for (const char* c = name; *c; ++c)
    if (*c == '\\' || *c == '/') part = c + 1;
  return *part && f.Open(ProgramFolder() + "/" + part);
}

int ReadFromLibrary(const AdvancedOptions& o, int number, const AmbixRecord& entry, int32_t* frames) {
  std::string path = BackgroundLibraryFolder() + "/" + entry.LibraryFile;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return 1331;
  const unsigned char* data;
  size_t size;
  int rc = OpenBackgroundResource(module, number, &data, &size) ? ReadWave(o, data, size, frames) : 1288;
  // Unloaded only now: the resource bytes live in the library.
  dlclose(module);
  return rc;
}

std::string gReadReason;

// The data size a streaming writer leaves in its header (0x7FFFF000 or
// 0xFFFFFFFF): the length was not known when it was written.
constexpr uint32_t kStreamedSize = 0x7FFFF000;

// Commits `bytes` of BackgroundData for the converted frames; 1444 when the
// memory is not there.
bool CommitOutput(int64_t bytes) {
  return plat::RegionReserve(BackgroundData, BACKGROUNDDATA_BYTES) &&
         plat::RegionEnsure(BackgroundData, static_cast<size_t>(bytes));
}

}  // namespace

const char* BackgroundReadReason() { return gReadReason.c_str(); }

namespace {

bool CommitBackground(int64_t bytes) { return CommitOutput(bytes); }

// Decodes and converts an opened sound into BackgroundData: the frames are
// counted as they come, never taken from the header. A source at a higher
// rate than the engine's (or the same) is converted a piece at a time as it
// decodes, and the decoding stops once the converted sound would not fit. One
// at a lower rate is smaller than its conversion: it is held, in pieces, until
// its length is known, and refused before anything is converted when the
// conversion would not fit. Either way at most the converted sound and a
// source no larger are held.
int DecodeInto(const AdvancedOptions& o, plat::SoundReader* r, const plat::DecodedSound& info, int32_t* frames) {
  const int64_t S = o.SamplesPerSec;
  const bool out16 = o.Bits16 != 0;
  const int E = out16 ? 4 : 2;
  if (S <= 0) return 1295;
  if (!plat::RegionReserve(BackgroundData, BACKGROUNDDATA_BYTES)) return 1444;
  // Mono stays mono; of more channels the first two (front left and right)
  // are kept.
  const int channels = info.Channels == 1 ? 1 : 2;
  Converter c;
  c.F = WaveFormat{1, channels, 16, static_cast<uint32_t>(info.Rate)};
  c.S = S, c.Out16 = out16, c.Out = BackgroundData.Base;
  c.MaxFrames = static_cast<int64_t>(BACKGROUNDDATA_BYTES) / E;
  c.Commit = CommitBackground;
  const bool hold = info.Rate < S;
  const int tooLong = info.Rate < BACKGROUND_LOW_RATE ? BG_RATE_TOO_LOW : 1295;
  constexpr int64_t kPiece = 4096;
  std::vector<int16_t> piece(static_cast<size_t>(kPiece) * static_cast<size_t>(info.Channels));
  const size_t pieceBytes = static_cast<size_t>(kPiece) * static_cast<size_t>(channels) * 2;
  std::vector<std::vector<unsigned char>> held;  // pieces of kPiece frames, the last one partly filled
  std::vector<unsigned char> kept(pieceBytes);
  int64_t decoded = 0, lastPiece = 0;
  int rc = 0;
  for (;;) {
    int64_t n = plat::DecoderRead(r, piece.data(), kPiece, &gReadReason);
    // A file cut short plays what it has, as a short WAV data chunk read by
    // the codec library does.
    if (n < 0 && decoded == 0) rc = BG_UNREADABLE;
    if (n <= 0) break;
    if (hold) {
      held.emplace_back(pieceBytes);
      lastPiece = n;
    }
    unsigned char* to = hold ? held.back().data() : kept.data();
    // The conversion reads 16-bit samples little-endian.
    for (int64_t i = 0; i < n; ++i)
      for (int ch = 0; ch < channels; ++ch)
        plat::PutLE16(to + (i * channels + ch) * 2,
                      static_cast<uint16_t>(piece[static_cast<size_t>(i * info.Channels + ch)]));
    decoded += n;
    if (hold) {
      if (ConvertedFrames(decoded, info.Rate, S) > c.MaxFrames) {
        rc = tooLong;
        break;
      }
      continue;
    }
    FeedResult fed = Feed(c, kept.data(), n);
    if (fed != FEED_OK) {
      rc = fed == FEED_NO_MEMORY ? 1444 : tooLong;
      break;
    }
  }
  for (size_t i = 0; rc == 0 && i < held.size(); ++i) {
    FeedResult fed = Feed(c, held[i].data(), i + 1 == held.size() ? lastPiece : kPiece);
    if (fed != FEED_OK) rc = fed == FEED_NO_MEMORY ? 1444 : tooLong;
  }
  if (rc == 0 && decoded == 0) {
    gReadReason = "The file holds no sound.";
    rc = BG_UNREADABLE;
  }
  if (rc && c.LastK >= 0) {
    // The sound loaded before is partly overwritten: none is loaded now.
    gOverwritten = true;
    ForgetLoadedBackground();
  }
  if (rc == 0) *frames = ConvertedSoFar(c);
  return rc;
}

// Runs a decoding, turning a failed allocation into the program's message.
int GuardedDecode(const AdvancedOptions& o, plat::SoundReader* r, const plat::DecodedSound& info, int32_t* frames) {
  int rc;
  try {
    rc = DecodeInto(o, r, info, frames);
  } catch (const std::bad_alloc&) {
    rc = 1444;
  }
  plat::DecoderClose(r);
  return rc;
}

}  // namespace

int ReadDecoded(const AdvancedOptions& o, const unsigned char* image, size_t size, int32_t* frames) {
  *frames = 0;
  gReadReason.clear();
  plat::DecodedSound info;
  plat::SoundReader* r = plat::DecoderOpenMemory(image, size, &info, &gReadReason);
  if (!r) return BG_UNREADABLE;
  return GuardedDecode(o, r, info, frames);
}

namespace {

// The format tag of a RIFF WAVE image's "fmt " chunk; -1 when there is none.
int WaveTag(const unsigned char* image, size_t size) {
  plat::RiffChunk riff, fmt;
  if (!image || !plat::RiffFind(image, size, "RIFF", &riff) || riff.Size < 4 || std::memcmp(riff.Data, "WAVE", 4) != 0)
    return -1;
  if (!plat::RiffFind(riff.Data + 4, riff.Size - 4, "fmt ", &fmt) || fmt.Size < 2) return -1;
  return plat::GetLE16(fmt.Data);
}

// ReadSoundFile on an image, decoded from the open file `fd` when there is
// one (its pages are then not held while it decodes), else from the image.
int ReadUserSound(const AdvancedOptions& o, const unsigned char* image, size_t size, int fd, int32_t* frames) {
  gReadReason.clear();
  int rc = ReadWave(o, image, size, frames);
  // What the WAV reader takes, or refuses for damage, keeps its own message;
  // other files, and WAV files of other sample formats, go to the decoder.
  if (rc != 1289 && rc != 1292) return rc;
  int decoded;
  if (fd < 0) {
    decoded = ReadDecoded(o, image, size, frames);
  } else {
    *frames = 0;
    plat::DecodedSound info;
    plat::SoundReader* r = plat::DecoderOpenFd(fd, &info, &gReadReason);
    decoded = r ? GuardedDecode(o, r, info, frames) : BG_UNREADABLE;
  }
  // A WAV file of a format neither reader takes keeps the WAV reader's
  // message; one the codec library takes (PCM of other widths, floating
  // point, the extensible header) but cannot read is damaged, and says why.
  if (decoded == BG_UNREADABLE && rc == 1292) {
    const int tag = WaveTag(image, size);
    if (tag != 1 && tag != 3 && tag != 0xFFFE) return 1292;
  }
  return decoded;
}

}  // namespace

int ReadSoundFile(const AdvancedOptions& o, const unsigned char* image, size_t size, int32_t* frames) {
  return ReadUserSound(o, image, size, -1, frames);
}

int64_t ConvertedFrames(int64_t sourceFrames, int64_t sourceRate, int64_t rate) {
  if (sourceFrames <= 1 || sourceRate <= 0 || rate <= 0) return 0;
  // The k with k * sourceRate < (sourceFrames - 1) * rate; a count beyond
  // any buffer (a length a header made up) saturates.
  const __int128 k = (static_cast<__int128>(sourceFrames - 1) * rate + sourceRate - 1) / sourceRate;
  return k > INT64_MAX ? INT64_MAX : static_cast<int64_t>(k);
}

bool OpenBackgroundResource(void* module, int number, const unsigned char** data, size_t* size) {
  if (!module) return plat::FindResource(plat::RT_RCDATA, number, data, size);
  auto get = reinterpret_cast<GetLibraryResourceFn>(dlsym(module, AMBIX_RESOURCE_EXPORT));
  uint32_t n = 0;
  const unsigned char* p = get ? get(AMBIX_RT_RCDATA, number, &n) : nullptr;
  if (!p) return false;
  *data = p;
  *size = n;
  return true;
}

int ReadWave(const AdvancedOptions& o, const unsigned char* image, size_t size, int32_t* frames) {
  *frames = 0;
  plat::RiffChunk riff, fmt, data;
  if (!image || !plat::RiffFind(image, size, "RIFF", &riff) || riff.Size < 4 || std::memcmp(riff.Data, "WAVE", 4) != 0)
    return 1289;
  const unsigned char* body = riff.Data + 4;
  const unsigned char* end = riff.Data + riff.Size;
  if (!plat::RiffFind(body, static_cast<size_t>(end - body), "fmt ", &fmt)) return 1290;
  if (fmt.Truncated || fmt.Size < 16) return 1291;
  WaveFormat f{plat::GetLE16(fmt.Data), plat::GetLE16(fmt.Data + 2), plat::GetLE16(fmt.Data + 14),
               plat::GetLE32(fmt.Data + 4)};
  if (f.Tag != 1 || f.Channels < 1 || f.Channels > 2 || (f.Bits != 8 && f.Bits != 16) || f.Rate == 0) return 1292;

  // "data" follows the format chunk.
  const unsigned char* after = fmt.Data + fmt.Size;
  if ((fmt.Size & 1) && after < end) ++after;
  if (!plat::RiffFind(after, static_cast<size_t>(end - after), "data", &data)) return 1293;
  if (data.DeclaredSize == 0) return 1294;
  // A writer that could not go back to its header (a stream) leaves the
  // largest size there: the data then runs to the end of the file.
  const bool streamed = data.Truncated && data.DeclaredSize >= kStreamedSize;
  if ((streamed ? data.Size : data.DeclaredSize) > BACKGROUND_MAX_DATA) return 1295;
  if (data.Truncated && !streamed) return 1296;

  const int A = f.Channels * f.Bits / 8;
  const int64_t sourceFrames = static_cast<int64_t>(data.Size) / A;
  if (sourceFrames == 0) return 1294;  // less than one frame
  const int64_t S = o.SamplesPerSec;
  const bool out16 = o.Bits16 != 0;
  if (S <= 0) return 1295;
  const int64_t E = out16 ? 4 : 2;
  if (ConvertedFrames(sourceFrames, f.Rate, S) > static_cast<int64_t>(BACKGROUNDDATA_BYTES) / E)
    return f.Rate < BACKGROUND_LOW_RATE ? BG_RATE_TOO_LOW : 1295;
  const int64_t outBytes = ConvertedFrames(sourceFrames, f.Rate, S) * E;

  if (!plat::RegionReserve(BackgroundTempData, BACKGROUNDTEMPDATA_BYTES) ||
      !plat::RegionEnsure(BackgroundTempData, data.Size))
    return 1444;
  std::memcpy(BackgroundTempData.Base, data.Data, data.Size);
  if (!plat::RegionReserve(BackgroundData, BACKGROUNDDATA_BYTES) ||
      !plat::RegionEnsure(BackgroundData, static_cast<size_t>(outBytes))) {
    plat::RegionReset(BackgroundTempData);
    return 1444;
  }
  *frames = Convert(BackgroundTempData.Base, sourceFrames, f, S, out16, BackgroundData.Base);
  plat::RegionReset(BackgroundTempData);
  return 0;
}

int LoadBackground(PlaybackState& pb, const BackgroundChoice& choice) {
  const AdvancedOptions& o = pb.Options;
  if (!SameIdentity(o, choice)) {
    gOverwritten = false;
    int32_t frames = 0;
    int rc = 0;
    switch (choice.Source) {
      case BGSRC_NONE: break;
      case BGSRC_FILE: {
        MappedFile f;
        if (!OpenWaveFile(choice.File, f)) return 1287;
        rc = ReadUserSound(o, f.Data, f.Size, f.Fd, &frames);
        break;
      }
      case BGSRC_OWN: {
        const unsigned char* data;
        size_t size;
        rc = OpenBackgroundResource(nullptr, choice.Number, &data, &size) ? ReadWave(o, data, size, &frames) : 1288;
        break;
      }
      case BGSRC_LIBRARY:
        if (choice.Entry < 0 || choice.Entry >= NumAmbix) return 1331;
        rc = ReadFromLibrary(o, choice.Number, AmbixInfo[choice.Entry], &frames);
        break;
    }
    if (rc) {
      if (gOverwritten) pb.BackgroundFrames = 0;
      return rc;
    }
    pb.BackgroundFrames = frames;
    Remember(o, choice, frames);
  } else {
    // Loaded already, perhaps by another playback: this one takes its length.
    pb.BackgroundFrames = gLoaded.Frames;
  }
  pb.PlayBackground = choice;
  ResetOscillators(pb);
  return 0;
}

int LoadBackground(PlaybackState& pb, const Preset& preset) {
  BackgroundChoice c;
  if (int rc = ResolveBackground(preset, &c)) return rc;
  return LoadBackground(pb, c);
}

void ForgetLoadedBackground() { gLoaded.Valid = false; }

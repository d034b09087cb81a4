#include "data/bgload.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/bglib.h"
#include "data/options.h"
#include "data/state.h"
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
};
LoadedIdentity gLoaded;

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

// A file mapped read-only; an empty file maps to nothing.
struct MappedFile {
  const unsigned char* Data = nullptr;
  size_t Size = 0;
  bool Open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size > 0) {
      void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      ok = p != MAP_FAILED;
      if (ok) Data = static_cast<const unsigned char*>(p), Size = static_cast<size_t>(st.st_size);
    }
    ::close(fd);
    return ok;
  }
  ~MappedFile() {
    if (Data) ::munmap(const_cast<unsigned char*>(Data), Size);
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

// Converts `frames` source frames to rate S. Output frame k stands for
// source position k * v / S, rounded to the nearest frame (halves up); k runs
// while the exact position lies before the last source frame, so the last
// frame itself is never converted. Each new source frame is written at its
// first output frame, and the output frames between two written ones are
// interpolated linearly: a lower source rate is interpolated, a higher one
// decimated to the nearest frame. Returns the frames written.
int32_t Convert(const unsigned char* src, int64_t frames, const WaveFormat& f, int64_t S, bool out16,
                unsigned char* out) {
  const bool src16 = f.Bits == 16;
  const int bytes = src16 ? 2 : 1, A = f.Channels * bytes;
  const int64_t v = f.Rate;
  int64_t lastK = -1, lastP = -1;
  int32_t prev[2] = {0, 0};
  for (int64_t k = 0; k * v < (frames - 1) * S; ++k) {
    const int64_t p = (2 * k * v + S) / (2 * S);
    if (p == lastP) continue;
    const unsigned char* s = src + p * A;
    int32_t cur[2];
    cur[0] = Sample(s, src16, out16);
    cur[1] = f.Channels == 2 ? Sample(s + bytes, src16, out16) : cur[0];
    Store(out, k, cur, out16);
    for (int64_t j = lastK + 1; lastK >= 0 && j < k; ++j) {
      int32_t mid[2];
      for (int c = 0; c < 2; ++c)
        mid[c] = prev[c] + static_cast<int32_t>(static_cast<int64_t>(cur[c] - prev[c]) * (j - lastK) / (k - lastK));
      Store(out, j, mid, out16);
    }
    lastK = k, lastP = p;
    prev[0] = cur[0], prev[1] = cur[1];
  }
  return static_cast<int32_t>(lastK + 1);
}

bool SameIdentity(const BackgroundChoice& c) {
  return gLoaded.Valid && gLoaded.Background == c.Number && std::strncmp(gLoaded.File, c.File, NAMELEN) == 0 &&
         gLoaded.Rate == EngineOptions.SamplesPerSec && gLoaded.Bits16 == EngineOptions.Bits16;
}

void Remember(const BackgroundChoice& c) {
  gLoaded.Valid = true;
  gLoaded.Background = c.Number;
  std::memset(gLoaded.File, 0, sizeof gLoaded.File);
  std::memcpy(gLoaded.File, c.File, NAMELEN);
  gLoaded.Rate = EngineOptions.SamplesPerSec;
  gLoaded.Bits16 = EngineOptions.Bits16;
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

int ReadFromLibrary(int number, const AmbixRecord& entry, int32_t* frames) {
  std::string path = BackgroundLibraryFolder() + "/" + entry.LibraryFile;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return 1331;
  const unsigned char* data;
  size_t size;
  int rc = OpenBackgroundResource(module, number, &data, &size) ? ReadWave(data, size, frames) : 1288;
  // Unloaded only now: the resource bytes live in the library.
  dlclose(module);
  return rc;
}

std::string gReadReason;

// Commits `bytes` of BackgroundData for the converted frames; 1444 when the
// memory is not there.
bool CommitOutput(int64_t bytes) {
  return plat::RegionReserve(BackgroundData, BACKGROUNDDATA_BYTES) &&
         plat::RegionEnsure(BackgroundData, static_cast<size_t>(bytes));
}

}  // namespace

const char* BackgroundReadReason() { return gReadReason.c_str(); }

int ReadDecoded(const unsigned char* image, size_t size, int32_t* frames) {
  *frames = 0;
  gReadReason.clear();
  plat::DecodedSound info;
  plat::SoundReader* r = plat::DecoderOpenMemory(image, size, &info, &gReadReason);
  if (!r) return BG_UNREADABLE;
  const int64_t S = EngineOptions.SamplesPerSec;
  const bool out16 = EngineOptions.Bits16 != 0;
  const int E = out16 ? 4 : 2;
  // Mono stays mono; of more channels the first two (front left and right)
  // are kept.
  const int channels = info.Channels == 1 ? 1 : 2;
  // The decoded frames are counted as they come, not taken from the header,
  // and stop once their conversion would not fit BackgroundData.
  std::vector<int16_t> source;
  if (info.Frames > 0 && S > 0 &&
      ConvertedFrames(info.Frames, info.Rate, S) * E <= static_cast<int64_t>(BACKGROUNDDATA_BYTES))
    source.reserve(static_cast<size_t>(info.Frames * channels));
  std::vector<int16_t> chunk(4096 * static_cast<size_t>(info.Channels));
  int rc = 0;
  for (;;) {
    int64_t n = plat::DecoderRead(r, chunk.data(), 4096, &gReadReason);
    if (n < 0) {
      rc = BG_UNREADABLE;
      break;
    }
    if (n == 0) break;
    for (int64_t i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c) source.push_back(chunk[static_cast<size_t>(i * info.Channels + c)]);
    const int64_t have = static_cast<int64_t>(source.size()) / channels;
    if (S <= 0 || ConvertedFrames(have, info.Rate, S) * E > static_cast<int64_t>(BACKGROUNDDATA_BYTES)) {
      rc = 1295;
      break;
    }
  }
  plat::DecoderClose(r);
  if (rc) return rc;
  const int64_t sourceFrames = static_cast<int64_t>(source.size()) / channels;
  if (sourceFrames == 0) {
    gReadReason = "The file holds no sound.";
    return BG_UNREADABLE;
  }
  if (!CommitOutput(ConvertedFrames(sourceFrames, info.Rate, S) * E)) return 1444;
  // The samples are in memory order; the conversion reads them little-endian.
  for (int16_t& v : source) {
    unsigned char le[2];
    plat::PutLE16(le, static_cast<uint16_t>(v));
    std::memcpy(&v, le, 2);
  }
  WaveFormat f{1, channels, 16, static_cast<uint32_t>(info.Rate)};
  *frames =
      Convert(reinterpret_cast<const unsigned char*>(source.data()), sourceFrames, f, S, out16, BackgroundData.Base);
  return 0;
}

int ReadSoundFile(const unsigned char* image, size_t size, int32_t* frames) {
  gReadReason.clear();
  int rc = ReadWave(image, size, frames);
  // What the WAV reader takes, or refuses for damage, keeps its own message;
  // other files, and WAV files of other sample formats, go to the decoder.
  if (rc != 1289 && rc != 1292) return rc;
  int decoded = ReadDecoded(image, size, frames);
  if (decoded == BG_UNREADABLE && rc == 1292) return 1292;
  return decoded;
}

int64_t ConvertedFrames(int64_t sourceFrames, int64_t sourceRate, int64_t rate) {
  if (sourceFrames <= 1 || sourceRate <= 0 || rate <= 0) return 0;
  // The k with k * sourceRate < (sourceFrames - 1) * rate.
  return ((sourceFrames - 1) * rate + sourceRate - 1) / sourceRate;
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

int ReadWave(const unsigned char* image, size_t size, int32_t* frames) {
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
  if (data.DeclaredSize > BACKGROUND_MAX_DATA) return 1295;
  if (data.Truncated) return 1296;

  const int A = f.Channels * f.Bits / 8;
  const int64_t sourceFrames = static_cast<int64_t>(data.Size) / A;
  if (sourceFrames == 0) return 1294;  // less than one frame
  const int64_t S = EngineOptions.SamplesPerSec;
  const bool out16 = EngineOptions.Bits16 != 0;
  const int64_t outBytes = ConvertedFrames(sourceFrames, f.Rate, S) * (out16 ? 4 : 2);
  if (S <= 0 || outBytes > static_cast<int64_t>(BACKGROUNDDATA_BYTES)) return 1295;

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

int LoadBackground(const BackgroundChoice& choice) {
  if (!SameIdentity(choice)) {
    int32_t frames = 0;
    int rc = 0;
    switch (choice.Source) {
      case BGSRC_NONE: break;
      case BGSRC_FILE: {
        MappedFile f;
        if (!OpenWaveFile(choice.File, f)) return 1287;
        rc = ReadSoundFile(f.Data, f.Size, &frames);
        break;
      }
      case BGSRC_OWN: {
        const unsigned char* data;
        size_t size;
        rc = OpenBackgroundResource(nullptr, choice.Number, &data, &size) ? ReadWave(data, size, &frames) : 1288;
        break;
      }
      case BGSRC_LIBRARY:
        if (choice.Entry < 0 || choice.Entry >= NumAmbix) return 1331;
        rc = ReadFromLibrary(choice.Number, AmbixInfo[choice.Entry], &frames);
        break;
    }
    if (rc) return rc;
    BackgroundFrames = frames;
    Remember(choice);
  }
  PlayBackground = choice;
  ResetOscillators();
  return 0;
}

int LoadBackground(const Preset& preset) {
  BackgroundChoice c;
  if (int rc = ResolveBackground(preset, &c)) return rc;
  return LoadBackground(c);
}

void ForgetLoadedBackground() { gLoaded.Valid = false; }

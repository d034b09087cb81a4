#include "platform/soundfile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace plat {

struct SoundWriter {
  int Fd = -1;
  bool OwnFd = false;
  bool Seekable = false;
  SNDFILE* File = nullptr;
  bool Bits16 = true;
  int64_t Pos = 0, Length = 0;
  int LastErrno = 0;  // the first write failure
  RiffResult Failure = RIFF_OK;
  std::vector<short> Wide;  // 8-bit blocks widened for the encoder
};

struct SoundReader {
  SNDFILE* File = nullptr;
  // A memory image read through the virtual interface.
  const unsigned char* Data = nullptr;
  sf_count_t Size = 0, Pos = 0;
  int Channels = 0;
  // Samples of 16 bits or fewer are read as they are; wider and floating
  // ones through floats, rounded and clipped here.
  bool Narrow = false;
  std::vector<float> Buf;
};

namespace {

struct FormatRow {
  SoundFormat Format;
  const char* Keyword;
  const char* Title;
  const char* Extension;
};
const FormatRow kFormats[] = {
    {SOUND_WAV, "wav", "WAV", ".wav"},
    {SOUND_FLAC, "flac", "FLAC", ".flac"},
    {SOUND_VORBIS, "vorbis", "Ogg Vorbis", ".ogg"},
    {SOUND_OPUS, "opus", "Opus", ".opus"},
    {SOUND_MP3, "mp3", "MP3", ".mp3"},
};

const FormatRow* Row(SoundFormat f) {
  for (const FormatRow& r : kFormats)
    if (r.Format == f) return &r;
  return nullptr;
}

// --- Writing through the writer's own descriptor ---------------------------
sf_count_t WGetLength(void* u) { return static_cast<SoundWriter*>(u)->Length; }

sf_count_t WSeek(sf_count_t offset, int whence, void* u) {
  auto* w = static_cast<SoundWriter*>(u);
  sf_count_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? w->Pos + offset : w->Length + offset;
  if (target == w->Pos) return w->Pos;
  // A pipe cannot go back: the encoder leaves its header as first written.
  if (!w->Seekable || ::lseek(w->Fd, target, SEEK_SET) < 0) return -1;
  w->Pos = target;
  return w->Pos;
}

sf_count_t WRead(void* ptr, sf_count_t count, void* u) {
  auto* w = static_cast<SoundWriter*>(u);
  if (!w->Seekable) return 0;
  ssize_t n = ::pread(w->Fd, ptr, static_cast<size_t>(count), w->Pos);
  if (n <= 0) return 0;
  w->Pos += n;
  return n;
}

sf_count_t WWrite(const void* ptr, sf_count_t count, void* u) {
  auto* w = static_cast<SoundWriter*>(u);
  if (w->Failure) return 0;  // nothing more after the first failure
  const char* p = static_cast<const char*>(ptr);
  sf_count_t done = 0;
  while (done < count) {
    ssize_t n = w->Seekable ? ::pwrite(w->Fd, p + done, static_cast<size_t>(count - done), w->Pos)
                            : ::write(w->Fd, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      w->LastErrno = n < 0 ? errno : ENOSPC;
      w->Failure = w->LastErrno == ENOSPC || w->LastErrno == EDQUOT ? RIFF_DISKFULL : RIFF_FAILED;
      break;
    }
    done += n;
    w->Pos += n;
  }
  if (w->Pos > w->Length) w->Length = w->Pos;
  return done;
}

sf_count_t WTell(void* u) { return static_cast<SoundWriter*>(u)->Pos; }

SF_VIRTUAL_IO kWriterIo = {WGetLength, WSeek, WRead, WWrite, WTell};

// --- Reading a memory image ------------------------------------------------
sf_count_t MGetLength(void* u) { return static_cast<SoundReader*>(u)->Size; }

sf_count_t MSeek(sf_count_t offset, int whence, void* u) {
  auto* r = static_cast<SoundReader*>(u);
  sf_count_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? r->Pos + offset : r->Size + offset;
  if (target < 0 || target > r->Size) return -1;
  r->Pos = target;
  return r->Pos;
}

sf_count_t MRead(void* ptr, sf_count_t count, void* u) {
  auto* r = static_cast<SoundReader*>(u);
  sf_count_t n = count < r->Size - r->Pos ? count : r->Size - r->Pos;
  if (n <= 0) return 0;
  std::memcpy(ptr, r->Data + r->Pos, static_cast<size_t>(n));
  r->Pos += n;
  return n;
}

sf_count_t MWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MTell(void* u) { return static_cast<SoundReader*>(u)->Pos; }

SF_VIRTUAL_IO kMemoryIo = {MGetLength, MSeek, MRead, MWrite, MTell};

bool Opened(SoundReader* r, SF_INFO& info, DecodedSound* out, std::string* reason) {
  if (!r->File) {
    *reason = sf_strerror(nullptr);
    return false;
  }
  // Files whose header promises what they cannot hold.
  if (info.channels < 1 || info.samplerate < 1) {
    *reason = "the file has no channels or no sample rate";
    return false;
  }
  out->Rate = info.samplerate;
  out->Channels = info.channels;
  // The library gives the largest count for a length it does not know (a
  // stream's header, a file cut short).
  out->Frames = info.frames >= 0 && info.frames < SF_COUNT_MAX ? info.frames : -1;
  r->Channels = info.channels;
  const int sub = info.format & SF_FORMAT_SUBMASK;
  r->Narrow = sub == SF_FORMAT_PCM_S8 || sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_16;
  return true;
}

}  // namespace

SoundFormat SoundFormatOfName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  const char* base = slash ? slash + 1 : path;
  const char* dot = std::strrchr(base, '.');
  // No extension, or a dot file's name: no format named.
  if (!dot || dot == base || dot[1] == 0) return SOUND_WAV;
  for (const FormatRow& r : kFormats)
    if (::strcasecmp(dot, r.Extension) == 0) return r.Format;
  if (::strcasecmp(dot, ".oga") == 0) return SOUND_VORBIS;
  return SOUND_UNKNOWN;
}

SoundFormat SoundFormatOfKeyword(const std::string& word) {
  for (const FormatRow& r : kFormats)
    if (::strcasecmp(word.c_str(), r.Keyword) == 0) return r.Format;
  if (::strcasecmp(word.c_str(), "ogg") == 0) return SOUND_VORBIS;
  return SOUND_UNKNOWN;
}

const char* SoundFormatTitle(SoundFormat f) {
  const FormatRow* r = Row(f);
  return r ? r->Title : "";
}

const char* SoundFormatExtension(SoundFormat f) {
  const FormatRow* r = Row(f);
  return r ? r->Extension : "";
}

int EncoderRate(SoundFormat f, int rate) {
  static const int opus[] = {8000, 12000, 16000, 24000, 48000};
  static const int mpeg[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
  const int* list = nullptr;
  size_t n = 0;
  if (f == SOUND_OPUS) list = opus, n = std::size(opus);
  if (f == SOUND_MP3) list = mpeg, n = std::size(mpeg);
  if (!list) return rate;
  for (size_t i = 0; i < n; ++i)
    if (list[i] >= rate) return list[i];
  return list[n - 1];
}

int MaxQuality(SoundFormat f) {
  switch (f) {
    case SOUND_FLAC: return 8;
    case SOUND_VORBIS:
    case SOUND_OPUS:
    case SOUND_MP3: return 10;
    default: return 0;
  }
}

int DefaultQuality(SoundFormat f) {
  // About 160 kbit/s of stereo for the lossy formats.
  switch (f) {
    case SOUND_FLAC: return 5;
    case SOUND_VORBIS: return 5;
    case SOUND_OPUS: return 3;
    case SOUND_MP3: return 4;
    default: return 0;
  }
}

SoundWriter* EncoderCreate(const char* path) {
  int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  SoundWriter* w = EncoderAttach(fd);
  w->OwnFd = true;
  return w;
}

SoundWriter* EncoderAttach(int fd) {
  auto* w = new SoundWriter;
  w->Fd = fd;
  // Regular files are written in place; pipes, terminals and devices in order.
  w->Seekable = ::lseek(fd, 0, SEEK_CUR) == 0;
  return w;
}

RiffResult EncoderStart(SoundWriter* w, SoundFormat f, int rate, bool bits16, int quality) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  switch (f) {
    // FLAC keeps the engine's width, so the decoded samples are the WAV's.
    case SOUND_FLAC: info.format = SF_FORMAT_FLAC | (bits16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_S8); break;
    case SOUND_VORBIS: info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS; break;
    case SOUND_OPUS: info.format = SF_FORMAT_OGG | SF_FORMAT_OPUS; break;
    case SOUND_MP3: info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III; break;
    default: return RIFF_FAILED;
  }
  w->Bits16 = bits16;
  w->File = sf_open_virtual(&kWriterIo, SFM_WRITE, &info, w);
  if (!w->File) return w->Failure ? w->Failure : RIFF_FAILED;
  if (quality < 0) quality = DefaultQuality(f);
  if (f == SOUND_FLAC) {
    double level = quality / 8.0;
    sf_command(w->File, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  } else {
    // MP3 at an average rate: the codec library's variable mode gives the
    // highest rate for nearly every setting.
    if (f == SOUND_MP3) {
      int mode = SF_BITRATE_MODE_AVERAGE;
      sf_command(w->File, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    }
    double q = quality / 10.0;
    sf_command(w->File, SFC_SET_VBR_ENCODING_QUALITY, &q, sizeof q);
  }
  return w->Failure;
}

RiffResult EncoderWrite(SoundWriter* w, const unsigned char* pcm, size_t bytes) {
  if (!w->File) return RIFF_FAILED;
  if (w->Failure) return w->Failure;
  const short* samples;
  size_t count;
  if (w->Bits16) {
    samples = reinterpret_cast<const short*>(pcm);
    count = bytes / 2;
  } else {
    w->Wide.resize(bytes);
    for (size_t i = 0; i < bytes; ++i) w->Wide[i] = static_cast<short>((pcm[i] - 128) * 256);
    samples = w->Wide.data();
    count = bytes;
  }
  sf_count_t n = sf_write_short(w->File, samples, static_cast<sf_count_t>(count));
  // An encoder that buffers reports a failed page only through the
  // descriptor, so the writer's own record decides.
  if (w->Failure) return w->Failure;
  return n == static_cast<sf_count_t>(count) ? RIFF_OK : RIFF_FAILED;
}

RiffResult EncoderClose(SoundWriter* w) {
  RiffResult r = w->Failure;
  if (w->File) {
    // Closing flushes the encoder's last pages and patches the header.
    int rc = sf_close(w->File);
    if (!r) r = w->Failure ? w->Failure : rc ? RIFF_FAILED : RIFF_OK;
  } else if (!r) {
    r = RIFF_FAILED;
  }
  if (w->OwnFd && ::close(w->Fd) != 0 && !r) r = errno == ENOSPC || errno == EDQUOT ? RIFF_DISKFULL : RIFF_FAILED;
  delete w;
  return r;
}

SoundReader* DecoderOpen(const char* path, DecodedSound* info, std::string* reason) {
  // Opened without waiting: a FIFO would block the open until a writer came.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *reason = "It is not a regular file.";
    ::close(fd);
    return nullptr;
  }
  auto* r = new SoundReader;
  SF_INFO si{};
  r->File = sf_open_fd(fd, SFM_READ, &si, 1);
  if (!r->File) ::close(fd);
  if (!Opened(r, si, info, reason)) {
    DecoderClose(r);
    return nullptr;
  }
  return r;
}

SoundReader* DecoderOpenFd(int fd, DecodedSound* info, std::string* reason) {
  auto* r = new SoundReader;
  SF_INFO si{};
  r->File = ::lseek(fd, 0, SEEK_SET) == 0 ? sf_open_fd(fd, SFM_READ, &si, 0) : nullptr;
  if (!Opened(r, si, info, reason)) {
    DecoderClose(r);
    return nullptr;
  }
  return r;
}

SoundReader* DecoderOpenMemory(const unsigned char* data, size_t size, DecodedSound* info, std::string* reason) {
  auto* r = new SoundReader;
  r->Data = data;
  r->Size = static_cast<sf_count_t>(size);
  SF_INFO si{};
  r->File = sf_open_virtual(&kMemoryIo, SFM_READ, &si, r);
  if (!Opened(r, si, info, reason)) {
    DecoderClose(r);
    return nullptr;
  }
  return r;
}

int64_t DecoderRead(SoundReader* r, int16_t* out, int64_t frames, std::string* reason) {
  if (r->Narrow) {
    sf_count_t n = sf_readf_short(r->File, out, frames);
    if (n < 0 || (n == 0 && sf_error(r->File) != SF_ERR_NO_ERROR)) {
      *reason = sf_strerror(r->File);
      return -1;
    }
    return n;
  }
  // Read as floats and rounded here: wider or float sources rounded, and
  // anything beyond full scale clipped rather than wrapped.
  r->Buf.resize(static_cast<size_t>(frames * r->Channels));
  sf_count_t n = sf_readf_float(r->File, r->Buf.data(), frames);
  if (n < 0 || (n == 0 && sf_error(r->File) != SF_ERR_NO_ERROR)) {
    *reason = sf_strerror(r->File);
    return -1;
  }
  size_t count = static_cast<size_t>(n * r->Channels);
  for (size_t i = 0; i < count; ++i) {
    float x = r->Buf[i];
    long v = std::isfinite(x) ? std::lrint(static_cast<double>(x) * 32768.0) : 0;
    out[i] = static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
  }
  return n;
}

void DecoderClose(SoundReader* r) {
  if (r->File) sf_close(r->File);
  delete r;
}

}  // namespace plat

// Wave output through ALSA, and the queue logic both implementations share.
//
// Only the device thread touches the PCM while the device is open: the
// calls from other threads change the queue and flags under the device lock
// and wake it. The thread copies one period of the front block at a time and
// writes the copy, so a block handed back by a reset may be refilled at once
// while the thread still finishes its write.
#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/threadprio.h"
#include "platform/wavedev_impl.h"

namespace plat {

namespace {

// Other ALSA failures are shown as 1000 + errno, so that the message with
// the error code still tells them apart.
constexpr int WAVE_ERRNO_BASE = 1000;

int MapOpenError(int err) {
  switch (-err) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return WAVE_BADDEVICE;
    case EBUSY:
    case EAGAIN: return WAVE_ALLOCATED;
    case ENOMEM: return WAVE_NOMEM;
    case EINVAL: return WAVE_BADFORMAT;
    default: return WAVE_ERRNO_BASE + (-err);
  }
}

// The library's own diagnostics would go to stderr; the caller reports
// through the result codes instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Opens the PCM, loading the private configuration when one is named.
int OpenPcm(const WaveTarget& t, snd_pcm_t** pcm, snd_config_t** config) {
  *pcm = nullptr;
  *config = nullptr;
  static std::once_flag quiet;
  std::call_once(quiet, [] { snd_lib_error_set_handler(QuietAlsa); });
  int err;
  if (!t.AlsaConfig.empty()) {
    snd_config_t* top = nullptr;
    snd_input_t* in = nullptr;
    if (snd_config_top(&top) < 0) return WAVE_NOMEM;
    if (snd_input_stdio_open(&in, t.AlsaConfig.c_str(), "r") < 0) {
      snd_config_delete(top);
      return WAVE_BADDEVICE;
    }
    err = snd_config_load(top, in);
    snd_input_close(in);
    if (err < 0) {
      snd_config_delete(top);
      return WAVE_BADDEVICE;
    }
    // Non-blocking open: a busy device answers at once instead of waiting.
    err = snd_pcm_open_lconf(pcm, t.Pcm.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK, top);
    if (err < 0) {
      snd_config_delete(top);
      return MapOpenError(err);
    }
    *config = top;
  } else {
    err = snd_pcm_open(pcm, t.Pcm.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err < 0) return MapOpenError(err);
  }
  snd_pcm_nonblock(*pcm, 0);
  return WAVE_OK;
}

void ClosePcm(snd_pcm_t* pcm, snd_config_t* config) {
  if (pcm) snd_pcm_close(pcm);
  if (config) snd_config_delete(config);
}

// Sets the format and a short buffer (about 100 ms in 25 ms periods): the
// queued blocks are the latency the caller chose, the sound system should
// add little to it.
int SetFormat(snd_pcm_t* pcm, const WaveFormat& f, bool apply, snd_pcm_uframes_t* period) {
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  if (snd_pcm_hw_params_any(pcm, hw) < 0) return WAVE_ERROR;
  if (snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0) return WAVE_BADFORMAT;
  if (f.BitsPerSample != 8 && f.BitsPerSample != 16) return WAVE_BADFORMAT;
  snd_pcm_format_t fmt = f.BitsPerSample == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8;
  if (snd_pcm_hw_params_set_format(pcm, hw, fmt) < 0) return WAVE_BADFORMAT;
  if (snd_pcm_hw_params_set_channels(pcm, hw, static_cast<unsigned>(f.Channels)) < 0) return WAVE_BADFORMAT;
  if (snd_pcm_hw_params_set_rate(pcm, hw, static_cast<unsigned>(f.SamplesPerSec), 0) < 0) return WAVE_BADFORMAT;
  if (!apply) return WAVE_OK;
  unsigned periodUs = 25000, bufferUs = 100000;
  int dir = 0;
  snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, &dir);
  snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, &dir);
  int err = snd_pcm_hw_params(pcm, hw);
  if (err < 0) return MapOpenError(err);
  snd_pcm_uframes_t buffer = 0;
  snd_pcm_hw_params_get_period_size(hw, period, &dir);
  snd_pcm_hw_params_get_buffer_size(hw, &buffer);
  if (*period == 0) *period = 1024;
  snd_pcm_sw_params_t* sw;
  snd_pcm_sw_params_alloca(&sw);
  if (snd_pcm_sw_params_current(pcm, sw) == 0) {
    // Start once the buffer is full, so that playing begins with a margin.
    snd_pcm_sw_params_set_start_threshold(pcm, sw, buffer > 0 ? buffer : *period);
    snd_pcm_sw_params(pcm, sw);
  }
  return WAVE_OK;
}

// Writes all frames of one chunk; false when the PCM failed beyond repair.
bool WriteChunk(WaveDevice& dev, const unsigned char* p, snd_pcm_uframes_t frames) {
  int align = BlockAlign(dev.Format);
  while (frames > 0) {
    snd_pcm_sframes_t n = snd_pcm_writei(dev.Pcm, p, frames);
    if (n < 0) {
      if (n == -EPIPE) {
        std::lock_guard<std::mutex> g(dev.Lock);
        dev.Underruns++;
      }
      if (snd_pcm_recover(dev.Pcm, static_cast<int>(n), 1) < 0) return false;
      continue;
    }
    p += n * align;
    frames -= static_cast<snd_pcm_uframes_t>(n);
  }
  return true;
}

void DeviceThread(WaveDevice* d) {
  // It feeds the sound card from the blocks the audio thread fills: late, it
  // underruns the card however early the blocks were ready.
  RaiseThreadPriority(false);
  WaveDevice& dev = *d;
  std::vector<unsigned char> chunk(dev.ChunkBytes);
  int align = BlockAlign(dev.Format);
  bool canPause = false;
  {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_current(dev.Pcm, hw) == 0) canPause = snd_pcm_hw_params_can_pause(hw) != 0;
  }
  bool hwPaused = false;
  std::unique_lock<std::mutex> g(dev.Lock);
  uint64_t seenReset = dev.ResetCount;
  while (!dev.Quit) {
    if (seenReset != dev.ResetCount) {
      seenReset = dev.ResetCount;
      bool drain = dev.DrainOnReset && !hwPaused;
      g.unlock();
      if (drain)
        snd_pcm_drain(dev.Pcm);
      else
        snd_pcm_drop(dev.Pcm);
      snd_pcm_prepare(dev.Pcm);
      hwPaused = false;
      g.lock();
      continue;
    }
    if (dev.Paused) {
      if (canPause && !hwPaused && snd_pcm_state(dev.Pcm) == SND_PCM_STATE_RUNNING) {
        g.unlock();
        hwPaused = snd_pcm_pause(dev.Pcm, 1) == 0;
        g.lock();
        continue;
      }
      dev.Wake.wait(g);
      continue;
    }
    if (hwPaused) {
      g.unlock();
      if (snd_pcm_pause(dev.Pcm, 0) < 0) snd_pcm_prepare(dev.Pcm);
      hwPaused = false;
      g.lock();
      continue;
    }
    if (dev.Queue.empty()) {
      dev.Wake.wait(g);
      continue;
    }
    WaveHeader* h = dev.Queue.front();
    uint32_t n = std::min(dev.ChunkBytes, h->Length - dev.Pos);
    std::memcpy(chunk.data(), h->Data + dev.Pos, n);
    dev.Sending = n;
    uint64_t resetBefore = dev.ResetCount;
    g.unlock();
    bool ok = WriteChunk(dev, chunk.data(), n / static_cast<uint32_t>(align));
    g.lock();
    dev.Sending = 0;
    if (!ok) snd_pcm_prepare(dev.Pcm);
    if (resetBefore != dev.ResetCount) continue;  // the block went back already
    dev.Pos += n;
    if (dev.Pos >= h->Length) FinishFront(dev);
  }
  g.unlock();
  snd_pcm_drop(dev.Pcm);
}

}  // namespace

void FinishFront(WaveDevice& dev) {
  WaveHeader* h = dev.Queue.front();
  dev.Queue.pop_front();
  dev.Pos = 0;
  dev.Sending = 0;  // what is in flight was this block's
  h->Flags = (h->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
  PostMsg(*dev.Callback, MM_WOM_DONE, reinterpret_cast<uintptr_t>(&dev), reinterpret_cast<intptr_t>(h));
}

int WaveQuery(const WaveTarget& target, const WaveFormat& format) {
  if (target.Fake) return FakeQueryFormat(target.Fake, format);
  snd_pcm_t* pcm;
  snd_config_t* config;
  if (int rc = OpenPcm(target, &pcm, &config)) return rc;
  int rc = SetFormat(pcm, format, false, nullptr);
  ClosePcm(pcm, config);
  return rc;
}

int WaveOpen(WaveDevice** out, const WaveTarget& target, const WaveFormat& format, MsgQueue* callback) {
  *out = nullptr;
  if (!callback) return WAVE_ERROR;
  auto* dev = new WaveDevice;
  dev->Format = format;
  dev->Callback = callback;
  int rc;
  if (target.Fake) {
    rc = FakeQueryFormat(target.Fake, format);
    if (!rc) rc = FakeOpen(target.Fake, dev);
  } else {
    rc = OpenPcm(target, &dev->Pcm, &dev->Config);
    snd_pcm_uframes_t period = 0;
    if (!rc) rc = SetFormat(dev->Pcm, format, true, &period);
    if (!rc) {
      dev->ChunkBytes = static_cast<uint32_t>(period) * static_cast<uint32_t>(BlockAlign(format));
      snd_pcm_prepare(dev->Pcm);
      dev->Thread = std::thread(DeviceThread, dev);
    }
  }
  if (rc) {
    ClosePcm(dev->Pcm, dev->Config);
    delete dev;
    return rc;
  }
  *out = dev;
  PostMsg(*callback, MM_WOM_OPEN, reinterpret_cast<uintptr_t>(dev), 0);
  return WAVE_OK;
}

int WaveClose(WaveDevice* dev) {
  if (!dev) return WAVE_INVALHANDLE;
  {
    std::lock_guard<std::mutex> g(dev->Lock);
    if (!dev->Queue.empty()) return WAVE_STILLPLAYING;
    dev->Quit = true;
    dev->Wake.notify_all();
  }
  if (dev->Thread.joinable()) dev->Thread.join();
  if (dev->Fake) FakeClose(dev->Fake);
  ClosePcm(dev->Pcm, dev->Config);
  PostMsg(*dev->Callback, MM_WOM_CLOSE, reinterpret_cast<uintptr_t>(dev), 0);
  delete dev;
  return WAVE_OK;
}

int WavePrepare(WaveDevice* dev, WaveHeader* h) {
  if (!dev) return WAVE_INVALHANDLE;
  if (!h || !h->Data) return WAVE_ERROR;
  h->Flags = (h->Flags & ~WHDR_DONE) | WHDR_PREPARED;
  return WAVE_OK;
}

int WaveUnprepare(WaveDevice* dev, WaveHeader* h) {
  if (!dev || !h) return WAVE_INVALHANDLE;
  if (h->Flags & WHDR_INQUEUE) return WAVE_STILLPLAYING;
  h->Flags &= ~WHDR_PREPARED;
  return WAVE_OK;
}

int WaveWrite(WaveDevice* dev, WaveHeader* h) {
  if (!dev) return WAVE_INVALHANDLE;
  if (!(h->Flags & WHDR_PREPARED)) return WAVE_UNPREPARED;
  if (h->Flags & WHDR_INQUEUE) return WAVE_STILLPLAYING;
  int align = BlockAlign(dev->Format);
  if (h->Length == 0 || h->Length % static_cast<uint32_t>(align) != 0) return WAVE_ERROR;
  std::lock_guard<std::mutex> g(dev->Lock);
  h->Flags = (h->Flags & ~WHDR_DONE) | WHDR_INQUEUE;
  dev->Queue.push_back(h);
  if (dev->Starved) {
    dev->Starved = false;
    dev->Underruns++;
  }
  dev->Wake.notify_all();
  return WAVE_OK;
}

WaveHeader* WaveEndQueue(WaveDevice* dev, QueueEditor edit, void* ctx) {
  if (!dev) return nullptr;
  std::lock_guard<std::mutex> g(dev->Lock);
  if (dev->Paused || dev->Queue.empty()) return nullptr;
  // What the device thread is writing now is the sound system's already.
  uint32_t skip = dev->Pos + dev->Sending;
  int64_t queued = -static_cast<int64_t>(skip);
  for (const WaveHeader* h = dev->Queue.front(); h; h = h->Next) queued += h->Length;
  if (queued <= 0) return nullptr;
  WaveHeader* h = dev->Queue.front();
  for (uint32_t from = skip; h; h = h->Next, from = 0) {
    if (from >= h->Length) continue;
    if (!edit(ctx, h->Data + from, h->Length - from, queued)) break;
  }
  if (!h) return dev->Queue.Tail;
  // The blocks after the edited end go back, in order, as a reset gives them.
  WaveHeader* rest = h->Next;
  h->Next = nullptr;
  dev->Queue.Tail = h;
  while (rest) {
    WaveHeader* next = rest->Next;
    rest->Next = nullptr;
    dev->Queue.Size--;
    rest->Flags = (rest->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
    PostMsg(*dev->Callback, MM_WOM_DONE, reinterpret_cast<uintptr_t>(dev), reinterpret_cast<intptr_t>(rest));
    rest = next;
  }
  return h;
}

int WavePause(WaveDevice* dev) {
  if (!dev) return WAVE_INVALHANDLE;
  std::lock_guard<std::mutex> g(dev->Lock);
  dev->Paused = true;
  dev->Wake.notify_all();
  return WAVE_OK;
}

int WaveRestart(WaveDevice* dev) {
  if (!dev) return WAVE_INVALHANDLE;
  std::lock_guard<std::mutex> g(dev->Lock);
  dev->Paused = false;
  dev->Wake.notify_all();
  return WAVE_OK;
}

int WaveReset(WaveDevice* dev) {
  if (!dev) return WAVE_INVALHANDLE;
  std::lock_guard<std::mutex> g(dev->Lock);
  dev->DrainOnReset = dev->Queue.empty();
  dev->ResetCount++;
  while (!dev->Queue.empty()) FinishFront(*dev);
  dev->Starved = false;
  dev->PlayedSinceReset = false;
  if (dev->Fake) FakeOnReset(dev->Fake);
  dev->Wake.notify_all();
  return WAVE_OK;
}

int64_t WaveUnderruns(WaveDevice* dev) {
  if (!dev) return 0;
  std::lock_guard<std::mutex> g(dev->Lock);
  return dev->Underruns;
}

}  // namespace plat

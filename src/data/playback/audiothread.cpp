// The audio thread's message loop.
//
// Blocks come back from the device in the order written. Each header's user
// field holds the sweep record its block was made from and the playback's
// HeaderMark the walk's mark after it, so a freeze or unfreeze request can
// put the walk back exactly where the audible block was, repeats included.
#include "data/playback/audiothread.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "assert/check.h"
#include "data/playback/fade.h"
#include "data/playback/playevents.h"
#include "data/playback/playstatus.h"
#include "data/synthesis/generate.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "platform/clock.h"
#include "platform/threadprio.h"

plat::MsgQueue AudioQueue;
plat::Event hWaveEvent;
plat::Event hWaveEvent2;
std::atomic<AudioMessageHookFn> AudioMessageHook{nullptr};

namespace {

std::thread gThread;
PlaybackWindow gWindow;
std::atomic<bool> gStatusOn{true};
std::atomic<int> gPriority{PRIO_NORMAL};
std::atomic<int64_t> gWorstMicros{0};
std::atomic<int64_t> gBlocks{0};

// Audio thread state.
PlaybackState* gPb = nullptr;  // the record of the running playback (TM_PLAYBACK)
const SweepRecord* gLastAudible = nullptr;
bool gFinishing = false;  // TM_FINISH: no more blocks
int64_t gLastSecond = -1;
// A stop fading out: the block queued last, whose return ends the stop.
const plat::WaveHeader* gStopLast = nullptr;

// Reports the status of record `r`: forced at a start, a record change or a
// freeze change, otherwise only when the elapsed second has changed.
void ReportStatus(const SweepRecord* r, bool forced) {
  if (!gPb) return;
  int64_t ms = plat::ClockMs() - gPb->PlayStartTime.load(std::memory_order_relaxed);
  int64_t seconds = (ms + 500) / 1000;
  if (!forced && seconds == gLastSecond) return;
  gLastSecond = seconds;
  PlayStatus s;
  MakePlayStatus(*gPb, r, seconds, gPb->FreezeState.load() > 0, gPb->AudioStrobeOn.load() != 0, forced, &s);
  bool fading = false;
  s.SleepLeftMs = PlaybackSleepLeftMs(*gPb, &fading);
  s.SleepMode = static_cast<uint8_t>(PlaybackSleepMode(*gPb));
  s.SleepFading = fading;
  PostPlayStatus(gPb, s);
}

void VisualHook(const SweepRecord* r) {
  if (gWindow.NewVisualValues) gWindow.NewVisualValues(gWindow.Ctx, r);
}

AudioPriority RaisePriority(bool timeCritical) {
  switch (plat::RaiseThreadPriority(timeCritical)) {
    case plat::THREAD_REALTIME: return PRIO_REALTIME;
    case plat::THREAD_RAISED: return PRIO_NICE;
    default: return PRIO_NORMAL;
  }
}

void OnStop();

// The device of the playing record, null when none.
plat::WaveDevice* PlayingDevice() { return gPb ? gPb->hWaveOut.load() : nullptr; }

void OnDone(plat::WaveDevice* from, plat::WaveHeader* h) {
  plat::WaveDevice* dev = PlayingDevice();
  // Stopping, or a block of a device that has been stopped (or of another
  // record's device): the stop has unprepared every header already.
  if (!dev || dev != from) return;
  if (gStopLast) {
    // Stopping after a fade: nothing more is made; the block that ends the
    // fade coming back means it has all been handed on.
    plat::WaveUnprepare(dev, h);
    if (h == gStopLast) OnStop();
    return;
  }
  ptrdiff_t idx = h - gPb->WaveHeaders;
  if (!TVK_CHECK(idx >= 0 && idx < MAXWAVEBLOCKS, idx)) return;
  auto* rec = reinterpret_cast<SweepRecord*>(h->User);
  int fs = gPb->FreezeState.load();
  bool changed = false;
  if (fs == -1 || fs == 2) {
    // Freezing and unfreezing act on what is audible, not on what was
    // generated ahead.
    RewindSweepWalk(*gPb, gPb->HeaderMark[idx]);
    gPb->FreezeState.store(fs == 2 ? 1 : 0);
    changed = true;
  }
  if (gStatusOn.load()) ReportStatus(rec, changed || rec != gLastAudible);
  gLastAudible = rec;
  auto t0 = std::chrono::steady_clock::now();
  int ended = gFinishing ? 1 : GeneratePlaybackBlock(*gPb, h->Data);
  int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
  if (us > gWorstMicros.load(std::memory_order_relaxed)) gWorstMicros.store(us, std::memory_order_relaxed);
  gBlocks.fetch_add(1, std::memory_order_relaxed);
  if (ended == 0) {
    h->User = reinterpret_cast<uintptr_t>(gPb->CurrentRecord);
    gPb->HeaderMark[idx] = MarkSweepWalk(*gPb);
    int rc = plat::WaveWrite(dev, h);
    TVK_CHECK(rc == 0, rc);
    gPb->LastWrittenHeader.store(h);
    return;
  }
  // The preset has ended: the block written last coming back means the
  // tail has been heard completely.
  if (h == gPb->LastWrittenHeader.load()) {
    gPb->LastWrittenHeader.store(nullptr);
    PostPlayNotice(gPb, WM_PLAYEND, nullptr);
  }
  plat::WaveUnprepare(dev, h);
}

void OnStop() {
  gStopLast = nullptr;
  plat::WaveDevice* dev = gPb ? gPb->hWaveOut.exchange(nullptr) : nullptr;
  if (dev) {
    int retval = plat::WaveReset(dev);
    TVK_CHECK(retval == 0, retval);
    for (plat::WaveHeader& h : gPb->WaveHeaders)
      if (h.Flags & plat::WHDR_PREPARED) plat::WaveUnprepare(dev, &h);
  }
  if (gPb) gPb->LastWrittenHeader.store(nullptr);
  gFinishing = false;
  if (gPb) plat::RegionReset(gPb->DataBlockMem);
  PostPlayNotice(gPb, WM_PLAYSTOPPED, dev);
}

// A stop while sound is queued fades what is still to be heard; the reset
// follows once the faded end has been handed on.
void OnStopRequest() {
  plat::WaveDevice* dev = PlayingDevice();
  int64_t frames = gPb ? PlaybackStopFadeFrames(*gPb) : 0;
  if (gStopLast || !dev || frames <= 0) {
    OnStop();
    return;
  }
  StopFade fade;
  fade.Frames = frames;
  fade.Wide = gPb->Options.Bits16 != 0;
  gStopLast = plat::WaveEndQueue(dev, EditStopFade, &fade);
  if (!gStopLast) OnStop();
}

void AudioMain(bool timeCritical) {
  gPriority.store(RaisePriority(timeCritical));
  plat::WaitEvent(hWaveEvent);
  plat::SetEvent(hWaveEvent2);
  plat::Msg m;
  while (plat::GetMsg(AudioQueue, &m)) {
    if (AudioMessageHookFn hook = AudioMessageHook.load(std::memory_order_relaxed)) hook(m.Id, m.WParam);
    switch (m.Id) {
      case plat::MM_WOM_OPEN:
        // The elapsed second is left alone: the start's first status
        // (TM_STATUS) is forced and sets it.
        gLastAudible = nullptr;
        gFinishing = false;
        break;
      case TM_FINISH:
        gFinishing = true;
        // Nothing queued any more: the end has been heard already.
        if (PlayingDevice() && !gPb->LastWrittenHeader.load()) PostPlayNotice(gPb, WM_PLAYEND, nullptr);
        break;
      case TM_FORGETAUDIBLE: gLastAudible = nullptr; break;
      case TM_STATUS:
        if (gStatusOn.load()) ReportStatus(reinterpret_cast<const SweepRecord*>(m.LParam), true);
        break;
      case plat::MM_WOM_CLOSE: {
        // Only the device that closed; a newer one may be open already.
        plat::WaveDevice* closed = reinterpret_cast<plat::WaveDevice*>(m.WParam);
        if (gPb) gPb->hWaveOut.compare_exchange_strong(closed, nullptr);
        break;
      }
      case plat::MM_WOM_DONE:
        OnDone(reinterpret_cast<plat::WaveDevice*>(m.WParam), reinterpret_cast<plat::WaveHeader*>(m.LParam));
        break;
      case TM_STOP:
        if (m.WParam == 0) OnStopRequest();
        break;
      case TM_PLAYBACK: gPb = reinterpret_cast<PlaybackState*>(m.LParam); break;
      case TM_SLEEP:
        if (PlayingDevice() && !gStopLast)
          ChangePlaybackSleep(*gPb, static_cast<int32_t>(m.LParam >> 32), static_cast<int64_t>(m.WParam),
                              static_cast<int32_t>(m.LParam & 0xFFFFFFFF));
        break;
      default: break;
    }
  }
}

}  // namespace

bool CreateAudioThread(const PlaybackWindow& window, bool timeCritical) {
  if (gThread.joinable()) return true;
  gWindow = window;
  gPb = nullptr;
  NewRecordHook = VisualHook;
  plat::ResetMsgQueue(AudioQueue);
  PlayEventFd();
  ResetPlayEvents();
  plat::ResetEvent(hWaveEvent2);
  try {
    gThread = std::thread(AudioMain, timeCritical);
  } catch (...) {
    return false;
  }
  return true;
}

AudioPriority AudioThreadPriority() { return static_cast<AudioPriority>(gPriority.load()); }

void EndAudioThread() {
  if (!gThread.joinable()) return;
  plat::SetEvent(hWaveEvent);
  plat::PostQuit(AudioQueue);
  gThread.join();
  gPb = nullptr;
  NewRecordHook = nullptr;
  plat::ResetEvent(hWaveEvent);
}

void SyncAudioThread() {
  if (gThread.joinable() && std::this_thread::get_id() != gThread.get_id()) plat::SendMsg(AudioQueue, TM_SYNC);
}

void UseAudioPlayback(PlaybackState* pb) {
  if (gThread.joinable() && std::this_thread::get_id() != gThread.get_id())
    plat::SendMsg(AudioQueue, TM_PLAYBACK, 0, reinterpret_cast<intptr_t>(pb));
  else
    gPb = pb;
}

const PlaybackWindow& MainWindowHooks() { return gWindow; }

void SetStatusDisplay(bool on) { gStatusOn.store(on); }

void RequestFreeze(PlaybackState& pb, bool freeze, bool immediatePause) {
  plat::WaveDevice* dev = pb.hWaveOut.load();
  if (immediatePause && dev) {
    pb.FreezeState.store(freeze ? 2 : -1);
    int retval = plat::WaveReset(dev);
    TVK_CHECK(retval == 0, retval);
  } else {
    pb.FreezeState.store(freeze ? 1 : 0);
  }
  plat::PostMsg(AudioQueue, TM_FORGETAUDIBLE);
}

void SetPlaybackAudioStrobe(PlaybackState& pb, bool on) {
  pb.AudioStrobeOn.store(on ? 1 : 0);
  plat::WaveDevice* dev = pb.hWaveOut.load();
  if (!dev) return;
  // Re-take the audible record; a frozen playback stays frozen.
  pb.FreezeState.store(pb.FreezeState.load() > 0 ? 2 : -1);
  int retval = plat::WaveReset(dev);
  TVK_CHECK(retval == 0, retval);
}

void RequestStop() { plat::PostMsg(AudioQueue, TM_STOP, 0, 0); }

void RequestFinish() { plat::PostMsg(AudioQueue, TM_FINISH, 0, 0); }

void RequestSleep(int32_t mode, int64_t afterMs, int32_t fadeMs) {
  plat::PostMsg(AudioQueue, TM_SLEEP, static_cast<uintptr_t>(std::max<int64_t>(afterMs, 0)),
                (static_cast<intptr_t>(mode) << 32) | static_cast<intptr_t>(static_cast<uint32_t>(fadeMs)));
}

void AudioBlockStats(int64_t* worstMicros, int64_t* blocks) {
  *worstMicros = gWorstMicros.load();
  *blocks = gBlocks.load();
}

void ResetAudioBlockStats() {
  gWorstMicros.store(0);
  gBlocks.store(0);
}

#include "data/playback/devplay.h"

#include <mutex>

#include "assert/check.h"
#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"
#include "data/engine.h"
#include "data/playback/fade.h"
#include "data/playback/playstatus.h"
#include "platform/clock.h"

namespace {

void Show(PlaybackUi* ui, int caption, int max) {
  if (ui && ui->ShowProgress) ui->ShowProgress(ui->Ctx, caption, max);
}
bool Poll(PlaybackUi* ui, int pos) { return ui && ui->Progress && ui->Progress(ui->Ctx, pos); }

int DeviceOpenMessage(int rc, int* code) {
  switch (rc) {
    case plat::WAVE_BADDEVICE: return 1263;
    case plat::WAVE_ALLOCATED: return 1259;
    case plat::WAVE_NOMEM: return 1261;
    default:
      if (code) *code = rc;
      return 1262;
  }
}

// Waits until `delay` (PlayDelayTime) thousandths of a minute have passed since
// requestTick. true when the user aborted.
bool WaitDelay(int32_t delay, uint32_t requestTick, PlaybackUi* ui) {
  int k = delay < 1000 ? 1 : delay < 60000 ? 10 : 100;
  Show(ui, 104, delay / k);
  for (;;) {
    uint32_t elapsed = (PlayTickCount() - requestTick) / 60;
    if (static_cast<int64_t>(elapsed) >= delay) return false;
    if (Poll(ui, static_cast<int>(elapsed) / k)) return true;
    plat::ClockSleep(100);
  }
}

void Synch(int which) {
  const PlaybackWindow& w = MainWindowHooks();
  if (w.SynchPoint) w.SynchPoint(w.Ctx, which);
}

bool RecordHasNoise(const SweepRecord* r) { return r->NoiseVolume[0] > 0 || r->NoiseVolume[1] > 0; }

// Fills header b with block b of the record's DataBlockMem and the next generated block;
// false when the preset has ended.
bool FillHeader(PlaybackState& pb, int b) {
  plat::WaveHeader& h = pb.WaveHeaders[b];
  h = plat::WaveHeader{};
  h.Data = pb.DataBlockMem.Base + static_cast<size_t>(b) * static_cast<size_t>(pb.BlockBytes);
  h.Length = static_cast<uint32_t>(pb.BlockBytes);
  if (GeneratePlaybackBlock(pb, h.Data) != 0) return false;
  h.User = reinterpret_cast<uintptr_t>(pb.CurrentRecord);
  pb.HeaderMark[b] = MarkSweepWalk(pb);
  return true;
}

bool BlocksFit(const PlaybackState& pb) {
  const int32_t blocks = pb.Options.MemoryBlocks;
  return blocks >= 1 && blocks <= MAXWAVEBLOCKS &&
         static_cast<int64_t>(blocks) * pb.BlockBytes <= static_cast<int64_t>(DATABLOCKMEM_BYTES);
}

}  // namespace

int OpenWaveDevice(const plat::WaveTarget& target, int samplesPerSec, bool bits16, plat::WaveDevice** out, int* code) {
  return OpenWaveDeviceFor(target, samplesPerSec, bits16, &AudioQueue, out, code);
}

int OpenWaveDeviceFor(const plat::WaveTarget& target, int samplesPerSec, bool bits16, plat::MsgQueue* callback,
                      plat::WaveDevice** out, int* code) {
  *out = nullptr;
  plat::WaveFormat f{2, samplesPerSec, bits16 ? 16 : 8};
  int fallback = 0;  // message of the last smaller format tried
  for (;;) {
    int rc = plat::WaveQuery(target, f);
    if (rc == plat::WAVE_OK) {
      if (fallback) return fallback;
      rc = plat::WaveOpen(out, target, f, callback);
      if (rc == plat::WAVE_OK) return 0;
      return DeviceOpenMessage(rc, code);
    }
    if (rc != plat::WAVE_BADFORMAT) return DeviceOpenMessage(rc, code);
    if (f.BitsPerSample == 16) {
      f.BitsPerSample = 8;
      fallback = 1264;
    } else if (f.SamplesPerSec > 40000) {
      f.SamplesPerSec = 40000;
      fallback = 1265;
    } else if (f.Channels == 2) {
      f.Channels = 1;
      fallback = 1266;
    } else {
      return 1260;
    }
  }
}

uint32_t PlayTickCount() {
  uint32_t t = static_cast<uint32_t>(plat::ClockMs());
  return t ? t : 1;
}

int StartPlayback(PlaybackState& pb, plat::WaveDevice* device, const Preset& preset, const AdvancedOptions& options,
                  const PlaybackFades& fades, const char* wavFileName, int32_t minutes, uint32_t requestTick,
                  PlaybackUi* ui, const FileOutput& out) {
  if (!device) return StartPlaybackToFile(pb, preset, options, wavFileName, minutes, ui, out);
  // No device of an earlier start is left in the record: a freeze asked
  // for during the play delay must not reset a closed device.
  pb.hWaveOut.store(nullptr);
  if (int rc = PreparePlayback(pb, preset, options, true, ui)) return rc;
  if (!BlocksFit(pb)) return PLAY_NO_BLOCK_MEMORY;
  TakeStatusNumberFormat();
  int blocks = pb.Options.MemoryBlocks;
  if (!EnsureDataBlockMem(pb, static_cast<size_t>(blocks) * static_cast<size_t>(pb.BlockBytes))) return PLAY_NO_MEMORY;
  if (requestTick && WaitDelay(pb.Options.PlayDelayTime, requestTick, ui)) {
    plat::RegionReset(pb.DataBlockMem);
    return -1;
  }
  const PlaybackWindow& w = MainWindowHooks();
  if (w.StartVisual) w.StartVisual(w.Ctx);
  pb.PlayStartTime.store(plat::ClockMs());
  const SweepRecord* first = pb.CurrentRecord;
  StartPlaybackFades(pb, fades);

  int made = 0;
  while (made < blocks && FillHeader(pb, made)) {
    plat::WavePrepare(device, &pb.WaveHeaders[made]);
    made++;
  }
  pb.LastWrittenHeader.store(nullptr);
  UseAudioPlayback(&pb);
  pb.hWaveOut.store(device);
  int retval = plat::WavePause(device);
  TVK_CHECK(retval == 0, retval);
  for (int b = 0; b < made; b++) {
    int rc = plat::WaveWrite(device, &pb.WaveHeaders[b]);
    TVK_CHECK(rc == 0, rc);
    pb.LastWrittenHeader.store(&pb.WaveHeaders[b]);
  }
  // The first status, reported by the thread like every later one; queued
  // before the device runs, so no returned block's status comes before it.
  plat::PostMsg(AudioQueue, TM_STATUS, 0, reinterpret_cast<intptr_t>(first));
  Synch(0);
  pb.PlayStartTime.store(plat::ClockMs());
  retval = plat::WaveRestart(device);
  TVK_CHECK(retval == 0, retval);
  Synch(1);
  return 0;
}

int StartTestPlayback(PlaybackState& pb, plat::WaveDevice* device, const Preset& preset, int segment, int time,
                      const AdvancedOptions& options) {
  TakeEngineOptions(pb, options);
  if (!BlocksFit(pb)) return PLAY_NO_BLOCK_MEMORY;
  BackgroundChoice background;
  if (int rc = ResolveBackground(preset, &background)) return rc;
  if (!EnsureSweepData(pb, 2 * MAXSWEEPRECORD)) return PLAY_NO_MEMORY;
  {
    // The record is made with the background's own parameter row, which
    // loading makes the playback's.
    std::lock_guard<std::mutex> g(pb.hBackgroundMutex);
    if (int rc = LoadBackground(pb, background)) return rc;
  }
  ResetWaveformCache(pb);
  pb.FreezeState.store(0);
  SweepRecord* r = FirstSweepRecord(pb);
  int status = 0;
  if (!FillSweepRecord(pb, preset, segment, nullptr, time, r, &status)) return status;
  r->Blocks = 0;
  pb.SweepDataVoices = r->NumVoices;
  pb.NoiseOn = RecordHasNoise(r);
  pb.ExtraSourceShare = (pb.BackgroundFrames > 0 ? 1 : 0) + (pb.NoiseOn ? 1 : 0);
  BuildStrobeShapes(pb.Options);  // the preset calculation builds them; test mode skips it
  ResetOscillators(pb);
  StartSweepWalk(pb, r);
  StartPlaybackFades(pb, PlaybackFades{});
  int blocks = pb.Options.MemoryBlocks;
  if (!EnsureDataBlockMem(pb, static_cast<size_t>(blocks) * static_cast<size_t>(pb.BlockBytes))) return PLAY_NO_MEMORY;
  TakeStatusNumberFormat();
  pb.PlayStartTime.store(plat::ClockMs());
  pb.LastWrittenHeader.store(nullptr);
  UseAudioPlayback(&pb);
  pb.hWaveOut.store(device);
  for (int b = 0; b < blocks && FillHeader(pb, b); b++) {
    plat::WavePrepare(device, &pb.WaveHeaders[b]);
    int rc = plat::WaveWrite(device, &pb.WaveHeaders[b]);
    TVK_CHECK(rc == 0, rc);
    pb.LastWrittenHeader.store(&pb.WaveHeaders[b]);
  }
  return 0;
}

int UpdateTestPlayback(PlaybackState& pb, const Preset& preset, int segment, int time) {
  BackgroundChoice background;
  if (int rc = ResolveBackground(preset, &background)) return rc;
  {
    std::lock_guard<std::mutex> g(pb.hBackgroundMutex);
    // Loaded first: the new record is made with its parameter row. A failure
    // leaves the playing record and background as they were.
    if (int rc = LoadBackground(pb, background)) return rc;
    if (!EnsureSweepData(pb, MAXSWEEPRECORD)) return PLAY_NO_MEMORY;  // an update before any start
    SweepRecord* cur = pb.CurrentRecord;
    SweepRecord* at = cur ? FollowingRecord(cur) : FirstSweepRecord(pb);
    size_t end = static_cast<size_t>(reinterpret_cast<unsigned char*>(at) - pb.SweepData.Base) + MAXSWEEPRECORD;
    if (end > SWEEPDATA_BYTES || !EnsureSweepData(pb, end)) at = FirstSweepRecord(pb);
    int status = 0;
    if (!FillSweepRecord(pb, preset, segment, nullptr, time, at, &status)) {
      if (status != CALC_WAVEFORMS) return status;
      // A full waveform cache: nothing but the new record will use it now.
      ResetWaveformCache(pb);
      if (!FillSweepRecord(pb, preset, segment, nullptr, time, at, &status)) return status;
    }
    at->Blocks = 0;
    pb.SweepDataVoices = at->NumVoices;
    pb.NoiseOn = RecordHasNoise(at);
    pb.ExtraSourceShare = (pb.BackgroundFrames > 0 ? 1 : 0) + (pb.NoiseOn ? 1 : 0);
    StartSweepWalk(pb, at);
  }
  if (plat::WaveDevice* dev = pb.hWaveOut.load()) {
    int retval = plat::WaveReset(dev);
    TVK_CHECK(retval == 0, retval);
  }
  return 0;
}

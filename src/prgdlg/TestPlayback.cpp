// The preset editor's test playback.
#include "prgdlg/TestPlayback.h"

#include <QApplication>
#include <QCursor>

#include "assert/check.h"
#include "data/playback/audiothread.h"
#include "data/playback/devplay.h"
#include "data/synthesis/state.h"
#include "reg/settings.h"

namespace {
TestPlayback::Host gHost;
}

void TestPlayback::setHost(const Host& host) { gHost = host; }

TestPlayback* TestPlayback::instance() {
  static TestPlayback* t = new TestPlayback;
  return t;
}

int TestPlayback::start(const Preset& p, int segment, int time, Failure* where, int* code) {
  setAudioStrobe(gHost.AudioStrobe && gHost.AudioStrobe(gHost.Ctx));
  return start(p, segment, time, Cfg.Advanced, false, where, code);
}

int TestPlayback::start(const Preset& p, int segment, int time, const AdvancedOptions& given, bool adjust,
                        Failure* where, int* code) {
  AdvancedOptions options = given;
  *where = FAIL_NONE;
  *code = 0;
  if (Running) stop();
  if (gHost.MainPlaying && gHost.MainPlaying(gHost.Ctx)) return 1333;
  plat::WaveTarget target;
  if (gHost.Target)
    target = gHost.Target(gHost.Ctx);
  else
    target.Pcm = Cfg.Device;
  plat::WaveDevice* dev = nullptr;
  for (;;) {
    int rc = OpenWaveDevice(target, options.SamplesPerSec, options.Bits16 != 0, &dev, code);
    if (rc == 0) break;
    if (adjust && rc == 1264 && options.Bits16) {
      options.Bits16 = 0;
    } else if (adjust && rc == 1265 && options.SamplesPerSec != 40000) {
      options.SamplesPerSec = 40000;
    } else {
      *where = FAIL_DEVICE;
      return rc;
    }
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  int rc = StartTestPlayback(Playback, dev, p, segment, time, options);
  QApplication::restoreOverrideCursor();
  if (rc) {
    // The device may already hold blocks; the audio thread ignores those of
    // a device it does not play.
    Playback.hWaveOut.store(nullptr);
    plat::WaveReset(dev);
    SyncAudioThread();
    plat::WaveClose(dev);
    *where = FAIL_START;
    return rc;
  }
  Device = dev;
  Running = true;
  Segment = segment;
  Time = time;
  emit stateChanged(true);
  return 0;
}

int TestPlayback::update(const Preset& p, int segment, int time) {
  if (!Running) return 0;
  Segment = segment;
  Time = time;
  return UpdateTestPlayback(Playback, p, segment, time);
}

void TestPlayback::stop() {
  if (!Running) return;
  Running = false;
  RequestStop();
  // The thread has reset the device and let go of its blocks once it
  // answers; only then may the device be closed.
  SyncAudioThread();
  int error = plat::WaveClose(Device);
  TVK_CHECK_AS(error == plat::WAVE_OK || error == plat::WAVE_INVALHANDLE,
               "error==MMSYSERR_NOERROR||error==MMSYSERR_INVALHANDLE", error);
  Device = nullptr;
  emit stateChanged(false);
}

bool TestPlayback::takeNotice(const PlayEvent& e) { return e.Playback == &instance()->Playback; }

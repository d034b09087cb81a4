// The options' test tone.
#include "data/playback/testtone.h"

#include <algorithm>
#include <cmath>

#include "data/playback/devplay.h"

std::vector<unsigned char> MakeTestTone(int samplesPerSec, bool bits16) {
  const size_t frames = samplesPerSec > 0 ? static_cast<size_t>(samplesPerSec) : 0;
  const size_t fade = frames / 100;  // 10 ms
  const size_t width = bits16 ? 2 : 1;
  std::vector<unsigned char> out(frames * 2 * width);
  const double step = 2.0 * M_PI * 440.0 / static_cast<double>(samplesPerSec);
  for (size_t i = 0; i < frames; ++i) {
    double gain = 0.5;
    size_t edge = std::min(i, frames - 1 - i);
    if (edge < fade) gain *= static_cast<double>(edge) / static_cast<double>(fade);
    double v = gain * std::sin(step * static_cast<double>(i));
    for (size_t ch = 0; ch < 2; ++ch) {
      unsigned char* p = &out[(i * 2 + ch) * width];
      if (bits16) {
        auto s = static_cast<int16_t>(std::lround(v * 32767.0));
        auto u = static_cast<uint16_t>(s);
        p[0] = static_cast<unsigned char>(u & 0xFFu);
        p[1] = static_cast<unsigned char>(u >> 8);
      } else {
        p[0] = static_cast<unsigned char>(128 + std::lround(v * 127.0));
      }
    }
  }
  return out;
}

int StartTestTone(TestTone& t, const plat::WaveTarget& target, int samplesPerSec, bool bits16, int* code) {
  StopTestTone(t);
  plat::ResetMsgQueue(t.Queue);
  if (int rc = OpenWaveDeviceFor(target, samplesPerSec, bits16, &t.Queue, &t.Device, code)) return rc;
  t.Data = MakeTestTone(samplesPerSec, bits16);
  t.Header = plat::WaveHeader{};
  t.Header.Data = t.Data.data();
  t.Header.Length = static_cast<uint32_t>(t.Data.size());
  plat::WavePrepare(t.Device, &t.Header);
  if (int rc = plat::WaveWrite(t.Device, &t.Header)) {
    plat::WaveReset(t.Device);
    plat::WaveClose(t.Device);
    t.Device = nullptr;
    if (code) *code = rc;
    return 1262;
  }
  return 0;
}

bool TestToneFinished(TestTone& t) {
  if (!t.Device) return true;
  plat::Msg m;
  bool timedOut = false;
  while (plat::GetMsgTimeout(t.Queue, &m, 0, &timedOut))
    if (m.Id == plat::MM_WOM_DONE) return true;
  return false;
}

void StopTestTone(TestTone& t) {
  if (!t.Device) return;
  // With the tone taken, a reset lets its tail play; otherwise it drops it.
  plat::WaveReset(t.Device);
  plat::WaveClose(t.Device);
  t.Device = nullptr;
}

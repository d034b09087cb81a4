#include "lightchk/lightcmp.h"

#include <algorithm>
#include <cmath>
#include <vector>

LightSurvival CompareLight(const LightReport& written, const LightReport& file) {
  LightSurvival s;
  size_t n = written.Seconds.size();
  // The last second may be cut short by the encoder's framing.
  size_t judged = n > 1 ? n - 1 : n;
  double levels = 0;
  for (size_t i = 0; i < judged; ++i) {
    const LightSecond& w = written.Seconds[i];
    if (!w.Eye[0].Carrier && !w.Eye[1].Carrier) continue;
    s.Seconds++;
    const LightSecond* f = i < file.Seconds.size() ? &file.Seconds[i] : nullptr;
    bool missing = false, off = false;
    for (int e = 0; e < 2; ++e) {
      const LightEye& a = w.Eye[e];
      if (!a.Carrier) continue;
      if (!f || !f->Eye[e].Carrier) {
        missing = true;
        continue;
      }
      const LightEye& b = f->Eye[e];
      float db = std::fabs(a.Brightness - b.Brightness), df = std::fabs(a.Frequency - b.Frequency);
      s.MaxBrightness = std::max(s.MaxBrightness, db);
      s.MaxFrequency = std::max(s.MaxFrequency, df);
      off = off || db > LIGHT_KEEP_BRIGHTNESS || df > LIGHT_KEEP_FREQUENCY;
      float change = b.Level - a.Level;
      levels += change;
      s.Compared++;
      s.WorstLevel = std::min(s.WorstLevel, change);
    }
    if (missing)
      s.Missing++;
    else if (off)
      s.Off++;
  }
  s.LevelChange = s.Compared > 0 ? static_cast<float>(levels / s.Compared) : 0.0f;
  int allowed = std::max(1, s.Seconds / 50);
  s.Survived = s.Seconds > 0 && s.Missing == 0 && s.Off <= allowed;
  return s;
}

std::string LightLossText(const LightSurvival& s) {
  char buf[160];
  if (s.Seconds == 0) return "the rendered sound has no carrier";
  if (s.Missing > 0)
    std::snprintf(buf, sizeof buf, "the carrier is missing in %d of %d seconds", s.Missing, s.Seconds);
  else if (s.MaxFrequency > LIGHT_KEEP_FREQUENCY)
    std::snprintf(buf, sizeof buf, "the flash frequency is off by up to %.1f Hz in %d of %d seconds",
                  static_cast<double>(s.MaxFrequency), s.Off, s.Seconds);
  else
    std::snprintf(buf, sizeof buf, "the brightness is off by up to %.0f %% in %d of %d seconds",
                  static_cast<double>(s.MaxBrightness), s.Off, s.Seconds);
  return buf;
}

std::string LightSurvivalText(const LightSurvival& s, plat::SoundFormat f) {
  char buf[256];
  const char* title = plat::SoundFormatTitle(f);
  if (s.Survived) {
    std::snprintf(buf, sizeof buf,
                  "The AudioStrobe light signal came through the %s encoding: the carrier's level changed by "
                  "%+.1f dB, the brightness by up to %.0f %%, the flash frequency by up to %.2f Hz.",
                  title, static_cast<double>(s.LevelChange), static_cast<double>(s.MaxBrightness),
                  static_cast<double>(s.MaxFrequency));
    return buf;
  }
  return "The AudioStrobe light signal did not survive the " + std::string(title) + " encoding: " + LightLossText(s) +
         ". Goggles would not show the preset's light from this file; write a FLAC or WAV file to keep it.";
}

int CarrierQuality(plat::SoundFormat f) {
  switch (f) {
    case plat::SOUND_VORBIS: return 8;
    case plat::SOUND_OPUS: return 5;
    case plat::SOUND_MP3: return 10;
    default: return plat::SOUND_QUALITY_DEFAULT;
  }
}

bool LosesCarrier(plat::SoundFormat f) {
  return f == plat::SOUND_VORBIS || f == plat::SOUND_OPUS || f == plat::SOUND_MP3;
}

void LightFeedBlock(void* ctx, const unsigned char* block, size_t bytes, bool bits16) {
  auto* d = static_cast<LightDecoder*>(ctx);
  if (bits16) {
    LightDecoderFeed(d, reinterpret_cast<const int16_t*>(block), static_cast<int64_t>(bytes / 4));
    return;
  }
  std::vector<int16_t> wide(bytes);
  for (size_t i = 0; i < bytes; ++i) wide[i] = static_cast<int16_t>((block[i] - 128) * 256);
  LightDecoderFeed(d, wide.data(), static_cast<int64_t>(bytes / 2));
}

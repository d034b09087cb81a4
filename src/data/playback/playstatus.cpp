#include "data/playback/playstatus.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/playback/fade.h"
#include "data/synthesis/state.h"
#include "main/model.h"
#include "main/strtab.h"
#include "platform/numfmt.h"
#include "platform/timesep.h"

namespace {

plat::NumberSettings gSettings = {".", ",", 3, plat::NEG_LEADING, 1};

int Percent(int32_t v) { return static_cast<int>((v + (v >= 0 ? 50 : -50)) / 100); }

// Appends printf output, never beyond the buffer.
void Append(char* out, size_t size, size_t* used, const char* fmt, ...) __attribute__((format(printf, 4, 5)));
void Append(char* out, size_t size, size_t* used, const char* fmt, ...) {
  if (*used + 1 >= size) return;
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(out + *used, size - *used, fmt, ap);
  va_end(ap);
  if (n > 0) *used = std::min(size - 1, *used + static_cast<size_t>(n));
}

}  // namespace

void TakeStatusNumberFormat() {
  plat::NumberSettings s{};
  if (plat::GetNumberSettings(&s)) gSettings = s;
  plat::TimeSeparator();  // read the locale here, on the main thread
}

void FormatStatusNumber(int32_t value, int digits, char* out, size_t size) {
  // Frequencies are shown with one decimal, never fewer: the value's digits
  // are rounded to one, halves away from zero (like FormatNumber with one
  // decimal shown and at least one; that one's buffers are the main
  // thread's, this runs on the audio thread).
  digits = std::clamp(digits, 0, 7);
  bool negative = value < 0;
  uint64_t mag = negative ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
  int shown = digits > 0 ? 1 : 0;
  uint64_t div = 1;
  for (int i = shown; i < digits; i++) div *= 10;
  if (div > 1) mag = (mag + div / 2) / div;
  char plain[48];
  // A value that rounds to zero carries no minus sign.
  const char* sign = negative && mag != 0 ? "-" : "";
  if (shown > 0)
    std::snprintf(plain, sizeof plain, "%s%" PRIu64 ".%01" PRIu64, sign, mag / 10, mag % 10);
  else
    std::snprintf(plain, sizeof plain, "%s%" PRIu64, sign, mag);
  plat::NumberFormatOptions opt{shown,
                                gSettings.LeadingZero,
                                gSettings.Grouping,
                                gSettings.DecimalSep,
                                gSettings.ThousandSep,
                                gSettings.NegativeOrder};
  if (!plat::FormatNumberText(plain, opt, out, size)) std::snprintf(out, size, "%s", plain);
}

void FormatElapsed(int64_t seconds, char* out, size_t size) {
  if (seconds < 0) seconds = 0;
  const char* sep = plat::TimeSeparator();
  unsigned long s = static_cast<unsigned long>(seconds);
  if (s < 3600)
    std::snprintf(out, size, "%lu%s%02lu", s / 60, sep, s % 60);
  else
    std::snprintf(out, size, "%lu%s%02lu%s%02lu", s / 3600, sep, (s / 60) % 60, sep, s % 60);
}

void MakePlayStatus(const PlaybackState& pb, const SweepRecord* r, int64_t elapsedSeconds, bool frozen, bool strobe,
                    bool forced, PlayStatus* out) {
  PlayStatus& s = *out;
  s = PlayStatus{};
  s.ElapsedSeconds = elapsedSeconds;
  s.Frozen = frozen;
  s.Strobe = strobe;
  s.Forced = forced;
  int voices = std::clamp(pb.SweepDataVoices, 1, MAXVOICES);
  s.Voices = static_cast<uint8_t>(voices);
  s.Lines = 1 + voices + (strobe ? 1 : 0);
  for (int i = 0; i < voices && i < r->NumVoices; i++) {
    const VoiceEntry& v = r->Voice[i];
    s.Voice[i].Volume[0] = v.Volume[0];
    s.Voice[i].Volume[1] = v.Volume[1];
    s.Voice[i].Beat = v.Frequency[1] - v.Frequency[0];
  }
  for (int e = 0; e < 2; e++) {
    s.VisualBrightness[e] = r->VisualBrightness[e];
    s.VisualFrequency[e] = r->VisualFrequency[e];
  }
}

int FormatPlayStatus(const PlayStatus& s, char* out, size_t size) {
  size_t used = 0;
  out[0] = 0;
  char time[48];
  FormatElapsed(s.ElapsedSeconds, time, sizeof time);
  int voices = std::clamp<int>(s.Voices, 1, MAXVOICES);
  bool one = voices == 1;
  int lines = 1;
  Append(out, size, &used, GetStr(s.Frozen ? (one ? 39 : 40) : (one ? 37 : 38)), time);
  for (int i = 0; i < voices; i++) {
    const PlayStatusVoice& v = s.Voice[i];
    char beat[48];
    FormatStatusNumber(v.Beat, ParamDef[PN_BEAT].Digits, beat, sizeof beat);
    if (v.Volume[0] <= 0 && v.Volume[1] <= 0)
      Append(out, size, &used, GetStr(33), i + 1);
    else if (v.Volume[0] == v.Volume[1])
      Append(out, size, &used, GetStr(32), i + 1, Percent(v.Volume[0]), beat);
    else
      Append(out, size, &used, GetStr(34), i + 1, Percent(v.Volume[0]), Percent(v.Volume[1]), beat);
    lines++;
  }
  if (s.Strobe) {
    int d = ParamDef[PN_VISFREQ].Digits;
    char f0[48], f1[48];
    FormatStatusNumber(s.VisualFrequency[0], d, f0, sizeof f0);
    FormatStatusNumber(s.VisualFrequency[1], d, f1, sizeof f1);
    int b0 = Percent(s.VisualBrightness[0]), b1 = Percent(s.VisualBrightness[1]);
    if (b0 == b1 && s.VisualFrequency[0] == s.VisualFrequency[1])
      Append(out, size, &used, GetStr(35), b0, f0);
    else
      Append(out, size, &used, GetStr(36), b0, b1, f0, f1);
    lines++;
  }
  return lines;
}

bool FormatSleepLine(const PlayStatus& s, char* out, size_t size) {
  out[0] = 0;
  if (s.SleepLeftMs < 0 || (s.SleepMode != SLEEP_AFTER && s.SleepMode != SLEEP_AT_END)) return false;
  char left[48];
  // Rounded up: the line reads 0:00 only once the sound is silent.
  FormatElapsed((s.SleepLeftMs + 999) / 1000, left, sizeof left);
  int id = s.SleepMode == SLEEP_AFTER ? (s.SleepFading ? 1491 : 1490) : (s.SleepFading ? 1493 : 1492);
  std::snprintf(out, size, GetStr(id), left);
  return true;
}

int BuildStatusText(const PlaybackState& pb, const SweepRecord* r, int64_t elapsedSeconds, bool frozen, bool strobe,
                    char* out, size_t size) {
  PlayStatus s;
  MakePlayStatus(pb, r, elapsedSeconds, frozen, strobe, false, &s);
  return FormatPlayStatus(s, out, size);
}

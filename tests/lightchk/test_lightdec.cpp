// The light signal check against the engine's own AudioStrobe output.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/playback/playback.h"
#include "data/synthesis/generate.h"
#include "data/testpreset.h"
#include "data/testrecord.h"
#include "lightchk/lightcmp.h"
#include "lightchk/lightfile.h"
#include "platform/rand.h"

namespace {

struct Eye {
  int32_t MilliHz;     // visual frequency, stored units
  int32_t Brightness;  // 0..10000
};

// A steady preset of `seconds` whose eyes flash as given; voices and noise
// as the test needs.
struct LightPreset : TestPreset {
  // `length` in hundredths of a minute (10: 6 s).
  LightPreset(Eye left, Eye right, int length = 10) {
    Seg(0).Length = static_cast<int16_t>(length);
    At(0, PID_VISFREQ).ChannelMode = 1;
    At(0, PID_VISBRIGHT).ChannelMode = 1;
    Set(0, PID_VISFREQ, {{0, left.MilliHz}, {10000, left.MilliHz}});
    Set(0, PID_VISFREQ + 1, {{0, right.MilliHz}, {10000, right.MilliHz}});
    Set(0, PID_VISBRIGHT, {{0, left.Brightness}, {10000, left.Brightness}});
    Set(0, PID_VISBRIGHT + 1, {{0, right.Brightness}, {10000, right.Brightness}});
  }
};

struct Format {
  int Rate = 44100;
  bool Bits16 = true;
  int32_t Waveform = ASWAVE_RECTANGULAR;
  int Zero = 50, Max = 100, Duty = 50;
  bool Strobe = true;
  bool Noise = false;  // white noise at half volume
};

// The preset as the engine renders it: interleaved 16-bit stereo.
std::vector<int16_t> Render(const Preset& p, const Format& f) {
  AdvancedOptions o;
  o.SamplesPerSec = f.Rate;
  o.Bits16 = f.Bits16 ? 1 : 0;
  o.LenOfBlocks = 50;
  o.MemoryBlocks = 2;
  o.AudioStrobeWaveform = f.Waveform;
  o.AudioStrobeZeroLevel = f.Zero;
  o.AudioStrobeMaxLevel = f.Max;
  o.AudioStrobeDutyCycle = f.Duty;
  TestRecord.AudioStrobeOn.store(f.Strobe ? 1 : 0);
  plat::SeedRandom(5);
  std::vector<int16_t> pcm;
  EXPECT_EQ(PreparePlayback(TestRecord, p, o, false, nullptr), 0);
  std::vector<unsigned char> block(static_cast<size_t>(TestRecord.BlockBytes));
  while (GenerateBlock(TestRecord, block.data()) == 0) {
    for (size_t i = 0; i < block.size(); i += f.Bits16 ? 2 : 1)
      pcm.push_back(f.Bits16 ? static_cast<int16_t>(block[i] | block[i + 1] << 8)
                             : static_cast<int16_t>((block[i] - 128) * 256));
  }
  TestRecord.AudioStrobeOn.store(0);
  return pcm;
}

LightReport Decode(const std::vector<int16_t>& pcm, int rate, int channels, const LightLevels& levels) {
  LightDecoder* d = LightDecoderCreate(rate, channels, levels);
  // In uneven pieces, as files arrive.
  for (size_t at = 0; at < pcm.size();) {
    size_t n = std::min(pcm.size() - at, static_cast<size_t>(channels) * (1000 + at % 777));
    LightDecoderFeed(d, pcm.data() + at, static_cast<int64_t>(n / static_cast<size_t>(channels)));
    at += n;
  }
  LightDecoderFinish(d);
  LightReport r;
  SummarizeLight(d, &r);
  LightDecoderFree(d);
  return r;
}

// The file image of interleaved samples written by the codec library.
std::vector<unsigned char> Image(const std::vector<int16_t>& pcm, int rate, int channels, int format) {
  std::string path = ::testing::TempDir() + "light_" + std::to_string(::getpid()) + ".snd";
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
  if (!f) return {};
  sf_write_short(f, pcm.data(), static_cast<sf_count_t>(pcm.size()));
  sf_close(f);
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
  std::remove(path.c_str());
  return bytes;
}

// Interleaved frames of `channels` channels whose first two carry a
// 19.2 kHz carrier at half full scale, keyed on and off at 10 Hz.
std::vector<int16_t> Carrier(int rate, int channels, double seconds) {
  std::vector<int16_t> s;
  for (int64_t n = 0; n < static_cast<int64_t>(seconds * rate); ++n) {
    double t = static_cast<double>(n) / rate;
    bool on = std::fmod(t * 10, 1.0) < 0.5;
    double v = (on ? 16000 : 1600) * std::sin(2 * M_PI * LIGHT_CARRIER_HZ * t);
    for (int c = 0; c < channels; ++c) s.push_back(static_cast<int16_t>(c < 2 ? v : 3000 * std::sin(t * 2000)));
  }
  return s;
}

TEST(LightDecoder, ReadsTheGeneratorsLight) {
  Format noisy;
  noisy.Noise = true;
  struct Case {
    const char* Name;
    Format F;
    Eye Left, Right;
  } cases[] = {
      {"44.1 kHz rectangular", {}, {10000, 10000}, {10000, 10000}},
      {"48 kHz sine, eyes apart", {48000, true, ASWAVE_SINE}, {25000, 4000}, {3000, 8000}},
      {"triangular at 1 and 40 Hz", {44100, true, ASWAVE_TRIANGULAR}, {40000, 2000}, {1000, 6000}},
      {"steep, duty 30 %", {48000, true, ASWAVE_STEEP, 50, 100, 30}, {7000, 7000}, {7000, 7000}},
      {"8 bits", {44100, false}, {12000, 5000}, {12000, 5000}},
      {"levels 20 / 80 %", {44100, true, ASWAVE_RECTANGULAR, 20, 80}, {15000, 5000}, {15000, 9000}},
      {"steady light", {}, {0, 6000}, {0, 3000}},
      {"white noise", noisy, {30000, 5000}, {9000, 3000}},
      {"steady light in white noise", noisy, {0, 5000}, {0, 2000}},
  };
  for (const Case& c : cases) {
    LightPreset p(c.Left, c.Right);
    if (c.F.Noise) {
      p.Set2(0, PID_NOISEVOL, {{0, 5000}, {10000, 5000}});
      p.Set2(0, PID_NOISESMOOTH, {{0, 0}, {10000, 0}});
    }
    LightReport r = Decode(Render(p.P, c.F), c.F.Rate, 2, LightLevels{c.F.Zero, c.F.Max});
    ASSERT_EQ(r.Seconds.size(), 6u) << c.Name;
    EXPECT_TRUE(r.Carrier) << c.Name;
    EXPECT_TRUE(r.Gaps.empty()) << c.Name;
    for (size_t s = 0; s < r.Seconds.size(); ++s) {
      for (int e = 0; e < 2; ++e) {
        const Eye& want = e == 0 ? c.Left : c.Right;
        const LightEye& got = r.Seconds[s].Eye[e];
        ASSERT_TRUE(got.Carrier) << c.Name << " second " << s << " eye " << e;
        EXPECT_NEAR(got.Frequency, want.MilliHz / 1000.0, 0.1) << c.Name << " second " << s << " eye " << e;
        EXPECT_NEAR(got.Brightness, want.Brightness / 100.0, 5.0) << c.Name << " second " << s << " eye " << e;
      }
    }
  }
}

// Three seconds of a steady 19.2 kHz tone at -50 dBFS in both ears.
std::vector<int16_t> Faint() {
  std::vector<int16_t> s;
  for (int n = 0; n < 3 * 44100; ++n) {
    auto v = static_cast<int16_t>(104 * std::sin(2 * M_PI * LIGHT_CARRIER_HZ * n / 44100));
    s.push_back(v);
    s.push_back(v);
  }
  return s;
}

TEST(LightDecoder, FindsNoLightWhereThereIsNone) {
  LightPreset dark({10000, 10000}, {10000, 10000});
  // Three voices up to 6.4 kHz and white noise at full volume, without the
  // AudioStrobe slot.
  TestPreset loud(3);
  loud.Seg(0).Length = 10;
  loud.Set2(0, PID_NOISEVOL, {{0, 10000}, {10000, 10000}});
  loud.Set2(0, PID_NOISESMOOTH, {{0, 0}, {10000, 0}});
  loud.Set(0, VoicePidOf(2, VP_PITCH), {{0, 640000}, {10000, 640000}});
  Format off;
  off.Strobe = false;
  Format low;
  low.Rate = 32000;  // the carrier folds down to 12.8 kHz
  struct Case {
    const char* Name;
    std::vector<int16_t> Pcm;
    int Rate;
  } cases[] = {
      {"silence", std::vector<int16_t>(2 * 44100 * 3), 44100},
      {"voices and white noise", Render(loud.P, off), 44100},
      {"a rate that cannot carry it", Render(dark.P, low), 32000},
      // Sounds of nature reach -60 dBFS at 19.2 kHz.
      {"a faint tone at 19.2 kHz", Faint(), 44100},
  };
  for (const Case& c : cases) {
    LightReport r = Decode(c.Pcm, c.Rate, 2, LightLevels());
    EXPECT_FALSE(r.Carrier) << c.Name;
    ASSERT_FALSE(r.Seconds.empty()) << c.Name;
    for (const LightSecond& s : r.Seconds) EXPECT_FALSE(s.Eye[0].Carrier || s.Eye[1].Carrier) << c.Name;
  }
}

// A segment without light between two with it is a gap; the carrier's span
// runs from the first to the last lit block.
TEST(LightDecoder, DarkStretchIsAGap) {
  TestPreset p(1, 3);
  for (int s = 0; s < 3; ++s) {
    p.Seg(s).Length = 5;  // 3 s
    int32_t b = s == 1 ? 0 : 10000;
    p.Set2(s, PID_VISFREQ, {{0, 10000}, {10000, 10000}});
    p.Set2(s, PID_VISBRIGHT, {{0, b}, {10000, b}});
  }
  LightReport r = Decode(Render(p.P, Format()), 44100, 2, LightLevels());
  ASSERT_TRUE(r.Carrier);
  EXPECT_NEAR(r.From, 0.0, 0.06);
  EXPECT_NEAR(r.To, 9.0, 0.11);
  ASSERT_EQ(r.Gaps.size(), 1u);
  EXPECT_NEAR(r.Gaps[0].From, 3.0, 0.11);
  EXPECT_NEAR(r.Gaps[0].To, 6.0, 0.11);
  EXPECT_NEAR(r.LowestLevel, -6.0, 0.3);
}

TEST(LightDecoder, MonoLightsBothEyes) {
  LightPreset p({8000, 7000}, {20000, 3000}, 5);
  std::vector<int16_t> stereo = Render(p.P, Format()), left;
  for (size_t i = 0; i < stereo.size(); i += 2) left.push_back(stereo[i]);
  LightReport r = Decode(left, 44100, 1, LightLevels());
  ASSERT_GE(r.Seconds.size(), 3u);
  for (const LightSecond& s : r.Seconds) {
    EXPECT_EQ(s.Eye[0].Brightness, s.Eye[1].Brightness);
    EXPECT_EQ(s.Eye[0].Frequency, s.Eye[1].Frequency);
  }
  EXPECT_NEAR(r.Seconds[2].Eye[1].Frequency, 8.0, 0.1);
}

// The brightness read from a level is the inverse of the generator's rule,
// V = (Max - m) * B / 100 + m * 100 with m = min(Max, Zero), through the
// engine's own ConvVol.
TEST(LightBrightness, InvertsTheGeneratorsVolume) {
  struct Case {
    int Zero, Max, B;  // B in hundredths of a percent
  } cases[] = {{50, 100, 2000}, {50, 100, 5000}, {50, 100, 10000}, {0, 100, 100},  {0, 100, 1000},
               {0, 100, 5000},  {20, 80, 500},   {20, 80, 9500},   {100, 80, 5000}};
  for (const Case& c : cases) {
    int m = std::min(c.Max, c.Zero);
    int v = (c.Max - m) * c.B / 100 + m * 100;
    double amplitude = ConvVol[v] * STROBE_GAIN * 32767.0 / (1024 * 64) / 32768;
    float b = LightBrightnessOf(static_cast<float>(20 * std::log10(amplitude)), LightLevels{c.Zero, c.Max});
    // With Zero above Max every lit level reads as full light.
    double want = c.Max <= m ? 100 : c.B / 100.0;
    EXPECT_NEAR(b, want, 0.7) << c.Zero << "/" << c.Max << " B " << c.B;
  }
}

TEST(LightCompare, JudgesWhatAnEncoderKept) {
  LightReport ref;
  for (int t = 0; t < 61; ++t) {
    LightSecond s;
    s.T = t;
    for (LightEye& e : s.Eye) e = LightEye{-10.0f, 80.0f, 10.0f, 50.0f, true};
    ref.Seconds.push_back(s);
  }
  struct Case {
    const char* Name;
    void (*Change)(LightReport&);
    bool Survived;
    int Missing, Off;
  } cases[] = {
      {"unchanged", [](LightReport&) {}, true, 0, 0},
      {"one second dimmer", [](LightReport& r) { r.Seconds[7].Eye[1].Brightness = 65; }, true, 0, 1},
      {"three seconds dimmer",
       [](LightReport& r) {
         for (size_t t : {3u, 20u, 40u}) r.Seconds[t].Eye[0].Brightness = 65;
       },
       false, 0, 3},
      {"a lost second", [](LightReport& r) { r.Seconds[30].Eye[0].Carrier = false; }, false, 1, 0},
      {"the flash at another rate",
       [](LightReport& r) {
         for (LightSecond& s : r.Seconds) s.Eye[1].Frequency = 38.0f;
       },
       false, 0, 60},
      {"the last second shortened", [](LightReport& r) { r.Seconds.pop_back(); }, true, 0, 0},
  };
  for (const Case& c : cases) {
    LightReport file = ref;
    c.Change(file);
    LightSurvival s = CompareLight(ref, file);
    EXPECT_EQ(s.Survived, c.Survived) << c.Name;
    EXPECT_EQ(s.Missing, c.Missing) << c.Name;
    EXPECT_EQ(s.Off, c.Off) << c.Name;
    EXPECT_EQ(s.Seconds, 60) << c.Name;
  }
}

// Damaged and hostile files: a reason or a report, never a crash, and the
// blocks always match the frames that could be decoded.
TEST(LightFile, DamagedAndHostileFiles) {
  std::vector<unsigned char> wav = Image(Carrier(44100, 2, 2.0), 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  std::vector<unsigned char> flac = Image(Carrier(48000, 2, 2.0), 48000, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  std::vector<unsigned char> cut(wav.begin(), wav.begin() + static_cast<std::ptrdiff_t>(wav.size() / 2));
  std::vector<unsigned char> cutFlac(flac.begin(), flac.begin() + static_cast<std::ptrdiff_t>(flac.size() / 3));
  std::vector<unsigned char> flipped = flac;
  for (size_t at = 100; at < flipped.size(); at += flipped.size() / 7) flipped[at] ^= 0x5A;
  struct Case {
    const char* Name;
    std::vector<unsigned char> Bytes;
    int Rc;
    int Carrier;  // 1 found, 0 none, -1 either
    int Channels;
    const char* EndsEarly = "";  // what is said of a file shorter than it declares
  } cases[] = {
      {"text", {'n', 'o', ' ', 's', 'o', 'u', 'n', 'd'}, LIGHT_UNREADABLE, 0, 0},
      {"whole", wav, 0, 1, 2},
      {"cut in half", cut, 0, 1, 2},
      {"FLAC cut to a third", cutFlac, 0, 1, 2,
       "The file ends after 0:00 of the 0:02 its header declares; it may be cut short."},
      {"bit-flipped FLAC", flipped, -1, -1, 2},
      {"1 Hz", Image(std::vector<int16_t>(20), 1, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16), 0, 0, 2},
      {"768 kHz, 8 channels", Image(Carrier(768000, 8, 0.5), 768000, 8, SF_FORMAT_WAV | SF_FORMAT_PCM_16), 0, 1, 8},
      {"mono", Image(Carrier(44100, 1, 1.0), 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16), 0, 1, 1},
  };
  for (const Case& c : cases) {
    LightReport r;
    std::string reason;
    int rc = CheckLightMemory(c.Bytes.data(), c.Bytes.size(), LightLevels(), nullptr, &r, &reason);
    if (c.Rc >= 0) {
      EXPECT_EQ(rc, c.Rc) << c.Name;
    }
    if (rc == LIGHT_UNREADABLE) {
      EXPECT_FALSE(reason.empty()) << c.Name;
      continue;
    }
    EXPECT_EQ(r.Channels, c.Channels) << c.Name;
    if (c.Rc >= 0) {
      EXPECT_EQ(LightEndsEarlyText(r, false), c.EndsEarly) << c.Name;
    }
    if (c.Carrier >= 0) {
      EXPECT_EQ(r.Carrier, c.Carrier == 1) << c.Name;
    }
    if (r.Rate > 0) {
      EXPECT_EQ(static_cast<int64_t>(r.Blocks.size()), (r.Frames * LIGHT_BLOCKS_PER_SECOND + r.Rate - 1) / r.Rate)
          << c.Name;
    }
    if (c.Carrier == 1) {
      EXPECT_NEAR(r.Seconds[0].Eye[0].Frequency, 10.0, 0.1) << c.Name;
      EXPECT_NEAR(r.Seconds[0].Eye[1].Brightness, r.Seconds[0].Eye[0].Brightness, 0.01) << c.Name;
    }
  }
}

}  // namespace

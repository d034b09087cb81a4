#include "lightchk/lightfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/soundfile.h"

namespace {

// Samples read at a time, whatever the channel count.
constexpr int64_t kChunkSamples = 65536;
// Rates beyond this are no sound anyone plays (the decoder's window would
// grow with them).
constexpr int kMaxRate = 1536000;

int Check(plat::SoundReader* r, const plat::DecodedSound& info, const LightLevels& levels, const ProgressSink* sink,
          LightReport* out, std::string* reason) {
  *out = LightReport();
  out->Rate = info.Rate;
  out->Channels = info.Channels;
  out->DeclaredFrames = info.Frames;
  if (info.Rate > kMaxRate) {
    *reason = "the sample rate of " + std::to_string(info.Rate) + " Hz is beyond what the check reads";
    return LIGHT_UNREADABLE;
  }
  LightDecoder* d = LightDecoderCreate(info.Rate, info.Channels, levels);
  const int64_t chunk = std::max<int64_t>(1, kChunkSamples / info.Channels);
  const int64_t most = LIGHT_MAX_SECONDS * info.Rate;
  std::vector<int16_t> buf(static_cast<size_t>(chunk * info.Channels));
  int rc = 0;
  for (;;) {
    int64_t want = std::min(chunk, most - out->Frames);
    if (want <= 0) {
      out->Cut = true;
      break;
    }
    std::string why;
    int64_t n = plat::DecoderRead(r, buf.data(), want, &why);
    if (n < 0) {
      if (out->Frames == 0) {
        *reason = why;
        rc = LIGHT_UNREADABLE;
      } else {
        out->Error = why;
      }
      break;
    }
    if (n == 0) break;
    LightDecoderFeed(d, buf.data(), n);
    out->Frames += n;
    if (sink && sink->Report) {
      int64_t of = out->DeclaredFrames > 0 ? std::min(out->DeclaredFrames, most) : 0;
      int pos = of > 0 ? static_cast<int>(std::min<int64_t>(10000, out->Frames * 10000 / of)) : 0;
      if (sink->Report(sink->Ctx, pos)) {
        rc = LIGHT_ABORTED;
        break;
      }
    }
  }
  if (rc != LIGHT_UNREADABLE) {
    LightDecoderFinish(d);
    SummarizeLight(d, out);
  }
  LightDecoderFree(d);
  return rc;
}

}  // namespace

int CheckLightFile(const char* path, const LightLevels& levels, const ProgressSink* sink, LightReport* out,
                   std::string* reason) {
  plat::DecodedSound info;
  plat::SoundReader* r = plat::DecoderOpen(path, &info, reason);
  if (!r) {
    *out = LightReport();
    return LIGHT_UNREADABLE;
  }
  int rc = Check(r, info, levels, sink, out, reason);
  plat::DecoderClose(r);
  return rc;
}

int CheckLightMemory(const unsigned char* data, size_t size, const LightLevels& levels, const ProgressSink* sink,
                     LightReport* out, std::string* reason) {
  plat::DecodedSound info;
  plat::SoundReader* r = plat::DecoderOpenMemory(data, size, &info, reason);
  if (!r) {
    *out = LightReport();
    return LIGHT_UNREADABLE;
  }
  int rc = Check(r, info, levels, sink, out, reason);
  plat::DecoderClose(r);
  return rc;
}

void SummarizeLight(const LightDecoder* d, LightReport* out) {
  out->Blocks = LightDecoderBlocks(d);
  out->Seconds = LightSeconds(d);
  out->Carrier = false;
  out->Gaps.clear();
  out->LowestLevel = LIGHT_NO_LEVEL;
  for (const LightSecond& s : out->Seconds) {
    for (const LightEye& e : s.Eye) {
      if (!e.Carrier) continue;
      out->Carrier = true;
      if (out->LowestLevel <= LIGHT_NO_LEVEL || e.Level < out->LowestLevel) out->LowestLevel = e.Level;
    }
  }
  const double block = 1.0 / LIGHT_BLOCKS_PER_SECOND;
  auto lit = [&](size_t b) { return out->Blocks[b].Eye[0].Carrier || out->Blocks[b].Eye[1].Carrier; };
  size_t n = out->Blocks.size(), first = n, last = n;
  for (size_t b = 0; b < n; ++b) {
    if (!lit(b)) continue;
    if (first == n) first = b;
    last = b;
  }
  if (first == n) {
    out->From = out->To = 0;
    return;
  }
  out->From = static_cast<double>(first) * block;
  out->To = static_cast<double>(last + 1) * block;
  for (size_t b = first; b <= last;) {
    if (lit(b)) {
      ++b;
      continue;
    }
    size_t e = b;
    while (e <= last && !lit(e)) ++e;
    LightGap g{static_cast<double>(b) * block, static_cast<double>(e) * block};
    if (g.To - g.From >= LIGHT_MIN_GAP - 1e-9) out->Gaps.push_back(g);
    b = e;
  }
}

std::string LightSummaryText(const LightReport& r) {
  if (!r.Carrier) {
    if (r.Rate > 0 && r.Rate < LIGHT_MIN_RATE)
      return "No light signal: " + std::to_string(r.Rate) +
             " samples per second cannot carry the 19.2 kHz carrier (it takes at least " +
             std::to_string(LIGHT_MIN_RATE) + ").";
    return "No light signal: the file has no 19.2 kHz carrier.";
  }
  char level[32];
  std::snprintf(level, sizeof level, "%.1f", static_cast<double>(r.LowestLevel));
  std::string s = "Carrier from " + LightTimeText(r.From) + " to " + LightTimeText(r.To) + ", lowest carrier level " +
                  level + " dBFS, ";
  if (r.Gaps.empty()) return s + "no gaps.";
  s += std::to_string(r.Gaps.size()) + (r.Gaps.size() == 1 ? " gap: " : " gaps: ");
  for (size_t i = 0; i < r.Gaps.size(); ++i) {
    if (i == 10) {
      s += ", ...";
      break;
    }
    s += (i ? ", " : "") + LightTimeText(r.Gaps[i].From) + "-" + LightTimeText(r.Gaps[i].To);
  }
  return s + ".";
}

std::string LightEndsEarlyText(const LightReport& r, bool stopped) {
  if (stopped || r.Cut || !r.Error.empty() || r.Rate <= 0) return "";
  const int64_t missing = r.DeclaredFrames - r.Frames;
  if (missing < r.Rate || missing < r.DeclaredFrames / 20) return "";
  return "The file ends after " + LightTimeText(static_cast<double>(r.Frames) / r.Rate) + " of the " +
         LightTimeText(static_cast<double>(r.DeclaredFrames) / r.Rate) + " its header declares; it may be cut short.";
}

std::string LightTimeText(double seconds) {
  long long s = static_cast<long long>(std::floor(std::max(0.0, seconds) + 1e-6));
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
  return buf;
}

// RIFF WAVE images built in memory, for the background tests, the fuzz
// targets and their seed corpora.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace riffimg {

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes& o, unsigned v) { o.push_back(v & 255), o.push_back((v >> 8) & 255); }
inline void Put32(Bytes& o, uint32_t v) { Put16(o, v & 0xFFFF), Put16(o, v >> 16); }

// A chunk: id, declared size (the real size when negative), the bytes
// present, and the pad byte when the present data is complete and odd.
inline Bytes Chunk(const char* id, const Bytes& data, int64_t declared = -1) {
  Bytes o(id, id + 4);
  Put32(o, static_cast<uint32_t>(declared < 0 ? static_cast<int64_t>(data.size()) : declared));
  o.insert(o.end(), data.begin(), data.end());
  if (declared < 0 && (data.size() & 1)) o.push_back(0);
  return o;
}

// A "fmt " body; `extra` zero bytes follow the 16 standard ones.
inline Bytes Fmt(int tag, int channels, uint32_t rate, int bits, int extra = 0) {
  Bytes f;
  Put16(f, static_cast<unsigned>(tag));
  Put16(f, static_cast<unsigned>(channels));
  Put32(f, rate);
  Put32(f, rate * static_cast<uint32_t>(channels * bits / 8));
  Put16(f, static_cast<unsigned>(channels * bits / 8));
  Put16(f, static_cast<unsigned>(bits));
  for (int i = 0; i < extra; ++i) f.push_back(0);
  return f;
}

// RIFF of `form` around the given chunks (already encoded).
inline Bytes Riff(std::initializer_list<Bytes> chunks, const char* form = "WAVE") {
  Bytes body(form, form + 4);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}

inline Bytes Wave(int channels, uint32_t rate, int bits, const Bytes& samples, int tag = 1) {
  return Riff({Chunk("fmt ", Fmt(tag, channels, rate, bits)), Chunk("data", samples)});
}

}  // namespace riffimg

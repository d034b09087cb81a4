// WAV images and scratch folders for the background tests.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "main/model.h"

namespace bgtest {

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes& o, unsigned v) { o.push_back(v & 255), o.push_back((v >> 8) & 255); }
inline void Put32(Bytes& o, uint32_t v) { Put16(o, v & 0xFFFF), Put16(o, v >> 16); }

// A chunk: id, declared size, the bytes present, and the pad byte when the
// present data is complete and odd.
inline Bytes Chunk(const char* id, const Bytes& data, int64_t declared = -1) {
  Bytes o(id, id + 4);
  Put32(o, static_cast<uint32_t>(declared < 0 ? static_cast<int64_t>(data.size()) : declared));
  o.insert(o.end(), data.begin(), data.end());
  if (declared < 0 && (data.size() & 1)) o.push_back(0);
  return o;
}

inline Bytes Fmt(int tag, int channels, int rate, int bits, int extra = 0) {
  Bytes f;
  Put16(f, static_cast<unsigned>(tag));
  Put16(f, static_cast<unsigned>(channels));
  Put32(f, static_cast<uint32_t>(rate));
  Put32(f, static_cast<uint32_t>(rate * channels * bits / 8));
  Put16(f, static_cast<unsigned>(channels * bits / 8));
  Put16(f, static_cast<unsigned>(bits));
  for (int i = 0; i < extra; ++i) f.push_back(0);
  return f;
}

// RIFF WAVE around the given chunks (already encoded).
inline Bytes Riff(std::initializer_list<Bytes> chunks, const char* form = "WAVE") {
  Bytes body(form, form + 4);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}

inline Bytes Wave(int channels, int rate, int bits, const Bytes& samples, int tag = 1) {
  return Riff({Chunk("fmt ", Fmt(tag, channels, rate, bits)), Chunk("data", samples)});
}

inline Bytes Samples16(std::initializer_list<int> v) {
  Bytes o;
  for (int x : v) Put16(o, static_cast<unsigned>(x) & 0xFFFF);
  return o;
}

// A fresh folder removed at the end of the scope.
struct TempDir {
  std::filesystem::path Path;
  TempDir() {
    char tmpl[] = "/tmp/sonavel-bg-XXXXXX";
    Path = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(Path); }
  std::string operator/(const std::string& name) const { return (Path / name).string(); }
};

inline void WriteFile(const std::string& path, const Bytes& b) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline std::string BinDir() { return SONAVEL_BIN_DIR; }

inline Preset PresetWith(int background, const std::string& file) {
  Preset p{};
  p.data.Background = background;
  std::strncpy(p.data.BackgroundFile, file.c_str(), NAMELEN - 1);
  return p;
}

}  // namespace bgtest

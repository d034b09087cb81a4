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

#include "common/riffimage.h"
#include "main/model.h"

namespace bgtest {

using riffimg::Bytes;
using riffimg::Chunk;
using riffimg::Fmt;
using riffimg::Put16;
using riffimg::Put32;
using riffimg::Riff;
using riffimg::Wave;

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

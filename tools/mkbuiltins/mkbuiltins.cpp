// mkbuiltins: builds the built-in presets file (program resource RCDATA 26)
// from the authoring JSON files in presets/builtin/.
//
//   mkbuiltins -o builtins.tvk presets/builtin/00-....json ...
//
// The resource keeps the layout of the file the program has always shipped:
// 33 records, five of them 5-byte deleted holes where presets were withdrawn,
// so that the record index of every remaining preset stays what it was. The
// JSON files are given in record order and each file name starts with its
// record index ("24-creativity-increase-2-varying.json" is record 24), so a
// file added or removed by mistake cannot shift the others unnoticed.
//
// The header is the one the presets were first shipped with, not the one this
// version writes: text "Sonavel File, created with version 3.0\r\n\x1a"
// (string 79 with 3 and 0), store flag 0, format version 3, program version
// 0x00030003 (3.0.3). A store created from the resource keeps this header.
//
// Build-time tool; single-threaded.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/startup.h"
#include "file/fileformat.h"
#include "file/fileio.h"
#include "file/fileread.h"
#include "file/filewrite.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "platform/msgfmt.h"
#include "presetjson/presetjson.h"

namespace {

constexpr int kRecords = 33;
constexpr int kDeletedIndexes[] = {23, 25, 29, 30, 31};
constexpr uint32_t kBuiltInProgramVersion = 0x00030003;  // 3.0.3
constexpr int kHeaderTextId = 79;
constexpr const char kNamePrefix[] = "BUILTIN: ";

bool IsDeletedIndex(int index) {
  for (int d : kDeletedIndexes)
    if (d == index) return true;
  return false;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "mkbuiltins: %s\n", text.c_str());
  return 1;
}

// The record index a file name starts with ("07-..."), or -1.
int IndexOfFileName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.size() < 3 || !std::isdigit(static_cast<unsigned char>(base[0])) ||
      !std::isdigit(static_cast<unsigned char>(base[1])) || base[2] != '-')
    return -1;
  return (base[0] - '0') * 10 + (base[1] - '0');
}

// Reads one preset from a JSON file and checks what every built-in must be.
bool LoadBuiltIn(const std::string& path, Preset& p, std::string* error) {
  nlohmann::json j;
  try {
    std::ifstream in(path);
    if (!in) {
      *error = path + ": cannot be opened";
      return false;
    }
    j = nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& e) {
    *error = path + ": " + e.what();
    return false;
  }
  if (!j.is_object()) {
    *error = path + ": must hold one preset object";
    return false;
  }
  std::string why;
  if (!PresetFromJson(j, p, &why)) {
    *error = path + ": " + why;
    return false;
  }
  if (std::strncmp(p.Name, kNamePrefix, sizeof kNamePrefix - 1) != 0)
    *error = path + ": the name must begin with \"" + kNamePrefix + "\"";
  else if (p.BuiltIn != 1)
    *error = path + ": \"BuiltIn\" must be 1";
  else if (!p.Description || !p.Description[0])
    *error = path + ": a built-in preset needs a description";
  if (!error->empty()) {
    FreePreset(p);
    return false;
  }
  return true;
}

void EncodeBuiltInHeader(unsigned char* out) {
  std::memset(out, 0, FILE_HEADER_SIZE);
  std::string text = FormatPrintf(GetStr(kHeaderTextId), 3, 0);
  std::memcpy(out, text.data(), std::min(text.size(), sizeof(FileHeader::Text) - 1));
  PutLE32(out + offsetof(FileHeader, StoreFlag), 0);
  PutLE32(out + offsetof(FileHeader, Version), FILE_VERSION);
  PutLE32(out + offsetof(FileHeader, ProgramVersion), static_cast<int32_t>(kBuiltInProgramVersion));
}

// Builds the whole file image; the files are in record order.
bool BuildImage(const std::vector<std::string>& files, std::vector<unsigned char>& image, std::string* error) {
  int live = kRecords - static_cast<int>(std::size(kDeletedIndexes));
  if (static_cast<int>(files.size()) != live) {
    *error = "expected " + std::to_string(live) + " preset files, got " + std::to_string(files.size());
    return false;
  }
  ByteDev dev = DevFromBuffer(image);
  unsigned char header[FILE_HEADER_SIZE];
  EncodeBuiltInHeader(header);
  if (DevWrite(dev, header, sizeof header) != DEV_WRITE_OK) {
    *error = "cannot write the header";
    return false;
  }
  size_t next = 0;
  for (int index = 0; index < kRecords; ++index) {
    Preset p{};
    if (IsDeletedIndex(index)) {
      p.Deleted = 1;
    } else {
      const std::string& f = files[next++];
      if (IndexOfFileName(f) != index) {
        *error =
            f + ": file name must begin with the record index " + (index < 10 ? "0" : "") + std::to_string(index) + "-";
        return false;
      }
      if (!LoadBuiltIn(f, p, error)) return false;
    }
    int rc = WritePresetRecord(dev, p);
    FreePreset(p);
    if (rc) {
      *error = "record " + std::to_string(index) + ": " + FormatMsg(rc, {"builtins"});
      return false;
    }
  }
  return true;
}

// Parses the image as the program will, so that a record the reader would
// refuse fails the build rather than the first start.
bool CheckImage(const std::vector<unsigned char>& image, std::string* error) {
  int count = 0;
  int rc = ReadPresetsFromMemory(
      image.data(), image.size(), [](void* ctx, int, const Preset&) { ++*static_cast<int*>(ctx); }, &count);
  if (rc) {
    *error = "the built file does not read back: " + FormatMsg(rc, {"builtins"});
    return false;
  }
  if (count != kRecords - static_cast<int>(std::size(kDeletedIndexes))) {
    *error = "the built file reads back " + std::to_string(count) + " presets";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
      out = argv[++i];
    else
      files.push_back(argv[i]);
  }
  if (out.empty()) return Fail("usage: mkbuiltins -o OUTPUT.tvk PRESET.json...");

  EngineSetup setup;
  setup.ScanLibraries = false;
  if (EngineStartup(setup) != 0) return Fail("the engine cannot start");
  std::vector<unsigned char> image;
  std::string error;
  if (!BuildImage(files, image, &error) || !CheckImage(image, &error)) return Fail(error);

  // Written beside the target and renamed, so that a failed run leaves no
  // half file for the embedding step.
  std::string tmp = out + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!f.good()) return Fail("cannot write " + tmp);
  }
  if (std::rename(tmp.c_str(), out.c_str()) != 0) return Fail("cannot rename " + tmp + " to " + out);
  return 0;
}

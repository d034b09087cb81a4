#include "cli/jsonfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "data/bgprobe.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "presetjson/presetjson.h"

namespace {

// The library's reason without its "[json.exception...] ... column N: " frame.
std::string Reason(const char* what) {
  std::string r = what;
  if (r.rfind("[json.exception.", 0) == 0) {
    size_t close = r.find("] ");
    if (close != std::string::npos) r.erase(0, close + 2);
  }
  size_t at = r.find(", column ");
  if (r.rfind("parse error", 0) == 0 && at != std::string::npos) {
    size_t colon = r.find(": ", at);
    if (colon != std::string::npos) r.erase(0, colon + 2);
  }
  return r;
}

}  // namespace

bool LooksLikeJson(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  int c;
  while ((c = in.get()) == ' ' || c == '\t' || c == '\r' || c == '\n') {
  }
  return c == '{' || c == '[';
}

bool ReadJsonPresetFile(const std::string& file, std::vector<Preset>& out, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = FormatMsg(1299, {file}) + " " + std::strerror(errno) + ".";
    return false;
  }
  std::string text{std::istreambuf_iterator<char>(in), {}};
  nlohmann::json j;
  try {
    j = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    // Line and column of the byte the parser stopped at.
    size_t end = e.byte > 0 ? std::min(e.byte - 1, text.size()) : 0;
    int line = 1, column = 1;
    for (size_t i = 0; i < end; ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        ++column;
      }
    }
    *error = file + ", line " + std::to_string(line) + ", column " + std::to_string(column) +
             ": not valid JSON: " + Reason(e.what());
    return false;
  }
  std::vector<const nlohmann::json*> items;
  if (j.is_array()) {
    for (const auto& e : j) items.push_back(&e);
  } else {
    items.push_back(&j);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    if (out.size() >= MAXPROGRAMS) {
      *error = FormatMsg(1302, {MAXPROGRAMS});
      return false;
    }
    Preset p{};
    std::string why;
    if (!PresetFromJson(*items[i], p, &why)) {
      *error = file + (j.is_array() ? "[" + std::to_string(i) + "]" : "") + ": " + Reason(why.c_str());
      return false;
    }
    out.push_back(p);
  }
  return true;
}

void WarnAboutBackgrounds(const std::vector<Preset>& presets) {
  for (const Preset& p : presets) {
    if (p.data.Background >= AMBIX_NONE) continue;
    std::string name = TextForLine(p.Name), file = TextForLine(p.data.BackgroundFile);
    int rc = ProbeLibraryBackground(p.data.BackgroundFile, p.data.Background);
    if (rc == 1331)
      std::fprintf(stderr,
                   "Warning: preset '%s': no background library '%s' is here; it plays without its background.\n",
                   name.c_str(), file.c_str());
    else if (rc)
      std::fprintf(stderr, "Warning: preset '%s': '%s' has no background #%d; it plays without its background.\n",
                   name.c_str(), file.c_str(), p.data.Background);
  }
}

// Reading presets from JSON files.
#include "presetjson/jsonfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "presetjson/presetjson.h"

// The library's reason without its "[json.exception...] ... column N: " frame.
std::string JsonReason(const std::string& what) {
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

bool ParseJsonText(const std::string& text, nlohmann::json* out, std::string* error) {
  try {
    *out = nlohmann::json::parse(text);
    return true;
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
    *error = "line " + std::to_string(line) + ", column " + std::to_string(column) +
             ": not valid JSON: " + JsonReason(e.what());
    return false;
  }
}

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
  if (!ParseJsonText(text, &j, error)) {
    *error = file + ", " + *error;
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
      *error = file + (j.is_array() ? "[" + std::to_string(i) + "]" : "") + ": " + JsonReason(why);
      return false;
    }
    out.push_back(p);
  }
  return true;
}

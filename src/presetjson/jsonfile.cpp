// Reading presets from JSON files.
#include "presetjson/jsonfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "file/stdinput.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "platform/regfile.h"
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

namespace {

// The text of `file` ("-": standard input where the tool allows it), at most
// MAX_JSON_INPUT bytes. false with *error set when it cannot be read.
bool ReadInputText(const std::string& file, std::string* text, std::string* error) {
  auto fail = [&](int err) {
    *error = FormatMsg(1299, {TextForLine(file)}) + " " +
             (err == E2BIG ? "It is larger than a JSON file of presets may be (64 MiB)" : plat::ErrorText(err)) + ".";
    return false;
  };
  if (file == "-" && StandardInputAllowed()) {
    const std::vector<unsigned char>* image;
    if (!StandardInputImage(&image)) return fail(errno);
    text->assign(image->begin(), image->end());
    return true;
  }
  int fd = plat::OpenRegularFile(file.c_str());
  if (fd < 0) return fail(errno);
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0;
  int err = errno;
  if (ok && static_cast<uint64_t>(st.st_size) > MAX_JSON_INPUT) ok = false, err = E2BIG;
  // A file that grows while it is read stops at the limit too.
  if (ok && !plat::ReadAllLimited(fd, MAX_JSON_INPUT, text)) ok = false, err = errno;
  ::close(fd);
  return ok || fail(err);
}

}  // namespace

bool LooksLikeJson(const std::string& file) {
  std::string head;
  if (file == "-" && StandardInputAllowed()) {
    const std::vector<unsigned char>* image;
    if (!StandardInputImage(&image)) return false;
    head.assign(image->begin(), image->end());
  } else {
    int fd = plat::OpenRegularFile(file.c_str());
    if (fd < 0) return false;
    // Up to the first character that is no white space.
    char buf[4096];
    ssize_t n;
    while (head.size() < MAX_JSON_INPUT && head.find_first_not_of(" \t\r\n") == std::string::npos &&
           (n = ::read(fd, buf, sizeof buf)) > 0)
      head.append(buf, static_cast<size_t>(n));
    ::close(fd);
  }
  size_t at = head.find_first_not_of(" \t\r\n");
  return at != std::string::npos && (head[at] == '{' || head[at] == '[');
}

bool ReadJsonPresetFile(const std::string& file, std::vector<Preset>& out, std::string* error) {
  std::string text;
  if (!ReadInputText(file, &text, error)) return false;
  nlohmann::json j;
  if (!ParseJsonText(text, &j, error)) {
    *error = TextForLine(file) + ", " + *error;
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
      *error = TextForLine(file) + (j.is_array() ? "[" + std::to_string(i) + "]" : "") + ": " + JsonReason(why);
      return false;
    }
    out.push_back(p);
  }
  return true;
}

#include "cli/jsonfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "cli/cliutil.h"
#include "data/bgprobe.h"
#include "file/stdinput.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "platform/regfile.h"
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

// The text of `file` ("-": standard input), at most MAX_JSON_INPUT bytes.
// false with *error set when it cannot be read.
bool ReadInputText(const std::string& file, std::string* text, std::string* error) {
  auto fail = [&](int err) {
    *error = FormatMsg(1299, {Shown(file)}) + " " +
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
    StandardInputImage(&image);
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
    *error = Shown(file) + ", line " + std::to_string(line) + ", column " + std::to_string(column) +
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
      *error = Shown(file) + (j.is_array() ? "[" + std::to_string(i) + "]" : "") + ": " + Reason(why.c_str());
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

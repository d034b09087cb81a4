// Session files: their names, reading, writing, and messages about them.
#include <unistd.h>

#include <cerrno>

#include "file/fileio.h"
#include "file/storefile.h"
#include "platform/regfile.h"
#include "sbg/sbg.h"

namespace {

// Far beyond any session written by hand or by a tool; a device or a file
// that grows without end stops here.
constexpr size_t MAX_SESSION_TEXT = 16u << 20;

}  // namespace

bool IsSequenceFileName(std::string_view path) {
  if (path.size() < 4) return false;
  std::string_view ext = path.substr(path.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 's' && (ext[2] | 0x20) == 'b' && (ext[3] | 0x20) == 'g';
}

std::string SbgMessageText(const std::string& file, const SbgMessage& m, bool warning) {
  std::string out = file;
  if (m.Line > 0) {
    out += ":" + std::to_string(m.Line);
    if (m.Column > 0) out += ":" + std::to_string(m.Column);
  }
  out += ": ";
  if (warning) out += "warning: ";
  return out + m.Text;
}

bool ImportSessionFile(const std::string& path, Preset& p, SbgImport* out) {
  std::string text;
  int fd = plat::OpenRegularFile(path.c_str());
  bool read = fd >= 0 && plat::ReadAllLimited(fd, MAX_SESSION_TEXT, &text);
  int err = errno;
  if (fd >= 0) ::close(fd);
  if (!read) {
    *out = SbgImport{};
    out->Error = {0, 0,
                  std::string("cannot be read: ") +
                      (err == E2BIG ? "it is larger than a session file may be (16 MiB)" : plat::ErrorText(err))};
    return false;
  }
  size_t slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string name = IsSequenceFileName(base) ? base.substr(0, base.size() - 4) : base;
  // The folder a -m file is found in, made absolute so that the preset
  // finds it from anywhere.
  std::string folder = slash == std::string::npos ? "" : slash == 0 ? "/" : path.substr(0, slash);
  if (folder.empty() || folder[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) folder = folder.empty() ? std::string(cwd) : std::string(cwd) + "/" + folder;
  }
  return ImportSessionText(text, name, folder, p, out);
}

int ExportSessionFile(const Preset& p, const std::string& path) {
  std::string text = SessionText(p);
  if (path == "-") {
    ByteDev dev = DevFromFd(STDOUT_FILENO);
    return DevWrite(dev, text.data(), text.size()) == DEV_WRITE_OK ? 0 : 1308;
  }
  return ReplaceFileWith(path, text.data(), text.size());
}

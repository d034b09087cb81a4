// Desktop registration of the preset file type.
#include "reg/filetype.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/userdirs.h"

extern char** environ;

namespace {

std::vector<std::string> SplitDirs(const std::string& dirs) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : dirs) {
    if (c == ':') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

bool IsTvkGlob(std::string glob) {
  for (char& c : glob) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return glob == "*.tvk";
}

// The type a compiled globs2 file ("weight:type:glob[:flags]") gives *.tvk,
// or "".
std::string TvkTypeIn(const std::string& globs2) {
  std::ifstream in(globs2);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t a = line.find(':');
    size_t b = a == std::string::npos ? a : line.find(':', a + 1);
    if (b == std::string::npos) continue;
    size_t c = line.find(':', b + 1);
    std::string glob = line.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1);
    if (IsTvkGlob(glob)) return line.substr(a + 1, b - a - 1);
  }
  return "";
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool MakeDirs(const std::string& dir) {
  for (size_t i = 1; i <= dir.size(); ++i)
    if (i == dir.size() || dir[i] == '/') {
      std::string part = dir.substr(0, i);
      if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  return true;
}

bool WriteFile(const std::string& path, const std::string& text) {
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && !MakeDirs(path.substr(0, slash))) return false;
  std::string tmp = path + ".new";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    if (!out.flush()) return false;
  }
  return ::rename(tmp.c_str(), path.c_str()) == 0;
}

// Runs a program found on PATH with one argument without waiting for it: a
// shell starts it in the background and ends at once, so the program is
// reparented and no zombie is left.
void RunDetached(const char* program, const std::string& arg) {
  std::string script = std::string(program) + " \"$1\" >/dev/null 2>&1 &";
  const char* args[] = {"sh", "-c", script.c_str(), "sh", arg.c_str(), nullptr};
  pid_t pid = 0;
  if (::posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(args), environ) != 0) return;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  for (const std::string& dir : SplitDirs(path ? path : "/usr/bin:/bin"))
    if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

// An argument of a desktop entry's Exec key: quoted when it holds anything
// but plain characters, with the quoting's own escapes, then the escapes of
// a string value (backslashes doubled).
std::string ExecArgument(const std::string& arg) {
  bool plain = !arg.empty();
  for (char c : arg)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-+,@", c))) plain = false;
  if (plain) return arg;
  std::string q = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') q += '\\';
    q += c;
  }
  q += '"';
  std::string out;
  for (char c : q) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string UserDataHome() {
  const char* x = std::getenv("XDG_DATA_HOME");
  if (x && *x) return x;
  // Without a home there is nobody's data folder to register in: a shared
  // folder would only be another user's to fill.
  std::string home = plat::HomeFolder();
  return home.empty() ? std::string() : home + "/.local/share";
}

std::string SystemDataDirs() {
  const char* x = std::getenv("XDG_DATA_DIRS");
  return x && *x ? x : "/usr/local/share:/usr/share";
}

FileTypeState PresetFileTypeState(const std::string& dataHome, const std::string& dataDirs) {
  std::vector<std::string> dirs{dataHome};
  for (const std::string& d : SplitDirs(dataDirs)) dirs.push_back(d);
  for (const std::string& d : dirs) {
    std::string type = TvkTypeIn(d + "/mime/globs2");
    if (!type.empty()) return type == PRESET_MIME_TYPE ? FILETYPE_OURS : FILETYPE_OTHER;
  }
  // Registered by an earlier start whose database update has not run yet.
  if (Exists(dataHome + "/mime/packages/sonavel.xml")) return FILETYPE_OURS;
  return FILETYPE_FREE;
}

std::string MimePackageText() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"application/x-sonavel-preset\">\n"
         "    <comment>Sonavel File</comment>\n"
         "    <icon name=\"sonavel\"/>\n"
         "    <glob pattern=\"*.tvk\"/>\n"
         "    <magic priority=\"60\">\n"
         "      <match type=\"string\" offset=\"0\" value=\"Sonavel File, created with version \"/>\n"
         "    </magic>\n"
         "  </mime-type>\n"
         "  <mime-type type=\"text/x-sbg-sequence\">\n"
         "    <comment>Binaural-beat sequence</comment>\n"
         "    <sub-class-of type=\"text/plain\"/>\n"
         "    <glob pattern=\"*.sbg\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

std::string DesktopEntryText(const std::string& exec, const std::string& iconName) {
  std::ostringstream o;
  o << "[Desktop Entry]\n"
       "Type=Application\n"
       "Name=Sonavel\n"
       "GenericName=Binaural beat generator\n"
       "Comment=Plays binaural-beat presets\n"
       "Exec="
    << ExecArgument(exec)
    << " %f\n"
       "Icon="
    << iconName
    << "\n"
       "Terminal=false\n"
       "Categories=AudioVideo;Audio;\n"
       "MimeType=application/x-sonavel-preset;text/x-sbg-sequence;\n";
  return o.str();
}

FileTypeState RegisterFileType(const std::string& programPath, const std::string& iconSvg, const std::string& dataHome,
                               const std::string& dataDirs) {
  if (dataHome.empty()) return FILETYPE_OTHER;
  FileTypeState state = PresetFileTypeState(dataHome, dataDirs);
  if (state != FILETYPE_FREE) return state;
  bool ok = WriteFile(dataHome + "/mime/packages/sonavel.xml", MimePackageText());
  ok = WriteFile(dataHome + "/applications/sonavel.desktop", DesktopEntryText(programPath, "sonavel")) && ok;
  if (!iconSvg.empty()) WriteFile(dataHome + "/icons/hicolor/scalable/apps/sonavel.svg", iconSvg);
  if (ok && OnPath("update-mime-database")) RunDetached("update-mime-database", dataHome + "/mime");
  if (ok && OnPath("update-desktop-database")) RunDetached("update-desktop-database", dataHome + "/applications");
  return state;
}

#include "data/backgrounds/bglib.h"

#include <dirent.h>
#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "main/strtab.h"
#include "platform/progdir.h"
#include "platform/vmem.h"

AmbixRecord* AmbixInfo = nullptr;
int NumAmbix = 0;

namespace {

std::string gLibraryFolder;
bool gScanned = false;  // LoadBackgroundLibraries has run

bool EndsWithDll(const char* name) {
  size_t n = std::strlen(name);
  return n > 4 && strcasecmp(name + n - 4, ".dll") == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Calls the library's export for the next free records; the count returned,
// bounded by the room left.
int AskLibrary(void* module) {
  auto get = reinterpret_cast<GetBackgroundInfoFn>(dlsym(module, AMBIX_INFO_EXPORT));
  if (!get || NumAmbix >= MAXAMBIX) return 0;
  int n = get(module, AmbixInfo + NumAmbix);
  return std::clamp(n, 0, MAXAMBIX - NumAmbix);
}

// The program's part of each record a library filled.
void CompleteRecords(int first, int count, const char* file) {
  // A library that filled records has made them usable; committing again
  // keeps their contents and guards against one that did not say so.
  plat::MemCommit(AmbixInfo + first, sizeof(AmbixRecord) * static_cast<size_t>(count));
  for (int i = first; i < first + count; ++i) {
    AmbixRecord& r = AmbixInfo[i];
    r.ParamRow[APR_POS] = 8;
    r.ParamRow[APR_FIRSTPID] = 2;
    r.ParamRow[APR_VOL] = 0;
    r.ParamRow[APR_NAME] = 0;
    r.Name[sizeof r.Name - 1] = 0;
    r.ParamName[sizeof r.ParamName - 1] = 0;
    std::memset(r.LibraryFile, 0, sizeof r.LibraryFile);
    std::strncpy(r.LibraryFile, file, sizeof r.LibraryFile - 1);
    std::memset(r.Reserved2, 0, sizeof r.Reserved2);
  }
}

// Row 6 from a library record. A row the engine cannot work with (channels
// other than 1-2, digits outside the power table, Min above Max) gives the
// default "Background Interval" row instead.
ParamDefType RowOf(const AmbixRecord& r) {
  const int32_t* c = r.ParamRow;
  if (c[APR_CHANNELS] < 1 || c[APR_CHANNELS] > 2 || c[APR_DIGITS] < 0 || c[APR_DIGITS] > 7 || c[APR_MIN] > c[APR_MAX])
    return ParamDefSpare[1];
  // clang-format off
  return ParamDefType{0,          2,           c[APR_CHANNELS], 8,           c[APR_EASY],   0,
                      c[APR_UNIT], c[APR_FLAGA], c[APR_MIN],     c[APR_MAX], c[APR_DIGITS], c[APR_FLAGB],
                      c[APR_STEP], c[APR_STEPREL]};
  // clang-format on
}

// A file of the library folder whose name equals `file` ignoring case.
bool LibraryFilePresent(const char* file) {
  if (!*file || std::strchr(file, '/')) return false;
  DIR* d = opendir(BackgroundLibraryFolder().c_str());
  if (!d) return false;
  bool found = false;
  while (dirent* e = readdir(d))
    if (strcasecmp(e->d_name, file) == 0 && IsRegularFile(BackgroundLibraryFolder() + "/" + e->d_name)) {
      found = true;
      break;
    }
  closedir(d);
  return found;
}

}  // namespace

std::string ProgramFolder() { return plat::ProgramFolder(); }

const std::string& BackgroundLibraryFolder() {
  if (gLibraryFolder.empty()) gLibraryFolder = ProgramFolder();
  return gLibraryFolder;
}

bool ReserveAmbixTable() {
  if (!AmbixInfo) AmbixInfo = static_cast<AmbixRecord*>(plat::MemReserve(sizeof(AmbixRecord) * MAXAMBIX));
  return AmbixInfo != nullptr;
}

int LoadBackgroundLibraries(const std::string& folder) {
  gLibraryFolder = folder.empty() ? ProgramFolder() : folder;
  gScanned = true;
  if (!ReserveAmbixTable()) return 0;
  std::vector<std::string> names;
  if (DIR* d = opendir(gLibraryFolder.c_str())) {
    while (dirent* e = readdir(d))
      if (EndsWithDll(e->d_name)) names.emplace_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  int before = NumAmbix;
  for (const std::string& name : names) {
    std::string path = gLibraryFolder + "/" + name;
    if (!IsRegularFile(path)) continue;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) continue;
    int n = AskLibrary(module);
    if (n > 0) {
      CompleteRecords(NumAmbix, n, name.c_str());
      NumAmbix += n;
    }
    dlclose(module);
  }
  return NumAmbix - before;
}

void ClearBackgroundLibraries() {
  if (AmbixInfo) plat::MemDecommit(AmbixInfo, sizeof(AmbixRecord) * MAXAMBIX);
  NumAmbix = 0;
  gScanned = false;
}

int FindBackground(int number, const char* file) {
  for (int i = 0; i < NumAmbix; ++i) {
    const AmbixRecord& r = AmbixInfo[i];
    if (r.Number != number) continue;
    if (number >= 1024 || strcasecmp(r.LibraryFile, file) == 0) return i;
  }
  return -1;
}

bool IsOwnModuleName(const char* file) {
  if (strcasecmp(file, "Tavik.exe") == 0) return true;
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return false;
  buf[n] = 0;
  const char* slash = std::strrchr(buf, '/');
  return strcasecmp(file, slash ? slash + 1 : buf) == 0;
}

int CheckLibraryBackground(int number, const char* file) {
  if (FindBackground(number, file) >= 0) return 0;
  return LibraryFilePresent(file) ? 1446 : 1331;
}

int ResolveBackground(int background, const char* file, BackgroundChoice* out) {
  BackgroundChoice c;
  c.Number = background;
  std::strncpy(c.File, file, NAMELEN);
  c.File[NAMELEN] = 0;
  c.ParamRow = ParamDefSpare[1];
  if (background == AMBIX_NONE) {
    c.Source = BGSRC_NONE;
    c.ParamRow = ParamDefSpare[0];
  } else if (background == AMBIX_OTHER || background == AMBIX_LONG) {
    c.Source = BGSRC_FILE;
    c.IntervalMode = true;
  } else if (IsOwnModuleName(c.File)) {
    // The built-in background plays in interval mode like a file.
    c.Source = BGSRC_OWN;
    c.IntervalMode = true;
  } else {
    int i = FindBackground(background, c.File);
    if (i < 0) return CheckLibraryBackground(background, c.File);
    c.Source = BGSRC_LIBRARY;
    c.Entry = i;
    c.IntervalMode = AmbixInfo[i].IntervalMode != 0;
    if (AmbixInfo[i].HasParam) c.ParamRow = RowOf(AmbixInfo[i]);
  }
  *out = c;
  return 0;
}

int ResolveBackground(const Preset& preset, BackgroundChoice* out) {
  // A tool that skipped the start-up scan still finds the libraries next to it.
  if (!gScanned && preset.data.Background < AMBIX_NONE) LoadBackgroundLibraries();
  char file[NAMELEN + 1] = {};
  std::memcpy(file, preset.data.BackgroundFile, NAMELEN);  // may fill the field without a NUL
  return ResolveBackground(preset.data.Background, file, out);
}

BackgroundParamRow BackgroundParamRowFor(int background, const char* file) {
  BackgroundParamRow r;
  if (background >= AMBIX_NONE) {
    r.Row = ParamDefSpare[1];
    return r;
  }
  int i = FindBackground(background, file);
  if (i < 0 || !AmbixInfo[i].HasParam) {
    r.Row = ParamDefSpare[0];
    return r;
  }
  r.Row = RowOf(AmbixInfo[i]);
  if (r.Row.Name == 0) std::snprintf(r.Name, sizeof r.Name, "%s", AmbixInfo[i].ParamName);
  return r;
}

BackgroundParamRow BackgroundParamRowFor(const Preset& preset) {
  char file[NAMELEN + 1] = {};
  std::memcpy(file, preset.data.BackgroundFile, NAMELEN);  // may fill the field without a NUL
  return BackgroundParamRowFor(preset.data.Background, file);
}

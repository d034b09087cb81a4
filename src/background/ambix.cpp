// Ambix.dll: the shipped background library. Six recordings (generated at
// build time by gen/bggen.cpp and linked in by blobs.cpp) handed out as
// resources, and GetBackgroundInfo describing them.
//
// Links against nothing of the program: the record layout comes from the
// header-only interface background/bgrecord.h.
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "background/bgrecord.h"

#define AMBIX_EXPORT extern "C" __attribute__((visibility("default")))

// Linked-in recordings (blobs.cpp, generated).
extern "C" {
#define AMBIX_BLOB(n)                                                              \
  extern const unsigned char ambix_wav##n[] __attribute__((visibility("hidden"))); \
  extern const unsigned char ambix_wav##n##_end[] __attribute__((visibility("hidden")));
AMBIX_BLOB(1)
AMBIX_BLOB(2)
AMBIX_BLOB(3)
AMBIX_BLOB(4)
AMBIX_BLOB(5)
AMBIX_BLOB(6)
#undef AMBIX_BLOB
}

namespace {

struct Blob {
  const unsigned char* Begin;
  const unsigned char* End;
};
const Blob kWaves[6] = {{ambix_wav1, ambix_wav1_end}, {ambix_wav2, ambix_wav2_end}, {ambix_wav3, ambix_wav3_end},
                        {ambix_wav4, ambix_wav4_end}, {ambix_wav5, ambix_wav5_end}, {ambix_wav6, ambix_wav6_end}};

// The library's string table.
const char* const kStrings[] = {nullptr, "Background Thunder Interval", "Background Cow Moo Interval"};
const char kVersion[] = "FileDescription=Sonavel background sounds\nFileVersion=3.1.12\n";

struct Entry {
  const char* Name;
  int StringId;  // of the parameter name; 0: no own parameter
};
const Entry kBackgrounds[6] = {
    {"Nature: Night noises", 0},
    {"Nature: Babbling brook", 0},
    {"Nature: Heavy rain", 0},
    {"Animals: Seagulls", 0},
    {"Nature: Roll of thunder (parametric)", 1},
    {"Animals: Mooing cow (parametric)", 2},
};

// Loads string `id` through the module handle the program passed, as the
// library's own strings; falls back to the table itself without a handle.
void LoadLibString(void* module, int id, char* out, size_t room) {
  GetLibraryResourceFn get = nullptr;
  if (module) get = reinterpret_cast<GetLibraryResourceFn>(dlsym(module, AMBIX_RESOURCE_EXPORT));
  uint32_t size = 0;
  const unsigned char* s = get ? get(AMBIX_RT_STRING, id, &size) : nullptr;
  const char* text = s ? reinterpret_cast<const char*>(s) : kStrings[id];
  std::strncpy(out, text, room - 1);
  out[room - 1] = 0;
}

// Makes [p, p+bytes) readable and writable inside the caller's reserved range.
bool Commit(void* p, size_t bytes) {
  uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  uintptr_t a = reinterpret_cast<uintptr_t>(p) & ~(page - 1);
  uintptr_t e = (reinterpret_cast<uintptr_t>(p) + bytes + page - 1) & ~(page - 1);
  return mprotect(reinterpret_cast<void*>(a), e - a, PROT_READ | PROT_WRITE) == 0;
}

}  // namespace

AMBIX_EXPORT const unsigned char* GetLibraryResource(int type, int id, uint32_t* size) {
  const unsigned char* p = nullptr;
  size_t n = 0;
  if (type == AMBIX_RT_RCDATA && id >= 1 && id <= 6) {
    p = kWaves[id - 1].Begin;
    n = static_cast<size_t>(kWaves[id - 1].End - p);
  } else if (type == AMBIX_RT_STRING && id >= 1 && id <= 2) {
    p = reinterpret_cast<const unsigned char*>(kStrings[id]);
    n = std::strlen(kStrings[id]) + 1;
  } else if (type == AMBIX_RT_VERSION && id == 1) {
    p = reinterpret_cast<const unsigned char*>(kVersion);
    n = sizeof kVersion;
  }
  if (size) *size = p ? static_cast<uint32_t>(n) : 0;
  return p;
}

AMBIX_EXPORT int GetBackgroundInfo(void* module, AmbixRecord* first) {
  if (!Commit(first, sizeof(AmbixRecord) * 6)) return 0;
  for (int i = 0; i < 6; ++i) {
    AmbixRecord& r = first[i];
    std::memset(&r, 0, sizeof r);
    r.Number = i + 1;
    std::strncpy(r.Name, kBackgrounds[i].Name, sizeof r.Name - 1);
    if (kBackgrounds[i].StringId == 0) continue;
    r.HasParam = 1;
    r.IntervalMode = 1;
    r.Reserved1[0] = 40000;
    r.Reserved1[1] = 20000;
    // Interval in seconds, 0..600 with two decimals, offered with the
    // choices "Continuous", "Every 5 seconds" .. "Every 20 seconds".
    const int32_t row[14] = {8, 2, 2, 10, 0, 160, 0, 0, 600, 2, 1, 2000, 0, 0};
    std::memcpy(r.ParamRow, row, sizeof row);
    LoadLibString(module, kBackgrounds[i].StringId, r.ParamName, sizeof r.ParamName);
  }
  return 6;
}

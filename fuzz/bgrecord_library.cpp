// The background library of fuzz_bgrecord: it hands the program whatever
// records the fuzz input holds, which it takes from the running target
// through the exported FuzzBackgroundRecords. A library links against
// nothing of the program, so the function is found with dlsym.
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "background/bgrecord.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

using RecordSource = const unsigned char* (*)(int* count);

EXPORT const unsigned char* GetLibraryResource(int, int, uint32_t* size) {
  if (size) *size = 0;
  return nullptr;
}

EXPORT int GetBackgroundInfo(void*, AmbixRecord* first) {
  auto source = reinterpret_cast<RecordSource>(dlsym(RTLD_DEFAULT, "FuzzBackgroundRecords"));
  if (!source) return 0;
  int n = 0;
  const unsigned char* bytes = source(&n);
  if (n <= 0) return 0;
  uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  uintptr_t a = reinterpret_cast<uintptr_t>(first) & ~(page - 1);
  uintptr_t e = (reinterpret_cast<uintptr_t>(first + n) + page - 1) & ~(page - 1);
  if (mprotect(reinterpret_cast<void*>(a), e - a, PROT_READ | PROT_WRITE) != 0) return 0;
  std::memcpy(first, bytes, sizeof(AmbixRecord) * static_cast<size_t>(n));
  return n;
}

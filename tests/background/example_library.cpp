// The smallest background library, as described in
// docs/background-libraries.md: two backgrounds, their wave data built when
// the library is loaded. Built only for the tests.
//
// 1 "Example: Hum"   mono, 16-bit, 11025 Hz, 0.5 s of 220 Hz, plain loop.
// 2 "Example: Bell"  stereo, 8-bit, 8000 Hz, 0.25 s, with its own parameter
//                    "Example Bell Interval".
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "background/bgrecord.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void Put16(std::vector<unsigned char>& o, unsigned v) { o.push_back(v & 255), o.push_back((v >> 8) & 255); }
void Put32(std::vector<unsigned char>& o, unsigned v) { Put16(o, v & 0xFFFF), Put16(o, v >> 16); }
void PutId(std::vector<unsigned char>& o, const char* id) { o.insert(o.end(), id, id + 4); }

std::vector<unsigned char> Wave(int channels, int bits, int rate, int frames) {
  std::vector<unsigned char> o;
  unsigned bytes = static_cast<unsigned>(frames * channels * bits / 8);
  PutId(o, "RIFF");
  Put32(o, 36 + bytes + (bytes & 1));
  PutId(o, "WAVE");
  PutId(o, "fmt ");
  Put32(o, 16);
  Put16(o, 1);
  Put16(o, static_cast<unsigned>(channels));
  Put32(o, static_cast<unsigned>(rate));
  Put32(o, static_cast<unsigned>(rate * channels * bits / 8));
  Put16(o, static_cast<unsigned>(channels * bits / 8));
  Put16(o, static_cast<unsigned>(bits));
  PutId(o, "data");
  Put32(o, bytes);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      double v = std::sin(2 * 3.141592653589793 * (bits == 16 ? 220.0 : 880.0) * i / rate) * 0.5;
      if (bits == 16)
        Put16(o, static_cast<unsigned>(static_cast<int>(v * 32767)) & 0xFFFF);
      else
        o.push_back(static_cast<unsigned char>(128 + static_cast<int>(v * 127 * (c ? 0.5 : 1))));
    }
  if (bytes & 1) o.push_back(0);
  return o;
}

const std::vector<unsigned char> kHum = Wave(1, 16, 11025, 5512);
const std::vector<unsigned char> kBell = Wave(2, 8, 8000, 2000);
const char kBellParam[] = "Example Bell Interval";

}  // namespace

EXPORT const unsigned char* GetLibraryResource(int type, int id, uint32_t* size) {
  const unsigned char* p = nullptr;
  size_t n = 0;
  if (type == AMBIX_RT_RCDATA && id == 1) p = kHum.data(), n = kHum.size();
  if (type == AMBIX_RT_RCDATA && id == 2) p = kBell.data(), n = kBell.size();
  if (type == AMBIX_RT_STRING && id == 1) p = reinterpret_cast<const unsigned char*>(kBellParam), n = sizeof kBellParam;
  if (size) *size = static_cast<uint32_t>(n);
  return p;
}

EXPORT int GetBackgroundInfo(void* module, AmbixRecord* first) {
  (void)module;  // strings come from this library's own table
  // The caller reserved the address space; make the two records usable.
  uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  uintptr_t a = reinterpret_cast<uintptr_t>(first) & ~(page - 1);
  uintptr_t e = (reinterpret_cast<uintptr_t>(first + 2) + page - 1) & ~(page - 1);
  if (mprotect(reinterpret_cast<void*>(a), e - a, PROT_READ | PROT_WRITE) != 0) return 0;
  std::memset(first, 0, 2 * sizeof(AmbixRecord));
  first[0].Number = 1;
  std::strcpy(first[0].Name, "Example: Hum");
  first[1].Number = 2;
  std::strcpy(first[1].Name, "Example: Bell");
  first[1].HasParam = first[1].IntervalMode = 1;
  const int32_t row[14] = {8, 2, 2, 10, 0, 160, 0, 0, 600, 2, 1, 2000, 0, 0};
  std::memcpy(first[1].ParamRow, row, sizeof row);
  std::strcpy(first[1].ParamName, kBellParam);
  // Fields the program fills in, set here on purpose: it must overwrite them.
  std::strcpy(first[1].LibraryFile, "garbage");
  first[1].Reserved2[5] = 0xAA;
  first[1].ParamRow[APR_VOL] = 1;
  first[1].ParamRow[APR_NAME] = 77;
  return 2;
}

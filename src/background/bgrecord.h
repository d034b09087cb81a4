// The binary interface between the program and a background library: the
// background record and the two exported functions. Header only, shared by
// both sides; a library links against nothing of the program.
//
// Background record, 780 bytes (integers 32-bit little-endian, strings
// NUL-terminated single-byte text):
//   OFFSET SIZE CONTENT                                    FILLED BY
//   0      4    Number, 1-based; also the id of the wave   library
//                resource (type RCDATA) in the library
//   4      256  Name shown in lists                        library
//   260    4    HasParam: non-zero when the background     library
//                brings its own background parameter
//   264    4    IntervalMode: non-zero restarts the sound  library
//                at the parameter's intervals; 0 loops it
//   268    8    two reserved integers, not read            library
//   276    56   ParamRow: 14 integers Pos, first pid,      library, partly
//                Channels, Easy, Vol, Unit, Flag A, Min,    program (Pos 8,
//                Max, Digits, Flag B, Step, StepRel, name   pid 2, Vol 0,
//                id                                         name id 0)
//   332    64   ParamName, shown instead of a name id      library
//   396    256  LibraryFile, file name without folder      program
//   652    128  reserved, 0                                program
#pragma once
#include <cstddef>
#include <cstdint>

struct AmbixRecord {
  int32_t Number;
  char Name[256];
  int32_t HasParam;
  int32_t IntervalMode;
  int32_t Reserved1[2];
  int32_t ParamRow[14];
  char ParamName[64];
  char LibraryFile[256];
  unsigned char Reserved2[128];
};
static_assert(offsetof(AmbixRecord, Number) == 0);
static_assert(offsetof(AmbixRecord, Name) == 4);
static_assert(offsetof(AmbixRecord, HasParam) == 260);
static_assert(offsetof(AmbixRecord, IntervalMode) == 264);
static_assert(offsetof(AmbixRecord, Reserved1) == 268);
static_assert(offsetof(AmbixRecord, ParamRow) == 276);
static_assert(offsetof(AmbixRecord, ParamName) == 332);
static_assert(offsetof(AmbixRecord, LibraryFile) == 396);
static_assert(offsetof(AmbixRecord, Reserved2) == 652);
static_assert(sizeof(AmbixRecord) == 780);

// Columns of ParamRow.
// clang-format off
enum AmbixParamColumn {
  APR_POS, APR_FIRSTPID, APR_CHANNELS, APR_EASY, APR_VOL, APR_UNIT, APR_FLAGA,
  APR_MIN, APR_MAX, APR_DIGITS, APR_FLAGB, APR_STEP, APR_STEPREL, APR_NAME
};
// clang-format on

// Resource types a library hands out.
constexpr int AMBIX_RT_STRING = 6;   // NUL-terminated text, id = string number
constexpr int AMBIX_RT_RCDATA = 10;  // id = background number: a RIFF WAVE file
constexpr int AMBIX_RT_VERSION = 16;

extern "C" {
// int GetBackgroundInfo(void* module, AmbixRecord* first)
//   module: the library's own handle (from dlopen), for loading its strings.
//   first: the next free record of the caller's table; the address space is
//   reserved by the caller, the library makes its records usable (read and
//   write) itself and fills consecutive records. Returns the count (0 or
//   more). The library keeps no reference after returning.
typedef int (*GetBackgroundInfoFn)(void* module, AmbixRecord* first);
// const unsigned char* GetLibraryResource(int type, int id, uint32_t* size)
//   the bytes of resource (type, id) and their count, or null. The bytes stay
//   valid while the library is loaded.
typedef const unsigned char* (*GetLibraryResourceFn)(int type, int id, uint32_t* size);
}

constexpr const char* AMBIX_INFO_EXPORT = "GetBackgroundInfo";
constexpr const char* AMBIX_RESOURCE_EXPORT = "GetLibraryResource";

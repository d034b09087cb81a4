// The parameter definition table, the easy-selection vocabulary and the three
// lookup tables derived from them at start-up.
#include <cstring>

#include "assert/check.h"
#include "main/preset.h"
#include "main/strtab.h"

// Unit string ids: 158 "Hz", 159 "%", 160 "s", 161 "ms", 271 degrees; 339 has
// no text (the filter has no unit).
//                      Name  pid Ch Pos Easy Vol Unit  A   Min   Max  Dig B  Step Rel
const ParamDefType ParamDef[PDBK] = {
    /* 0 */ {165, 36, 1, 0, 0, 0, 158, 0, -1000, 1000, 3, 1, 20, 5},
    /* 1 */ {167, 37, 2, 1, 0, 0, 158, 0, 0, 20000, 2, 0, 500, 1},
    /* 2 */ {166, 39, 2, 2, 11, 1, 159, 1, 0, 100, 2, 0, 1000, 0},
    /* 3 */ {270, 41, 2, 3, 1, 0, 159, 1, 0, 100, 1, 0, 1000, 0},
    /* 4 */ {272, 43, 2, 4, 2, 0, 339, 0, 0, 20, 2, 1, 200, 50},
    /* 5 */ {170, 0, 2, 6, 11, 1, 159, 1, 0, 100, 2, 0, 1000, 0},
    /* 6 */ {171, 2, 2, 8, 0, 0, 159, 1, 0, 100, 2, 0, 1000, 0},
    /* 7 */ {174, 4, 1, 7, 9, 0, 161, 0, -1000, 1000, 2, 0, 1000, 50},
    /* 8 */ {175, 5, 2, 9, 12, 1, 159, 1, 0, 100, 2, 0, 1000, 0},
    /* 9 */ {176, 7, 2, 10, 7, 0, 159, 1, 0, 100, 2, 0, 1000, 0},
    /*10 */ {172, 14, 2, 12, 0, 0, 158, 0, 0, 100, 3, 1, 20, 5},
    /*11 */ {260, 16, 2, 13, 13, 1, 159, 1, 0, 100, 2, 0, 1000, 0},
    /*12 */ {273, 18, 2, -2, 13, 1, 159, 1, 0, 100, 2, 0, 1000, 0},
    /*13 */ {373, 35, 1, 14, 3, 0, 271, 1, -360, 360, 2, 0, 5000, 0},
    /*14 */ {274, 45, 2, 0, 4, 0, 159, 1, 0, 100, 2, 0, 1000, 0},
    /*15 */ {275, 47, 2, 1, 0, 0, 161, 0, 0, 50000, 3, 0, 2000, 5},
    /*16 */ {276, 49, 1, 2, 3, 0, 271, 1, -360, 360, 2, 0, 5000, 0},
    /*17 */ {277, 9, 2, 0, 4, 0, 159, 1, 0, 100, 2, 0, 1000, 0},
    /*18 */ {278, 11, 2, 1, 0, 0, 161, 0, 0, 50000, 3, 0, 2000, 5},
    /*19 */ {279, 13, 1, 2, 3, 0, 271, 1, -360, 360, 2, 0, 5000, 0},
    /*20 */ {280, 20, 2, 0, 6, 0, 159, 1, 0, 100, 2, 0, 1000, 0},
    /*21 */ {281, 22, 2, 1, 0, 0, 161, 0, 0, 50000, 3, 0, 2000, 5},
    /*22 */ {282, 24, 1, 2, 3, 0, 271, 1, -360, 360, 2, 0, 5000, 0},
    /*23 */ {315, 25, 2, 0, 6, 0, 159, 1, 0, 100, 2, 0, 1000, 0},
    /*24 */ {316, 27, 2, 1, 0, 0, 161, 0, 0, 50000, 3, 0, 2000, 5},
    /*25 */ {317, 29, 1, 2, 3, 0, 271, 1, -360, 360, 2, 0, 5000, 0},
    /*26 */ {345, 30, 2, 0, 5, 0, 159, 1, 0, 100, 2, 0, 1000, 0},
    /*27 */ {346, 32, 2, 1, 0, 0, 161, 0, 0, 50000, 3, 0, 2000, 5},
    /*28 */ {347, 34, 1, 2, 3, 0, 271, 1, -360, 360, 2, 0, 5000, 0},
};

const ParamDefType ParamDefSpare[2] = {
    {171, 2, 2, 8, 0, 0, 159, 1, 0, 100, 2, 0, 1000, 0},   // "(Background Param not in use)"
    {355, 2, 2, 8, 10, 0, 160, 0, 0, 600, 2, 1, 1000, 0},  // "Background Interval"
};

const int CalcMax[PDBK] = {15,   750, 100, 100,  20,  100, 100,  1000, 100, 100,  15,  100, 100,  180, 100,
                           1000, 180, 100, 1000, 180, 100, 1000, 180,  100, 1000, 180, 100, 1000, 180};

// Texts of the easy selections are string ids 4001.. (in this order); 314 is
// "User-defined...".
const EasyModeType EasyMode[51] = {
    {1, 1, 4001},   {1, 2, 4002},   {1, 31, 4003},  {1, 3, 4004},   {1, 4, 4005},   {1, 5, 4006},   {1, 6, 4007},
    {1, 7, 4008},   {2, 8, 4009},   {2, 9, 4010},   {2, 10, 4011},  {2, 11, 4012},  {3, 12, 4013},  {3, 13, 4014},
    {3, 14, 4015},  {3, 15, 4016},  {4, 16, 4017},  {4, 18, 4018},  {4, 17, 4019},  {5, 19, 4020},  {5, 20, 4021},
    {5, 21, 4022},  {5, 22, 4023},  {6, 23, 4024},  {6, 25, 4025},  {6, 24, 4026},  {7, 26, 4027},  {7, 27, 4028},
    {7, 28, 4029},  {8, 29, 4030},  {8, 30, 4031},  {9, 32, 4032},  {9, 33, 4033},  {9, 35, 4034},  {9, 34, 4035},
    {9, 36, 4036},  {10, 37, 4037}, {10, 38, 4038}, {10, 39, 4039}, {10, 40, 4040}, {10, 41, 4041}, {11, 42, 4042},
    {11, 43, 4043}, {11, 50, 4044}, {12, 46, 4045}, {12, 44, 4046}, {12, 45, 4047}, {13, 47, 4048}, {13, 48, 4049},
    {13, 49, 4050}, {0, 0, 314},
};

namespace {
int gParamNumOfPid[NPARAMS];
int gParamId[MAXVOICES][PDBK];
int gPagePos[30];
}  // namespace

void BuildParamTables() {
  for (int pid = 0; pid < NSPAR + NVPAR; ++pid) {
    gParamNumOfPid[pid] = -1;
    for (int n = 0; n < PDBK; ++n) {
      const ParamDefType& d = ParamDef[n];
      if (d.FirstPid == pid || (d.Channels == 2 && d.FirstPid + 1 == pid)) {
        gParamNumOfPid[pid] = n;
        break;
      }
    }
    TVK_CHECK(gParamNumOfPid[pid] >= 0, pid);
  }
  for (int pid = NSPAR + NVPAR; pid < NPARAMS; ++pid) gParamNumOfPid[pid] = gParamNumOfPid[pid - NVPAR];
  for (int v = 0; v < MAXVOICES; ++v)
    for (int n = 0; n < PDBK; ++n)
      gParamId[v][n] = ParamDef[n].FirstPid >= NSPAR ? ParamDef[n].FirstPid + NVPAR * v : ParamDef[n].FirstPid;
  for (int& e : gPagePos) e = -1;
  for (int n = 0; n < 14; ++n)
    if (ParamDef[n].Pos >= 0) gPagePos[ParamDef[n].Pos] = n;
  for (int n = 14; n < PDBK; ++n) gPagePos[15 + 3 * ((n - 14) / 3) + ParamDef[n].Pos] = n;
}

int ParamNumOfPid(int pid) {
  if (!TVK_CHECK_AS(pid >= 0 && pid < NPARAMS, "pid>=0 && pid<NSPAR+NVPAR*MAXVOICES", pid)) return 0;
  return gParamNumOfPid[pid];
}

int PARAMID(int voice, int paramNum) {
  const int ParamNum = paramNum;
  if (!TVK_CHECK_AS(ParamNum >= 0, "ParamNum>=0", ParamNum)) return 0;
  if (!TVK_CHECK_AS(ParamNum < PDBK, "ParamNum<sizeof(CalcMax)/sizeof(CalcMax[0])", ParamNum)) return 0;
  if (!TVK_CHECK(voice >= 0 && voice < MAXVOICES, voice)) voice = 0;
  return gParamId[voice][paramNum];
}

int PagePosition(int index) {
  if (!TVK_CHECK(index >= 0 && index < 30, index)) return -1;
  return gPagePos[index];
}

int FindEasyEntry(int easySel) {
  for (int i = 0; i < static_cast<int>(sizeof(EasyMode) / sizeof(EasyMode[0])); ++i)
    if (EasyMode[i].EasySel == easySel) return i;
  return -1;
}

const ParamDefType& ParamRowOf(const BackgroundParamRow& bg, int row) {
  if (!TVK_CHECK(row >= 0 && row < PDBK, row)) row = 0;
  return row == PN_BGPARAM ? bg.Row : ParamDef[row];
}

const char* ParamRowName(const BackgroundParamRow& bg, int row) {
  const ParamDefType& r = ParamRowOf(bg, row);
  return r.Name == 0 && row == PN_BGPARAM ? bg.Name : GetStr(r.Name);
}

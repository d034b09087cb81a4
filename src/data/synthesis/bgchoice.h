// A preset's background as a playback uses it, looked up once
// (ResolveBackground) and handed to the loader, the calculation and the
// mixer, so that none of them looks it up again.
#pragma once
#include <cstdint>

#include "main/model.h"

enum BackgroundSource {
  BGSRC_NONE,     // AMBIX_NONE
  BGSRC_FILE,     // AMBIX_OTHER, AMBIX_LONG: a WAV file
  BGSRC_OWN,      // the program's own background resource
  BGSRC_LIBRARY,  // a recording of a background library
};

struct BackgroundChoice {
  BackgroundSource Source = BGSRC_NONE;
  int32_t Number = AMBIX_NONE;  // the preset's Background
  char File[NAMELEN + 1] = {};  // its BackgroundFile, always terminated
  int Entry = -1;               // BGSRC_LIBRARY: its record in AmbixInfo
  bool IntervalMode = false;    // the mixer repeats after the interval parameter
  // Row 6 of the parameter table as this background defines it: the
  // calculation divides and steps the background parameter by it. The
  // editor's row 6 (ParamDef) is another matter.
  ParamDefType ParamRow{};
};

// Turning one old record into a current preset. Main thread only.
#pragma once
#include "convold/oldformat.h"
#include "main/model.h"

// Builds p (which must be empty) from an old record that the reader has
// checked: fixed part, description, every segment's default content with the
// old curves converted into it, the easy selections of the old per-voice
// bytes, and the tracked parameters recomputed. p is Loaded and owns its
// description and parameter block. Returns 0, or 1298 when memory could not
// be obtained (p then owns nothing).
int ConvertOldRecord(const OldRecord& old, Preset& p);

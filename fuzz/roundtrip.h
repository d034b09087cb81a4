// The property every preset a reader hands out must have: it writes as a
// record, reads back equal, and survives the editor's recalculation of its
// tracked parameters. Aborts otherwise.
#pragma once
#include "main/model.h"

void CheckRoundTrip(const Preset& p);

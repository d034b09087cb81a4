// The fixed tables as computed when the program is built (tools/mktables,
// with BuildWaveform and ConvVolOf): SineData8, TriangularData8 and ConvVol
// are defined with their contents, the two rectangular tables start with a
// duty cycle of 50 and are set back to it from the copies below, and the
// 16-bit sine is the waveform cache's most common table. The generated
// source is part of this module.
#pragma once
#include <cstdint>

#include "data/synthesis/wavetab.h"

extern const int8_t RectangularData8AtStart[WAVELEN];
extern const int8_t SteepRectangularData8AtStart[WAVELEN];
// BuildWaveform(0, 50, 1.0, ..., WAVELEN, wide): the unfiltered sine.
extern const int16_t SineTable16[WAVELEN];

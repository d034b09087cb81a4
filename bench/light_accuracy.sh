#!/bin/sh
# The light signal check against what the generator put into the sound:
# renders of steady and sweeping presets (1-40 Hz, 20-100 %, the eyes
# apart, all four AudioStrobe waveforms, 44.1 and 48 kHz, 8 bits, other
# levels, voices and noise), read back from WAV files. Prints per case the
# largest difference of flash frequency (Hz) and brightness (%) at any
# second, the largest difference from the preset's own curve, and the
# decoding speed in multiples of real time (CPU time). Exit status 1 when a
# case misses 0.1 Hz or 5 % or the decoding is slower than 200x.
#
#   bench/light_accuracy.sh [DIR]            (default: a temporary folder)
#   SONAVEL_LIGHT_ACCURACY=path/to/sonavel_light_accuracy
set -eu
BIN=${SONAVEL_LIGHT_ACCURACY:-build/bin/sonavel_light_accuracy}
exec "$BIN" "$@"

#!/bin/sh
# What each file format and quality keeps of the AudioStrobe carrier: a
# two-minute preset with AudioStrobe rendered into WAV, FLAC and every
# quality of Ogg Vorbis, Opus and MP3, read back by the light signal check
# and compared with the blocks written (level change in dB, largest
# brightness and flash differences, seconds lost or off, decoding speed).
# Takes about 7 minutes on one core.
#
#   bench/light_formats.sh [DIR]             (default: a temporary folder)
#   SONAVEL_LIGHT_FORMATS=path/to/sonavel_light_formats
set -eu
BIN=${SONAVEL_LIGHT_FORMATS:-build/bin/sonavel_light_formats}
exec "$BIN" "$@"

#!/bin/sh
# Realtime factors of a 60-minute render into each file format at 44.1 kHz,
# 16 bits (Opus at 48 kHz): one 200 Hz tone with a 10 Hz beat plus pink
# noise, the seed fixed, the default quality of each format. The first line,
# into /dev/null as WAV, is the synthesis alone; the encoder's cost is the
# difference. Prints the wall-clock and CPU (user + system) factors and the
# file's size.
#
#   bench/format_speed.sh [DIR] [MINUTES]   (default: a temporary folder,
#                                            removed; 60 minutes)
#   SONAVEL_CLI=path/to/sonavel-cli         (default build/bin/sonavel-cli)
set -eu
CLI=${SONAVEL_CLI:-build/bin/sonavel-cli}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
DIR=${1:-$WORK}
MIN=${2:-60}
cat >"$WORK/one.json" <<'JSON'
{"Name": "One voice and pink noise", "ContinuePlaying": 0, "Segment": [{"Length": 6000,
  "Param": {"Noise Volume": {"Easy": "Noise with half volume"}, "Noise Smoothness": {"Easy": "Pink noise"}},
  "Voice": [{"Binaural Beat Frequency": {"Value": 10}, "Audible Pitch": {"Value": 200}}]}]}
JSON
"$CLI" build "$WORK/one.json" -o "$WORK/one.tvk" >/dev/null

# Renders into "$DIR/one.EXT" (removed after measuring), or into the null
# device for the synthesis alone.
measure() {  # name extension|- [options]
  name=$1 out="$DIR/one.$2"
  [ "$2" = - ] && out=/dev/null
  shift 2
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f '%e %U %S' -o "$WORK/time" "$CLI" render "$WORK/one.tvk" --index 0 --seed 1 \
      --minutes "$MIN" -o "$out" "$@" 2>/dev/null
  else
    start=$(date +%s.%N)
    "$CLI" render "$WORK/one.tvk" --index 0 --seed 1 --minutes "$MIN" -o "$out" "$@" 2>/dev/null
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { print e - s, 0, 0 }' >"$WORK/time"
  fi
  size=0
  if [ "$out" != /dev/null ]; then
    size=$(stat -c %s "$out")
    rm -f "$out"
  fi
  awk -v n="$name" -v m="$MIN" -v b="$size" '{
    printf "%-24s %7.2f s wall: %5.0fx realtime", n, $1, m * 60 / $1
    if ($2 + $3 > 0) printf "   %7.2f s CPU: %5.0fx", $2 + $3, m * 60 / ($2 + $3)
    printf "   %7.1f MB\n", b / 1e6 }' "$WORK/time"
}
measure "synthesis (/dev/null)" - --format wav
measure "WAV" wav
measure "FLAC" flac
measure "Ogg Vorbis" ogg
measure "Opus" opus
measure "MP3" mp3

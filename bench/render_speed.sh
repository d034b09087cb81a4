#!/bin/sh
# Renders 60 minutes of one 200 Hz tone with a 10 Hz beat plus pink noise
# into a 44.1 kHz 16-bit WAV file and prints the realtime factor.
#
#   bench/render_speed.sh [OUT.wav]     (default: a temporary file, removed)
#   SONAVEL_CLI=path/to/sonavel-cli     (default build/bin/sonavel-cli)
set -eu
CLI=${SONAVEL_CLI:-build/bin/sonavel-cli}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
OUT=${1:-$WORK/hour.wav}
cat > "$WORK/hour.json" <<'JSON'
{"Name": "One hour", "ContinuePlaying": 0, "Segment": [{"Length": 6000,
  "Param": {"Noise Volume": {"Easy": "Noise with half volume"}, "Noise Smoothness": {"Easy": "Pink noise"}},
  "Voice": [{"Binaural Beat Frequency": {"Value": 10}, "Audible Pitch": {"Value": 200}}]}]}
JSON
"$CLI" build "$WORK/hour.json" -o "$WORK/hour.tvk"
start=$(date +%s.%N)
"$CLI" render "$WORK/hour.tvk" --index 0 -o "$OUT" --seed 1 2>/dev/null
end=$(date +%s.%N)
size=$(stat -c %s "$OUT")
awk -v s="$start" -v e="$end" -v b="$size" 'BEGIN {
  t = e - s; printf "60 minutes rendered in %.2f s: %.0fx realtime, %.0f MB written\n", t, 3600 / t, b / 1e6 }'

#!/bin/sh
# Realtime factors of 60-minute renders at 44.1 kHz, 16 bits: one 200 Hz
# tone with a 10 Hz beat plus pink noise, and ten tones; each written to
# /dev/null and to a WAV file (the file case is bounded by the writes), the
# seed fixed. Prints the factor by the wall clock and by the CPU time of the
# render (user + system), which a busy machine disturbs less.
#
#   bench/render_speed.sh [DIR]         (default: a temporary folder, removed;
#                                        the WAV files go there, 635 MB each)
#   SONAVEL_CLI=path/to/sonavel-cli     (default build/bin/sonavel-cli)
set -eu
CLI=${SONAVEL_CLI:-build/bin/sonavel-cli}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
DIR=${1:-$WORK}
cat >"$WORK/one.json" <<'JSON'
{"Name": "One voice and pink noise", "ContinuePlaying": 0, "Segment": [{"Length": 6000,
  "Param": {"Noise Volume": {"Easy": "Noise with half volume"}, "Noise Smoothness": {"Easy": "Pink noise"}},
  "Voice": [{"Binaural Beat Frequency": {"Value": 10}, "Audible Pitch": {"Value": 200}}]}]}
JSON
voices=""
for k in 0 1 2 3 4 5 6 7 8 9; do
  voices="$voices${voices:+, }{\"Binaural Beat Frequency\": {\"Value\": $((4 + k))}, \"Audible Pitch\": {\"Value\": $((100 + 37 * k))}}"
done
printf '{"Name": "Ten voices", "ContinuePlaying": 0, "Segment": [{"Length": 6000, "Voice": [%s]}]}\n' "$voices" \
  >"$WORK/ten.json"
"$CLI" build "$WORK/one.json" -o "$WORK/one.tvk" >/dev/null
"$CLI" build "$WORK/ten.json" -o "$WORK/ten.tvk" >/dev/null

# Wall-clock and CPU (user + system) seconds of one render; the CPU time
# needs GNU time (/usr/bin/time), without it only the wall clock is shown.
measure() {  # name preset output
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f '%e %U %S' -o "$WORK/time" "$CLI" render "$2" --index 0 --seed 1 -o "$3" 2>/dev/null
  else
    start=$(date +%s.%N)
    "$CLI" render "$2" --index 0 --seed 1 -o "$3" 2>/dev/null
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { print e - s, 0, 0 }' >"$WORK/time"
  fi
  awk -v n="$1" '{
    printf "%-36s %6.2f s wall: %5.0fx realtime", n, $1, 3600 / $1
    if ($2 + $3 > 0) printf "   %6.2f s CPU: %5.0fx", $2 + $3, 3600 / ($2 + $3)
    printf "\n" }' "$WORK/time"
}
measure "one voice + pink noise to /dev/null" "$WORK/one.tvk" /dev/null
measure "one voice + pink noise to a file" "$WORK/one.tvk" "$DIR/one.wav"
rm -f "$DIR/one.wav"
measure "ten voices to /dev/null" "$WORK/ten.tvk" /dev/null
measure "ten voices to a file" "$WORK/ten.tvk" "$DIR/ten.wav"
rm -f "$DIR/ten.wav"

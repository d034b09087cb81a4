#!/bin/sh
# Instruction counts under callgrind (the same on any machine): instructions
# per frame of the generator (16-bit, 44.1 kHz, 200 ms blocks, sine voices
# at full volume), CalculatePreset of the largest legal preset, and a short
# render from the command line's start to its exit.
#
#   bench/instructions.sh [BUILD]       (default: build)
#
# Per frame = (Ir(2N blocks) - Ir(N blocks)) / (N * frames per block), so
# start-up and set-up cancel out. Takes about a minute.
set -eu
BUILD=${1:-build}
DRIVER=$BUILD/bin/sonavel_callgrind
CLI=$BUILD/bin/sonavel-cli
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
N=20

ir() {  # command... -> instructions
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null | awk '/Collected/ {print $4}'
}
per_frame() {  # voices bits16 mod noise
  frames=$("$DRIVER" "$1" 1 "$2" "$3" "$4" | awk '{print $2}')
  a=$(ir "$DRIVER" "$1" "$N" "$2" "$3" "$4")
  b=$(ir "$DRIVER" "$1" $((2 * N)) "$2" "$3" "$4")
  awk -v a="$a" -v b="$b" -v n="$N" -v f="$frames" 'BEGIN { printf "%.1f", (b - a) / (n * f) }'
}

v1=$(per_frame 1 1 0 0)
v3=$(per_frame 3 1 0 0)
v10=$(per_frame 10 1 0 0)
v1n=$(per_frame 1 1 0 1)
v10mn=$(per_frame 10 1 1 1)
echo "instructions per frame (callgrind)"
row() { printf '  %-48s %s\n' "$1" "$2"; }
row "1 voice" "$v1"
row "3 voices" "$v3"
row "10 voices" "$v10"
row "per extra voice ((10 - 1) / 9)" "$(awk -v a="$v1" -v b="$v10" 'BEGIN { printf "%.1f", (b - a) / 9 }')"
row "1 voice + noise (smoothness 40 %)" "$v1n"
row "noise (the difference)" "$(awk -v a="$v1" -v b="$v1n" 'BEGIN { printf "%.1f", b - a }')"
row "10 voices, both modulations, modulated noise" "$v10mn"

c1=$(ir "$DRIVER" calculate 1)
c3=$(ir "$DRIVER" calculate 3)
awk -v a="$c1" -v b="$c3" 'BEGIN { printf "CalculatePreset, 25 x 10 x 100 nodes: %.0f M instructions\n", (b - a) / 2 / 1e6 }'

cat >"$WORK/short.json" <<'JSON'
{"Name": "Short", "ContinuePlaying": 0, "Segment": [{"Length": 100,
  "Param": {"Noise Volume": {"Easy": "Noise with half volume"}, "Noise Smoothness": {"Easy": "Pink noise"}},
  "Voice": [{"Binaural Beat Frequency": {"Value": 10}, "Audible Pitch": {"Value": 200}}]}]}
JSON
"$CLI" build "$WORK/short.json" -o "$WORK/short.tvk" >/dev/null
s=$(ir "$CLI" render "$WORK/short.tvk" --index 0 --minutes 0.01 --seed 1 -o /dev/null)
awk -v s="$s" 'BEGIN { printf "sonavel-cli render of 0.6 s, start to exit: %.2f M instructions\n", s / 1e6 }'

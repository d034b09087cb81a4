#!/bin/sh
# Renders a fixed list of presets and option sets with fixed noise seeds and
# prints one "sha256  name" line per render: every built-in preset at 8 and
# 16 bits, several rates and block lengths, with and without AudioStrobe and
# inverted sound, and a few made-up presets that load the generator (ten
# voices, modulation on every voice, every noise colour, inside the head,
# filtered waveforms).
#
#   bench/render_sums.sh CLI > sums.txt          one build's checksums
#   bench/render_sums.sh CLI_A CLI_B             both, compared line by line
#
# Two builds make the same samples when their lists are identical. The
# comparison exits with status 1 when any render differs. Takes several
# minutes per build (the built-ins render full length once). The builds may
# be two commits, or one tree at two optimisation levels, e.g. a folder
# configured with -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O3 -g -DNDEBUG" beside
# the ordinary -O2 one.
set -eu
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

if [ $# -eq 2 ]; then
  "$0" "$1" >"$WORK/a.txt"
  "$0" "$2" >"$WORK/b.txt"
  if cmp -s "$WORK/a.txt" "$WORK/b.txt"; then
    echo "$(wc -l <"$WORK/a.txt") renders, all identical"
    exit 0
  fi
  diff "$WORK/a.txt" "$WORK/b.txt" || true
  echo "$(diff "$WORK/a.txt" "$WORK/b.txt" | grep -c '^<') of $(wc -l <"$WORK/a.txt") renders differ"
  exit 1
fi
CLI=$1

render() {  # name file options...
  name=$1
  file=$2
  shift 2
  # A render that fails prints no checksum, so it cannot pass for another.
  sum=$({
    "$CLI" render "$file" "$@" -o - 2>/dev/null
    echo $? >"$WORK/rc"
  } | sha256sum | cut -d' ' -f1)
  if [ "$(cat "$WORK/rc")" = 0 ]; then echo "$sum  $name"; else echo "render failed  $name"; fi
}

mkdir -p "$WORK/store"
"$CLI" store --dir "$WORK/store" list >/dev/null
STORE=$WORK/store/Presets.tvk
for i in $("$CLI" list "$STORE" | awk -F'\t' '$2 !~ /^D/ {print $1}'); do
  render "builtin $i" "$STORE" --index "$i" --seed 1
  render "builtin $i 22050 Hz 8-bit 50 ms inverted" "$STORE" --index "$i" --rate 22050 --bits 8 --block-ms 50 \
    --invert --minutes 3 --seed 2
  render "builtin $i 48000 Hz 20 ms steep strobe 30 %" "$STORE" --index "$i" --rate 48000 --block-ms 20 \
    --audiostrobe --as-waveform -2 --as-duty-cycle 30 --minutes 2 --seed 3
  render "builtin $i 11025 Hz 8-bit 1000 ms triangular strobe" "$STORE" --index "$i" --rate 11025 --bits 8 \
    --block-ms 1000 --audiostrobe --as-waveform 32768000 --minutes 3 --seed 4
  render "builtin $i 96000 Hz 10 ms inverted" "$STORE" --index "$i" --rate 96000 --block-ms 10 --invert \
    --minutes 1 --seed 5
  render "builtin $i 44100 Hz 8-bit 130 ms sine strobe" "$STORE" --index "$i" --bits 8 --block-ms 130 \
    --audiostrobe --as-waveform 32768500 --minutes 2 --seed 6
done

# Made-up presets: one segment each, sweeping, so that records change often.
voices() {  # count modulation(0/1) waveforms(0/1)
  n=$1
  sep=""
  k=0
  while [ "$k" -lt "$n" ]; do
    printf '%s{"Binaural Beat Frequency": {"Curve": [[0, %d], [100, %d.5]]}, ' "$sep" $((4 + k)) $((12 - k / 2))
    printf '"Audible Pitch": {"Curve": [[0, %d], [60, %d, 14], [100, %d]]}, ' $((90 + 53 * k)) $((140 + 41 * k)) \
      $((100 + 47 * k))
    printf '"Sound Volume": {"Curve": [[0, %d], [50, 100, 4], [100, %d]]}' $((30 + 7 * k)) $((95 - 5 * k))
    if [ "$2" = 1 ]; then
      printf ', "Sound Modulation Depth": {"Curve": [[0, %d], [100, %d]]}' $((10 + 9 * k)) $((90 - 8 * k))
      printf ', "Sound Modulation Period": {"Curve": [[0, %d], [100, %d]]}' $((300 + 700 * k)) $((9000 - 400 * k))
      printf ', "Sound Modulation Phase": {"Value": %d}' $((k * 37 - 180))
    fi
    if [ "$3" = 1 ]; then
      case $((k % 4)) in
        0) printf ', "Waveform": {"Easy": "Filtered triangular wave"}, "Waveform Filter": {"Easy": "Three harmonics"}' ;;
        1) printf ', "Waveform": {"Easy": "Sine^3 wave"}' ;;
        2) printf ', "Waveform": {"Easy": "25%% smoothed rectangular wave"}, "Waveform Filter": {"Easy": "Two harmonics"}' ;;
        3) printf ', "Waveform": {"Easy": "Rectangular wave"}' ;;
      esac
    fi
    printf '}'
    sep=", "
    k=$((k + 1))
  done
}
preset() {  # name minutes noise-json inside(0/1) voices modulation waveforms
  printf '{"Name": "%s", "ContinuePlaying": 0, "Segment": [{"Length": %s, "NoiseInsideHead": %s, "Param": {%s}, ' \
    "$1" "$2" "$4" "$3"
  printf '"Voice": [%s]}]}\n' "$(voices "$5" "$6" "$7")"
}
PINK='"Noise Volume": {"Easy": "Noise with half volume"}, "Noise Smoothness": {"Easy": "Pink noise"}'
MODNOISE='"Noise Volume": {"Curve": [[0, 20], [100, 70]]}, "Noise Smoothness": {"Curve": [[0, 0], [100, 100]]},
  "Noise Modulation Depth": {"Value": 60}, "Noise Modulation Period": {"Curve": [[0, 500], [100, 20000]]},
  "Noise Modulation Phase": {"Value": 90}'
BROWN='"Noise Volume": {"Value": 40}, "Noise Smoothness": {"Easy": "Brown noise"}'
preset "one voice and pink noise" 500 "$PINK" 0 1 0 0 >"$WORK/p1.json"
preset "ten voices" 300 "" 0 10 0 0 >"$WORK/p2.json"
preset "ten modulated voices and noise" 300 "$MODNOISE" 0 10 1 0 >"$WORK/p3.json"
preset "three shaped voices, noise inside the head" 300 "$BROWN" 1 3 1 1 >"$WORK/p4.json"
preset "ten shaped voices and white noise" 200 '"Noise Volume": {"Value": 30}' 0 10 0 1 >"$WORK/p5.json"
for p in 1 2 3 4 5; do
  "$CLI" build "$WORK/p$p.json" -o "$WORK/p$p.tvk" >/dev/null
  render "made-up $p" "$WORK/p$p.tvk" --index 0 --seed 7
  render "made-up $p 8-bit 22050 Hz 70 ms inverted" "$WORK/p$p.tvk" --index 0 --bits 8 --rate 22050 --block-ms 70 \
    --invert --seed 8
  render "made-up $p 48000 Hz 1000 ms strobe" "$WORK/p$p.tvk" --index 0 --rate 48000 --block-ms 1000 --audiostrobe \
    --seed 9
  render "made-up $p 11025 Hz 10 ms" "$WORK/p$p.tvk" --index 0 --rate 11025 --block-ms 10 --seed 10
done
# A WAV file of the build's own making as the background.
"$CLI" render "$STORE" --index 0 --minutes 0.2 --rate 32000 --seed 11 -o "$WORK/bg.wav" >/dev/null 2>&1
render "made-up 1 with a WAV background" "$WORK/p1.tvk" --index 0 --background "$WORK/bg.wav" --seed 12
render "made-up 3 8-bit with a WAV background" "$WORK/p3.tvk" --index 0 --bits 8 --background "$WORK/bg.wav" --seed 13

#!/bin/sh
# Compares what two builds of sonavel-cli produce, byte for byte: the preset
# file commands and the string table, WAV renders of every built-in preset
# under several option sets (streamed into a hash, full length with the
# default options), and real playback through ALSA into a file (a private
# ALSA configuration: the file plugin over the null device, which plays
# faster than real time).
#
#   bench/compare_outputs.sh BEFORE/sonavel-cli AFTER/sonavel-cli
#
# Prints one line per comparison and a summary; exit status 1 when anything
# differs. Takes several minutes.
set -eu
A=$1
B=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
DIFFS=0
COUNT=0

same() {  # name fileA fileB
  COUNT=$((COUNT + 1))
  if cmp -s "$2" "$3"; then
    echo "same      $1"
  else
    echo "DIFFERENT $1"
    DIFFS=$((DIFFS + 1))
  fi
}

# Each build gets its own store, made from its built-in presets.
for side in a b; do mkdir -p "$WORK/$side/store"; done
"$A" store --dir "$WORK/a/store" list >"$WORK/a/store.list"
"$B" store --dir "$WORK/b/store" list >"$WORK/b/store.list"
same "store list" "$WORK/a/store.list" "$WORK/b/store.list"
same "built-in store file" "$WORK/a/store/Presets.tvk" "$WORK/b/store/Presets.tvk"
STORE=$WORK/a/store/Presets.tvk
N=$("$A" list "$STORE" | wc -l)

run() {  # name command... (run with both builds, stdout compared)
  name=$1
  shift
  "$A" "$@" >"$WORK/a/out" 2>"$WORK/a/err" || true
  "$B" "$@" >"$WORK/b/out" 2>"$WORK/b/err" || true
  same "$name" "$WORK/a/out" "$WORK/b/out"
  same "$name (stderr)" "$WORK/a/err" "$WORK/b/err"
}

run "strings" strings
run "backgrounds" backgrounds
run "list" list "$STORE"
i=0
while [ "$i" -lt "$N" ]; do
  run "show $i" show "$STORE" --index "$i"
  run "show $i --json" show "$STORE" --index "$i" --json
  i=$((i + 1))
done
"$A" new -o "$WORK/a/new.tvk"
"$B" new -o "$WORK/b/new.tvk"
same "new" "$WORK/a/new.tvk" "$WORK/b/new.tvk"

render() {  # name options... (both builds, the WAV stream hashed)
  name=$1
  shift
  "$A" render "$STORE" "$@" -o - 2>/dev/null | sha256sum >"$WORK/a/sum"
  "$B" render "$STORE" "$@" -o - 2>/dev/null | sha256sum >"$WORK/b/sum"
  same "$name" "$WORK/a/sum" "$WORK/b/sum"
}

i=0
while [ "$i" -lt "$N" ]; do
  render "render $i" --index "$i" --seed 1
  render "render $i 22050 Hz 8-bit inverted" --index "$i" --rate 22050 --bits 8 --invert --minutes 3 --seed 2
  render "render $i AudioStrobe 100 ms" --index "$i" --audiostrobe --block-ms 100 --minutes 3 --seed 3
  render "render $i 48000 Hz 20 ms square strobe" --index "$i" --rate 48000 --block-ms 20 --audiostrobe \
    --as-waveform -2 --as-duty-cycle 30 --minutes 2 --seed 4
  i=$((i + 1))
done

# Real playback into a file through ALSA. A preset that ends is compared
# whole; one that holds its last record forever is stopped by --minutes on
# the wall clock, so only the part both runs played is compared.
for side in a b; do
  printf 'pcm.sonavel_capture {\n type file\n slave.pcm { type null }\n file "%s"\n format raw\n}\n' \
    "$WORK/$side/play.raw" >"$WORK/$side/.asoundrc"
done
# A start fades in where a build knows to (--no-soft-stop turns it off):
# what is compared is the sound itself.
soft() { "$1" play --help 2>/dev/null | grep -q -- --no-soft-stop && echo --no-soft-stop || true; }
SOFT_A=$(soft "$A")
SOFT_B=$(soft "$B")
play() {  # index options...
  idx=$1
  shift
  rm -f "$WORK/a/play.raw" "$WORK/b/play.raw"
  HOME=$WORK/a "$A" play "$STORE" --index "$idx" --device sonavel_capture --minutes 0.05 $SOFT_A "$@" </dev/null 2>/dev/null
  HOME=$WORK/b "$B" play "$STORE" --index "$idx" --device sonavel_capture --minutes 0.05 $SOFT_B "$@" </dev/null 2>/dev/null
  sa=$(stat -c %s "$WORK/a/play.raw")
  sb=$(stat -c %s "$WORK/b/play.raw")
  n=$((sa < sb ? sa : sb))
  head -c "$n" "$WORK/a/play.raw" >"$WORK/a/play.cut"
  head -c "$n" "$WORK/b/play.raw" >"$WORK/b/play.cut"
  same "ALSA play $idx $* ($n bytes of $sa/$sb)" "$WORK/a/play.cut" "$WORK/b/play.cut"
}
for idx in 0 3 7 11 20 27; do
  play "$idx"
  play "$idx" --rate 22050 --bits 8 --block-ms 50 --blocks 3 --audiostrobe
done

echo "$COUNT comparisons, $DIFFS different"
[ "$DIFFS" -eq 0 ]

#!/bin/bash
# Damaged and unusual background files through `sonavel-cli render`: for
# each shape the outcome (plays, or the first line of the message, or the
# signal that ended the program), the peak resident memory and the time.
# Builds of two commits compare by running it with each one's bin folder.
#
#   bench/damaged_backgrounds.sh [BIN]        (default build/bin)
#   SHAPES=dir   keep the made files there (and reuse them)
#   LONG=1       also 47 minutes at 768 kHz (an 8.9 MB FLAC of silence;
#                making it takes minutes)
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
own=""
if [ -z "${SHAPES:-}" ]; then
  SHAPES=$(mktemp -d)
  own=$SHAPES
fi
trap '[ -n "$own" ] && rm -rf "$own"' EXIT
cd "$SHAPES"
for tool in sox python3; do command -v $tool >/dev/null || { echo "needs $tool" >&2; exit 1; }; done

make() {  # make FILE COMMAND...: once
  local f=$1
  shift
  [ -e "$f" ] || "$@"
}
sx="sox -D -n -c 2"
make p.tvk "$BIN/sonavel-cli" new -o p.tvk
make ok.flac $sx -r 44100 -b 16 ok.flac synth 10 sine 440
make streamed.flac sh -c "$sx -r 44100 -b 16 -t flac - synth 10 sine 440 2>/dev/null | cat > streamed.flac"
make cut.flac sh -c 'head -c $(( $(stat -c %s ok.flac) / 2 )) ok.flac > cut.flac'
make ok.ogg $sx -r 44100 ok.ogg synth 10 sine 440
make ok.opus sh -c "'$BIN/sonavel-cli' render p.tvk --index 0 --minutes 0.10 --seed 1 -o ok.opus 2>/dev/null"
for e in ogg opus; do
  make cut1.$e sh -c "head -c \$(( \$(stat -c %s ok.$e) - 1 )) ok.$e > cut1.$e"
  make appended.$e sh -c "(cat ok.$e; head -c 1000 /dev/urandom) > appended.$e"
done
make lying.flac python3 -c '
d = bytearray(open("ok.flac", "rb").read())
v = int.from_bytes(d[18:26], "big")
v = (1048575 << 44) | (v & (0xFF << 36)) | 2900000000
d[18:26] = v.to_bytes(8, "big"); d[26:42] = bytes(16)
open("lying.flac", "wb").write(d)'
make hi60.flac $sx -r 768000 -b 16 -C 0 hi60.flac synth 60 sine 0 vol 0
[ "${LONG:-0}" = 1 ] && make hi2820.flac $sx -r 768000 -b 16 hi2820.flac synth 2820 sine 0 vol 0
# 20000 frames at 1 Hz, mono 16-bit (sox takes half a minute for it).
make onehz.wav python3 -c '
import struct
n = 20000
h = b"RIFF" + struct.pack("<I", 36 + 2 * n) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 1, 1, 2, 2, 16)
open("onehz.wav", "wb").write(h + b"data" + struct.pack("<I", 2 * n) + bytes(2 * n))'
make w24.wav $sx -r 44100 -b 24 w24.wav synth 1 sine 440
make w24-nodata.wav python3 -c "d = open('w24.wav', 'rb').read(); open('w24-nodata.wav', 'wb').write(d[:d.find(b'data')])"
make streamed.wav sh -c "$sx -r 44100 -b 16 -t wav - synth 1 sine 440 2>/dev/null | cat > streamed.wav"
[ -p fifo ] || mkfifo fifo

printf '%-16s %-60s %10s %8s\n' shape outcome peak-MB seconds
for f in streamed.flac cut.flac cut1.ogg appended.ogg cut1.opus appended.opus lying.flac hi60.flac \
  $([ -e hi2820.flac ] && echo hi2820.flac) onehz.wav w24-nodata.wav streamed.wav fifo; do
  # A program that blocks for ever is ended after 120 s.
  set +e
  /usr/bin/time -f '%M %e' -o time.txt timeout 120 "$BIN/sonavel-cli" render p.tvk --index 0 --minutes 0.02 \
    --seed 1 --background "$f" -o /dev/null 2>err.txt
  rc=$?
  set -e
  read -r kb secs < <(tail -1 time.txt | grep -E '^[0-9]+ ' || echo "? ?")
  if [ $rc = 0 ]; then
    what="plays"
  elif [ $rc = 124 ]; then
    what="still waiting after 120 s (killed)"
  elif [ $rc -gt 128 ]; then
    what="killed by signal $((rc - 128)): $(grep -m1 -o 'what():.*' err.txt || true)"
  else
    what="exit $rc: $(grep -v '^Calculating\|^Playing' err.txt | head -1)"
  fi
  mb=$([ "$kb" = "?" ] && echo "?" || echo $((kb / 1024)))
  printf '%-16s %-60.60s %10s %8s\n' "$f" "$what" "$mb" "$secs"
done

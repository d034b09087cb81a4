#!/usr/bin/env bash
# Builds the program's own background (resource RCDATA 27): the word "left"
# spoken on the left channel, then "right" on the right channel. RIFF WAVE,
# PCM, 8 bits unsigned, stereo, 22050 samples per second, exactly 34415
# frames (68830 data bytes). Used by the sound test, so the user can tell
# whether the ears are the right way round.
#
#   make-own-background.sh OUT.wav
set -euo pipefail
out=${1:?usage: make-own-background.sh OUT.wav}
for tool in espeak-ng sox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make-own-background: '$tool' is not installed; run scripts/setup.sh" >&2
    exit 1
  fi
done
frames=34415
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
espeak-ng -s 160 -w "$tmp/l.wav" "left"
espeak-ng -s 160 -w "$tmp/r.wav" "right"
# Each word trimmed of its silences and normalised, then placed in its own
# channel: "left" from 0.05 s, "right" from 0.80 s, both cut to the length.
# -R keeps the dither repeatable, so every build gives the same bytes.
for w in l r; do
  start=$([ "$w" = l ] && echo 0.05 || echo 0.80)
  sox -R "$tmp/$w.wav" -r 22050 -c 1 -b 16 "$tmp/${w}0.wav" \
    silence 1 0.01 1% reverse silence 1 0.01 1% reverse norm -3 pad "$start" 2
  sox -R "$tmp/${w}0.wav" "$tmp/${w}1.wav" trim 0 "${frames}s"
done
sox -R -M "$tmp/l1.wav" "$tmp/r1.wav" -D -r 22050 -c 2 -b 8 -e unsigned-integer "$tmp/out.wav"
got=$(soxi -s "$tmp/out.wav")
if [ "$got" != "$frames" ]; then
  echo "make-own-background: expected $frames frames, got $got" >&2
  exit 1
fi
mv "$tmp/out.wav" "$out"

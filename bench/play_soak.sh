#!/bin/sh
# Real-time playback soak: plays a preset for MINUTES (default 10) through the
# paced fake device (a sink that consumes samples at the pace of the real
# clock and keeps nothing) while a busy loop occupies another core and the
# loop that takes the statuses sleeps 200 ms once a second, as a window busy
# with a repaint or a dialog would; then reports the underruns, the worst
# block generation time against the block length and the statuses dropped.
# By default 4 blocks of 20 ms are queued: 80 ms of sound ahead.
#
#   bench/play_soak.sh [MINUTES] [PRESET NAME]
#   SONAVEL_CLI=path/to/sonavel-cli  (default build/bin/sonavel-cli)
#   SOAK_ARGS="--block-ms 20 --blocks 4 --stall-ms 200"  (the play options)
#
# Exit status 1 when any underrun was counted.
set -eu
MINUTES=${1:-10}
PRESET=${2:-"BUILTIN: Meditation 5 (four voices)"}
CLI=${SONAVEL_CLI:-build/bin/sonavel-cli}
ARGS=${SOAK_ARGS:---block-ms 20 --blocks 4 --stall-ms 200}
WORK=$(mktemp -d)
LOG=$WORK/play.log

$CLI store --dir "$WORK" list >/dev/null

# The other core: a shell busy loop at normal priority.
sh -c 'while :; do :; done' &
BUSY=$!
trap 'kill $BUSY 2>/dev/null; rm -rf "$WORK"' EXIT INT TERM

echo "soak: $MINUTES min of '$PRESET' on the paced sink ($ARGS), one core busy (pid $BUSY)"
START=$(date +%s)
# shellcheck disable=SC2086
$CLI play --store "$WORK" --name "$PRESET" --device fake --minutes "$MINUTES" --stats $ARGS </dev/null 2>"$LOG"
END=$(date +%s)

grep -E '^(underruns|blocks generated|worst block generation|statuses dropped[a-z ]*|audio thread priority|fake device.s longest clock step):' "$LOG"
echo "wall time: $((END - START)) s"
UNDERRUNS=$(sed -n 's/^underruns: //p' "$LOG")
[ "${UNDERRUNS:-1}" = 0 ]

#!/bin/sh
# The flashing thread's deadline error at 10 Hz and 40 Hz, each for 60 s,
# with a busy loop taking the other core.
#
#   bench/flash_timing.sh [SECONDS]          (default 60)
#   SONAVEL_FLASH_TIMING=path/to/sonavel_flash_timing
set -eu
BIN=${SONAVEL_FLASH_TIMING:-build/bin/sonavel_flash_timing}
SECS=${1:-60}
sh -c 'while :; do :; done' &
busy=$!
trap 'kill $busy 2>/dev/null' EXIT INT TERM
for mhz in 10000 40000; do
  "$BIN" "$mhz" "$SECS"
done

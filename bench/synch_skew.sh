#!/bin/bash
# The start skew of synchronised playback: how long after the leader's
# device restarted each follower's did, over TRIES tries (default 20), from
# the processes' own log (SONAVEL_SYNCH_LOG). Every try starts FOLLOWERS
# instances (default 2) and then a leader that plays at once ("-p") and answers
# the question with the synchronised start, all on the paced fake device
# and the offscreen platform. Prints each try's worst follower and the
# median over all followers.
#
#   bench/synch_skew.sh [TRIES] [FOLLOWERS]
#   SONAVEL_BIN=path/to/bin (default build/bin)
set -euo pipefail
BIN=$(cd "${SONAVEL_BIN:-build/bin}" && pwd)
TRIES=${1:-20}
FOLLOWERS=${2:-2}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -CONT "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A program folder of its own (the store is written next to the program).
mkdir -p "$work/install" "$work/run" "$work/home/config/Kelvadi"
cp "$BIN/sonavel" "$BIN/Ambix.dll" "$work/install/"
chmod 700 "$work/run"
printf '[3]\nAdvanced\\RunConfigWizard=0\nAdvanced\\Device=fake\n' >"$work/home/config/Kelvadi/Sonavel.conf"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen SONAVEL_AUTO_ANSWER=1 SONAVEL_SYNCH_ANSWER=2
folder="$work/run/sonavel"

# Waits until `pattern` matches `want` lines of the log (at most 60 s).
wait_lines() {
  local want=$1 pattern=$2 i n
  for i in $(seq 600); do
    n=$(grep -c -- "$pattern" "$SONAVEL_SYNCH_LOG" 2>/dev/null || true)
    [ "${n:-0}" -ge "$want" ] && return 0
    sleep 0.1
  done
  echo "timed out waiting for $want x '$pattern'" >&2
  return 1
}

all=()
for try in $(seq "$TRIES"); do
  export SONAVEL_SYNCH_LOG="$work/synch-$try.log"
  pids=()
  # The leader plays at its start ("-p"), which only the first instance
  # does: a keeper holds the instance lock while the followers start, and
  # gives it up before the leader comes.
  "$work/install/sonavel" 2>/dev/null &
  keeper=$!
  for i in $(seq 600); do [ -S "$folder/TAVIK.$keeper" ] && break; sleep 0.1; done
  for f in $(seq "$FOLLOWERS"); do
    "$work/install/sonavel" -anotherinstance 2>/dev/null &
    pids+=($!)
  done
  # Each follower is ready once its socket is there.
  for p in "${pids[@]}"; do
    for i in $(seq 600); do [ -S "$folder/TAVIK.$p" ] && break; sleep 0.1; done
  done
  kill "$keeper"
  wait "$keeper" 2>/dev/null || true
  "$work/install/sonavel" -p "BUILTIN: Relaxation 1" 2>/dev/null &
  leader=$!
  pids+=($leader)
  wait_lines $((FOLLOWERS + 1)) " restart "
  skews=$(awk -v leader="$leader" '$2 == "restart" { t[$1] = $4 }
    END { for (p in t) if (p != leader) printf "%.3f\n", (t[p] - t[leader]) / 1e6 }' "$SONAVEL_SYNCH_LOG")
  worst=$(printf '%s\n' "$skews" | sort -g | tail -1)
  printf 'try %2d: worst follower %s ms after the leader\n' "$try" "$worst"
  while read -r s; do all+=("$s"); done <<<"$skews"
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  pids=()
done
printf '%s\n' "${all[@]}" | sort -g | awk '{ v[NR] = $1 } END {
  m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "start skew over %d follower starts: median %.3f ms, 90th percentile %.3f ms, worst %.3f ms, least %.3f ms\n",
    NR, m, v[int(NR * 0.9 + 0.999)], v[NR], v[1] }'

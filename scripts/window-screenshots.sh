#!/usr/bin/env bash
# Screenshots of the whole screen under Xvfb with openbox: the main window and
# the windows it opens, where they open and how large (tools/windowshots).
# Three runs: scale 1, QT_SCALE_FACTOR=2 (a 2560x2048 screen) and a dark
# palette, each into its own folder.
#
#   scripts/window-screenshots.sh [OUT_DIR]     (default /tmp/window-shots; needs a build)
#   FIRST_DISPLAY=71 scripts/window-screenshots.sh   (servers from :71 up)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-/tmp/window-shots}")
tool=build/tools/windowshots/windowshots
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# One run on its own server: SIZE, then the tool's arguments.
run() {
  local size=$1 dir=$2
  shift 2
  # A free display number of our own, from FIRST_DISPLAY (default 90) up.
  local n=${FIRST_DISPLAY:-90}
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp &
  local xvfb=$!
  pids+=("$xvfb")
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  DISPLAY=":$n" openbox --sm-disable &
  local wm=$!
  pids+=("$wm")
  sleep 1
  local home=$work/home-$n
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run \
    XDG_STATE_HOME=$home/state DISPLAY=":$n" QT_QPA_PLATFORM=xcb "$@" "$tool" "$out/$dir" ${DARK:+--dark}
  kill "$wm" "$xvfb" 2>/dev/null || true
  wait "$wm" "$xvfb" 2>/dev/null || true
}

run 1280x1024 scale1 env
run 2560x2048 scale2 env QT_SCALE_FACTOR=2
DARK=1 run 1280x1024 dark env

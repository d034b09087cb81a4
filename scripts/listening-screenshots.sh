#!/usr/bin/env bash
# Screenshots of the listening controls under Xvfb with a window manager
# (openbox): the main window playing with the sleep timer's time left under
# its status, and the Sleep Timer dialog, at scale 1 and 2, in the default
# and a dark palette.
#
#   scripts/listening-screenshots.sh [OUT_DIR]     (default /tmp/listening-shots; needs a build and openbox)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-/tmp/listening-shots}")
if [ -z "${SHOT_UNDER_XVFB:-}" ]; then
  export SHOT_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1800x900x24" "$0" "$@"
fi
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_DATA_HOME/Sonavel" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
openbox >/dev/null 2>&1 &
sleep 1
for scale in 1 2; do
  for theme in light dark; do
    args=()
    [ "$theme" = dark ] && args=(--dark)
    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale build/tools/listenshots/listenshots "${args[@]}" >"$work/log" 2>&1 &
    pid=$!
    until grep -q ready "$work/log"; do sleep 0.1; done
    sleep 1  # the window manager maps and draws the windows
    shot="$out/listening-scale$scale-$theme.png"
    import -window root "$shot"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "wrote $shot"
  done
done

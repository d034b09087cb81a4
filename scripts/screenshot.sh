#!/usr/bin/env bash
# Takes the README's screenshot of the main window: the program started
# under Xvfb for a fresh user, playing the default built-in preset on the
# silent "fake" device that keeps real time (no sound card is needed), with
# the status text showing.
#
#   scripts/screenshot.sh [OUT.png]     (default docs/main-window.png; needs a build)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/main-window.png}")
if [ -z "${SHOT_UNDER_XVFB:-}" ]; then
  export SHOT_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x600x24" "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/bin/sonavel build/bin/Ambix.dll "$work/"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME/Kelvadi" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# A window at a known place, playing on the silent device.
cat > "$XDG_CONFIG_HOME/Kelvadi/Sonavel.conf" <<'CONF'
[3]
Windows\MainX=0
Windows\MainY=0
Windows\MainWidth=600
Windows\MainHeight=170
Advanced\Device=fake
Advanced\RunConfigWizard=0
CONF
"$work/sonavel" -p "BUILTIN: Relaxation 1" >/dev/null 2>&1 &
pid=$!
until xwininfo -name Sonavel 2>/dev/null | grep -q IsViewable; do sleep 0.05; done
sleep 3  # a few seconds of playing, so the status text has moved on
geometry=$(xwininfo -name Sonavel | awk '/Width:/ {w=$2} /Height:/ {h=$2} /Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4} END {printf "%dx%d+%d+%d", w, h, x, y}')
import -window root -crop "$geometry" +repage "$out"
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "Wrote $out"

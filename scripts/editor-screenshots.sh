#!/usr/bin/env bash
# Screenshots of the preset editor under Xvfb: the General tab, the Sound
# tab with a focused pitch chart, a Waveform chart, the node dialog and the
# whole-preset timeline (long built-in presets, a 25-segment journey).
# QT_SCALE_FACTOR=2 in the environment doubles them; EDITORSHOTS_ARGS=--dark
# takes them on a dark palette.
#
#   scripts/editor-screenshots.sh [OUT_DIR]     (default /tmp/editor-shots; needs a build)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-/tmp/editor-shots}")
if [ -z "${SHOT_UNDER_XVFB:-}" ]; then
  export SHOT_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb build/tools/editorshots/editorshots "$out" ${EDITORSHOTS_ARGS:-}

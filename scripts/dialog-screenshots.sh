#!/usr/bin/env bash
# Screenshots of the option dialogs under Xvfb: Advanced Options, Visual Color
# Options in both forms, the configuration wizard's pages, the waveform
# preview and the modulation window.
#
#   scripts/dialog-screenshots.sh [OUT_DIR]     (default /tmp/dialog-shots; needs a build)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-/tmp/dialog-shots}")
if [ -z "${SHOT_UNDER_XVFB:-}" ]; then
  export SHOT_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb build/tools/dialogshots/dialogshots "$out"

#!/usr/bin/env bash
# The whole-preset timeline's figures on a 25-segment, 10-voice preset of
# 100-node curves: an edit's redraw (target < 10 ms) and a plain repaint,
# at device-pixel ratio 1 and 2.
#
#   bench/timeline_bench.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
# The dialog remembers its place in the settings: keep them out of the
# user's own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
for dpr in 1 2; do
  QT_QPA_PLATFORM=offscreen "$build/bin/sonavel_timeline_bench" "$dpr"
done

#!/usr/bin/env bash
# The parameter chart's figures at device-pixel ratio 1 and 2: a full
# repaint of a 100-node chart into 900 x 300 (target < 4 ms) and one drag
# step (target < 1 ms).
#
#   bench/chart_bench.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
for dpr in 1 2; do
  QT_QPA_PLATFORM=offscreen "$build/bin/sonavel_chart_bench" "$dpr"
done

#!/usr/bin/env bash
# The parameter pages' switching figures on a 10-voice segment: a change of
# tab and a change of voice, until repainted (target < 30 ms each).
#
#   bench/pages_bench.sh [BUILD_DIR]      (default: build)
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
QT_QPA_PLATFORM=offscreen "$build/bin/sonavel_pages_bench"

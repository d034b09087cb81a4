#!/usr/bin/env bash
# Measures the engine's noise at every Noise Smoothness value (slope in dB
# per octave, level beside a tone of the same volume) and prints the table
# src/sbg/noisetable.cpp keeps. Usage: bench/noise_slope.sh [build-dir] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" --target sonavel_noise_slope >/dev/null
"$build/bin/sonavel_noise_slope" "${2:-30}"

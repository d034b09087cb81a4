#!/usr/bin/env bash
# Builds the two programs and the background library they load (not the
# tests, benchmarks or fuzz targets: the test command builds those in the
# same build folder) and starts the desktop program, `sonavel`, when a
# display is there. Without one it says so and runs the main job of the
# command-line tool instead: renders the default built-in preset ("BUILTIN:
# Relaxation 1 (general)") into a WAV file and says where it is (the store
# lives in out/store, created from the built-in presets).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Full debug information, whatever the test command left in the same build
# folder.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAVEL_DEBUG_INFO=full >/dev/null
cmake --build build -j"$(nproc)" --target sonavel sonavel-cli Ambix
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/sonavel "$@"
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): not starting the desktop program."
echo "Rendering the default preset with sonavel-cli instead."
mkdir -p out
build/bin/sonavel-cli render --store out/store --name "BUILTIN: Relaxation 1 (general)" -o out/relaxation.wav
echo "Rendered $(pwd)/out/relaxation.wav"

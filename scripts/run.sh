#!/usr/bin/env bash
# Builds the program and runs its main job: renders the default built-in
# preset ("BUILTIN: Relaxation 1 (general)") into a WAV file and says where
# it is. The store lives in out/store (created from the built-in presets).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target sonavel-cli Ambix
mkdir -p out
build/bin/sonavel-cli render --store out/store --name "BUILTIN: Relaxation 1 (general)" -o out/relaxation.wav
echo "Rendered $(pwd)/out/relaxation.wav"

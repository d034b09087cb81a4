#!/usr/bin/env bash
# Builds the program and runs its main job: writes the default preset to a
# preset file and shows it (rendering to WAV follows with the synthesis path).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target sonavel-cli
mkdir -p out
build/bin/sonavel-cli new -o out/default.tvk
build/bin/sonavel-cli show out/default.tvk --index 0
echo "Default preset written to $(pwd)/out/default.tvk"

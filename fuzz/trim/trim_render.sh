#!/bin/sh
# Chooses the seed inputs the render corpus test replays: builds fuzz_render
# with every basic block recorded (-fsanitize-coverage=trace-pc and
# pccover.cpp, unoptimised as in the sanitizer build), runs each seed of
# <build>/fuzz/seeds/preset_file alone, and keeps the smallest set, cheapest
# first, that runs every block all of them run together (plus the inputs
# kept under fuzz/corpus/fuzz_render, which are replayed whatever they add).
# Prints the chosen names, one a line, for fuzz/fuzz_render_seeds.txt, and the
# blocks and seconds of all seeds and of the chosen ones on stderr.
#
#   fuzz/trim/trim_render.sh [BUILD-DIR] > fuzz/fuzz_render_seeds.txt
#
# BUILD-DIR (default build-trim) is configured and built here; the seeds'
# runs go to a temporary folder removed at the end.
set -eu
cd "$(dirname "$0")/../.."
BUILD=${1:-build-trim}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

mkdir -p "$BUILD"
BUILD=$(cd "$BUILD" && pwd)
${CXX:-g++} -O2 -c fuzz/trim/pccover.cpp -o "$BUILD/pccover.o"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSONAVEL_GUI=OFF -DSONAVEL_TESTS=OFF \
  -DSONAVEL_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize-coverage=trace-pc \
  -DCMAKE_EXE_LINKER_FLAGS="$BUILD/pccover.o" >/dev/null
cmake --build "$BUILD" --target fuzz_render sonavel_fuzz_seeds >/dev/null

for f in "$BUILD"/fuzz/seeds/preset_file/* fuzz/corpus/fuzz_render/*; do
  name=$(basename "$f")
  start=$(date +%s.%N)
  PCCOVER_OUT="$WORK/$name.pcs" "$BUILD/bin/fuzz_render" "$f" >/dev/null
  end=$(date +%s.%N)
  case "$f" in fuzz/corpus/*) kind=kept ;; *) kind=seed ;; esac
  echo "$kind $name $(echo "$end - $start" | bc)" >>"$WORK/runs.txt"
done

python3 - "$WORK" <<'PY'
import sys
work = sys.argv[1]
runs = [line.split() for line in open(f"{work}/runs.txt")]
cover = {name: set(open(f"{work}/{name}.pcs").read().split()) for _, name, _ in runs}
secs = {name: float(t) for _, name, t in runs}
everything = set().union(*cover.values())
kept = [name for kind, name, _ in runs if kind == "kept"]
have = set().union(*(cover[n] for n in kept))
# Cheapest first: a costly seed stays only for blocks no cheaper one runs.
chosen = []
for name in sorted((n for k, n, _ in runs if k == "seed"), key=lambda n: (secs[n], n)):
    if cover[name] - have:
        chosen.append(name)
        have |= cover[name]
# Then the costliest chosen ones go again when the rest still run every block.
for name in sorted(chosen, key=lambda n: -secs[n]):
    rest = set().union(*(cover[n] for n in kept + chosen if n != name))
    if rest >= everything:
        chosen.remove(name)
assert set().union(*(cover[n] for n in kept + chosen)) == everything
for name in sorted(chosen):
    print(name)
seeds = [n for k, n, _ in runs if k == "seed"]
print(f"all {len(seeds)} seeds: {len(everything)} blocks, {sum(secs[n] for n in seeds):.1f} s", file=sys.stderr)
print(f"chosen {len(chosen)}: {len(everything)} blocks, {sum(secs[n] for n in chosen):.1f} s", file=sys.stderr)
PY

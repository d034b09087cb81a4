#!/usr/bin/env bash
# Compile cost of chosen units: compiles each unit matching a pattern with
# its build's own command plus extra flags (later flags win: -g0, -g1, -O1)
# and prints the CPU seconds (user + system) and the object's size. CPU time,
# not wall time, because the machine is often shared while this runs.
#
#   bench/unit_cost.sh BUILD "EXTRA FLAGS" PATTERN...
#   bench/unit_cost.sh build "-g0" presetjson/presetjson.cpp cli/commands.cpp
#
# The objects go to a temporary folder; the build itself is not touched.
set -euo pipefail
build=$(cd "$1" && pwd)
extra=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
commands=$(cd "$build" && ninja -t commands | grep -E ' -c ')
total=0
for pattern in "$@"; do
  cmd=$(grep -E -- "-c [^ ]*${pattern}( |$)" <<<"$commands" | head -1 || true)
  if [ -z "$cmd" ]; then
    echo "no unit matches $pattern" >&2
    exit 1
  fi
  cmd=$(sed -E "s# -o [^ ]+# -o $work/unit.o#" <<<"$cmd")
  rm -f "$work/unit.o"
  (cd "$build" && /usr/bin/time -f '%U %S' -o "$work/time" bash -c "$cmd $extra" >/dev/null)
  cpu=$(awk '{print $1 + $2}' "$work/time")
  total=$(awk -v a="$total" -v b="$cpu" 'BEGIN {print a + b}')
  printf '%-44s %7.2f s CPU %9d KB\n' "$pattern" "$cpu" $(($(stat -c %s "$work/unit.o") / 1024))
done
printf '%-44s %7.2f s CPU\n' total "$total"

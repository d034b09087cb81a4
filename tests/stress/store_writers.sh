#!/usr/bin/env bash
# Starts six sonavel-cli writers on one store at once, ROUNDS times: two adds,
# an import that also overwrites a preset, a delete, an add that saves over a
# preset, and a compaction; and a reader of the store file beside them. After
# each round the store must load, every record read, nothing be lost or
# doubled, and each command's exit status and message be true of the store.
#
#   tests/stress/store_writers.sh [ROUNDS]     (default 200)
#   SONAVEL_CLI=path/to/sonavel-cli
#
# Takes a few minutes; not part of the test run. Exit status 1 on any fault.
set -uo pipefail
cd "$(dirname "$0")/../.."
. tests/stress/common.sh
ROUNDS=${1:-200}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The store each round starts from: 200 presets and 12 deleted records.
mkdir -p "$WORK/base"
build_file "$WORK/base/Presets.tvk" base 0 199 base
build_file "$WORK/again.tvk" base 180 191 base
"$CLI" store --dir "$WORK/base" --yes import "$WORK/again.tvk" >/dev/null 2>&1

lost=0 doubled=0 untrue=0 failed=0 unloadable=0
for r in $(seq 1 "$ROUNDS"); do
  d=$WORK/s
  rm -rf "$d" "$WORK"/r.* && cp -r "$WORK/base" "$d"
  x=$(printf 'base%03d' $((r % 50)))        # overwritten by the import
  del=$(printf 'base%03d' $((100 + r % 50)))  # deleted
  over=$(printf 'base%03d' $((150 + r % 50))) # saved over in place
  json_presets "r${r}add" 0 0 add >"$WORK/r.add0.json"
  json_presets "r${r}add" 1 1 add >"$WORK/r.add1.json"
  {
    json_presets "r${r}imp" 0 2 imp | sed 's/]$//'
    printf ','
    json_presets base $((r % 50)) $((r % 50)) imp | sed 's/^\[//'
  } >"$WORK/r.imp.json"
  "$CLI" build "$WORK/r.imp.json" -o "$WORK/r.imp.tvk" >/dev/null
  json_presets base $((150 + r % 50)) $((150 + r % 50)) over >"$WORK/r.over.json"

  # All six at once.
  "$CLI" store --dir "$d" add "$WORK/r.add0.json" </dev/null >"$WORK/r.1.out" 2>&1 &
  p1=$!
  "$CLI" store --dir "$d" --yes import "$WORK/r.imp.tvk" </dev/null >"$WORK/r.2.out" 2>&1 &
  p2=$!
  "$CLI" store --dir "$d" --yes delete "$del" </dev/null >"$WORK/r.3.out" 2>&1 &
  p3=$!
  "$CLI" store --dir "$d" compact </dev/null >"$WORK/r.4.out" 2>&1 &
  p4=$!
  "$CLI" store --dir "$d" --yes add "$WORK/r.over.json" </dev/null >"$WORK/r.5.out" 2>&1 &
  p5=$!
  "$CLI" store --dir "$d" add "$WORK/r.add1.json" </dev/null >"$WORK/r.6.out" 2>&1 &
  p6=$!
  # A reader of the store file among them: it shows the preset it names.
  "$CLI" show "$d/Presets.tvk" --name "$over" --json </dev/null >"$WORK/r.7.out" 2>&1 &
  p7=$!
  k=0
  for p in $p1 $p2 $p3 $p4 $p5 $p6 $p7; do
    k=$((k + 1))
    if ! wait "$p"; then
      failed=$((failed + 1))
      echo "round $r: writer $k failed: $(cat "$WORK/r.$k.out")"
    fi
  done
  if ! grep -qx " \"Name\": \"$over\"," "$WORK/r.7.out"; then
    untrue=$((untrue + 1))
    echo "round $r: the reader of $over showed: $(head -c 200 "$WORK/r.7.out")"
  fi
  # The import's summary is its success message: four presets, all there.
  if [ "$(cat "$WORK/r.2.out")" != "4 presets were successfully imported." ]; then
    untrue=$((untrue + 1))
    echo "round $r: import said: $(cat "$WORK/r.2.out")"
  fi

  if ! names=$(live_names "$d" | sort) || ! whole_file_reads "$d/Presets.tvk"; then
    unloadable=$((unloadable + 1))
    echo "round $r: the store does not load"
    continue
  fi
  dup=$(uniq -d <<<"$names")
  if [ -n "$dup" ]; then
    doubled=$((doubled + $(wc -l <<<"$dup")))
    echo "round $r: doubled: $dup"
  fi
  want=$( (seq -f 'base%03g' 0 199 | grep -vx "$del"; printf 'r%dadd000\nr%dadd001\n' "$r" "$r"
    printf 'r%dimp%03d\n' "$r" 0 "$r" 1 "$r" 2) | sort)
  missing=$(comm -23 <(echo "$want") <(echo "$names"))
  extra=$(comm -13 <(echo "$want") <(uniq <<<"$names"))
  if [ -n "$missing" ]; then
    lost=$((lost + $(wc -l <<<"$missing")))
    echo "round $r: lost: $(echo $missing)"
  fi
  if [ -n "$extra" ]; then
    untrue=$((untrue + 1))
    echo "round $r: still there or unexpected: $(echo $extra)"
  fi
  if [ "$(description "$d" "$x")" != imp ] || [ "$(description "$d" "$over")" != over ]; then
    untrue=$((untrue + 1))
    echo "round $r: $x or $over is not the version written"
  fi
done

echo "rounds: $ROUNDS of 6 writers at once"
echo "writers failed: $failed; presets lost: $lost; doubled: $doubled; untrue results: $untrue; unloadable: $unloadable"
[ $((failed + lost + doubled + untrue + unloadable)) = 0 ]

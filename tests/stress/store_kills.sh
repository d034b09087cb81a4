#!/usr/bin/env bash
# Kills sonavel-cli with SIGKILL at random moments of every store operation
# and checks the store after each kill: it loads, every record reads, no
# preset is lost or doubled, and each change is there whole or not at all.
#
#   tests/stress/store_kills.sh [KILLS]     (default 1000 kills that landed)
#   SONAVEL_CLI=path/to/sonavel-cli
#
# Takes a few minutes; not part of the test run. Exit status 1 on any fault.
set -uo pipefail
cd "$(dirname "$0")/../.."
. tests/stress/common.sh
KILLS=${1:-1000}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
OLDSTORE=$PWD/fuzz/corpus/fuzz_oldformat/trackloop-default-visfreq.old

# Inputs, and the stores each operation starts from.
mkdir -p "$WORK/plain" "$WORK/holes" "$WORK/old" "$WORK/in"
build_file "$WORK/plain/Presets.tvk" base 0 199 base
cp "$WORK/plain/Presets.tvk" "$WORK/holes/"
build_file "$WORK/in/again.tvk" base 180 191 again
"$CLI" store --dir "$WORK/holes" --yes import "$WORK/in/again.tvk" >/dev/null 2>&1  # 12 holes
cp "$OLDSTORE" "$WORK/old/Presets.tvk"
cp -r "$WORK/old" "$WORK/oldprobe"
OLDNAME=$(live_names "$WORK/oldprobe" --yes)
json_presets add 0 0 add >"$WORK/in/add.json"
json_presets base 30 30 over >"$WORK/in/over.json"
{
  json_presets new 0 2 imp | sed 's/]$//'
  printf ','
  json_presets base 10 11 imp | sed 's/^\[//'
} >"$WORK/in/imp.json"
"$CLI" build "$WORK/in/imp.json" -o "$WORK/in/imp.tvk" >/dev/null

OPS="add import delete overwrite compact load-compaction export convert"
# The command line of each operation, after `store --dir DIR`.
args_of() {
  case $1 in
    add) echo "add $WORK/in/add.json" ;;
    import) echo "--yes import $WORK/in/imp.tvk" ;;
    delete) echo "--yes delete base020" ;;
    overwrite) echo "--yes add $WORK/in/over.json" ;;
    compact) echo "compact" ;;
    load-compaction) echo "list" ;;
    export) echo "export base040 $WORK/out.tvk" ;;
    convert) echo "--yes list" ;;
  esac
}
start_of() {
  case $1 in
    compact | load-compaction) echo holes ;;
    convert) echo old ;;
    *) echo plain ;;
  esac
}

# check OP DIR: 0 when the store after a kill is as it must be; prints why not.
check() {
  local op=$1 d=$2 names n dup yes=
  [ "$op" = convert ] && yes=--yes  # the old store is still there to convert
  if ! names=$(live_names "$d" $yes | sort); then
    echo "unloadable"
    return 1
  fi
  # The listing above has loaded (and tidied) the store; every record reads.
  if ! whole_file_reads "$d/Presets.tvk"; then
    echo "a record does not read"
    return 1
  fi
  dup=$(uniq -d <<<"$names")
  [ -z "$dup" ] || { echo "doubled: $dup"; return 1; }
  if [ "$op" = convert ]; then
    [ "$names" = "$OLDNAME" ] || { echo "converted store holds: $names"; return 1; }
    return 0
  fi
  local lost
  lost=$(comm -23 <(seq -f 'base%03g' 0 199 | if [ "$op" = delete ]; then grep -vx base020; else cat; fi) \
    <(echo "$names"))
  [ -z "$lost" ] || { echo "lost" $lost; return 1; }
  case $op in
    import)
      n=$(grep -c '^new00' <<<"$names")
      local want=base
      [ "$n" = 3 ] && want=imp
      if [ "$n" != 0 ] && [ "$n" != 3 ]; then
        echo "part of an import: $n of 3 new presets"
        return 1
      fi
      for p in base010 base011; do
        [ "$(description "$d" $p)" = $want ] || { echo "$p is not the $want version with $n new presets"; return 1; }
      done
      ;;
    compact | load-compaction)
      [ "$(description "$d" base185)" = again ] || { echo "base185 is not the imported version"; return 1; }
      ;;
    export)
      [ ! -e "$WORK/out.tvk" ] || whole_file_reads "$WORK/out.tvk" || { echo "a torn export file"; return 1; }
      ;;
  esac
  return 0
}

# How long each operation runs unkilled (ms), to spread the kills over it.
declare -A DURATION
for op in $OPS; do
  rm -rf "$WORK/s" && cp -r "$WORK/$(start_of $op)" "$WORK/s"
  t0=$(date +%s%N)
  # shellcheck disable=SC2046
  "$CLI" store --dir "$WORK/s" $(args_of $op) </dev/null >/dev/null 2>&1
  DURATION[$op]=$((($(date +%s%N) - t0) / 1000000 + 1))
done

declare -A LANDED FINISHED FAULTS
total=0 faults=0 round=0
for op in $OPS; do LANDED[$op]=0 FINISHED[$op]=0 FAULTS[$op]=0; done
while [ "$total" -lt "$KILLS" ]; do
  for op in $OPS; do
    round=$((round + 1))
    rm -rf "$WORK/s" "$WORK/out.tvk" && cp -r "$WORK/$(start_of $op)" "$WORK/s"
    delay=$((RANDOM % DURATION[$op]))
    # shellcheck disable=SC2046
    "$CLI" store --dir "$WORK/s" $(args_of $op) </dev/null >/dev/null 2>&1 &
    pid=$!
    ms_sleep "$delay"
    kill -KILL "$pid" 2>/dev/null
    { wait "$pid"; } 2>/dev/null
    if [ $? = 137 ]; then
      LANDED[$op]=$((LANDED[$op] + 1))
      total=$((total + 1))
    else
      FINISHED[$op]=$((FINISHED[$op] + 1))
    fi
    if ! why=$(check "$op" "$WORK/s"); then
      FAULTS[$op]=$((FAULTS[$op] + 1))
      faults=$((faults + 1))
      echo "round $round, $op killed after $delay ms: $why"
    fi
  done
done

printf '%-16s %8s %8s %8s %8s\n' operation "ms" killed finished faults
for op in $OPS; do
  printf '%-16s %8d %8d %8d %8d\n' "$op" "${DURATION[$op]}" "${LANDED[$op]}" "${FINISHED[$op]}" "${FAULTS[$op]}"
done
echo "kills that landed: $total; stores checked: $round; faults (lost, doubled, partial or unloadable): $faults"
[ "$faults" = 0 ]

# Helpers shared by the store's stress harnesses (sourced, not run).
#
#   SONAVEL_CLI=path/to/sonavel-cli   (default build/bin/sonavel-cli)

CLI=${SONAVEL_CLI:-build/bin/sonavel-cli}
[ -x "$CLI" ] || { echo "no sonavel-cli at $CLI (set SONAVEL_CLI)" >&2; exit 2; }
CLI=$(cd "$(dirname "$CLI")" && pwd)/$(basename "$CLI")

# json_presets PREFIX FROM TO DESCRIPTION: a JSON array of presets named
# PREFIX<n> for n in FROM..TO, with 1-3 voices so their records differ in size.
json_presets() {
  local prefix=$1 from=$2 to=$3 desc=$4 n sep=""
  printf '['
  for n in $(seq "$from" "$to"); do
    printf '%s{"Name": "%s%03d", "Description": "%s", "Segment": [{"NumVoices": %d, "Length": 1000}]}' \
      "$sep" "$prefix" "$n" "$desc" $((n % 3 + 1))
    sep=,
  done
  printf ']\n'
}

# build_file OUT PREFIX FROM TO DESCRIPTION: a preset file of those presets.
build_file() {
  local out=$1 json
  json=$(mktemp)
  json_presets "$2" "$3" "$4" "$5" >"$json"
  "$CLI" build "$json" -o "$out" >/dev/null
  rm -f "$json"
}

# live_names DIR [OPTION...]: the live presets of the store in DIR, one name
# a line (exit status of the listing kept). Options go before the subcommand
# and the name is the last column, so that older builds can be measured too.
live_names() {
  local d=$1
  shift
  "$CLI" store --dir "$d" "$@" list </dev/null 2>/dev/null | awk -F'\t' '$2 !~ /^D/ {print $NF}'
  return "${PIPESTATUS[0]}"
}

# description DIR NAME: the description of a stored preset.
description() {
  "$CLI" store --dir "$1" show "$2" --json 2>/dev/null | sed -n 's/^ "Description": "\(.*\)",$/\1/p'
}

# whole_file_reads FILE: every record of the file parses (show reads them all).
whole_file_reads() {
  "$CLI" show "$1" --index "$("$CLI" list "$1" 2>/dev/null | awk -F'\t' '$2 !~ /^D/ {print $1; exit}')" >/dev/null 2>&1
}

# ms_sleep MS: sleeps MS milliseconds.
ms_sleep() { sleep "$(printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)))"; }

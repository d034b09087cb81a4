#!/bin/sh
# The desktop program's media player interface under a flood of calls while
# it plays: a private session bus, the program playing the first built-in
# preset on the paced fake device (offscreen), and sonavel_mpris_flood
# timing a property read every 20 ms before and during the flood.
#
#   bench/mpris_flood.sh [SECONDS] [FLOODERS] [BURST]
#                        (default 10 s, 4 clients, 100 calls in flight each)
#   SONAVEL_BIN=build/bin (sonavel and sonavel_mpris_flood)
set -eu
BIN=${SONAVEL_BIN:-build/bin}
SECS=${1:-10}
FLOODERS=${2:-4}
BURST=${3:-100}
tmp=$(mktemp -d /tmp/sonavel-mpris-flood.XXXXXX)
trap 'rm -rf "$tmp"' EXIT INT TERM
mkdir -p "$tmp/prog" "$tmp/config/Kelvadi" "$tmp/run"
chmod 700 "$tmp/run"
cp "$BIN/sonavel" "$tmp/prog/"
[ -f "$BIN/Ambix.dll" ] && cp "$BIN/Ambix.dll" "$tmp/prog/"
cat >"$tmp/config/Kelvadi/Sonavel.conf" <<'CONF'
[3]
ShowParams=1
Advanced\RunConfigWizard=0
Advanced\Device=fake

[Listening]
KeepAwake=0
CONF
export HOME="$tmp" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/run"
export QT_QPA_PLATFORM=offscreen SONAVEL_AUTO_ANSWER=1
FLOOD=$(cd "$BIN" && pwd)/sonavel_mpris_flood
dbus-run-session -- sh -c '
  "$1/prog/sonavel" -p BUILTIN >"$1/sonavel.log" 2>&1 &
  pid=$!
  "$2" "$3" "$4" "$5"
  rc=$?
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
  exit $rc' sh "$tmp" "$FLOOD" "$SECS" "$FLOODERS" "$BURST"

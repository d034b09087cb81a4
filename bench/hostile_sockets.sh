#!/bin/bash
# What a process of the same user can do to the desktop program through its
# sockets, timed: silent connections while a second start hands its file
# over, silent connections while a leader asks (1124), a request with no go
# event, a leader that never releases its go event (and a SIGTERM while the
# follower waits), and many requests while it plays. Every instance runs on
# the paced fake device on the offscreen platform and prints its messages
# to stderr (SONAVEL_AUTO_ANSWER), which is where they are counted.
#
#   bench/hostile_sockets.sh [BIN]        (default build/bin)
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/install" "$work/run" "$work/home/config/Kelvadi"
cp "$BIN/sonavel" "$BIN/sonavel-cli" "$BIN/Ambix.dll" "$work/install/"
chmod 700 "$work/run"
printf '[3]\nAdvanced\\RunConfigWizard=0\nAdvanced\\Device=fake\n' >"$work/home/config/Kelvadi/Sonavel.conf"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
export XDG_STATE_HOME="$work/home/state" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen SONAVEL_AUTO_ANSWER=1
folder="$work/run/sonavel"
"$work/install/sonavel-cli" new -o "$work/gift.tvk"

start() {  # start NAME ARGS...: the program, its stderr in $work/NAME.err
  local name=$1
  shift
  "$work/install/sonavel" "$@" 2>"$work/$name.err" &
  pids+=($!)
  last=$!
  for i in $(seq 600); do [ -S "$folder/TAVIK.$last" ] && return 0; sleep 0.1; done
  echo "$name did not start" >&2
  return 1
}
stop() {  # stop PID: SIGTERM; how long it took to end (s)
  local t0 t1
  t0=$(date +%s.%N)
  kill "$1" 2>/dev/null || true
  for i in $(seq 600); do kill -0 "$1" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$1" 2>/dev/null && { kill -9 "$1"; echo "did not end on SIGTERM within 30 s (killed)"; return; }
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "ended %.2f s after SIGTERM\n", b - a }'
}

# sock.py MODE PATH [N]: silent N (holds N silent connections for 20 s),
# ask (one 1124, prints the answer and the seconds it took), many N.
cat >"$work/sock.py" <<'PY'
import socket, struct, sys, time
mode, path = sys.argv[1], sys.argv[2]
n = int(sys.argv[3]) if len(sys.argv) > 3 else 1
def connect():
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.setblocking(False)
    try:
        s.connect(path)
    except BlockingIOError:
        return None
    s.setblocking(True)
    return s
if mode == "silent":
    held = [c for c in (connect() for _ in range(n)) if c]
    print(len(held), flush=True)
    time.sleep(20)
elif mode == "ask":
    t = time.monotonic()
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.settimeout(60)
    s.connect(path)
    s.sendall(struct.pack("<i", 1124))
    try:
        a = struct.unpack("<i", s.recv(4))[0]
    except Exception as e:
        a = "none (%s)" % type(e).__name__
    print("answer %s after %.2f s" % (a, time.monotonic() - t))
elif mode == "many":
    t = time.monotonic()
    for _ in range(n):
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.settimeout(60)
        s.connect(path)
        s.sendall(struct.pack("<i", 1124))
        s.recv(4)
        s.close()
    print("%d answered in %.2f s" % (n, time.monotonic() - t))
PY

echo "1. a second start hands its file over while 20 silent connections wait:"
start first
sleep 2
python3 "$work/sock.py" silent "$folder/instance.sock" 20 >"$work/held" 2>&1 &
for i in $(seq 100); do [ -s "$work/held" ] && break; sleep 0.1; done
t0=$(date +%s.%N)
"$work/install/sonavel" "$work/gift.tvk" 2>"$work/second.err" || true
t1=$(date +%s.%N)
awk -v a="$t0" -v b="$t1" 'BEGIN { printf "   the second start ended after %.2f s", b - a }'
echo " ($(cat "$work/held") silent connections held); it said: $(tr '\n' ' ' <"$work/second.err" | cut -c1-90)"
sleep 3
echo "   the first said: $(grep -o 'preset was successfully imported\|Unable.*' "$work/first.err" | head -1)"
kill %1 2>/dev/null || true
stop "${pids[0]}" >/dev/null

echo "2. a request (1124) while playing, behind 40 silent connections:"
# Its boxes stay up, as a user's would until clicked.
env -u SONAVEL_AUTO_ANSWER "$work/install/sonavel" -p "BUILTIN: Relaxation 1" 2>"$work/player.err" &
player=$!
pids+=($player)
for i in $(seq 600); do [ -S "$folder/TAVIK.$player" ] && break; sleep 0.1; done
sleep 2
python3 "$work/sock.py" silent "$folder/TAVIK.$player" 40 >"$work/held2" &
for i in $(seq 100); do [ -s "$work/held2" ] && break; sleep 0.1; done
echo "   $(python3 "$work/sock.py" ask "$folder/TAVIK.$player") ($(cat "$work/held2") silent connections held)"
kill %1 2>/dev/null || true
echo "3. 500 requests while it plays (its boxes stay up):"
rss() { awk '/VmRSS/ { printf "%.1f MB", $2 / 1024 }' /proc/$player/status; }
before=$(rss)
echo "   $(python3 "$work/sock.py" many "$folder/TAVIK.$player" 500)"
sleep 2
echo "   resident memory $before before, $(rss) after"
echo "   $(stop $player)"

echo "4. a request with no go event:"
start idle -anotherinstance
idle=$last
sleep 2
echo "   $(python3 "$work/sock.py" ask "$folder/TAVIK.$idle")"
sleep 1
echo "   it said: $(grep -m1 -o 'Internal error.*\|Another instance of Sonavel.*' "$work/idle.err" | cut -c1-90)"
echo "   $(stop $idle)"

echo "5. a leader that never releases its go event, SIGTERM 3 s later:"
start held -anotherinstance
held=$last
sleep 2
python3 -c '
import fcntl, os, sys, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_CREAT, 0o600)
fcntl.flock(fd, fcntl.LOCK_EX)
time.sleep(120)' "$folder/TAVIK_SynchGoEvent" &
leader=$!
sleep 1
python3 "$work/sock.py" ask "$folder/TAVIK.$held" >"$work/ask5" &
sleep 3
echo "   $(stop $held)"
kill $leader 2>/dev/null || true
echo "   the request: $(cat "$work/ask5")"

#!/bin/bash
# Counts the mutable data symbols (nm types B D b d V G S, without vtables,
# type info and guard variables) of the engine's and the desktop program's
# libraries: the state a playback or a window keeps outside any object.
#
#   bench/global_symbols.sh [BUILD]     (default build)
#   LIST=1   also prints the symbols
set -euo pipefail
B=${1:-build}
count() {
  local name=$1
  shift
  local syms
  syms=$(for l in "$@"; do [ -f "$B/libsonavel_$l.a" ] && nm -C "$B/libsonavel_$l.a"; done |
    awk '$2 ~ /^[BDbdVGS]$/ { $1 = ""; print }' |
    grep -v -E "guard variable|vtable|typeinfo|VTT|\.L|__" | sort -u)
  printf '%-7s %4d\n' "$name" "$(printf '%s' "$syms" | grep -c . || true)"
  [ -n "${LIST:-}" ] && printf '%s\n' "$syms" | sed 's/^/    /'
  return 0
}
count engine assert convold data engine file main platform presetjson sbg lightchk
count gui chart cnfwiz dialog dlggen inet mwnd prgdlg reg sessionbus synch visual

#!/usr/bin/env bash
# Feeds damaged preset files to every command that reads one: list, show,
# show --json, render and store import. Each variant is a good file (current
# or earlier format) with random damage: bytes changed, size fields and
# counts set to edge values, names filled with arbitrary bytes (Windows-1252,
# broken UTF-8, line breaks), the file cut short. No command may crash,
# report a sanitizer error or hang; refusing the file is the expected answer.
#
#   tests/stress/damaged_files.sh [VARIANTS] [SEED]   (default 2000, 1)
#   SONAVEL_CLI=path/to/sonavel-cli   (an ASan/UBSan build finds more)
#
# Takes several minutes; not part of the test run. Exit status 1 on any crash.
set -uo pipefail
cd "$(dirname "$0")/../.."
. tests/stress/common.sh
VARIANTS=${1:-2000}
SEED=${2:-1}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

cat >"$WORK/good.json" <<'JSON'
[{"Name": "three segments", "Description": "first\nsecond",
  "Segment": [{"NumVoices": 2, "Length": 50}, {"Length": 30, "Repeat": 2}, {"NumVoices": 3, "Length": 20}]},
 {"Name": "tracking", "Segment": [{"Voice": [{"Binaural Beat Frequency": {"Curve": [[0, 8], [50, 12], [100, 4]]}}]}]},
 {"Name": "background", "Background": 2, "BackgroundFile": "Ambix.dll", "Segment": [{"Length": 10}]}]
JSON
"$CLI" build "$WORK/good.json" -o "$WORK/good.tvk" >/dev/null || exit 2
cp fuzz/corpus/fuzz_oldformat/trackloop-default-visfreq.old "$WORK/good.old"
mkdir -p "$WORK/store0"
build_file "$WORK/store0/Presets.tvk" base 0 4 base

# damage IN OUT SEED: writes a damaged copy of IN.
damage() {
  perl -e '
    my ($in, $out, $seed) = @ARGV;
    srand($seed);
    open(my $f, "<:raw", $in) or die; local $/; my $b = <$f>; close $f;
    my @edge = (0, 1, 2, 4, 5, -1, -2, 100, 101, 255, 256, 1644, 1645, 4096, 3631339, 3631340, 0x7FFFFFFF, -0x80000000);
    for (1 .. 1 + int(rand(4))) {
      my $len = length($b);
      last if $len == 0;
      my $kind = int(rand(5));
      if ($kind == 0) {          # a byte changed
        substr($b, int(rand($len)), 1) = chr(int(rand(256)));
      } elsif ($kind == 1) {     # a 32-bit field set to an edge value
        my $at = int(rand($len - 3 > 0 ? $len - 3 : 1));
        substr($b, $at, 4) = pack("l<", $edge[int(rand(@edge))]) if $len >= 4;
      } elsif ($kind == 2) {     # a small field (count, flag) set to an edge value
        substr($b, int(rand($len)), 1) = chr((0, 1, 2, 10, 11, 25, 26, 100, 101, 176, 177, 255)[int(rand(12))]);
      } elsif ($kind == 3) {     # a name filled with arbitrary text
        my $at = 141;  # the name of the first record
        my @pick = (0x0A, 0x09, 0x0D, 0x1B, 0x80, 0x81, 0x9F, 0xC3, 0xA9, 0xE9, 0xF4, 0xFF, 0x41, 0x7F);
        my $n = 1 + int(rand(40));
        my $s = join("", map { chr($pick[int(rand(@pick))]) } 1 .. $n);
        substr($b, $at, $n) = $s if $len >= $at + $n;
      } else {                   # cut short
        $b = substr($b, 0, int(rand($len)));
      }
    }
    open(my $o, ">:raw", $out) or die; print $o $b; close $o;
  ' "$1" "$2" "$3"
}

crashes=0 hangs=0 refused=0 accepted=0
for v in $(seq 1 "$VARIANTS"); do
  base=$WORK/good.tvk
  [ $((v % 5)) = 0 ] && base=$WORK/good.old
  f=$WORK/v.tvk
  damage "$base" "$f" $((SEED * 100003 + v))
  rm -rf "$WORK/store" && cp -r "$WORK/store0" "$WORK/store"
  for cmd in "list $f" "show $f --index 0" "show $f --index 0 --json" \
    "render $f --index 0 --minutes 0.01 -o $WORK/v.wav" "store --dir $WORK/store --yes import $f"; do
    # shellcheck disable=SC2086
    timeout 60 "$CLI" $cmd </dev/null >/dev/null 2>"$WORK/err"
    rc=$?
    if [ $rc = 124 ]; then
      hangs=$((hangs + 1))
      echo "variant $v: hangs: $cmd"
      cp "$f" "$WORK/../damaged-hang-$v.tvk" 2>/dev/null
    elif [ $rc -ge 128 ] || grep -qE 'Sanitizer|runtime error|terminate called|Internal error' "$WORK/err"; then
      crashes=$((crashes + 1))
      echo "variant $v: exit $rc: $cmd: $(head -c 300 "$WORK/err")"
      cp "$f" "$WORK/../damaged-crash-$v.tvk" 2>/dev/null
    elif [ $rc = 0 ]; then
      accepted=$((accepted + 1))
    else
      refused=$((refused + 1))
    fi
  done
done
echo "variants: $VARIANTS; commands run: $((VARIANTS * 5)); accepted: $accepted; refused with a message: $refused"
echo "crashes: $crashes; hangs: $hangs"
[ $((crashes + hangs)) = 0 ]

#!/usr/bin/env bash
# Installs the built tree into a fresh prefix and runs the installed
# programs: --help, the background library found beside the program, a
# render of the default preset, and the store in $XDG_DATA_HOME/Sonavel when
# the program folder is not writable (the render runs as another user when
# this script runs as root, for whom every folder is writable).
#
#   scripts/install-test.sh          cmake --install build --prefix <fresh>
#   scripts/install-test.sh --deb    cpack -G DEB, the package unpacked into
#                                    a fresh folder (dpkg-deb -x)
#   BUILD=dir                        another build folder (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
root=$work/root
if [ "${1:-}" = --deb ]; then
  (cd "$BUILD" && cpack -G DEB >/dev/null)
  deb=$(ls -t "$BUILD"/sonavel_*.deb | head -1)
  echo "install-test: $deb"
  dpkg-deb -f "$deb" Package Version Depends Recommends
  dpkg-deb -x "$deb" "$root"
  prefix=$root/usr
else
  cmake --install "$BUILD" --prefix "$root" >/dev/null
  prefix=$root
fi

fail() {
  echo "install-test: $*" >&2
  exit 1
}
for f in bin/sonavel-cli lib/sonavel/sonavel-cli lib/sonavel/Ambix.dll share/man/man1/sonavel-cli.1; do
  [ -e "$prefix/$f" ] || fail "$f is missing"
done
if [ -e "$prefix/lib/sonavel/sonavel" ]; then
  for f in bin/sonavel share/applications/sonavel.desktop share/mime/packages/sonavel.xml \
    share/icons/hicolor/scalable/apps/sonavel.svg share/man/man1/sonavel.1; do
    [ -e "$prefix/$f" ] || fail "$f is missing"
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/sonavel.desktop" || fail "the desktop entry is not valid"
  fi
fi

cli=$prefix/bin/sonavel-cli
"$cli" --help | grep -q "Sonavel command-line tool" || fail "--help"
"$cli" backgrounds | grep -q "Ambix.dll" || fail "the background library beside the program was not found"

# The user's own folders, and the program folder out of their reach.
home=$work/home
mkdir -p "$home"
chmod 777 "$home"
as_user=()
if [ "$(id -u)" = 0 ]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  chmod a-w "$prefix/lib/sonavel"
fi
run() { "${as_user[@]}" env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" "$@"; }
run "$cli" render --store --name "BUILTIN: Relaxation 1 (general)" --minutes 0.05 --seed 1 -o "$home/relax.wav" \
  2>"$home/err" || fail "render: $(cat "$home/err")"
run "$cli" render --store --name "BUILTIN: Relaxation 1 (general)" --minutes 0.05 --seed 1 -o "$home/relax.mp3" \
  2>"$home/err" || fail "render to MP3: $(cat "$home/err")"
[ -s "$home/relax.wav" ] && [ -s "$home/relax.mp3" ] || fail "nothing rendered"
[ -f "$home/data/Sonavel/Presets.tvk" ] || fail "the store is not in \$XDG_DATA_HOME/Sonavel"
[ ! -e "$prefix/lib/sonavel/Presets.tvk" ] || fail "the store was written into the program folder"
echo "install-test: $(stat -c %s "$home/relax.wav") bytes of WAV, $(stat -c %s "$home/relax.mp3") of MP3 rendered;" \
  "the store in \$XDG_DATA_HOME/Sonavel"
echo "install-test: passed"

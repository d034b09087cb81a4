#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent and
# quiet: packages already present are not fetched again.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config
      libgtest-dev libgmock-dev googletest libbenchmark-dev
      libcli11-dev nlohmann-json3-dev libasound2-dev
      sox espeak-ng alsa-utils clang clang-format valgrind locales
      qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins fonts-dejavu-core
      xvfb xauth imagemagick shared-mime-info desktop-file-utils xdg-utils
      libcurl4-openssl-dev libsndfile1-dev libgl1-mesa-dri
      x11-utils openbox dbus at-spi2-core python3-dbus
      dbus-daemon mold)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

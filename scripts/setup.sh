#!/usr/bin/env bash
# Installs what the builds, the tests and the demo need (Debian 12). Safe to run again.
set -euo pipefail
pkgs=(cmake g++ make pkg-config googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
      mingw-w64-i686-dev mingw-w64-x86-64-dev wine64 xvfb xauth xdotool libxtst6 x11-utils imagemagick
      libfltk1.3-dev fluid clang-14 libclang-rt-14-dev clang-format python3)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

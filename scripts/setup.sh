#!/usr/bin/env bash
# Installs what the builds, the tests and the demo need, on Debian 12 or 13 (every package named
# here exists in both). Safe to run again. With --tests (as scripts/test.sh runs it), also
# Debian's 32-bit Wine for the i686 build's tests, where the kernel runs 32-bit programs.
# Packages are installed without their recommendations, so everything used is named here,
# also what a named package only recommends (fluid, fonts-wine). scripts/fresh-check.sh
# tries this on a new minimal root of either release.
set -euo pipefail

# apt-get update fails as a whole when one index is caught mid-sync on the mirror ("File has
# unexpected size"); try again a few times, then let the install itself say whether what it
# needs is there.
apt_update() {
  local i
  for i in 1 2 3; do
    $sudo apt-get update -q && return 0
    echo "setup: apt-get update failed (try $i of 3)" >&2
    sleep $((i * 10))
  done
  return 0
}
pkgs=(cmake g++ make pkg-config googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
      mingw-w64-i686-dev mingw-w64-x86-64-dev wine64 fonts-wine xvfb xauth xdotool libxtst6 x11-utils
      imagemagick libfltk1.3-dev fluid libx11-dev clang libclang-rt-dev clang-format python3)
# Playing on Linux: BlastEm behind the emulator bridge (with fontconfig: BlastEm runs fc-match to
# find its font and stops at once without it, though its package does not ask for it) and the
# m68k assembler for the test cartridges; dpkg-dev's dpkg-shlibdeps, which needs file, works
# out the .deb's library dependencies.
pkgs+=(blastem fontconfig binutils-m68k-linux-gnu dpkg-dev file)
# Debian's checkers for the .deb (scripts/test.d/50-packages.sh): lintian, and the validators of
# its AppStream metadata and menu entry.
pkgs+=(lintian appstream desktop-file-utils)
# binutils' as and ld build the 32-bit test program of scripts/i386-check.
pkgs+=(binutils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "setup: missing packages: ${missing[*]}" >&2
      echo "setup: run this once as root (there is no sudo here): bash $0" >&2
      exit 1
    fi
    sudo="sudo"
  fi
  echo "setup: installing ${missing[*]}"
  apt_update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The i686 build's tests run under Debian's 32-bit Wine (wine32, of the i386 architecture),
# installed only where this kernel runs a 32-bit program; the demo needs none of it.
if [ "${1:-}" = "--tests" ] &&
   ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  if why=$(bash "$(dirname "$0")/i386-check"); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
      command -v sudo >/dev/null || {
        echo "setup: run this once as root (there is no sudo here): bash $0 --tests" >&2; exit 1; }
      sudo="sudo"
    fi
    echo "setup: installing wine32 (with the i386 architecture)"
    $sudo dpkg --add-architecture i386
    apt_update
    # The i386 packages must match the installed amd64 ones version for version; while a
    # mirror is still syncing one architecture's index they may not, and the install is
    # refused. That leaves the i686 runs out (scripts/test.sh says so), not the whole setup.
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends wine32:i386 ||
      echo "setup: wine32 could not be installed, so the i686 build's tests will be skipped" >&2
  else
    echo "setup: wine32 not installed, so the i686 build's tests will be skipped: $why"
  fi
fi

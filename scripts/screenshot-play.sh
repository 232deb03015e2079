#!/usr/bin/env bash
# Takes docs/screenshots/native-play.png: the demo's launcher beside the BlastEm window its
# Launch Emulator opened (through the emulator bridge) on a test cartridge, on a private Xvfb.
#   scripts/screenshot-play.sh [build dir, default build/native]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build/native}"
work="$(mktemp -d)"
"$repo/scripts/demo.sh" --dir "$work/demo" --build-dir "$build" --headless >/dev/null
for n in $(seq 400 499); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
Xvfb ":$n" -screen 0 1100x520x24 -nolisten tcp -noreset -dpi 96 >/dev/null 2>&1 &
xvfb_pid=$!
launcher_pid=""
emu_pid=""
cleanup() {
  # BlastEm ends through its event loop, so it goes before the X server it draws on.
  if [ -n "$emu_pid" ] && kill "$emu_pid" 2>/dev/null; then
    for _ in $(seq 50); do kill -0 "$emu_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$emu_pid" 2>/dev/null || true
  fi
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=":$n"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# BlastEm with a home of its own: a smaller window, and drawing through SDL rather than
# OpenGL, which on Xvfb would stop at a notice that vsync cannot be set.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" SDL_AUDIODRIVER=dummy
mkdir -p "$XDG_CONFIG_HOME/blastem"
sed -e 's/^\(\s*\)gl on/\1gl off/' -e 's/^\(\s*\)width 800/\1width 640/' \
  /etc/blastem/default.cfg > "$XDG_CONFIG_HOME/blastem/blastem.cfg"

find_window() {
  local w=""
  for _ in $(seq 150); do
    w="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)"
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  echo "screenshot: no window $1" >&2
  return 1
}
"$work/demo/launcher/Quorvalis" >/dev/null 2>&1 &
launcher_pid=$!
wid="$(find_window "^Quorvalis '95\$")"
xdotool windowmove "$wid" 20 20
sleep 0.3
# MOLEQST.BIN, the second cartridge: its saved options (Europe, Z-80 on) load into the form.
xdotool mousemove --window "$wid" 40 30 click 1
sleep 0.5
# Launch Emulator (dialog units 4,116 68x13 at 96 dpi).
xdotool mousemove --window "$wid" 57 199 click 1
emu="$(find_window ' - BlastEm')"
emu_pid="$(xdotool getwindowpid "$emu")"
xdotool windowmove "$emu" 430 20
sleep 1
mkdir -p "$repo/docs/screenshots"
import -window root "$repo/docs/screenshots/native-play.png"
echo "screenshot: wrote docs/screenshots/native-play.png"

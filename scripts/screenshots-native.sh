#!/usr/bin/env bash
# Takes docs/screenshots/native-main.png: the native launcher with a filled cartridge list and
# a selected cartridge, on a private Xvfb server.
#   scripts/screenshots-native.sh [build dir, default build/native]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build/native}"
work="$(mktemp -d)"
"$repo/scripts/demo.sh" --dir "$work/demo" --build-dir "$build" --headless >/dev/null
for n in $(seq 400 499); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp -noreset -dpi 96 >/dev/null 2>&1 &
xvfb_pid=$!
launcher_pid=""
cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=":$n"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$work/demo/launcher/Quorvalis" &
launcher_pid=$!
wid=""
for _ in $(seq 100); do
  wid="$(xdotool search --onlyvisible --name "^Quorvalis '95\$" 2>/dev/null | head -n1 || true)"
  [ -n "$wid" ] && break; sleep 0.1
done
[ -n "$wid" ] || { echo "screenshots: no window" >&2; exit 1; }
# Select the second cartridge (its saved settings load into the form).
xdotool mousemove --window "$wid" 40 28 click 1
sleep 0.5
read -r x y w h < <(xwininfo -id "$wid" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2} END{print x, y, w, h}')
mkdir -p "$repo/docs/screenshots"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$repo/docs/screenshots/native-main.png"
echo "screenshots: wrote docs/screenshots/native-main.png (${w}x${h})"
